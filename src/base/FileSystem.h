#pragma once

// The seam between the build and the disk: everything the build decides from
// or does to files goes through one of these, so the decisions can be tested
// against an in-memory file system with invented times.

#include <QByteArray>
#include <QString>

#include <memory>

class HByteStream;

struct FileStat {
    bool exists = false;
    bool isDir = false;
    bool isFile = false;
    bool ownerWritable = false;
    qint64 seconds = 0; // modification time, whole seconds since the epoch
    qint64 size = 0;
    // The finer stamp that identifies one version of a file; an inode of zero
    // means the file system cannot tell (then nothing is cached by it).
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;
    quint64 device = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Follows symbolic links.
    virtual FileStat stat(const QString& path) = 0;
    // One directory; its parent must exist.
    virtual bool makeDir(const QString& path) = 0;
    virtual bool readFile(const QString& path, QByteArray& data) = 0;
    // A stream that reads only as far as its reader asks. Throws HException
    // "can't open file <path>" or "can't read file <path>".
    virtual std::unique_ptr<HByteStream> openInput(const QString& path) = 0;
    // Writes a unique temporary beside path and renames it over path, so a
    // reader never sees half a file and two writers never share a temporary.
    virtual bool writeFileAtomically(const QString& path, const QByteArray& data) = 0;
    virtual bool remove(const QString& path) = 0;
    virtual bool rename(const QString& from, const QString& to) = 0;

    // The directory (made absolute) and its missing parents, outermost first;
    // true when it is a directory afterwards.
    bool makeDirs(const QString& directory);

    // The disk, shared by everyone who is not handed another file system.
    static FileSystem& real();
    // Whether this works on the disk: itself real(), or a view that passes
    // every call on to it.
    virtual bool onDisk() const { return this == &real(); }
};

class RealFileSystem : public FileSystem {
public:
    FileStat stat(const QString& path) override;
    bool makeDir(const QString& path) override;
    bool readFile(const QString& path, QByteArray& data) override;
    std::unique_ptr<HByteStream> openInput(const QString& path) override;
    bool writeFileAtomically(const QString& path, const QByteArray& data) override;
    bool remove(const QString& path) override;
    bool rename(const QString& from, const QString& to) override;
};
