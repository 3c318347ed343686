#pragma once

// The build's view of the disk: stat results cached per path (dropped whenever
// a command runs or a file is removed, as outputs change then), the decisions
// made from file times, and the creation of output directories.

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include "base/FileSystem.h"

class Builder;

class BuildFiles {
public:
    FileSystem& fileSystem() const { return *m_fileSystem; }
    // Not owned; null restores the disk.
    void setFileSystem(FileSystem* fileSystem);

    FileStat stat(const QString& path);
    bool remove(const QString& path);
    void invalidate() { m_stats.clear(); }

    // fileName is taken relative to directory (an absolute name is used as is).
    bool exists(const QString& directory, const QString& fileName, QString& resolvedPath,
                QDateTime& time, Builder* builder, bool quiet);
    // True when every dependency exists and none is strictly newer (whole seconds).
    bool upToDate(const QString& directory, const QString& outputName, const QDateTime& outputTime,
                  const QStringList& dependencies, Builder* builder, bool quiet);

    // The directory and its missing parents; failures are ignored.
    void makeDirs(const QString& directory);

private:
    FileSystem* m_fileSystem = &FileSystem::real();
    QHash<QString, FileStat> m_stats;
};
