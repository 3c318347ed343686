#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <ctime>

#include "base/StudioUtils.h"

class QFile;

// Every file the tool touches is reached through these functions. A path is a
// QString holding one character per OS byte (Latin-1), so any byte string
// round-trips; Qt's own file classes would encode names as UTF-8 instead and
// reach a different file, so they are handed open descriptors or qtName().
namespace OsFiles {

// The bytes the OS is given for a path: the one conversion all the others use.
inline QByteArray osName(const QString& path) {
    return StudioUtils::toOsText(path);
}
inline QString fromOsName(const QByteArray& name) {
    return QString::fromLatin1(name);
}

// A name under which Qt's file classes reach the same bytes, for the few
// that cannot be given a descriptor. Exact for UTF-8 names; for others it
// goes through the descriptor of the (existing) parent directory.
QString qtName(const QString& path);

// Writes all of data to fd, going on after interrupted or short writes.
bool writeAll(int fd, const char* data, qsizetype length);
inline bool writeAll(int fd, const QByteArray& data) {
    return writeAll(fd, data.constData(), data.size());
}

struct Status {
    bool exists = false;
    bool isDir = false;
    bool isFile = false;
    bool ownerWritable = false;
    qint64 size = 0;
    qint64 modifiedSeconds = -1;
    qint64 modifiedNs = 0; // since the epoch
    qint64 changedNs = 0;
    qint64 createdSeconds = -1; // birth time, or the status change time
    quint64 inode = 0;
    quint64 device = 0;
};
// Follows symbolic links.
Status status(const QString& path);
bool exists(const QString& path);
bool isDir(const QString& path);
bool isSymLink(const QString& path);
bool isWritable(const QString& path);

// Opens the file and hands its descriptor to `file` (closed with it). Write
// modes create the file; WriteOnly alone truncates it, as QFile does.
// Directories are refused.
bool open(QFile& file, const QString& path, QIODevice::OpenMode mode);
// For files the tool reads on its own account (solutions, caches): only a
// regular file opens, so a FIFO or a device can neither block the run nor
// feed it without end.
bool openRegular(QFile& file, const QString& path);
constexpr qint64 DefaultReadLimit = qint64(256) << 20;
// A whole regular file (openRegular) of at most `limit` bytes.
bool readAll(const QString& path, QByteArray& data, qint64 limit = DefaultReadLimit);

// New content for a file, written under a unique temporary name beside it
// and renamed over it by commit(): a reader, or the next run after a crash,
// sees the old file or the whole new one, never part of one, and two writers
// never share a temporary. Destroyed uncommitted, it removes the temporary.
class Replacement {
public:
    explicit Replacement(const QString& path);
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool write(const char* data, qsizetype length);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    // Sets the permission bits (by default 0666 without the creation mask)
    // and, when given, the access and modification times (two values, as
    // futimens takes them), then renames.
    bool commit(int mode = -1, const ::timespec* times = nullptr);

private:
    QByteArray m_target;
    QByteArray m_temporary;
    int m_fd = -1;
    bool m_failed = false;
};
bool replace(const QString& path, const QByteArray& data);

bool makeDir(const QString& path);
// Creates the directory and any missing parents; true when it exists after.
bool makePath(const QString& path);
bool remove(const QString& path);
bool rename(const QString& from, const QString& to);
// Entry names of a directory, without "." and "..", sorted.
QStringList entries(const QString& directory);

// Text only, as QFileInfo splits a path: the directory part ("." for a bare
// name, "/" at the root) and the last component.
QString directoryOf(const QString& path);
QString fileNameOf(const QString& path);

QString currentDir();
// Made absolute against currentDir() and cleaned, without touching the disk.
QString absolutePath(const QString& path);
// Links resolved; empty when the path does not exist.
QString canonicalPath(const QString& path);
// An environment variable read byte for byte.
QString environmentPath(const char* name);
// $HOME, else "/".
QString homeDir();

} // namespace OsFiles
