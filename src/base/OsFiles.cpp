#include "base/OsFiles.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace OsFiles {

namespace {

int openFlags(QIODevice::OpenMode mode) {
    const bool read = mode & QIODevice::ReadOnly;
    const bool write = mode & (QIODevice::WriteOnly | QIODevice::Append);
    int flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    if (write) flags |= O_CREAT;
    if (mode & QIODevice::Append) flags |= O_APPEND;
    if ((mode & QIODevice::Truncate) || (write && !read && !(mode & QIODevice::Append)))
        flags |= O_TRUNC;
    return flags;
}

} // namespace

bool writeAll(int fd, const char* data, qsizetype length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, size_t(length));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= n;
    }
    return true;
}

QString qtName(const QString& path) {
    const QByteArray bytes = osName(path);
    const QString decoded = QFile::decodeName(bytes);
    if (QFile::encodeName(decoded) == bytes) return decoded;
    const qsizetype slash = bytes.lastIndexOf('/');
    const QByteArray base = bytes.mid(slash + 1);
    const QString decodedBase = QFile::decodeName(base);
    if (slash < 0 || QFile::encodeName(decodedBase) != base) return decoded;
    // Kept open for the rest of the run: the name stays valid as long as that.
    static QMutex lock;
    static QHash<QByteArray, int> directories;
    const QByteArray dir = slash == 0 ? QByteArray("/") : bytes.left(slash);
    QMutexLocker locker(&lock);
    int fd = directories.value(dir, -1);
    if (fd < 0) {
        fd = ::open(dir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return decoded;
        directories.insert(dir, fd);
    }
    return QStringLiteral("/proc/self/fd/%1/").arg(fd) + decodedBase;
}

Status status(const QString& path) {
    Status result;
    struct statx st;
    if (path.isEmpty() ||
        ::statx(AT_FDCWD, osName(path).constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return result;
    result.exists = true;
    result.isDir = S_ISDIR(st.stx_mode);
    result.isFile = S_ISREG(st.stx_mode);
    result.ownerWritable = (st.stx_mode & S_IWUSR) != 0;
    result.size = qint64(st.stx_size);
    result.modifiedSeconds = st.stx_mtime.tv_sec;
    result.modifiedNs = qint64(st.stx_mtime.tv_sec) * 1000000000 + st.stx_mtime.tv_nsec;
    result.changedNs = qint64(st.stx_ctime.tv_sec) * 1000000000 + st.stx_ctime.tv_nsec;
    result.createdSeconds = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : st.stx_ctime.tv_sec;
    result.inode = st.stx_ino;
    result.device = makedev(st.stx_dev_major, st.stx_dev_minor); // as stat's st_dev
    return result;
}

bool exists(const QString& path) {
    struct stat st;
    return !path.isEmpty() && ::stat(osName(path).constData(), &st) == 0;
}

bool isDir(const QString& path) {
    struct stat st;
    return !path.isEmpty() && ::stat(osName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isSymLink(const QString& path) {
    struct stat st;
    return !path.isEmpty() && ::lstat(osName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool isWritable(const QString& path) {
    return !path.isEmpty() && ::access(osName(path).constData(), W_OK) == 0;
}

bool open(QFile& file, const QString& path, QIODevice::OpenMode mode) {
    if (path.isEmpty()) return false;
    const int fd = ::open(osName(path).constData(), openFlags(mode), 0666);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) ||
        !file.open(fd, mode & ~QIODevice::Truncate, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool openRegular(QFile& file, const QString& path) {
    if (path.isEmpty()) return false;
    // Without O_NONBLOCK, opening a FIFO waits for a writer.
    const int fd = ::open(osName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool readAll(const QString& path, QByteArray& data, qint64 limit) {
    QFile file;
    if (!openRegular(file, path) || file.size() > limit) return false;
    data.clear();
    data.reserve(qsizetype(file.size()));
    // To the end, wherever that is now: the file may have grown since.
    for (;;) {
        const QByteArray block = file.read(qMin<qint64>(limit + 1 - data.size(), 1 << 20));
        if (block.isEmpty()) break;
        data += block;
        if (data.size() > limit) return false;
    }
    return file.error() == QFileDevice::NoError;
}

namespace {

// mkostemp's pattern beside the target. A name too long to take the suffix
// gets a short hidden one in the same directory.
QByteArray temporaryPattern(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    if (target.size() - slash - 1 <= NAME_MAX - 8) return target + ".XXXXXX";
    return target.left(slash + 1) + ".replace.XXXXXX";
}

} // namespace

Replacement::Replacement(const QString& path) : m_target(osName(path)) {
    if (m_target.isEmpty()) return;
    m_temporary = temporaryPattern(m_target);
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
}

Replacement::~Replacement() {
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_temporary.constData());
    }
}

bool Replacement::write(const char* data, qsizetype length) {
    if (m_fd < 0 || m_failed) return false;
    m_failed = !writeAll(m_fd, data, length);
    return !m_failed;
}

bool Replacement::commit(int mode, const ::timespec* times) {
    if (m_fd < 0 || m_failed) return false;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t bits = mode < 0 ? mode_t(0666) & ~mask : mode_t(mode) & 07777;
    // Times last: writing would change them again.
    bool ok = ::fchmod(m_fd, bits) == 0;
    if (ok && times) ok = ::futimens(m_fd, times) == 0;
    const int fd = m_fd;
    m_fd = -1;
    ok = ::close(fd) == 0 && ok && ::rename(m_temporary.constData(), m_target.constData()) == 0;
    if (!ok) ::unlink(m_temporary.constData());
    return ok;
}

bool replace(const QString& path, const QByteArray& data) {
    Replacement file(path);
    return file.write(data) && file.commit();
}

bool makeDir(const QString& path) {
    return !path.isEmpty() && ::mkdir(osName(path).constData(), 0777) == 0;
}

bool makePath(const QString& path) {
    if (path.isEmpty()) return false;
    if (isDir(path)) return true;
    const QString cleaned = QDir::cleanPath(path);
    const qsizetype slash = cleaned.lastIndexOf(QLatin1Char('/'));
    if (slash > 0) makePath(cleaned.left(slash));
    return makeDir(cleaned) || isDir(cleaned);
}

bool remove(const QString& path) {
    return !path.isEmpty() && ::unlink(osName(path).constData()) == 0;
}

bool rename(const QString& from, const QString& to) {
    return ::rename(osName(from).constData(), osName(to).constData()) == 0;
}

QStringList entries(const QString& directory) {
    QStringList names;
    DIR* dir = ::opendir(osName(directory).constData());
    if (!dir) return names;
    while (const struct dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names.append(fromOsName(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

QString directoryOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString currentDir() {
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    for (;;) {
        if (::getcwd(buffer.data(), size_t(buffer.size()))) return fromOsName(buffer.constData());
        if (errno != ERANGE || buffer.size() > (1 << 20)) return QStringLiteral("/");
        buffer.resize(buffer.size() * 2);
    }
}

QString absolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/'))) return QDir::cleanPath(path);
    return QDir::cleanPath(currentDir() + QLatin1Char('/') + path);
}

QString canonicalPath(const QString& path) {
    if (path.isEmpty()) return QString();
    char* resolved = ::realpath(osName(path).constData(), nullptr);
    if (!resolved) return QString();
    const QString result = fromOsName(resolved);
    std::free(resolved);
    return result;
}

QString environmentPath(const char* name) {
    return fromOsName(qgetenv(name));
}

QString homeDir() {
    const QString home = environmentPath("HOME");
    return home.isEmpty() ? QStringLiteral("/") : QDir::cleanPath(home);
}

} // namespace OsFiles
