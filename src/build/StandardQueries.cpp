// What the build loop and the toolchain layer ask about elements: build
// actions, output names, inputs, link input files and side outputs.

#include "build/StandardBuildSystem.h"

#include <QDir>
#include <QFileInfo>

#include "base/Builder.h"
#include "base/Path.h"
#include "base/SettingTexts.h"
#include "project/ProjectSystem.h"

namespace {

using SettingText::No;
using SettingText::Yes;

QString beforeFirstDot(const QString& name) {
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

} // namespace

StandardBuildSystem::BuildAction StandardBuildSystem::buildAction(ProjectElement* element,
                                                                  const QString& configuration) {
    if (element->isProject()) {
        const QString type = projectTypeOf(element);
        if (type == QLatin1String("Library")) return Archive;
        if (type == QLatin1String("Object file") || type == QLatin1String("Staging"))
            return NoAction;
        if (type == QLatin1String("Combining")) return Combine;
        if (type == QLatin1String("Externally Built Executable")) return Prebuilt;
        return Link;
    }
    if (!element->isFile()) return NoAction;

    if (projectSystem->settingFor(element, buildExcludeFromBuild, configuration) == Yes)
        return Excluded;
    if (ProjectElement* project = ProjectSystem::projectContaining(element)) {
        const QString type = projectTypeOf(project);
        if (type == QLatin1String("Staging")) return Stage;
        if (type == QLatin1String("Combining")) return NoAction;
    }
    const QString fileType = projectSystem->getFileType(element);
    if (fileType == QLatin1String("C")) return CompileC;
    if (fileType == QLatin1String("C++")) return CompileCpp;
    if (fileType == QLatin1String("Basic")) return CompileBasic;
    if (fileType == QLatin1String("Forth")) return CompileForth;
    if (fileType == QLatin1String("Assembly")) return Assemble;
    if (fileType == QLatin1String("Object file") || fileType == QLatin1String("Executable") ||
        fileType == QLatin1String("Library"))
        return Prebuilt;
    return NoAction;
}

QString StandardBuildSystem::output(BuildAction action, ProjectElement* element,
                                    const QString& configuration, bool absolute) {
    const OutputKey key{element, int(action), absolute, configuration};
    if (const QString* known = cachedOutput(key)) return *known;
    bool dynamic = false;
    QString name;
    switch (int(action)) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
        name = settingForExpanded(element, buildObjectFileName, configuration, &dynamic);
        break;
    case Prebuilt:
        if (element->isProject())
            name = settingForExpanded(element, externalBuildFileName, configuration, &dynamic);
        else
            name = element->getRelativePath();
        break;
    case Link:
        name = settingForExpanded(element, buildOutputFileNameExecutable, configuration, &dynamic);
        break;
    case Archive:
        name = settingForExpanded(element, buildOutputFileNameLibrary, configuration, &dynamic);
        break;
    case Stage:
        if (!element->isProject())
            name = settingForExpanded(element, stageOutputFilepath, configuration, &dynamic);
        break;
    case Combine:
        if (element->isProject())
            name = settingForExpanded(element, combineOutputFilepath, configuration, &dynamic);
        break;
    default:
        break;
    }
    if (absolute && !name.isEmpty()) name = absoluteIn(projectDirectoryOf(element), name);
    if (!dynamic) cacheOutput(key, name);
    return name;
}

QString StandardBuildSystem::output(ProjectElement* element, const QString& configuration,
                                    bool absolute) {
    return output(buildAction(element, configuration), element, configuration, absolute);
}

void StandardBuildSystem::findOutputs(ProjectElement* element, const QString& configuration,
                                      QStringList& list, bool absolute) {
    for (ProjectElement* e = element; e; e = e->nextSibling()) {
        if (e->isConfiguration()) continue;
        const QString name = output(e, configuration, absolute);
        if (!name.isEmpty()) list.append(name);
        findOutputs(e->firstChild(), configuration, list, absolute);
    }
}

void StandardBuildSystem::findRelativeInputs(ProjectElement* element, const QString& configuration,
                                             QStringList& list) {
    for (ProjectElement* e = element; e; e = e->nextSibling()) {
        if (e->isFile()) {
            if (projectSystem->settingFor(e, buildExcludeFromBuild, configuration) == No)
                list.append(e->getRelativePath());
        } else if (!e->isConfiguration()) {
            findRelativeInputs(e->firstChild(), configuration, list);
        }
    }
}

