#pragma once

// What the solution model needs from the build layer above it, handed down
// through this interface so the model never includes the build engine: the
// build's setting classes (for the applicable-settings lists) and its macro
// expansion. The build layer installs the one implementation.

#include <QString>

class ProjectElement;
class PropertyClass;

// The build settings the standard project system offers, named as the build
// layer names them (it fills the struct member by member from this list).
// clang-format off
#define SLIPWAY_BUILD_SETTING_CLASSES(X)                                                         \
    X(cPreprocessorDefinitions) X(cPreprocessorUndefinitions) X(cUserIncludeDirectories)       \
    X(cSystemIncludeDirectories) X(cUndefineAllPreprocessorDefinitions) X(cIgnoreIncludes)     \
    X(cAdditionalOptions) X(cEnforceAnsiChecking) X(cppEnableExceptions) X(cppEnableRtti)      \
    X(asmAdditionalOptions) X(buildTreatWarningsAsErrors) X(buildSuppressWarnings)             \
    X(buildDebugInformation) X(buildQuietly) X(buildOutputDirectory)                           \
    X(buildIntermediateDirectory) X(buildOutputFileNameExecutable)                             \
    X(buildOutputFileNameLibrary) X(buildObjectFileName) X(buildExcludeFromBuild)              \
    X(defaultCodeSection) X(defaultDataSection) X(defaultZeroedSection)                        \
    X(defaultConstSection) X(defaultVectorSection) X(linkerMemoryMapFile) X(linkerMapFile)     \
    X(linkerSectionPlacementFile) X(linkIncludeStandardLibraries)                              \
    X(linkUseMultiThreadedLibraries) X(linkerAdditionalFiles) X(linkerAdditionalOptions)       \
    X(linkerOutputFormat) X(linkerPrintfFmtLevel) X(linkerPrintfFpEnabled)                     \
    X(linkerPrintfWidthPrecisionSupported) X(linkerScanfFmtLevel) X(linkerScanfFpEnabled)      \
    X(linkerScanfCharacterGroupMatchingEnabled) X(linkerPostBuildCommand)                      \
    X(linkSymbolDefinitions) X(linkerKeepSymbols) X(targetResetScript) X(targetAttachScript)   \
    X(targetGoScript) X(targetStopScript) X(stageCommand) X(stageOutputFilepath)               \
    X(stagePackageFilepath) X(stagePackageMemberName) X(stageSetReadonly) X(combineCommand)    \
    X(combineOutputFilepath) X(combineSetReadonly) X(externalBuildFileName)                    \
    X(externalBuildCommand) X(externalCleanCommand) X(externalLoadAddress)                     \
    X(externalStartAddress) X(externalLoadFileType) X(propertyGroupsFilePath)
// clang-format on

// All null while no build system exists.
struct BuildSettingClasses {
#define SLIPWAY_DECLARE_SETTING_CLASS(name) PropertyClass* name = nullptr;
    SLIPWAY_BUILD_SETTING_CLASSES(SLIPWAY_DECLARE_SETTING_CLASS)
#undef SLIPWAY_DECLARE_SETTING_CLASS
};

class BuildHooks {
public:
    virtual ~BuildHooks() = default;
    // The classes of the build system in use, read afresh on every call: build
    // systems come and go (tests make one per case).
    virtual BuildSettingClasses settingClasses() const = 0;
    // False, text untouched, while no build system exists; else the text with
    // the element's macros expanded as the build expands them.
    virtual bool expandMacros(ProjectElement* element, const QString& configuration,
                              QString* text) const = 0;
};

// Null until the build layer installs its implementation.
extern BuildHooks* buildHooks;

// Convenience for the model: the classes, all null without hooks.
inline BuildSettingClasses buildSettingClasses() {
    return buildHooks ? buildHooks->settingClasses() : BuildSettingClasses();
}
