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

// A file's own entries, in name order.
const char* const fileEntryNames[] = {"InputDir",  "InputExt",  "InputFileName",
                                      "InputName", "InputPath", "RelInputPath"};
const int fileEntryCount = 6;

int fileEntryIndex(const QString& name) {
    if (!name.startsWith(QLatin1String("Input")) && name != QLatin1String("RelInputPath"))
        return -1;
    for (int k = 0; k < fileEntryCount; ++k)
        if (name == QLatin1String(fileEntryNames[k])) return k;
    return -1;
}

QString fileEntry(int index, const QString& path, const QString& relative) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString fileName = slash < 0 ? path : path.mid(slash + 1);
    switch (index) {
    case 0:
        return slash < 0 ? QString() : path.left(slash);
    case 1:
        return afterFirstDot(fileName);
    case 2:
        return fileName;
    case 3:
        return beforeFirstDot(fileName);
    case 4:
        return path;
    default:
        return relative;
    }
}

} // namespace

// Answers a file's names: what addMacros added, then IntDir and OutDir once
// known, then the file's own entries, then the shared map.
class BuildMacros::FileLookup : public MacroLookup {
public:
    explicit FileLookup(const Layered& layered) : m_layered(layered) {}
    const QString* find(const QString& name) const override {
        auto it = m_layered.over.constFind(name);
        if (it != m_layered.over.constEnd()) return &it.value();
        if (m_layered.dirsSet > 0 && name == QLatin1String("IntDir")) return &m_layered.intDir;
        if (m_layered.dirsSet > 1 && name == QLatin1String("OutDir")) return &m_layered.outDir;
        const int index = fileEntryIndex(name);
        if (index >= 0) {
            fileUsed = true;
            m_value = fileEntry(index, m_layered.path, m_layered.relative);
            return &m_value;
        }
        it = m_layered.base.constFind(name);
        return it == m_layered.base.constEnd() ? nullptr : &it.value();
    }
    mutable bool fileUsed = false;

private:
    const Layered& m_layered;
    mutable QString m_value;
};

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
        const QString relative = element->getRelativePath();
        // In name order, so each insertion lands at the end without a search.
        for (int k = 0; k < fileEntryCount; ++k)
            over.insert(over.cend(), QLatin1String(fileEntryNames[k]),
                        fileEntry(k, path, relative));
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
    const MapKey key{element, configuration};
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
        auto shared = m_common.find(commonKey);
        if (shared == m_common.end())
            shared = m_common.insert(commonKey, {common(element, configuration, ownMacros), {}});
        layered.base = shared->map;
        layered.isFile = true;
        layered.path = element->getPath().osPathQString();
        layered.relative = element->getRelativePath();
        fileDirs(element, configuration, *shared, layered);
        m_owner.addMacros(element, configuration, layered.over);
    } else {
        layered.base = m_owner.macros(element, configuration);
    }
    return m_maps.insert(key, layered).value();
}

void BuildMacros::fileDirs(ProjectElement* element, const QString& configuration, Common& common,
                           Layered& layered) {
    const QPair<QString, QString> texts(
        projectSystem->settingFor(element, m_owner.buildIntermediateDirectory, configuration),
        projectSystem->settingFor(element, m_owner.buildOutputDirectory, configuration));
    auto known = common.dirs.constFind(texts);
    if (known != common.dirs.constEnd()) {
        layered.intDir = known->first;
        layered.outDir = known->second;
        layered.dirsSet = 2;
        return;
    }
    // Each directory is expanded with what the map holds so far.
    const FileLookup lookup(layered);
    bool dynamic = false;
    const QString intDir = macroSystem.replaceMacros(lookup, texts.first, &dynamic);
    layered.intDir = intDir.isEmpty() ? QStringLiteral(".") : intDir;
    layered.dirsSet = 1;
    const QString outDir = macroSystem.replaceMacros(lookup, texts.second, &dynamic);
    layered.outDir = outDir.isEmpty() ? QStringLiteral(".") : outDir;
    layered.dirsSet = 2;
    if (!lookup.fileUsed && !dynamic) common.dirs.insert(texts, {layered.intDir, layered.outDir});
}

MacroMap BuildMacros::fileEntries(const Layered& layered) {
    MacroMap map;
    for (int k = 0; k < fileEntryCount; ++k)
        map.insert(QLatin1String(fileEntryNames[k]), fileEntry(k, layered.path, layered.relative));
    map.insert(QStringLiteral("IntDir"), layered.intDir);
    map.insert(QStringLiteral("OutDir"), layered.outDir);
    return macroSystem.overwriteMacros(map, layered.over);
}

MacroMap BuildMacros::cached(ProjectElement* element, const QString& configuration) {
    if (!Caching::enabled()) return uncached(element, configuration);
    const Layered& maps = layered(element, configuration);
    if (maps.isFile) return macroSystem.overwriteMacros(maps.base, fileEntries(maps));
    return maps.over.isEmpty() ? maps.base : macroSystem.overwriteMacros(maps.base, maps.over);
}

QString BuildMacros::replace(ProjectElement* element, const QString& configuration,
                             const QString& text, bool* dynamic) {
    if (text.isEmpty()) return text;
    if (!Caching::enabled())
        return macroSystem.replaceMacros(uncached(element, configuration), MacroMap(), text,
                                         dynamic);
    const Layered& maps = layered(element, configuration);
    if (maps.isFile) return macroSystem.replaceMacros(FileLookup(maps), text, dynamic);
    return macroSystem.replaceMacros(maps.over, maps.base, text, dynamic);
}

MacroMap BuildMacros::uncached(ProjectElement* element, const QString& configuration) {
    if (element && element->isFile()) return fresh(element, configuration);
    return m_owner.macros(element, configuration);
}

const QString* BuildMacros::cachedOutput(const OutputKey& key) {
    if (!Caching::enabled()) return nullptr;
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
