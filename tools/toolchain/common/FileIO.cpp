#include "common/FileIO.h"

#include "base/OsFiles.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ToolFiles {

static QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool readFile(const QString& path, QByteArray& contents, QString& error) {
    const QByteArray osPath = OsFiles::osName(path);
    int fd = ::open(osPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + systemError();
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        ::close(fd);
        return false;
    }
    contents.resize(qsizetype(st.st_size));
    qsizetype done = 0;
    while (done < contents.size()) {
        ssize_t n = ::read(fd, contents.data() + done, size_t(contents.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = path + ": " + systemError();
            ::close(fd);
            return false;
        }
        if (n == 0) break; // shrank while reading
        done += n;
    }
    contents.truncate(done);
    ::close(fd);
    return true;
}

bool writeFile(const QString& path, const QByteArray& contents, QString& error) {
    const QByteArray osPath = OsFiles::osName(path);
    QByteArray temp = osPath + ".tmp" + QByteArray::number(qint64(::getpid()));
    int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write " + path + ": " + systemError();
        return false;
    }
    qsizetype done = 0;
    while (done < contents.size()) {
        ssize_t n = ::write(fd, contents.constData() + done, size_t(contents.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "cannot write " + path + ": " + systemError();
            ::close(fd);
            ::unlink(temp.constData());
            return false;
        }
        done += n;
    }
    if (::close(fd) != 0 || ::rename(temp.constData(), osPath.constData()) != 0) {
        error = "cannot write " + path + ": " + systemError();
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

bool isRegularFile(const QString& path) {
    return OsFiles::status(path).isFile;
}

bool isDirectory(const QString& path) {
    return OsFiles::isDir(path);
}

void removeFile(const QString& path) {
    OsFiles::remove(path);
}

QString directoryOf(const QString& path) {
    int slash = path.lastIndexOf('/');
    if (slash < 0) return QString();
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

QString joinPath(const QString& dir, const QString& name) {
    if (dir.isEmpty() || name.startsWith('/')) return QDir::cleanPath(name);
    return QDir::cleanPath(dir + '/' + name);
}

} // namespace ToolFiles
