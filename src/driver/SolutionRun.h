#pragma once

#include <QString>

class ProjectElement;
class ProjectSystem;
class SlipwayArgParse;
class StepFailures;

// The project and build systems with the installation's defaults and system
// macros, as every run (and every harness that loads solutions) needs them.
void createBuildSystems(const QString& studioDir);

// Everything after the command line: create the project and build systems,
// load the solution, choose what to build and build it. Returns the exit status.
// With strict, the solution is checked, failed steps are collected there and
// a failed build gives status 2.
int runSolution(const SlipwayArgParse& args, const QString& studioDir,
                StepFailures* strict = nullptr);

// The element named by -project / -solution (the solution root by default), or
// null after printing the "can't find ..." listing on standard output.
ProjectElement* chooseElement(ProjectSystem* projects, const QString& projectName,
                              const QString& solutionName);
// False after printing the "can't find configuration ..." listing.
bool checkConfiguration(ProjectSystem* projects, ProjectElement* element,
                        const QString& configuration);