ProjectElement* StandardBuildSystem::findFileOfType(ProjectElement* element,
                                                    const QString& configuration,
                                                    const QString& fileType) {
    if (!element) return nullptr;
    if (element->isFile()) {
        if (projectSystem->getFileType(element) == fileType &&
            projectSystem->settingFor(element, buildExcludeFromBuild, configuration) == No)
            return element;
        return nullptr;
    }
    for (ProjectElement* child = element->firstChild(); child; child = child->nextSibling()) {
        if (child->isConfiguration()) continue;
        if (ProjectElement* found = findFileOfType(child, configuration, fileType)) return found;
    }
    return nullptr;
}

bool StandardBuildSystem::mustCompile(ProjectElement* element, const QString& configuration) {
    const int action = buildAction(element, configuration);
    return isCompileAction(action) || action == Stage;
}

bool StandardBuildSystem::canCompile(ProjectElement* element, const QString& configuration) {
    const int action = buildAction(element, configuration);
    return (action >= Excluded && action <= Assemble) || action == Stage;
}

bool StandardBuildSystem::canLoad(ProjectElement* element, const QString& configuration) {
    if (!element || !element->isProject()) return false;
    const QString type = projectTypeOf(element);
    if (type == QLatin1String("Executable")) return true;
    return type == QLatin1String("Externally Built Executable") &&
           !projectSystem->settingFor(element, externalBuildFileName, configuration).isEmpty();
}

void StandardBuildSystem::cleanFile(const QString& path, bool quiet, Builder* builder) {
    const bool existed = statFile(path).exists;
    const bool removed = removeFile(path);
    invalidateFileTimes();
    if (quiet || !existed || !builder) return;
    if (removed)
        builder->note(QStringLiteral("Remove ") + QDir::toNativeSeparators(path));
    else
        builder->error(QStringLiteral("Cannot remove ") + path);
}

// ---------------------------------------------------------------------------
// Link inputs and side outputs

bool StandardBuildSystem::useFileForLink(ProjectElement* project, const QString& configuration,
                                         const QString& fileType, PropertyClass* setting,
                                         QString& path) {
    if (ProjectElement* file = findFileOfType(project, configuration, fileType)) {
        path = file->getPath().osPathQString();
        return true;
    }
    if (!setting) return false;
    path = projectSystem->settingFor(project, setting, configuration);
    if (path.isEmpty()) return false;
    path = replaceMacros(project, configuration, path);
    if (statFile(path).exists) return true;
    path = projectSystem->projectDirectoryPath(project) + QLatin1Char('/') + path;
    return statFile(path).exists;
}

bool StandardBuildSystem::useLinkerScriptFileForLink(ProjectElement* project,
                                                     const QString& configuration, QString& path) {
    return useFileForLink(project, configuration, QStringLiteral("Linker Script"), nullptr, path);
}

bool StandardBuildSystem::useMemoryMapFileForLink(ProjectElement* project,
                                                  const QString& configuration, QString& path) {
    return useFileForLink(project, configuration, QStringLiteral("Memory Map"), linkerMemoryMapFile,
                          path);
}

bool StandardBuildSystem::useSectionPlacementFileForLink(ProjectElement* project,
                                                         const QString& configuration,
                                                         QString& path) {
    return useFileForLink(project, configuration, QStringLiteral("Section Placement"),
                          linkerSectionPlacementFile, path);
}

bool StandardBuildSystem::sideOutputUpToDate(const QString& outputPath, const QString& extension,
                                             Builder* builder, bool quiet) {
    const QFileInfo info(outputPath);
    const QString file =
        info.path() + QLatin1Char('/') + beforeFirstDot(info.fileName()) + extension;
    if (statFile(file).exists) return true;
    if (!quiet && builder) builder->message(file + QStringLiteral(" does not exist."));
    return false;
}

bool StandardBuildSystem::additionalOutputFileUpToDate(ProjectElement* project,
                                                       const QString& configuration,
                                                       const QString& outputPath,
                                                       const QStringList&, Builder* builder,
                                                       bool quiet) {
    const QString format = projectSystem->settingFor(project, linkerOutputFormat, configuration);
    if (format == QLatin1String("None")) return true;
    return sideOutputUpToDate(outputPath, QLatin1Char('.') + format, builder, quiet);
}

bool StandardBuildSystem::mapOutputFileUpToDate(ProjectElement* project,
                                                const QString& configuration,
                                                const QString& outputPath, const QStringList&,
                                                Builder* builder, bool quiet) {
    if (projectSystem->settingFor(project, linkerMapFile, configuration) != Yes) return true;
    return sideOutputUpToDate(outputPath, QStringLiteral(".map"), builder, quiet);
}

QString StandardBuildSystem::displayName(ProjectElement* element, const QString& configuration) {
    if (!element->isFile() || element->hasAttribute(QStringLiteral("Name"))) return element->name();
    const QString path = replaceMacros(element, configuration, element->fileName());
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
