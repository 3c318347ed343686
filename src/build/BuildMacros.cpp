#include "build/BuildMacros.h"

#include "base/OsFiles.h"
#include "build/BuildSystem.h"
#include "project/ProjectSystem.h"

namespace {

QString beforeFirstDot(const QString& name) {
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString afterFirstDot(const QString& name) {
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

MacroMap BuildMacros::fresh(ProjectElement* element, const QString& configuration) {
    if (!element) return macroSystem.globalMacros(true);
    const MacroMap base =
        common(element, configuration,
               projectSystem->settingFor(element, projectSystem->macrosProperty(), configuration));
    MacroMap map = macroSystem.overwriteMacros(base, own(element, configuration, base));
    m_owner.addMacros(element, configuration, map);
    return map;
}

MacroMap BuildMacros::common(ProjectElement* element, const QString& configuration,
                             const QString& ownMacros) {
    MacroMap map = macroSystem.overwriteMacros(
        macroSystem.globalMacros(true),
        macroSystem.macrosFromStringList(MacroSystem::stringListFromString(ownMacros)));

    if (ProjectElement* project = ProjectSystem::projectContaining(element)) {
        map[QStringLiteral("ProjectDir")] = projectSystem->projectDirectoryPath(project);
        map[QStringLiteral("ProjectName")] = project->name();
    }
    map[QStringLiteral("Configuration")] = configuration;
    map[QStringLiteral("Platform")] = projectSystem->platform(element).toLower();

    if (ProjectElement* solution = ProjectSystem::solutionContaining(element)) {
        const QString path = OsFiles::absolutePath(solution->getPath().osPathQString());
        const QString fileName = OsFiles::fileNameOf(path);
        map[QStringLiteral("SolutionDir")] = OsFiles::directoryOf(path);
        map[QStringLiteral("SolutionName")] = beforeFirstDot(fileName);
        map[QStringLiteral("SolutionFileName")] = fileName;
        map[QStringLiteral("SolutionPath")] = path;
        map[QStringLiteral("SolutionExt")] = afterFirstDot(fileName);
    }

    map[QStringLiteral("OBJ")] = projectSystem->objectFileExtension();
    map[QStringLiteral("EXE")] = projectSystem->executableFileExtension();
    map[QStringLiteral("LIB")] = projectSystem->libraryFileExtension();
    map[QStringLiteral("PackageExt")] = QStringLiteral("hzq");
    return map;
}

MacroMap BuildMacros::own(ProjectElement* element, const QString& configuration,
                          const MacroMap& base) {
    MacroMap over;
    if (element->isFile()) {
        const QString path = element->getPath().osPathQString();
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        const QString fileName = slash < 0 ? path : path.mid(slash + 1);
        // In name order, so each insertion lands at the end without a search.
        over.insert(over.cend(), QStringLiteral("InputDir"),
                    slash < 0 ? QString() : path.left(slash));
        over.insert(over.cend(), QStringLiteral("InputExt"), afterFirstDot(fileName));
        over.insert(over.cend(), QStringLiteral("InputFileName"), fileName);
        over.insert(over.cend(), QStringLiteral("InputName"), beforeFirstDot(fileName));
        over.insert(over.cend(), QStringLiteral("InputPath"), path);
        over.insert(over.cend(), QStringLiteral("RelInputPath"), element->getRelativePath());
    }
    // Each directory is expanded with what the map holds so far.
    const QString intDir = macroSystem.replaceMacros(
        over, base,
        projectSystem->settingFor(element, m_owner.buildIntermediateDirectory, configuration));
    over[QStringLiteral("IntDir")] = intDir.isEmpty() ? QStringLiteral(".") : intDir;
    const QString outDir = macroSystem.replaceMacros(
        over, base,
        projectSystem->settingFor(element, m_owner.buildOutputDirectory, configuration));
    over[QStringLiteral("OutDir")] = outDir.isEmpty() ? QStringLiteral(".") : outDir;
    return over;
}

void BuildMacros::checkRevisions() {
    const quint64 macros = macroSystem.revision();
    if (m_treeRevision != ProjectElement::treeRevision() || macros != m_macroRevision) {
        clear();
        m_treeRevision = ProjectElement::treeRevision();
        m_macroRevision = macros;
    }
}

const BuildMacros::Layered& BuildMacros::layered(ProjectElement* element,
                                                 const QString& configuration) {
    checkRevisions();
    const QPair<ProjectElement*, QString> key(element, configuration);
    auto it = m_maps.constFind(key);
    if (it != m_maps.constEnd()) return it.value();
    Layered layered;
    if (element && element->isFile()) {
        // Files share everything but their own entries with their project, so
        // their maps are an overlay on a map shared by all such files.
        const QString ownMacros =
            projectSystem->settingFor(element, projectSystem->macrosProperty(), configuration);
        const CommonKey commonKey{ProjectSystem::projectContaining(element),
                                  ProjectSystem::solutionContaining(element),
                                  projectSystem->platform(element), configuration, ownMacros};
        auto shared = m_common.constFind(commonKey);
        if (shared == m_common.constEnd())
            shared = m_common.insert(commonKey, common(element, configuration, ownMacros));
        layered.base = shared.value();
        layered.over = own(element, configuration, layered.base);
        m_owner.addMacros(element, configuration, layered.over);
    } else {
        layered.base = m_owner.macros(element, configuration);
    }
    return m_maps.insert(key, layered).value();
}

MacroMap BuildMacros::cached(ProjectElement* element, const QString& configuration) {
    const Layered& maps = layered(element, configuration);
    return maps.over.isEmpty() ? maps.base : macroSystem.overwriteMacros(maps.base, maps.over);
}

QString BuildMacros::replace(ProjectElement* element, const QString& configuration,
                             const QString& text, bool* dynamic) {
    if (text.isEmpty()) return text;
    const Layered& maps = layered(element, configuration);
    return macroSystem.replaceMacros(maps.over, maps.base, text, dynamic);
}

const QString* BuildMacros::cachedOutput(const OutputKey& key) {
    checkRevisions();
    auto it = m_outputs.constFind(key);
    return it == m_outputs.constEnd() ? nullptr : &it.value();
}

void BuildMacros::clear() {
    m_maps.clear();
    m_common.clear();
    m_outputs.clear();
    m_treeRevision = ~quint64(0);
}
