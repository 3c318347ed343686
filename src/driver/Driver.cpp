#include "driver/Driver.h"

#include "base/EnvironmentSettings.h"
#include "base/HException.h"
#include "base/HReporter.h"
#include "base/OsFiles.h"
#include "base/QTx.h"
#include "driver/Process.h"
#include "driver/SlipwayArgParse.h"
#include "driver/SolutionRun.h"
#include "driver/StrictMode.h"
#include "project/ProjectSystem.h"

#include <cstdio>

int runGuarded(const std::function<int()>& body, StepFailures* strict) {
    QString reason;
    try {
        return body();
    } catch (const DriverExit& exit) {
        return exit.status;
    } catch (const HException& e) {
        std::fprintf(stderr, "error: %s\n", e.message());
        reason = QString::fromLatin1(e.message());
    } catch (const SolutionLoadError& e) {
        reason = QStringLiteral("the solution could not be loaded");
        if (e.hasPosition)
            std::fprintf(stderr, "load error: bad XML file - %s\n",
                         OsFiles::osName(e.message).constData());
        else
            std::fprintf(stderr, "load error: %s%s\n", OsFiles::osName(e.fileName).constData(),
                         OsFiles::osName(e.message).constData());
    } catch (...) {
        std::fputs("Internal error detected\n", stderr);
        reason = QStringLiteral("internal error");
    }
    std::fflush(stdout);
    std::fflush(stderr);
    if (!strict) return 0;
    strict->addReason(reason);
    return 2;
}

int slipwayMain(int argc, char** argv) {
    const char* programName = argc > 0 && argv[0] ? argv[0] : "slipway";
    Interrupts::install();
    const bool strictMode = strictModeRequested();
    StepFailures failures;
    StepFailures* strict = strictMode ? &failures : nullptr;
    bool built = false; // the command line was good: a build was attempted
    bool verbose = false;
    const int status = runGuarded(
        [argc, argv, programName, strict, &built, &verbose]() {
            HReporter report(programName);
            SlipwayArgParse args(&report);

            // Lives until the process ends: the macro system reads it on every expansion.
            environment = new EnvironmentSettings();
            const QString studioDir = QTx::getStudioDir(programName);
            environment->createEntries(studioDir);

            args.parseArguments(argc, argv);
            built = true;
            verbose = args.verbose;
            return runSolution(args, studioDir, strict);
        },
        strict);
    // The build has stopped at a safe point and the command that was running
    // is gone: end the way an interrupted program does, so that a calling
    // shell script stops too.
    if (const int sig = Interrupts::received()) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: interrupted\n", programName);
        Interrupts::endBySignal(sig);
    }
    // Status 1 is about the command line or a name not found, not the build.
    if (strict && built && status != 1 && (status == 2 || verbose)) {
        std::fflush(stdout);
        std::fprintf(stderr, "slipway: %s\n", OsFiles::osName(failures.summary()).constData());
    }
    return status;
}
