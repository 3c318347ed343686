#pragma once

// Root of the build engine: orchestration of solution and project builds and
// the build property catalogue's generic layer. Macro maps, the view of the
// disk, the dependency log and the property registry are collaborators of
// their own; the operations here delegate to them.

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include "base/FileSystem.h"
#include "build/BuildFiles.h"
#include "build/BuildMacros.h"
#include "build/DependencyLog.h"
#include "build/PropertyRegistry.h"
#include "build/SolutionDependencyLog.h"
#include "macros/MacroSystem.h"

class Builder;
class CompilationDatabase;
class ProjectElement;
class PropertyClass;

class BuildSystem {
public:
    // What building an element means. 4 and 9 have no name and are never produced:
    // 4 counts as a compile action wherever actions are tested, 9 builds nothing.
    enum BuildAction {
        NoAction = 0,
        Excluded = 1,
        CompileC = 2,
        CompileCpp = 3,
        CompileForth = 5,
        CompileBasic = 6,
        Assemble = 7,
        Prebuilt = 8,
        Link = 10,
        Archive = 11,
        Stage = 12,
        Combine = 13
    };

    // Bits of the build flags handed from the driver to the build loop.
    enum BuildFlag { CleanFlag = 1, ForceFlag = 2, NoBuildFlag = 4, QuietFlag = 8 };

    struct builtStruct {
        ProjectElement* element;
        QString configuration;
        bool built;
    };

    BuildSystem();
    virtual ~BuildSystem();
    BuildSystem(const BuildSystem&) = delete;
    BuildSystem& operator=(const BuildSystem&) = delete;

    // --- virtual slots -------------------------------------------------------
    // Source scanning for included files: nothing in the command-line tool calls these.
    virtual QString findIncludeFile(const QString& directory, const QString& name,
                                    const QStringList& includeDirectories);
    virtual QString output(ProjectElement* element, const QString& configuration, bool absolute);
    virtual QStringList getDependencies(ProjectElement* element, const QString& configuration);
    // The element's full macro map, built afresh (the toolchain layer extends it).
    virtual MacroMap macros(ProjectElement* element, const QString& configuration);
    virtual bool canLoad(ProjectElement* element, const QString& configuration);
    virtual bool canCompile(ProjectElement* element, const QString& configuration);
    virtual bool mustCompile(ProjectElement* element, const QString& configuration);
    virtual bool platformBuild(ProjectElement* element, const QString& configuration,
                               Builder* builder, int flags);
    // Called last by BuildSystem::macros; does nothing here. For files the
    // cached maps are layered: there it receives an empty map, whose entries
    // win over the file's own, and it is the place for a toolchain to add
    // file macros.
    virtual void addMacros(ProjectElement* element, const QString& configuration, MacroMap& map);

    // --- orchestration -------------------------------------------------------
    // 3 when stopped, 2 when a command failed, else 1 when anything was built, else 0.
    int build(ProjectElement* element, const QString& configuration, Builder* builder, int flags,
              bool withDependencies, bool batch);
    bool solutionBuild(ProjectElement* solution, const QString& configuration, Builder* builder,
                       int flags, bool batch);
    bool projectBuild(ProjectElement* project, const QString& configuration, Builder* builder,
                      int flags, bool batch, const QString& batchConfiguration);
    void displayProjectConfiguration(ProjectElement* element, const QString& configuration,
                                     Builder* builder, int flags);
    bool justBuilt(ProjectElement* element, const QString& configuration, bool& built) const;
    const QList<builtStruct>& builtList() const { return m_built; }

    bool failed() const { return m_failed; }
    void setFailed(bool failed = true) { m_failed = failed; }

    // Extensions the driver switches on; all off by default.
    struct Options {
        // Nothing is removed or written: cleaning only names what it would remove.
        bool dryRun = false;
        // An output is also out of date when the commands that would make it
        // differ from those that made it.
        bool trackCommands = false;
        // A failed project ends only itself and the projects that depend on it.
        bool keepGoing = false;
        // When set, every compile step lists its command here, up to date or not.
        CompilationDatabase* compilationDatabase = nullptr;
    };
    void setOptions(const Options& options) { m_options = options; }
    const Options& options() const { return m_options; }
    // When commands are tracked: a hash of what the current project's commands
    // are formed from (the solution's files, the global macros and the project's
    // property-group file). While it is the one recorded for an output, the
    // output's commands need not be formed again to know they are unchanged.
    quint64 commandContext() const { return m_commandContext; }
    void enterCommandContext(const QString& propertyGroupFile);
    bool stopRequested() const { return m_stopRequested; }
    void requestStop() { m_stopRequested = true; }

    // --- macros ---------------------------------------------------------------
    // The (virtual) macro map of the element, cached per (element, configuration)
    // until clearCaches(): the tree does not change during a build. Date and Time
    // are produced at expansion time, so a cached map stays correct.
    MacroMap cachedMacros(ProjectElement* element, const QString& configuration) {
        return m_macros.cached(element, configuration);
    }
    // dynamic, when given, is set if the text used Date or Time.
    QString replaceMacros(ProjectElement* element, const QString& configuration,
                          const QString& text, bool* dynamic = nullptr) {
        return m_macros.replace(element, configuration, text, dynamic);
    }
    QString settingForExpanded(ProjectElement* element, PropertyClass* propertyClass,
                               const QString& configuration, bool* dynamic = nullptr);
    // Forget cached macro maps and file times (call after editing the tree).
    void clearCaches();

