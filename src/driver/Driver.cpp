#include "driver/Driver.h"

#include "base/EnvironmentSettings.h"
#include "base/HException.h"
#include "base/HReporter.h"
#include "base/OsFiles.h"
#include "base/QTx.h"
#include "driver/Process.h"
#include "driver/SlipwayArgParse.h"
#include "driver/SolutionRun.h"
#include "project/ProjectSystem.h"

#include <cstdio>

int runGuarded(const std::function<int()>& body) {
    try {
        return body();
    } catch (const DriverExit& exit) {
        return exit.status;
    } catch (const HException& e) {
        std::fprintf(stderr, "error: %s\n", e.message());
    } catch (const SolutionLoadError& e) {
        if (e.hasPosition)
            std::fprintf(stderr, "load error: bad XML file - %s\n",
                         OsFiles::osName(e.message).constData());
        else
            std::fprintf(stderr, "load error: %s%s\n", OsFiles::osName(e.fileName).constData(),
                         OsFiles::osName(e.message).constData());
    } catch (...) {
        std::fputs("Internal error detected\n", stderr);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    return 0;
}

int slipwayMain(int argc, char** argv) {
    const char* programName = argc > 0 && argv[0] ? argv[0] : "slipway";
    Interrupts::install();
    const int status = runGuarded([argc, argv, programName]() {
        HReporter report(programName);
        SlipwayArgParse args(&report);

        // Lives until the process ends: the macro system reads it on every expansion.
        environment = new EnvironmentSettings();
        const QString studioDir = QTx::getStudioDir(programName);
        environment->createEntries(studioDir);

        args.parseArguments(argc, argv);
        return runSolution(args, studioDir);
    });
    // The build has stopped at a safe point and the command that was running
    // is gone: end the way an interrupted program does, so that a calling
    // shell script stops too.
    if (const int sig = Interrupts::received()) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: interrupted\n", programName);
        Interrupts::endBySignal(sig);
    }
    return status;
}
