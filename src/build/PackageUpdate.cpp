#include "build/StandardBuildSystem.h"

#include "build/Builder.h"

void StandardBuildSystem::addToRemoveFromArchive(const QString&, const QString&, const QString&,
                                                 Builder*, bool, bool) {}

void StandardBuildSystem::loadPropertyGroups(ProjectElement*, const QString&) {}