    // --- directories ------------------------------------------------------------
    void ensureDirExists(const QString& fileName);
    void recursiveMkdir(const QString& directory);

    // --- file-time decisions ------------------------------------------------------
    // fileName is taken relative to directory (an absolute name is used as is).
    bool exists(const QString& directory, const QString& fileName, QString& resolvedPath,
                QDateTime& time, Builder* builder, bool quiet) {
        return m_files.exists(directory, fileName, resolvedPath, time, builder, quiet);
    }
    // True when every dependency exists and none is strictly newer (whole seconds).
    bool upToDate(const QString& directory, const QString& outputName, const QDateTime& outputTime,
                  const QStringList& dependencies, Builder* builder, bool quiet) {
        return m_files.upToDate(directory, outputName, outputTime, dependencies, builder, quiet);
    }

    // Object dependencies kept between runs, in one log per solution inside
    // directory (empty: none, the default). Loaded when a build starts and
    // written when it ends.
    void setDependencyLogDirectory(const QString& directory) {
        m_dependencyLog.setDirectory(directory);
    }
    DependencyLog* dependencyLog() const { return m_dependencyLog.get(); }
    // Which outputs an earlier run left half made; null without a log directory
    // or off the disk.
    BuildJournal* journal() const { return m_dependencyLog.journal(); }

    // The file-system seam: stat results are cached per path and dropped whenever
    // a command runs or a file is removed.
    void setFileSystem(FileSystem* fileSystem) { m_files.setFileSystem(fileSystem); }
    FileSystem* fileSystem() const { return &m_files.fileSystem(); }
    FileStat statFile(const QString& path) { return m_files.stat(path); }
    bool removeFile(const QString& path) { return m_files.remove(path); }
    void invalidateFileTimes() { m_files.invalidate(); }

    // --- registry -------------------------------------------------------------------
    // Later registrations of a save name replace earlier ones.
    void addPropertyClass(PropertyClass* propertyClass) { m_registry.add(propertyClass); }
    PropertyClass* findPropertyClass(const QString& saveName) const {
        return m_registry.find(saveName);
    }
    // Keeps a class created by a build-system constructor alive as long as the
    // build system (the registry itself owns nothing).
    PropertyClass* adoptPropertyClass(PropertyClass* propertyClass) {
        return m_registry.adopt(propertyClass);
    }

    // --- catalogue: one member per class -------------------------------------------
    PropertyClass* buildTreatWarningsAsErrors = nullptr;
    PropertyClass* buildSuppressWarnings = nullptr;
    PropertyClass* buildIntermediateDirectory = nullptr;
    PropertyClass* buildOutputDirectory = nullptr;
    PropertyClass* buildObjectFileName = nullptr;
    PropertyClass* buildOutputFileNameExecutable = nullptr;
    PropertyClass* buildOutputFileNameLibrary = nullptr;
    PropertyClass* buildQuietly = nullptr;
    PropertyClass* buildActionClass = nullptr; // not registered (buildAction() is the query)
    PropertyClass* buildDebugInformation = nullptr;
    PropertyClass* buildExcludeFromBuild = nullptr;
    PropertyClass* stageOutputFilepath = nullptr;
    PropertyClass* stagePackageFilepath = nullptr;
    PropertyClass* stagePackageMemberName = nullptr;
    PropertyClass* stageCommand = nullptr;
    PropertyClass* stageSetReadonly = nullptr;
    PropertyClass* combineOutputFilepath = nullptr;
    PropertyClass* combineCommand = nullptr;
    PropertyClass* combineSetReadonly = nullptr;

protected:
    // Output names are asked for again and again (a library lists every
    // object its files were just checked against). They are kept with the
    // macro maps they came from, except names that used Date or Time.
    using OutputKey = BuildMacros::OutputKey;
    const QString* cachedOutput(const OutputKey& key) { return m_macros.cachedOutput(key); }
    void cacheOutput(const OutputKey& key, const QString& name) { m_macros.cacheOutput(key, name); }

    // Failed or stop requested: no further command, file or project is started.
    bool stopping() const { return m_failed || m_stopRequested; }

    bool m_failed = false;
    bool m_stopRequested = false;

private:
    bool projectBuildInner(ProjectElement* project, const QString& configuration, Builder* builder,
                           int flags, bool batch, const QString& batchConfiguration);
    // Keep-going: true (after saying so) when a dependency failed or was skipped.
    bool skippedForFailure(ProjectElement* project, const QList<ProjectElement*>& dependencies,
                           Builder* builder);
    // Keep-going: a failed project is remembered and the build goes on.
    void keepGoingAfter(ProjectElement* project);

    Options m_options;
    quint64 m_solutionContext = 0;
    quint64 m_commandContext = 0;
    // Keep-going: the projects that failed or were skipped for a failed dependency.
    QSet<ProjectElement*> m_failedProjects;
    QList<builtStruct> m_built;
    // Projects whose build is under way, to stop dependency cycles.
    QList<QPair<ProjectElement*, QString>> m_building;
    PropertyRegistry m_registry;
    BuildMacros m_macros{*this};
    BuildFiles m_files;
    SolutionDependencyLog m_dependencyLog;
};

extern BuildSystem* buildSystem;
