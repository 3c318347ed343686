#pragma once

// Mistakes in a loaded solution that the build would pass over without a word:
// settings no property class knows, project and file types outside the
// catalogue, dependencies that name no project, attributes nothing reads.

#include <QStringList>

class ProjectElement;

// One line per mistake, "<solution file>: <kind> '<name>': <what>", in
// document order. Needs the project and build systems of the run.
QStringList checkSolution(ProjectElement* solution);
