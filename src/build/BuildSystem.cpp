#include "build/BuildSystem.h"

#include <QSet>

#include "base/Builder.h"
#include "base/OsFiles.h"
#include "base/Path.h"
#include "base/SettingTexts.h"
#include "build/PropertyCatalogue.h"
#include "build/StepPlan.h"
#include "project/ProjectSystem.h"

BuildSystem* buildSystem = nullptr;

namespace {

using SettingText::No;
using SettingText::Yes;

using Row = CatalogueRow<BuildSystem>;
using P = PropertyClass;

// Creation order is the order of these rows.
const Row catalogue[] = {
    {&BuildSystem::buildTreatWarningsAsErrors, "build_treat_warnings_as_errors", "Build Options",
     "Treat Warnings as Errors", P::Boolean, "No", nullptr, "Treat all warnings as errors."},
    {&BuildSystem::buildSuppressWarnings, "build_suppress_warnings", "Build Options",
     "Suppress Warnings", P::Boolean, "No", nullptr, "Don't report warnings."},
    {&BuildSystem::buildIntermediateDirectory, "build_intermediate_directory", "Build Options",
     "Intermediate Directory", P::FileName, "$(Configuration)", nullptr,
     "Specifies a relative path to the intermediate file directory."},
    {&BuildSystem::buildOutputDirectory, "build_output_directory", "Build Options",
     "Output Directory", P::FileName, "$(Configuration)", nullptr,
     "Specifies a relative path to the output file directory."},
    {&BuildSystem::buildObjectFileName, "build_object_file_name", "Compiler Options",
     "Object File Name", P::FileName, "$(IntDir)/$(InputName)$(OBJ)", nullptr,
     "Specifies a name to override the default object file name."},
    {&BuildSystem::buildOutputFileNameExecutable, "build_output_file_name", "Linker Options",
     "Executable File Name", P::FileName, "$(OutDir)/$(ProjectName)$(EXE)", nullptr,
     "Specifies a name to override the default executable file name."},
    {&BuildSystem::buildOutputFileNameLibrary, "build_output_file_name", "Library Options",
     "Library File Name", P::FileName, "$(OutDir)/$(ProjectName)$(LIB)", nullptr,
     "Specifies a name to override the default library file name."},
    {&BuildSystem::buildQuietly, "build_quietly", "Build Options", "Build Quietly", P::Boolean,
     "Yes", nullptr, "Suppress the display of startup banners and information messages."},
    {&BuildSystem::buildActionClass, "build_action", "(Information)", "Build Action", P::String, "",
     nullptr, "Specifies what action builds the output file.", 0, 0, false},
    {&BuildSystem::buildDebugInformation, "build_debug_information", "Build Options",
     "Include Debug Information", P::Boolean, "Yes", nullptr,
     "Specifies whether symbolic debug information is generated."},
    {&BuildSystem::buildExcludeFromBuild, "build_exclude_from_build", "Build Options",
     "Exclude From Build", P::Boolean, "No", nullptr,
     "Specifies whether or not to exclude the project/file from the build."},
    {&BuildSystem::stageOutputFilepath, "stage_output_filepath", "Staging Options",
     "Output File Path", P::String, "$(OutDir)/$(RelInputPath)", nullptr,
     "The output file path the stage command will create."},
    {&BuildSystem::stagePackageFilepath, "stage_package_filepath", "Staging Options",
     "Package File Path", P::String, "", nullptr,
     "The package file path that the stage command will update."},
    {&BuildSystem::stagePackageMemberName, "stage_package_member_name", "Staging Options",
     "Package Member Name", P::String, "$(StageStudioDirRelativeOutputFilePath)", nullptr,
     "The name of the package member. The macros $(StageOutputFilePath) and "
     "$(StageStudioDirRelativeOutputFilePath) are defined."},
    {&BuildSystem::stageCommand, "stage_command", "Staging Options", "Stage command", P::String,
     "cp \"$(RelInputPath)\" \"$(StageOutputFilePath)\"", nullptr,
     "The command to execute. The macros $(StageOutputFilePath) and "
     "$(StageStudioDirRelativeOutputFilePath) are defined."},
    {&BuildSystem::stageSetReadonly, "stage_set_readonly", "Staging Options", "Set Readonly",
     P::Boolean, "No", nullptr, "Set the output file to be readonly - default is read/write."},
    {&BuildSystem::combineOutputFilepath, "combine_output_filepath", "Combining Options",
     "Output File Path", P::String, "$(OutDir)/$(InputFileName)", nullptr,
     "The output file path the stage command will create."},
    {&BuildSystem::combineCommand, "combine_command", "Combining Options", "Combine command",
     P::String, "", nullptr, "The command to execute."},
    {&BuildSystem::combineSetReadonly, "combine_set_readonly", "Combining Options", "Set Readonly",
     P::Boolean, "No", nullptr, "Set the output file to be readonly - default is read/write."},
};

} // namespace

