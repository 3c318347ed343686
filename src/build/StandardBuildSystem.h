#pragma once

// The toolchain-neutral build layer: compiler, linker, external-build and
// target settings (StandardCatalogue.cpp), the per-project build loop
// (BuildLoop.cpp, its steps decided in StepScan and run by StepRunner), the
// build-action and output queries (StandardQueries.cpp), the setting half of
// the up-to-date decisions and the builtin commands. The toolchain layer fills
// in the hooks that form real commands.

#include "build/BuildSystem.h"
#include "build/StepQueue.h"

class StandardBuildSystem : public BuildSystem {
public:
    // loadFileTypes follow "Detect" in the enumeration of external_load_file_type.
    explicit StandardBuildSystem(const QStringList& loadFileTypes = QStringList());
    ~StandardBuildSystem() override;

    // --- virtual slots of BuildSystem ------------------------------------------
    QString output(ProjectElement* element, const QString& configuration, bool absolute) override;
    bool canLoad(ProjectElement* element, const QString& configuration) override;
    bool canCompile(ProjectElement* element, const QString& configuration) override;
    bool mustCompile(ProjectElement* element, const QString& configuration) override;
    bool platformBuild(ProjectElement* element, const QString& configuration, Builder* builder,
                       int flags) override;

    // --- toolchain hooks ------------------------------------------------------------
    // Forms the command for the action and drives the builder with it. The build
    // loop hands it a builder that records; the calls are replayed once the step
    // is decided, and after a failed command only the open groups are closed.
    virtual void createCommandFor(ProjectElement* element, const QString& configuration,
                                  BuildAction action, const QString& outputName,
                                  const QString& resolvedOutputPath, const QStringList& inputs,
                                  Builder* builder, bool quiet, bool clean) = 0;
    // False (with one explanation unless quiet) when a setting that shapes the
    // action's command changed after outputTime. Layers above ask this first.
    virtual bool commandUpToDate(ProjectElement* element, const QString& configuration,
                                 const QDateTime& outputTime, BuildAction action, Builder* builder,
                                 bool quiet);
    // The files the object was built from, as recorded in it (empty when it
    // records none). Throws HException when the object cannot be read.
    virtual QStringList getObjectFileDependencies(const QString& projectDirectory,
                                                  const QString& sourcePath,
                                                  const QString& objectFilePath) = 0;
    // getObjectFileDependencies, answered from the dependency log while the
    // object is unchanged since it was last read. False for an object that
    // cannot be read (truncated, zeroed, not an object): it is out of date and
    // nothing is remembered for it.
    bool objectDependencies(const QString& source, const QString& objectPath,
                            QStringList& dependencies);
    // Records the dependencies of an object a command has just made.
    void rememberDependencies(const QString& source, const QString& objectPath);
    // Adds or refreshes (file non-empty) or removes (file empty) one member of a
    // compressed package. Without force an up-to-date member is left alone.
    virtual void addToRemoveFromArchive(const QString& archivePath, const QString& memberName,
                                        const QString& filePath, Builder* builder, bool quiet,
                                        bool force);
    // Extensions with their leading dot; by default the project system's.
    virtual QString getObjectFileExtension() const;
    virtual QString getExecutableFileExtension() const;
    virtual QString getLibraryFileExtension() const;

    // --- builtin commands (carried out inside the tool) ----------------------------
    bool builtinCommand(const QString& directory, const QStringList& command, QString& errorText);
    static QStringList splitCommand(const QString& text);

    // --- queries of the build loop ------------------------------------------------------
    BuildAction buildAction(ProjectElement* element, const QString& configuration);
    QString output(BuildAction action, ProjectElement* element, const QString& configuration,
                   bool absolute);
    // Outputs of the element, its following siblings and their descendants, depth first.
    void findOutputs(ProjectElement* element, const QString& configuration, QStringList& list,
                     bool absolute);
    // Relative paths of the non-excluded files from the element on, depth first.
    void findRelativeInputs(ProjectElement* element, const QString& configuration,
                            QStringList& list);
    ProjectElement* findFileOfType(ProjectElement* element, const QString& configuration,
                                   const QString& fileType);
    void cleanFile(const QString& path, bool quiet, Builder* builder);
    // The name progress titles give the element: its Name, or for a file that
    // has none the file-name part of its file_name, macros expanded.
    QString displayName(ProjectElement* element, const QString& configuration);

    bool useLinkerScriptFileForLink(ProjectElement* project, const QString& configuration,
                                    QString& path);
    bool useMemoryMapFileForLink(ProjectElement* project, const QString& configuration,
                                 QString& path);
    bool useSectionPlacementFileForLink(ProjectElement* project, const QString& configuration,
                                        QString& path);
    bool additionalOutputFileUpToDate(ProjectElement* project, const QString& configuration,
                                      const QString& outputPath, const QStringList& dependencies,
                                      Builder* builder, bool quiet);
    bool mapOutputFileUpToDate(ProjectElement* project, const QString& configuration,
                               const QString& outputPath, const QStringList& dependencies,
                               Builder* builder, bool quiet);

