#pragma once

#include "driver/ArgParse.h"

#include <QString>

// Thrown to end the run early with an exit status (help, command-line errors);
// caught by the driver before any other handler.
struct DriverExit {
    int status;
};

// The tool's options and the results of parsing them.
class SlipwayArgParse : public ArgParse {
public:
    explicit SlipwayArgParse(HReporter* reporter);

    // A later non-option word replaces an earlier one.
    void onArgument(const char* argument) override;

    // Parses argv[1..]; throws DriverExit for help and for command-line errors.
    void parseArguments(int argc, char** argv);

    // The build flags for BuildSystem::build.
    int buildFlags() const;

    enum BuildFlag { Clean = 1, Force = 2, NoBuild = 4, Quiet = 8 };

    QString configuration;
    QString solutionFile;
    QString projectName;
    QString solutionName;
    bool batch = false;
    bool clean = false;
    bool echo = false;
    bool show = false;
    bool rebuild = false;
    bool verbose = false;

    void onHelp(const char* option, const char* argument);
    void onConfig(const char* option, const char* argument);
    void onProject(const char* option, const char* argument);
    void onSolution(const char* option, const char* argument);
    void onDefineMacro(const char* option, const char* argument);

    // Banner and help text, on standard error.
    static void printBanner();
    static void printHelp();
};