BuildSystem::BuildSystem() {
    buildSystem = this;
    createCatalogue(this, catalogue);
}

BuildSystem::~BuildSystem() {
    m_registry.clear();
    if (buildSystem == this) buildSystem = nullptr;
}

// ---------------------------------------------------------------------------
// Virtual slots

QString BuildSystem::findIncludeFile(const QString& directory, const QString& name,
                                     const QStringList& includeDirectories) {
    if (Path::isAbsolute(name)) return statFile(name).exists ? name : QString();
    QStringList directories;
    directories << directory << includeDirectories;
    for (const QString& dir : directories) {
        const QString candidate = dir.isEmpty() ? name : dir + QLatin1Char('/') + name;
        if (statFile(candidate).exists) return candidate;
    }
    return QString();
}

QString BuildSystem::output(ProjectElement*, const QString&, bool) {
    return QString();
}

QStringList BuildSystem::getDependencies(ProjectElement*, const QString&) {
    // Source dependencies come from object files, not from scanning sources.
    return QStringList();
}

MacroMap BuildSystem::macros(ProjectElement* element, const QString& configuration) {
    return m_macros.fresh(element, configuration);
}

bool BuildSystem::canLoad(ProjectElement*, const QString&) {
    return false;
}

bool BuildSystem::canCompile(ProjectElement*, const QString&) {
    return false;
}

bool BuildSystem::mustCompile(ProjectElement*, const QString&) {
    return false;
}

bool BuildSystem::platformBuild(ProjectElement*, const QString&, Builder*, int) {
    return false;
}

void BuildSystem::addMacros(ProjectElement*, const QString&, MacroMap&) {}

// ---------------------------------------------------------------------------
// Orchestration

int BuildSystem::build(ProjectElement* element, const QString& configuration, Builder* builder,
                       int flags, bool withDependencies, bool batch) {
    m_stopRequested = false;
    m_failed = false;
    m_built.clear();
    m_building.clear();
    m_failedProjects.clear();
    clearCaches();
    m_dependencyLog.open(element, m_files.fileSystem());
    if (builder) builder->setFailedFlag(&m_failed);
    if (m_options.trackCommands) {
        TextHash hash;
        for (ProjectElement* solution : projectSystem->solutionSolutions()) {
            const QString path = solution->getPath().osPathQString();
            const FileStat st = statFile(path);
            hash.text(path);
            hash.number(st.size);
            hash.number(st.modifiedNs);
            hash.number(qint64(st.inode));
        }
        const MacroMap globals = macroSystem.globalMacros(true);
        for (auto it = globals.constBegin(); it != globals.constEnd(); ++it) {
            hash.text(it.key());
            hash.text(it.value());
        }
        m_solutionContext = m_commandContext = hash.h;
    }

    bool result = false;
    if (element && element->isSolution()) {
        result = solutionBuild(element, configuration, builder, flags, batch);
    } else if (element && element->isProject() && withDependencies) {
        result = projectBuild(element, configuration, builder, flags, batch, configuration);
    } else if (element) {
        if (builder) displayProjectConfiguration(element, configuration, builder, flags);
        result = platformBuild(element, configuration, builder, flags);
        m_built.append({element, configuration, result});
        if (builder) builder->endGroup(element);
    }

    // A dry run leaves the remembered dependencies and the journal as they were.
    if (!m_options.dryRun) m_dependencyLog.save();
    if (stopping()) {
        if (builder) builder->endGroup(element);
        return m_stopRequested ? 3 : 2;
    }
    // Kept going past failures: the run still failed.
    if (!m_failedProjects.isEmpty()) {
        m_failed = true;
        return 2;
    }
    return result ? 1 : 0;
}

