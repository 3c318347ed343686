#include "driver/SlipwayArgParse.h"

#include "base/HReporter.h"
#include "macros/MacroSystem.h"

#include <cstdio>

namespace {

// Present-but-empty must stay distinguishable from absent (null).
QString argumentText(const char* argument) {
    QString text = QString::fromLatin1(argument ? argument : "");
    if (text.isNull()) text = QLatin1String("");
    return text;
}

} // namespace

SlipwayArgParse::SlipwayArgParse(HReporter* reporter) : ArgParse(reporter) {
    onOptionSetFlag("-batch", &batch);
    onOptionSetFlag("-clean", &clean);
    onOption("-config", NextWord, static_cast<Handler>(&SlipwayArgParse::onConfig));
    onOption("-D", NextWord, static_cast<Handler>(&SlipwayArgParse::onDefineMacro));
    onOptionSetFlag("-echo", &echo);
    onOption("-help", NoArgument, static_cast<Handler>(&SlipwayArgParse::onHelp));
    onOption("-project", NextWord, static_cast<Handler>(&SlipwayArgParse::onProject));
    onOptionSetFlag("-rebuild", &rebuild);
    onOptionSetFlag("-show", &show);
    onOption("-solution", NextWord, static_cast<Handler>(&SlipwayArgParse::onSolution));
    onOptionSetFlag("-verbose", &verbose);
}

void SlipwayArgParse::onArgument(const char* argument) {
    solutionFile = argumentText(argument);
}

void SlipwayArgParse::onHelp(const char*, const char*) {
    printBanner();
    printHelp();
    throw DriverExit{0};
}

void SlipwayArgParse::onConfig(const char*, const char* argument) {
    configuration = argumentText(argument);
}

void SlipwayArgParse::onProject(const char*, const char* argument) {
    projectName = argumentText(argument);
}

void SlipwayArgParse::onSolution(const char*, const char* argument) {
    solutionName = argumentText(argument);
}

void SlipwayArgParse::onDefineMacro(const char*, const char* argument) {
    const QString text = argumentText(argument);
    const int eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        macroSystem.setGlobalMacro(text, QString());
    else
        macroSystem.setGlobalMacro(text.left(eq), text.mid(eq + 1));
}

void SlipwayArgParse::printBanner() {
    std::fputs("Sheerline for MSP430 slipway   Release 1.4\n", stderr);
    std::fputs("Copyright (c) 2026 Halyard Software. All rights reserved.\n\n", stderr);
    std::fflush(stderr);
}

void SlipwayArgParse::printHelp() {
    std::fputs("\n"
               "Usage: slipway [option] project.hzp\n"
               "\n"
               "  -batch           batch build\n"
               "  -config 'name'   build in 'name' configuration\n"
               "  -clean           remove output files as build occurs\n"
               "  -D macro=value   set the value of a macro\n"
               "  -echo            show command lines as they are executed\n"
               "  -project 'name'  build 'name' project\n"
               "  -rebuild         always do the build step\n"
               "  -show            show command lines but don't execute them\n"
               "  -solution 'name' build/batch build 'name' solution\n"
               "  -verbose         show build information\n",
               stderr);
    std::fflush(stderr);
}

void SlipwayArgParse::parseArguments(int argc, char** argv) {
    if (argc <= 1) {
        printBanner();
        printHelp();
        throw DriverExit{0};
    }
    parse(argc - 1, argv + 1);
    if (reporter()->errorCount() != 0) throw DriverExit{1};
    const char* problem = nullptr;
    if (batch && !projectName.isNull())
        problem = "-batch and -project are exclusive.";
    else if (!solutionName.isNull() && !projectName.isNull())
        problem = "-solution and -project are exclusive.";
    else if (solutionFile.isEmpty())
        problem = ".hzp file must be specified.";
    else if (configuration.isEmpty())
        problem = "-config must be specified.";
    if (problem) {
        reporter()->error(problem);
        throw DriverExit{1};
    }
    if (show) echo = true;
}

int SlipwayArgParse::buildFlags() const {
    int flags = 0;
    if (clean) flags |= Clean | Force | NoBuild;
    if (rebuild) flags |= Force;
    if (!verbose) flags |= Quiet;
    return flags;
}
