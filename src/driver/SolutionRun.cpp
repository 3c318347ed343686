#include "driver/SolutionRun.h"

#include "base/OsFiles.h"
#include "build/CompilationDatabase.h"
#include "build/ProjectHooks.h"
#include "build/StandardBuildSystem.h"
#include "driver/CommandPool.h"
#include "driver/SlipwayArgParse.h"
#include "driver/SlipwayBuilder.h"
#include "driver/SolutionCheck.h"
#include "driver/StrictMode.h"
#include "macros/MacroSystem.h"
#include "project/ProjectSystem.h"
#include "toolchain/MSP430BuildSystem.h"
#include "toolchain/MSP430ProjectSystem.h"

#include <QDir>

#include <cstdio>
#include <memory>

namespace {

void printListing(const char* header, const QString& name, const QStringList& names) {
    std::printf(header, OsFiles::osName(name).constData());
    for (const QString& n : names)
        std::printf("%s\n", OsFiles::osName(n).constData());
    std::fflush(stdout);
}

// The commands of up to jobs steps run at once while the object lives.
class Parallelism {
public:
    Parallelism(int jobs, SlipwayBuilder& builder) : m_builder(builder) {
        if (jobs < 2) return;
        m_pool = std::make_unique<CommandPool>(jobs, builder);
        builder.setPool(m_pool.get());
        standardBuildSystem->setRunAhead(m_pool.get());
    }
    ~Parallelism() {
        if (!m_pool) return;
        standardBuildSystem->setRunAhead(nullptr);
        m_builder.setPool(nullptr);
    }

private:
    SlipwayBuilder& m_builder;
    std::unique_ptr<CommandPool> m_pool;
};

// SLIPWAY_JOBS; a value that is not one is warned about.
int jobsRequested() {
    QString warning;
    const int jobs = CommandPool::jobsFromEnvironment(warning);
    if (!warning.isEmpty()) std::fprintf(stderr, "slipway: %s\n", warning.toLocal8Bit().constData());
    return jobs;
}

} // namespace

ProjectElement* chooseElement(ProjectSystem* projects, const QString& projectName,
                              const QString& solutionName) {
    ProjectElement* element = projects->solutionElement();
    if (!projectName.isNull()) {
        element = projects->findProject(element, projectName);
        if (!element) {
            printListing("can't find project '%s' supported projects:\n", projectName,
                         projects->solutionProjects(nullptr).keys());
            return nullptr;
        }
    }
    if (!solutionName.isNull()) {
        const ProjectMap& solutions = projects->solutionSolutions();
        ProjectElement* found = solutions.value(solutionName, nullptr);
        if (!found) {
            printListing("can't find solution '%s' supported solutions:\n", solutionName,
                         solutions.keys());
            return nullptr;
        }
        element = found;
    }
    return element;
}

bool checkConfiguration(ProjectSystem* projects, ProjectElement* element,
                        const QString& configuration) {
    const QStringList names = projects->configurations(element, false, false);
    if (names.contains(configuration)) return true;
    printListing("can't find configuration '%s' supported configurations:\n", configuration, names);
    return false;
}

void createBuildSystems(const QString& studioDir) {
    // Both live until the process ends; their constructors set the globals.
    new MSP430ProjectSystem();
    new MSP430BuildSystem(QStringList());
    installBuildHooks();

    if (PropertyClass* map = standardBuildSystem->linkerMemoryMapFile)
        map->setDefault("$(StudioDir)/targets/MSP430F449.xml");
    if (PropertyClass* placement = standardBuildSystem->linkerSectionPlacementFile)
        placement->setDefault("$(StudioDir)/targets/section_placement.xml");

    macroSystem.setSystemMacro("Platform", "msp430");
    macroSystem.setSystemMacro("StudioDir", studioDir);
}

int runSolution(const SlipwayArgParse& args, const QString& studioDir, StepFailures* strict) {
    createBuildSystems(studioDir);

    // Dependencies read from object files are remembered between runs in the
    // user's cache directory, so a build with nothing to do opens no object.
    // (Read as bytes: a relative or empty setting means the default.)
    QString cache = OsFiles::environmentPath("XDG_CACHE_HOME");
    if (!cache.startsWith(QLatin1Char('/'))) cache = OsFiles::homeDir() + QStringLiteral("/.cache");
    buildSystem->setDependencyLogDirectory(QDir::cleanPath(cache + QStringLiteral("/slipway")));

    projectSystem->loadSolution(args.solutionFile);
    if (strict) {
        for (const QString& warning : checkSolution(projectSystem->solutionElement()))
            strictWarning(warning);
    }

    const int flags = args.buildFlags();
    ProjectElement* element = chooseElement(projectSystem, args.projectName, args.solutionName);
    if (!element || !checkConfiguration(projectSystem, element, args.configuration)) return 1;

    SlipwayBuilder builder(args.echo, args.show);
    BuildSystem::Options options;
    options.keepGoing = keepGoingRequested();
    // Written whatever the build's outcome: editors want it most when code
    // does not compile.
    const QString databasePath = compilationDatabasePath();
    CompilationDatabase database;
    if (!databasePath.isEmpty()) options.compilationDatabase = &database;
    if (strict) {
        options.dryRun = args.show;
        options.trackCommands = true;
        builder.setDryRun(args.show);
    }
    buildSystem->setOptions(options);
    // Several commands at once only when commands run at all.
    const Parallelism parallel(args.show ? 1 : jobsRequested(), builder);
    if (!strict) {
        buildSystem->build(element, args.configuration, &builder, flags, true, args.batch);
        std::fflush(stdout);
        writeCompilationDatabase(database, databasePath);
        return 0;
    }
    builder.setStrict(strict);
    FileSystem* disk = buildSystem->fileSystem();
    ClockSkewWatch skew(*disk);
    buildSystem->setFileSystem(&skew);
    const int result =
        buildSystem->build(element, args.configuration, &builder, flags, true, args.batch);
    std::fflush(stdout);
    // The build looks at a source only when its output exists: the others are
    // looked at here, so a skewed checkout is reported on the first build too.
    // The build's stat cache answers for those it has looked at.
    for (ProjectElement* file : ProjectSystem::sourceFiles(element))
        buildSystem->statFile(file->getPath().osPathQString());
    buildSystem->setFileSystem(disk);
    writeCompilationDatabase(database, databasePath);
    if (result == 2 && !strict->any()) strict->addReason(QStringLiteral("a step failed"));
    return strict->any() ? 2 : 0;
}
