#pragma once

// Staging into packages: one member of a compressed package archive is added,
// refreshed or removed, and the update is reported on the builder.

#include <QString>

class Builder;
class FileSystem;

// Adds or refreshes the member from file (removes it when file is empty),
// reporting through the builder (which may be null). Unless force is set, an
// existing member at least as new as the file is left alone. A missing or
// unreadable package counts as empty; the old package is only ever replaced
// by a complete new one.
void updatePackage(FileSystem& files, const QString& package, const QString& member,
                   const QString& file, Builder* builder, bool quiet, bool force);