bool BuildSystem::solutionBuild(ProjectElement* solution, const QString& configuration,
                                Builder* builder, int flags, bool batch) {
    if (stopping() || !solution->firstChild()) return false;
    bool built = false;
    for (ProjectElement* child = solution->firstChild(); child && !stopping();
         child = child->nextSibling()) {
        if (child->isProject())
            built |= projectBuild(child, configuration, builder, flags, batch, configuration);
        else if (child->isSolution())
            built |= solutionBuild(child, configuration, builder, flags, batch);
    }
    return built;
}

bool BuildSystem::projectBuild(ProjectElement* project, const QString& configuration,
                               Builder* builder, int flags, bool batch,
                               const QString& batchConfiguration) {
    return projectBuildInner(project, configuration, builder, flags, batch, batchConfiguration);
}

namespace {
// One projectBuild call of the dependency walk: the walk keeps its own stack,
// as a chain of thousands of projects would overflow the call stack.
struct ProjectBuildFrame {
    ProjectElement* project = nullptr;
    QString configuration; // the one the call was given
    QStringList configurations;
    qsizetype nextConfiguration = 0;
    bool built = false;
    // Whether the dependencies of configuration current are being built.
    bool inConfiguration = false;
    QString current;
    QList<ProjectElement*> dependencies;
    qsizetype nextDependency = 0;
};
} // namespace

bool BuildSystem::projectBuildInner(ProjectElement* project, const QString& configuration,
                                    Builder* builder, int flags, bool batch,
                                    const QString& batchConfiguration) {
    std::vector<ProjectBuildFrame> stack;
    QSet<QPair<ProjectElement*, QString>> building; // the pairs of m_building
    auto enter = [&](ProjectElement* p, const QString& c) {
        ProjectBuildFrame frame;
        frame.project = p;
        frame.configuration = c;
        frame.configurations =
            batch ? projectSystem->getBatchBuildConfigurations(p, batchConfiguration)
                  : QStringList{c};
        if (stopping()) frame.nextConfiguration = frame.configurations.size();
        stack.push_back(std::move(frame));
    };
    enter(project, configuration);
    bool result = false;
    while (!stack.empty()) {
        ProjectBuildFrame& f = stack.back();
        if (f.inConfiguration) {
            if (!stopping() && f.nextDependency < f.dependencies.size()) {
                ProjectElement* dependency = f.dependencies.at(f.nextDependency++);
                enter(dependency, f.current);
                continue;
            }
            f.inConfiguration = false;
            if (stopping() || skippedForFailure(f.project, f.dependencies, builder)) {
                building.remove(m_building.takeLast());
                continue;
            }
            if (builder) displayProjectConfiguration(f.project, f.current, builder, flags);
            const bool r = platformBuild(f.project, f.current, builder, flags);
            keepGoingAfter(f.project);
            f.built = f.built || r;
            m_built.append({f.project, f.current, f.built});
            building.remove(m_building.takeLast());
            if (builder) builder->endGroup(nullptr);
            continue;
        }
        if (stopping() || f.nextConfiguration == f.configurations.size()) {
            result = f.built;
            stack.pop_back();
            if (!stack.empty()) stack.back().built = result || stack.back().built;
            continue;
        }
        const QString& c = f.configurations.at(f.nextConfiguration++);
        if (projectSystem->settingFor(f.project, buildExcludeFromBuild, c) != No) continue;
        bool wasBuilt = false;
        if (justBuilt(f.project, c, wasBuilt)) {
            f.built = f.built || wasBuilt;
            continue;
        }
        // A project met again while its own dependencies are being built closes a
        // cycle: nothing would ever end it, so the build fails here.
        const QPair<ProjectElement*, QString> key(f.project, c);
        if (building.contains(key)) {
            QStringList names;
            for (qsizetype i = m_building.indexOf(key); i < m_building.size(); ++i)
                names << m_building.at(i).first->name();
            names << f.project->name();
            if (builder)
                builder->error(QStringLiteral("Dependency cycle: ") +
                               names.join(QStringLiteral(" -> ")));
            m_failed = true;
            continue;
        }
        m_building.append(key);
        building.insert(key);
        f.inConfiguration = true;
        f.current = c;
        f.dependencies = projectSystem->directlyDependsOn(f.project, f.configuration);
        f.nextDependency = 0;
    }
    return result;
}