    bool platformBuild1(ProjectElement* element, const QString& configuration, Builder* builder,
                        int flags);

    static bool isCompileAction(int action) { return action >= CompileC && action <= Assemble; }
    static QString projectTypeOf(ProjectElement* project);
    // path made absolute in directory (an empty or absolute path is kept).
    static QString absoluteIn(const QString& directory, const QString& path);
    // The directory of the project that holds the element.
    static QString projectDirectoryOf(ProjectElement* element);

    // Parallel builds: the commands of files' compile steps run ahead through
    // runAhead (null, the default: one command at a time).
    void setRunAhead(RunAhead* runAhead) { m_steps.setRunAhead(runAhead); }

    // Absolute directory of the project being built (set by platformBuild).
    const QString& projectDirectory() const { return m_projectDirectory; }
    void setProjectDirectory(const QString& directory) { m_projectDirectory = directory; }
    // Object file (absolute path) -> files it was built from.
    QHash<QString, QStringList>& dependencyCache() { return m_dependencyCache; }

    // --- catalogue: one member per class ------------------------------------------------
    PropertyClass* cEnforceAnsiChecking = nullptr;
    PropertyClass* cUndefineAllPreprocessorDefinitions = nullptr;
    PropertyClass* cPreprocessorDefinitions = nullptr;
    PropertyClass* cPreprocessorUndefinitions = nullptr;
    PropertyClass* cIgnoreIncludes = nullptr;
    PropertyClass* cSystemIncludeDirectories = nullptr;
    PropertyClass* cUserIncludeDirectories = nullptr;
    PropertyClass* cAdditionalOptions = nullptr;
    PropertyClass* cppEnableExceptions = nullptr;
    PropertyClass* cppEnableRtti = nullptr;
    PropertyClass* asmAdditionalOptions = nullptr;
    PropertyClass* defaultCodeSection = nullptr;
    PropertyClass* defaultDataSection = nullptr;
    PropertyClass* defaultZeroedSection = nullptr;
    PropertyClass* defaultConstSection = nullptr;
    PropertyClass* defaultVectorSection = nullptr;

    PropertyClass* linkIncludeStandardLibraries = nullptr;
    PropertyClass* linkUseMultiThreadedLibraries = nullptr;
    PropertyClass* linkSymbolDefinitions = nullptr;
    PropertyClass* linkerKeepSymbols = nullptr;
    PropertyClass* linkerAdditionalFiles = nullptr;
    PropertyClass* linkerAdditionalOptions = nullptr;
    PropertyClass* linkerMemoryMapFile = nullptr;
    PropertyClass* linkerSectionPlacementFile = nullptr;
    PropertyClass* linkerOutputFormat = nullptr;
    PropertyClass* linkerMapFile = nullptr;
    PropertyClass* linkerPrintfFmtLevel = nullptr;
    PropertyClass* linkerPrintfWidthPrecisionSupported = nullptr;
    PropertyClass* linkerPrintfFpEnabled = nullptr;
    PropertyClass* linkerScanfFmtLevel = nullptr;
    PropertyClass* linkerScanfFpEnabled = nullptr;
    PropertyClass* linkerScanfCharacterGroupMatchingEnabled = nullptr;
    PropertyClass* linkerPostBuildCommand = nullptr;
    PropertyClass* externalBuildFileName = nullptr;
    PropertyClass* externalBuildCommand = nullptr;
    PropertyClass* externalCleanCommand = nullptr;
    PropertyClass* externalStartAddress = nullptr;
    PropertyClass* externalLoadAddress = nullptr;
    PropertyClass* externalLoadFileType = nullptr;
    PropertyClass* targetResetScript = nullptr;
    PropertyClass* targetAttachScript = nullptr;
    PropertyClass* targetGoScript = nullptr;
    PropertyClass* targetStopScript = nullptr;
    PropertyClass* propertyGroupsFilePath = nullptr;

private:
    // Makes the element's property groups file current, when it names one.
    void loadPropertyGroups(ProjectElement* element, const QString& configuration);
    bool useFileForLink(ProjectElement* project, const QString& configuration,
                        const QString& fileType, PropertyClass* setting, QString& path);
    bool sideOutputUpToDate(const QString& outputPath, const QString& extension, Builder* builder,
                            bool quiet);

    QString m_projectDirectory;
    QHash<QString, QStringList> m_dependencyCache;
    StepQueue m_steps{*this};
};

extern StandardBuildSystem* standardBuildSystem;
