#include "build/StandardBuildSystem.h"

#include <QDir>
#include <QFileInfo>

#include "base/Branding.h"
#include "base/Builder.h"
#include "base/Path.h"
#include "base/SettingTexts.h"
#include "build/Builtins.h"
#include "build/PropertyCatalogue.h"
#include "project/ProjectSystem.h"
#include "project/PropertyValueGroup.h"

StandardBuildSystem* standardBuildSystem = nullptr;

namespace {

using SettingText::Common;
using SettingText::No;
using SettingText::Yes;

using S = StandardBuildSystem;
using Row = CatalogueRow<StandardBuildSystem>;
using P = PropertyClass;

// Creation order is the order of these rows: three linker settings first, then the
// compiler, preprocessor, assembler and section settings, then the rest.
const Row catalogue[] = {
    {&S::linkIncludeStandardLibraries, "link_include_standard_libraries", "Linker Options",
     "Include Standard Libraries", P::Boolean, "Yes", nullptr,
     "Specifies whether the standard libraries should be linked into your application."},
    {&S::linkUseMultiThreadedLibraries, "link_use_multi_threaded_libraries", "Linker Options",
     "Use Multi Threaded Libraries", P::Boolean, "No", nullptr,
     "Specifies whether to use thread safe standard libraries."},
    {&S::linkSymbolDefinitions, "link_symbol_definitions", "Linker Options",
     "Linker Symbol Definitions", P::StringList, "", nullptr,
     "Specifies one or more linker symbol definitions."},

    {&S::cEnforceAnsiChecking, "c_enforce_ansi_checking", "Compiler Options",
     "Enforce ANSI Checking", P::Boolean, "", nullptr,
     "Ensure programs conform to the ANSI-C/C++ standard."},
    {&S::cUndefineAllPreprocessorDefinitions, "c_undefine_all_preprocessor_definitions",
     "Preprocessor Options", "Undefine All Preprocessor Definitions", P::Boolean, "No", nullptr,
     "Does not define any standard preprocessor definitions."},
    {&S::cPreprocessorDefinitions, "c_preprocessor_definitions", "Preprocessor Options",
     "Preprocessor Definitions", P::StringList, "", nullptr,
     "Specifies one or more preprocessor definitions."},
    {&S::cPreprocessorUndefinitions, "c_preprocessor_undefinitions", "Preprocessor Options",
     "Preprocessor Undefinitions", P::StringList, "", nullptr,
     "Specifies one or more preprocessor undefinitions."},
    {&S::cIgnoreIncludes, "c_ignore_includes", "Preprocessor Options", "Ignore Includes",
     P::Boolean, "No", nullptr, "Ignore the include directories properties."},
    {&S::cSystemIncludeDirectories, "c_system_include_directories", "Preprocessor Options",
     "System Include Directories", P::StringList, "$(StudioDir)/include", nullptr,
     "Specifies the system include path."},
    {&S::cUserIncludeDirectories, "c_user_include_directories", "Preprocessor Options",
     "User Include Directories", P::StringList, ".", nullptr, "Specifies the user include path."},
    {&S::cAdditionalOptions, "c_additional_options", "Compiler Options",
     "Additional Compiler Options", P::StringList, "", nullptr,
     Get_TARGET_CPP() ? "Enables additional options to be supplied to the C/C++ compiler."
                      : "Enables additional options to be supplied to the C compiler."},
    {&S::cppEnableExceptions, "cpp_enable_exceptions", "Compiler Options",
     "Enable Exception Support", P::Boolean, "No", nullptr,
     "Specifies whether exception support is enabled."},
    {&S::cppEnableRtti, "cpp_enable_rtti", "Compiler Options", "Enable RTTI Support", P::Boolean,
     "No", nullptr, "Specifies whether RTTI support is enabled."},
    {&S::asmAdditionalOptions, "asm_additional_options", "Assembler Options",
     "Additional Assembler Options", P::StringList, "", nullptr,
     "Enables additional options to be supplied to the assembler."},
    // Section defaults are product constants, filled in by the constructor.
    {&S::defaultCodeSection, "default_code_section", "Section Options", "Code Section Name",
     P::String, "", nullptr, "Specifies the default name to use for the program code section."},
    {&S::defaultDataSection, "default_data_section", "Section Options", "Data Section Name",
     P::String, "", nullptr,
     "Specifies the default name to use for the initialised, writable data section."},
    {&S::defaultZeroedSection, "default_zeroed_section", "Section Options", "Zeroed Section Name",
     P::String, "", nullptr,
     "Specifies the default name to use for the zero-initialised, writable data section."},
    {&S::defaultConstSection, "default_const_section", "Section Options", "Constant Section Name",
     P::String, "", nullptr,
     "Specifies the default name to use for the read-only constant section."},
    {&S::defaultVectorSection, "default_vector_section", "Section Options", "Vector Section Name",
     P::String, "", nullptr, "Specifies the default name to use for the interrupt vector section."},

    {&S::linkerAdditionalFiles, "linker_additional_files", "Linker Options",
     "Additional Input Files", P::StringList, "", nullptr,
     "Enables additional object and library files to be supplied to the linker."},
    {&S::linkerAdditionalOptions, "linker_additional_options", "Linker Options",
     "Additional Linker Options", P::StringList, "", nullptr,
     "Enables additional options to be supplied to the linker."},
    {&S::linkerMemoryMapFile, "linker_memory_map_file", "Linker Options", "Memory Map File",
     P::FileName, "", nullptr, "The name of the file containing the memory map description."},
    {&S::linkerSectionPlacementFile, "linker_section_placement_file", "Linker Options",
     "Section Placement File", P::FileName, "", nullptr,
     "The name of the file containing section placement description."},
    // Values and default come from the toolchain layer.
    {&S::linkerOutputFormat, "linker_output_format", "Linker Options", "Additional Output Format",
     P::Enumeration, "", nullptr,
     "The format used when creating an additional linked output file."},
    {&S::linkerMapFile, "linker_map_file", "Linker Options", "Generate Map File", P::Boolean, "Yes",
     nullptr, "Specifies whether to generate a linkage map file."},
    {&S::linkerPrintfFmtLevel, "linker_printf_fmt_level", "Printf/Scanf Options",
     "Printf Integer Support", P::Enumeration, "int", "int|long|long long",
     "The largest integer type supported by the printf function group."},
    {&S::linkerPrintfWidthPrecisionSupported, "linker_printf_width_precision_supported",
     "Printf/Scanf Options", "Printf Width/Precision Supported", P::Boolean, "Yes", nullptr,
     "Enables support for width and precision specification in the printf function group."},
    {&S::linkerPrintfFpEnabled, "linker_printf_fp_enabled", "Printf/Scanf Options",
     "Printf Floating Point Supported", P::Boolean, "No", nullptr,
     "Are floating point numbers supported by the printf function group."},
    {&S::linkerScanfFmtLevel, "linker_scanf_fmt_level", "Printf/Scanf Options",
     "Scanf Integer Support", P::Enumeration, "int", "int|long|long long",
     "The largest integer type supported by the scanf function group."},
    {&S::linkerScanfFpEnabled, "linker_scanf_fp_enabled", "Printf/Scanf Options",
     "Scanf Floating Point Supported", P::Boolean, "No", nullptr,
     "Are floating point numbers supported by the scanf function group."},
    {&S::linkerScanfCharacterGroupMatchingEnabled, "linker_scanf_character_group_matching_enabled",
     "Printf/Scanf Options", "Scanf Classes Supported", P::Boolean, "No", nullptr,
     "Enables support for %[...] and %[^...] character class matching in the scanf "
     "functions."},
    {&S::linkerPostBuildCommand, "linker_post_build_command", "Linker Options",
     "Post Build Command", P::String, "", nullptr,
     "A command to run after the link has completed."},
    {&S::linkerKeepSymbols, "linker_keep_symbols", "Linker Options", "Keep Symbols", P::StringList,
     "", nullptr, "Specifies the symbols that should be kept by the linker."},
    {&S::externalBuildFileName, "external_build_file_name", "External Build Options",
     "Executable File", P::FileName, "", nullptr, "The name of the externally built executable."},
    {&S::externalBuildCommand, "external_build_command", "External Build Options", "Build Command",
     P::String, "", nullptr, "The command line to build the executable."},
    {&S::externalCleanCommand, "external_clean_command", "External Build Options", "Clean Command",
     P::String, "", nullptr, "The command line to clean the executable."},
    {&S::externalStartAddress, "external_start_address", "External Build Options", "Start Address",
     P::String, "", nullptr, "The address to start the externally built executable running from."},
    {&S::externalLoadAddress, "external_load_address", "External Build Options", "Load Address",
     P::String, "", nullptr, "The address to load the externally built executable."},
    // Values are "Detect" and the constructor's load-file types.
    {&S::externalLoadFileType, "external_load_file_type", "External Build Options",
     "Load File Type", P::Enumeration, "Detect", nullptr,
     "The file type of the externally built executable."},
    {&S::targetResetScript, "target_reset_script", "Target Options", "Reset Script", P::String, "",
     nullptr, "The script that is executed when the target is reset."},
    {&S::targetAttachScript, "target_attach_script", "Target Options", "Attach Script", P::String,
     "", nullptr, "The script that is executed when the target is attached to."},
    {&S::targetGoScript, "target_go_script", "Target Options", "Run Script", P::String, "", nullptr,
     "The script that is executed when the target is run."},
    {&S::targetStopScript, "target_stop_script", "Target Options", "Stop Script", P::String, "",
     nullptr, "The script that is executed when the target is stopped."},
    {&S::propertyGroupsFilePath, "property_groups_file_path", "General Options",
     "Property Groups File", P::FileName, "$(StudioDir)/targets/propertyGroups.xml", nullptr,
     "The file containing the property groups for this project."},
};

QString beforeFirstDot(const QString& name) {
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

bool isCompileAction(int action) {
    return action >= BuildSystem::CompileC && action <= BuildSystem::Assemble;
}

} // namespace

StandardBuildSystem::StandardBuildSystem(const QStringList& loadFileTypes) {
    standardBuildSystem = this;
    createCatalogue(this, catalogue);

    defaultCodeSection->setDefault(QString::fromLatin1(Get_DEFAULT_CODE_SECTION_NAME()));
    defaultDataSection->setDefault(QString::fromLatin1(Get_DEFAULT_DATA_SECTION_NAME()));
    defaultZeroedSection->setDefault(QString::fromLatin1(Get_DEFAULT_ZEROED_SECTION_NAME()));
    defaultConstSection->setDefault(QString::fromLatin1(Get_DEFAULT_CONST_SECTION_NAME()));
    defaultVectorSection->setDefault(QString::fromLatin1(Get_DEFAULT_VECTORS_SECTION_NAME()));

    externalLoadFileType->setEnumerates(QStringList{QStringLiteral("Detect")} + loadFileTypes);
}

StandardBuildSystem::~StandardBuildSystem() {
    if (standardBuildSystem == this) standardBuildSystem = nullptr;
}

// ---------------------------------------------------------------------------
// Small helpers

static QString projectTypeOf(ProjectElement* project) {
    return projectSystem->settingFor(project, projectSystem->projectTypeProperty(), Common);
}

static QString absoluteIn(const QString& directory, const QString& path) {
    if (path.isEmpty() || Path::isAbsolute(path)) return path;
    return directory + QLatin1Char('/') + path;
}

static QString projectDirectoryOf(ProjectElement* element) {
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

// ---------------------------------------------------------------------------
// Queries

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

// ---------------------------------------------------------------------------
// The build loop

bool StandardBuildSystem::platformBuild(ProjectElement* element, const QString& configuration,
                                        Builder* builder, int flags) {
    m_projectDirectory = projectDirectoryOf(element);
    loadPropertyGroups(element, configuration);
    return platformBuild1(element, configuration, builder, flags);
}

void StandardBuildSystem::loadPropertyGroups(ProjectElement* element,
                                             const QString& configuration) {
    const QString file = settingForExpanded(element, propertyGroupsFilePath, configuration);
    if (!file.isEmpty() && propertyValueGroups) propertyValueGroups->setGroupFile(file);
}

bool StandardBuildSystem::platformBuild1(ProjectElement* element, const QString& configuration,
                                         Builder* builder, int flags) {
    bool force = flags & ForceFlag;
    const bool clean = flags & CleanFlag;
    const bool noBuild = flags & NoBuildFlag;
    const bool quiet = flags & QuietFlag;

    if (builder) builder->idle();
    const int action = buildAction(element, configuration);

    if (action != Prebuilt) {
        if (m_failed) return false;
        if (!m_stopRequested) {
            bool childBuilt = false;
            for (ProjectElement* child = element->firstChild(); child && !stopping();
                 child = child->nextSibling()) {
                if (child->isConfiguration()) continue;
                if (platformBuild1(child, configuration, builder, flags)) childBuilt = true;
            }
            if (childBuilt) force = true;
        }
    }
    if (stopping()) return false;

    switch (action) {
    case NoAction:
    case Excluded:
        return force;
    case 9:
        return false;
    case Prebuilt:
        if (!element->isProject()) return force;
        return externalBuild(element, configuration, builder, force, clean, noBuild);
    case Link:
        return link(element, configuration, builder, force, clean, noBuild, quiet);
    case Archive:
        return archive(element, configuration, builder, force, clean, noBuild, quiet);
    case Stage:
        return stage(element, configuration, builder, force, clean, noBuild, quiet);
    case Combine:
        return combine(element, configuration, builder, force, clean, noBuild, quiet);
    default:
        if (isCompileAction(action))
            return compile(element, configuration, BuildAction(action), builder, force, clean,
                           noBuild, quiet);
        return force;
    }
}

QString StandardBuildSystem::displayName(ProjectElement* element, const QString& configuration) {
    if (!element->isFile() || element->hasAttribute(QStringLiteral("Name"))) return element->name();
    const QString path = replaceMacros(element, configuration, element->fileName());
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void StandardBuildSystem::reportUpToDate(Builder* builder, bool quiet, const QString& outputName,
                                         const char* tail) {
    if (!quiet && builder)
        builder->success(QLatin1Char('\'') + outputName + QLatin1Char('\'') + QLatin1String(tail));
}

void StandardBuildSystem::runCommand(Builder* builder) {
    builder->doit();
    invalidateFileTimes();
}

bool StandardBuildSystem::compile(ProjectElement* element, const QString& configuration,
                                  BuildAction action, Builder* builder, bool force, bool clean,
                                  bool noBuild, bool quiet) {
    const QString outputName = output(action, element, configuration, false);
    const QString source = element->getRelativePath();
    QString resolved;
    QDateTime time;
    if (exists(m_projectDirectory, outputName, resolved, time, builder, quiet) && !force) {
        QStringList dependencies = m_dependencyCache.value(resolved);
        if (dependencies.isEmpty()) dependencies = objectDependencies(source, resolved);
        if (dependencies.isEmpty()) dependencies << element->getPath().canonicalPathQString();
        if (upToDate(m_projectDirectory, outputName, time, dependencies, builder, quiet) &&
            commandUpToDate(element, configuration, time, action, builder, quiet)) {
            m_dependencyCache.insert(resolved, dependencies);
            reportUpToDate(builder, quiet, outputName, " is up to date");
            return false;
        }
        m_dependencyCache.remove(resolved);
    }
    if (clean) cleanFile(resolved, quiet, builder);
    if (!noBuild && builder) {
        createCommandFor(element, configuration, action, outputName, resolved, {source}, builder,
                         quiet, clean);
        invalidateFileTimes();
        rememberDependencies(source, resolved);
    }
    return true;
}

void StandardBuildSystem::rememberDependencies(const QString& source, const QString& objectPath) {
    // Read the fresh object once now, so that the next build, typically one
    // with nothing to do, finds it in the log instead of opening it.
    DependencyLog* log = dependencyLog();
    if (!log || stopping()) return;
    const FileStat stamp = statFile(objectPath);
    if (stamp.exists)
        log->record(objectPath, stamp,
                    getObjectFileDependencies(m_projectDirectory, source, objectPath));
}

QStringList StandardBuildSystem::objectDependencies(const QString& source,
                                                    const QString& objectPath) {
    const FileStat stamp = statFile(objectPath);
    DependencyLog* log = dependencyLog();
    QStringList dependencies;
    if (log && log->find(objectPath, stamp, dependencies)) return dependencies;
    dependencies = getObjectFileDependencies(m_projectDirectory, source, objectPath);
    if (log) log->record(objectPath, stamp, dependencies);
    return dependencies;
}

bool StandardBuildSystem::link(ProjectElement* project, const QString& configuration,
                               Builder* builder, bool force, bool clean, bool noBuild, bool quiet) {
    const QString outputName = output(Link, project, configuration, false);
    QStringList inputs;
    findOutputs(project->firstChild(), configuration, inputs, false);

    for (ProjectElement* dependency : projectSystem->directlyDependsOn(project, configuration)) {
        if (projectSystem->settingFor(dependency, buildExcludeFromBuild, configuration) != No)
            continue;
        const QString type = projectTypeOf(dependency);
        if (type == QLatin1String("Library")) {
            inputs << output(Archive, dependency, configuration, true);
            bool built = false;
            if (justBuilt(dependency, configuration, built) && built) force = true;
        } else if (type == QLatin1String("Object file")) {
            findOutputs(dependency->firstChild(), configuration, inputs, true);
        }
    }
    inputs << settingForExpanded(project, linkerAdditionalFiles, configuration)
                  .split(QLatin1Char(';'), Qt::SkipEmptyParts);

    QString resolved;
    QDateTime time;
    if (exists(m_projectDirectory, outputName, resolved, time, builder, quiet) && !force) {
        QStringList dependencies = inputs;
        QString file;
        if (useLinkerScriptFileForLink(project, configuration, file)) dependencies << file;
        if (useMemoryMapFileForLink(project, configuration, file)) dependencies << file;
        if (useSectionPlacementFileForLink(project, configuration, file)) dependencies << file;
        if (upToDate(m_projectDirectory, outputName, time, dependencies, builder, quiet) &&
            commandUpToDate(project, configuration, time, Link, builder, quiet) &&
            additionalOutputFileUpToDate(project, configuration, resolved, dependencies, builder,
                                         quiet) &&
            mapOutputFileUpToDate(project, configuration, resolved, dependencies, builder, quiet)) {
            reportUpToDate(builder, quiet, outputName, " is up to date");
            return false;
        }
    }
    if (clean) cleanFile(resolved, quiet, builder);
    if (!noBuild && builder) {
        createCommandFor(project, configuration, Link, outputName, resolved, inputs, builder, quiet,
                         clean);
        invalidateFileTimes();
        if (!stopping()) {
            const QStringList command =
                splitCommand(settingForExpanded(project, linkerPostBuildCommand, configuration));
            if (!command.isEmpty()) {
                builder->beginGroup(project, QStringLiteral("Post build command "), false);
                builder->init();
                builder->setDirectory(m_projectDirectory);
                builder->setCommand(command);
                runCommand(builder);
                builder->endGroup(project);
            }
        }
    }
    return true;
}

bool StandardBuildSystem::archive(ProjectElement* project, const QString& configuration,
                                  Builder* builder, bool force, bool clean, bool noBuild,
                                  bool quiet) {
    const QString outputName = output(Archive, project, configuration, false);
    QStringList inputs;
    findOutputs(project->firstChild(), configuration, inputs, false);
    QString resolved;
    QDateTime time;
    if (exists(m_projectDirectory, outputName, resolved, time, builder, quiet) && !force &&
        upToDate(m_projectDirectory, outputName, time, inputs, builder, quiet) &&
        commandUpToDate(project, configuration, time, Archive, builder, quiet)) {
        reportUpToDate(builder, quiet, outputName, " is up to date");
        return false;
    }
    if (clean) cleanFile(resolved, quiet, builder);
    if (!noBuild && builder) {
        createCommandFor(project, configuration, Archive, outputName, resolved, inputs, builder,
                         quiet, clean);
        invalidateFileTimes();
    }
    return true;
}

void StandardBuildSystem::runChmod(const QString& directory, bool readOnly, const QString& path,
                                   Builder* builder) {
    builder->init();
    builder->setDirectory(directory);
    builder->setCommand(
        {QStringLiteral("chmod"), readOnly ? QStringLiteral("-w") : QStringLiteral("+w"), path});
    runCommand(builder);
}

bool StandardBuildSystem::stage(ProjectElement* file, const QString& configuration,
                                Builder* builder, bool force, bool clean, bool noBuild,
                                bool quiet) {
    const QString outputName = output(Stage, file, configuration, false);
    const QString directory = projectDirectoryOf(file);
    const QString source = absoluteIn(directory, file->getRelativePath());

    QString resolved;
    QDateTime time;
    const bool present = exists(m_projectDirectory, outputName, resolved, time, builder, quiet);

    MacroMap stageMacros;
    stageMacros[QStringLiteral("StageOutputFilePath")] = resolved;
    const QString studioDir =
        macroSystem.replaceMacros(macroSystem.globalMacros(true), QStringLiteral("$(StudioDir)"));
    stageMacros[QStringLiteral("StageStudioDirRelativeOutputFilePath")] =
        ProjectSystem::relativeFilePath(studioDir, resolved);

    const QString package = settingForExpanded(file, stagePackageFilepath, configuration);
    const QString member = macroSystem.replaceMacros(
        stageMacros, settingForExpanded(file, stagePackageMemberName, configuration));
    const bool packaged = !package.isEmpty() && !member.isEmpty();

    if (present && !force &&
        upToDate(m_projectDirectory, outputName, time, {source}, builder, quiet) &&
        commandUpToDate(file, configuration, time, Stage, builder, quiet)) {
        reportUpToDate(builder, quiet, outputName, " is up to date.");
        if (packaged) {
            addToRemoveFromArchive(package, member, resolved, builder, quiet, false);
            invalidateFileTimes();
        }
        return false;
    }
    if (clean) cleanFile(resolved, quiet, builder);
    if (!noBuild && builder) {
        const QStringList command = splitCommand(macroSystem.replaceMacros(
            stageMacros, settingForExpanded(file, stageCommand, configuration)));
        builder->beginGroup(file, QStringLiteral("Copying ") + displayName(file, configuration),
                            false);
        builder->init();
        builder->setDirectory(directory);
        builder->setCommand(command);
        builder->setOutputFiles({resolved});
        runCommand(builder);
        if (!stopping()) {
            runChmod(directory,
                     projectSystem->settingFor(file, stageSetReadonly, configuration) == Yes,
                     resolved, builder);
            if (packaged && !stopping()) {
                addToRemoveFromArchive(package, member, resolved, builder, quiet, true);
                invalidateFileTimes();
            }
        }
        builder->endGroup(file);
    }
    return true;
}

bool StandardBuildSystem::combine(ProjectElement* project, const QString& configuration,
                                  Builder* builder, bool force, bool clean, bool noBuild,
                                  bool quiet) {
    const QString outputName = output(Combine, project, configuration, false);
    QStringList inputs;
    findRelativeInputs(project->firstChild(), configuration, inputs);
    QString resolved;
    QDateTime time;
    if (exists(m_projectDirectory, outputName, resolved, time, builder, quiet) && !force &&
        upToDate(m_projectDirectory, outputName, time, inputs, builder, quiet) &&
        commandUpToDate(project, configuration, time, Combine, builder, quiet)) {
        reportUpToDate(builder, quiet, outputName, " is up to date");
        return false;
    }
    if (clean) cleanFile(resolved, quiet, builder);
    if (!noBuild && builder) {
        MacroMap combineMacros;
        combineMacros[QStringLiteral("CombiningOutputFilePath")] = resolved;
        combineMacros[QStringLiteral("CombiningRelInputPaths")] = inputs.join(QLatin1Char(' '));
        const QStringList command = splitCommand(macroSystem.replaceMacros(
            combineMacros, settingForExpanded(project, combineCommand, configuration)));
        builder->beginGroup(project, QStringLiteral("Combining ") + project->name(), false);
        builder->init();
        builder->setDirectory(m_projectDirectory);
        builder->setCommand(command);
        builder->setOutputFiles({resolved});
        runCommand(builder);
        if (!stopping())
            runChmod(m_projectDirectory,
                     projectSystem->settingFor(project, combineSetReadonly, configuration) == Yes,
                     resolved, builder);
        builder->endGroup(project);
    }
    return true;
}

bool StandardBuildSystem::externalBuild(ProjectElement* project, const QString& configuration,
                                        Builder* builder, bool force, bool clean, bool noBuild) {
    if (!builder) return force;
    builder->init();
    builder->setDirectory(projectSystem->projectDirectoryPath(project));

    const QString cleanCommand =
        projectSystem->settingFor(project, externalCleanCommand, configuration);
    if (clean && !cleanCommand.isEmpty()) {
        builder->beginGroup(project, QStringLiteral("Running Clean command ") + project->name(),
                            false);
        builder->setCommand({cleanCommand});
        runCommand(builder);
        builder->endGroup(project);
    }
    const QString buildCommand =
        projectSystem->settingFor(project, externalBuildCommand, configuration);
    if (!stopping() && !noBuild && !buildCommand.isEmpty()) {
        builder->beginGroup(project, QStringLiteral("Running Build command ") + project->name(),
                            false);
        builder->setCommand({buildCommand});
        const QString executable = output(Prebuilt, project, configuration, true);
        builder->setOutputFiles(executable.isEmpty() ? QStringList() : QStringList{executable});
        runCommand(builder);
        builder->endGroup(project);
    }
    return force;
}