bool BuildSystem::skippedForFailure(ProjectElement* project,
                                    const QList<ProjectElement*>& dependencies, Builder* builder) {
    if (m_failedProjects.isEmpty()) return false;
    // Met again through another dependent: said already.
    if (m_failedProjects.contains(project)) return true;
    for (ProjectElement* dependency : dependencies) {
        if (!m_failedProjects.contains(dependency)) continue;
        m_failedProjects.insert(project);
        if (builder)
            builder->message(QStringLiteral("  Not building \"") + project->name() +
                             QStringLiteral("\": project \"") + dependency->name() +
                             QStringLiteral("\" failed"));
        return true;
    }
    return false;
}

void BuildSystem::keepGoingAfter(ProjectElement* project) {
    if (!m_options.keepGoing || !m_failed || m_stopRequested) return;
    m_failedProjects.insert(project);
    m_failed = false;
}

void BuildSystem::displayProjectConfiguration(ProjectElement* element, const QString& configuration,
                                              Builder* builder, int flags) {
    QString verb = QStringLiteral("Building");
    if (flags & CleanFlag)
        verb = (flags & NoBuildFlag) ? QStringLiteral("Cleaning") : QStringLiteral("Rebuilding");
    ProjectElement* project = ProjectSystem::projectContaining(element);
    const QString name = project ? project->name() : element->name();
    const QString title = verb + QStringLiteral(" \"") + name +
                          QStringLiteral("\" in configuration \"") + configuration +
                          QLatin1Char('"');
    builder->beginGroup(element, title, true);
}

bool BuildSystem::justBuilt(ProjectElement* element, const QString& configuration,
                            bool& built) const {
    for (const builtStruct& record : m_built) {
        if (record.element == element && record.configuration == configuration) {
            built = record.built;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Macros and directories

QString BuildSystem::settingForExpanded(ProjectElement* element, PropertyClass* propertyClass,
                                        const QString& configuration, bool* dynamic) {
    return replaceMacros(element, configuration,
                         projectSystem->settingFor(element, propertyClass, configuration), dynamic);
}

void BuildSystem::enterCommandContext(const QString& propertyGroupFile) {
    TextHash hash;
    hash.number(qint64(m_solutionContext));
    hash.text(propertyGroupFile);
    if (!propertyGroupFile.isEmpty()) {
        const FileStat st = statFile(propertyGroupFile);
        hash.number(st.size);
        hash.number(st.modifiedNs);
    }
    m_commandContext = hash.h;
}

void BuildSystem::clearCaches() {
    m_macros.clear();
    m_files.invalidate();
}

void BuildSystem::ensureDirExists(const QString& fileName) {
    recursiveMkdir(OsFiles::absolutePath(OsFiles::directoryOf(fileName)));
}

void BuildSystem::recursiveMkdir(const QString& directory) {
    m_files.makeDirs(directory);
}
