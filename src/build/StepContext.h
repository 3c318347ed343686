#pragma once

// What every build step is decided and run with: one element's own step in
// one configuration, with the build flags already read.

#include <QString>

#include "build/BuildSystem.h"

class Builder;
class ProjectElement;

struct StepContext {
    ProjectElement* element = nullptr;
    QString configuration;
    BuildSystem::BuildAction action = BuildSystem::NoAction;
    bool force = false; // also set when something below the element was rebuilt
    bool clean = false;
    bool noBuild = false;
    bool quiet = false;
    // The builder the step will run on; without one no command is planned.
    Builder* builder = nullptr;
    QString projectDirectory;
};
