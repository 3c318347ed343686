#include "build/StandardBuildSystem.h"

#include "objfile/Archive.h"

void StandardBuildSystem::addToRemoveFromArchive(const QString& archivePath,
                                                 const QString& memberName, const QString& filePath,
                                                 Builder* builder, bool quiet, bool force) {
    ::addToRemoveFromArchive(archivePath, memberName, filePath, builder, quiet, force);
}
