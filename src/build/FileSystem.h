#pragma once

// A thin seam between the up-to-date decisions and the disk, so that the
// rules can be tested with invented file times.

#include <QString>

struct FileStat {
    bool exists = false;
    qint64 seconds = 0; // modification time, whole seconds since the epoch
    // The finer stamp that identifies one version of a file; zero when the
    // file system cannot tell (then nothing is cached by it).
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual FileStat stat(const QString& path) = 0;
    virtual bool remove(const QString& path) = 0;
};

class RealFileSystem : public FileSystem {
public:
    FileStat stat(const QString& path) override;
    bool remove(const QString& path) override;
};
