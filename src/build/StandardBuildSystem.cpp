#include "build/StandardBuildSystem.h"

#include "base/Builder.h"
#include "base/HException.h"
#include "base/Path.h"
#include "base/SettingTexts.h"
#include "build/Builtins.h"
#include "project/ProjectSystem.h"

#include <new>

StandardBuildSystem* standardBuildSystem = nullptr;

StandardBuildSystem::~StandardBuildSystem() {
    if (standardBuildSystem == this) standardBuildSystem = nullptr;
}

QString StandardBuildSystem::projectTypeOf(ProjectElement* project) {
    return projectSystem->settingFor(project, projectSystem->projectTypeProperty(),
                                     SettingText::Common);
}

QString StandardBuildSystem::absoluteIn(const QString& directory, const QString& path) {
    if (path.isEmpty() || Path::isAbsolute(path)) return path;
    return directory + QLatin1Char('/') + path;
}

QString StandardBuildSystem::projectDirectoryOf(ProjectElement* element) {
    ProjectElement* project = ProjectSystem::projectContaining(element);
    return projectSystem->projectDirectoryPath(project ? project : element);
}

// ---------------------------------------------------------------------------
// Builtins

bool StandardBuildSystem::builtinCommand(const QString& directory, const QStringList& command,
                                         QString& errorText) {
    return Builtins::builtinCommand(directory, command, errorText);
}

QStringList StandardBuildSystem::splitCommand(const QString& text) {
    return Builtins::splitCommand(text);
}

// ---------------------------------------------------------------------------
// Hooks with a toolchain-neutral default

bool StandardBuildSystem::commandUpToDate(ProjectElement* element, const QString& configuration,
                                          const QDateTime& outputTime, BuildAction action,
                                          Builder* builder, bool quiet) {
    QList<const PropertyClass*> settings;
    switch (int(action)) {
    case CompileC:
    case CompileCpp:
    case CompileForth:
    case CompileBasic:
    case Assemble:
        settings = {projectSystem->fileTypeProperty(),
                    buildQuietly,
                    buildDebugInformation,
                    buildTreatWarningsAsErrors,
                    buildSuppressWarnings,
                    cAdditionalOptions,
                    asmAdditionalOptions,
                    cPreprocessorDefinitions,
                    cPreprocessorUndefinitions,
                    cUserIncludeDirectories,
                    cSystemIncludeDirectories,
                    cUndefineAllPreprocessorDefinitions,
                    cEnforceAnsiChecking,
                    cppEnableExceptions,
                    cppEnableRtti,
                    defaultCodeSection,
                    defaultDataSection,
                    defaultZeroedSection,
                    defaultConstSection,
                    defaultVectorSection};
        break;
    case Link:
        settings = {projectSystem->projectTypeProperty(),
                    projectSystem->projectDependenciesProperty(),
                    buildQuietly,
                    buildDebugInformation,
                    buildTreatWarningsAsErrors,
                    buildSuppressWarnings,
                    linkIncludeStandardLibraries,
                    linkUseMultiThreadedLibraries,
                    linkerAdditionalFiles,
                    linkerAdditionalOptions,
                    linkerMemoryMapFile,
                    linkerOutputFormat,
                    linkerMapFile,
                    linkerPrintfFpEnabled,
                    linkerPrintfWidthPrecisionSupported,
                    linkerPrintfFmtLevel,
                    linkerScanfFpEnabled,
                    linkerScanfFmtLevel,
                    linkerScanfCharacterGroupMatchingEnabled,
                    linkerPostBuildCommand,
                    linkSymbolDefinitions,
                    linkerKeepSymbols};
        break;
    case Archive:
        settings = {projectSystem->projectTypeProperty()};
        break;
    case Stage:
        settings = {stageOutputFilepath, stageCommand, stageSetReadonly};
        break;
    case Combine:
        settings = {combineOutputFilepath, combineCommand, combineSetReadonly};
        break;
    default:
        break;
    }
    for (const PropertyClass* setting : settings) {
        if (!projectSystem->upToDate(element, setting, configuration, outputTime, builder, quiet))
            return false;
    }
    return true;
}

QString StandardBuildSystem::getObjectFileExtension() const {
    return projectSystem->objectFileExtension();
}

QString StandardBuildSystem::getExecutableFileExtension() const {
    return projectSystem->executableFileExtension();
}

QString StandardBuildSystem::getLibraryFileExtension() const {
    return projectSystem->libraryFileExtension();
}

void StandardBuildSystem::rememberDependencies(const QString& source, const QString& objectPath) {
    // Read the fresh object once now, so that the next build, typically one
    // with nothing to do, finds it in the log instead of opening it.
    DependencyLog* log = dependencyLog();
    if (!log || stopping()) return;
    QStringList dependencies;
    objectDependencies(source, objectPath, dependencies);
}

bool StandardBuildSystem::objectDependencies(const QString& source, const QString& objectPath,
                                             QStringList& dependencies) {
    const FileStat stamp = statFile(objectPath);
    DependencyLog* log = dependencyLog();
    if (log && log->find(objectPath, stamp, dependencies)) return true;
    try {
        dependencies = getObjectFileDependencies(m_projectDirectory, source, objectPath);
    } catch (const HException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (log && stamp.exists) log->record(objectPath, stamp, dependencies);
    return true;
}
