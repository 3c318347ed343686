#include "base/QTx.h"

#include "base/OsFiles.h"

#include <QDomDocument>
#include <QFile>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace QTx {

const unsigned char compressedFileHeader[8] = {0x7A, 0xF4, 0x31, 0xB2, 0x01, 0x00, 0x00, 0x00};

namespace {

using OsFiles::osName;

// Qt reports corrupt compressed data through its message handler; these
// functions must stay silent, so messages are dropped for the duration.
class QuietMessages {
public:
    QuietMessages() : m_previous(qInstallMessageHandler(&drop)) {}
    ~QuietMessages() { qInstallMessageHandler(m_previous); }

private:
    static void drop(QtMsgType, const QMessageLogContext&, const QString&) {}
    QtMessageHandler m_previous;
};

bool writeWhole(const QString& path, const QByteArray& first, const QByteArray& second) {
    OsFiles::Replacement file(path);
    return file.write(first) && file.write(second) && file.commit();
}

} // namespace

QString getStudioDir(const char* argv0) {
    const QString word = QString::fromLatin1(argv0 ? argv0 : "");
    const qsizetype slash = word.lastIndexOf(QLatin1Char('/'));
    QString dir;
    if (slash < 0)
        dir = QStringLiteral(".");
    else if (slash == 0)
        dir = QStringLiteral("/");
    else
        dir = word.left(slash);
    // Go up textually from the directory as named, so a symbolic link to the
    // executable gives the parent of the link's directory.
    const QString parent = OsFiles::absolutePath(dir + QStringLiteral("/.."));
    const QString canonical = OsFiles::canonicalPath(parent);
    return canonical.isEmpty() ? parent : canonical;
}

bool removeFile(const QString& path) {
    return OsFiles::remove(path);
}

bool setWriteable(const QString& path, bool writeable) {
    const QByteArray name = osName(path);
    const int fd = ::open(name.constData(), O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    const bool statted = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!statted) return false;
    mode_t mode = st.st_mode & 07777;
    if (writeable)
        mode |= S_IWUSR;
    else
        mode &= ~mode_t(S_IWUSR);
    return ::chmod(name.constData(), mode) == 0;
}

bool copyFile(const QString& source, const QString& destination) {
    if (!OsFiles::exists(source)) return false;
    QString target = destination;
    if (OsFiles::isDir(destination))
        target =
            destination + QLatin1Char('/') + source.mid(source.lastIndexOf(QLatin1Char('/')) + 1);

    const int in = ::open(osName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    OsFiles::Replacement out(target);
    bool ok = ::fstat(in, &st) == 0 && out.isOpen();
    static const size_t BlockSize = 131072;
    QByteArray block(qsizetype(BlockSize), Qt::Uninitialized);
    while (ok) {
        const ssize_t n = ::read(in, block.data(), BlockSize);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0 && out.write(block.constData(), n);
    }
    ::close(in);
    if (!ok) return false;
    // Renamed into place only when whole, with the source's bits and times:
    // an interrupted copy never looks like an up-to-date one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return out.commit(int((st.st_mode & 07777) & ~mask), times);
}

bool compress(const QByteArray& data, QByteArray& packed) {
    if (data.isEmpty()) return false;
    const QByteArray compressed = qCompress(data);
    if (compressed.isEmpty()) return false;
    packed = QByteArray(reinterpret_cast<const char*>(compressedFileHeader), 8) + compressed;
    return true;
}

bool decompress(const QByteArray& packed, QByteArray& data) {
    if (packed.size() < 8 || memcmp(packed.constData(), compressedFileHeader, 8) != 0) return false;
    // The length field is only a size hint: qUncompress grows its buffer as
    // needed. A hint beyond what deflate can expand the data to (about 1032
    // to 1) is replaced, so that a corrupt one cannot reserve gigabytes.
    QByteArray input = packed.mid(8);
    if (input.size() < 4) return false;
    const quint64 claimed = qFromBigEndian<quint32>(input.constData());
    if (claimed > quint64(input.size()) * 1032 + 1024)
        qToBigEndian<quint32>(quint32(qMin<qsizetype>(input.size(), 0x7FFFFFFF)), input.data());
    try {
        QuietMessages quiet;
        data = qUncompress(input);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return !data.isEmpty();
}

bool compressFile(const QString& source, const QString& destination) {
    QByteArray data, packed;
    if (!OsFiles::readAll(source, data) || !compress(data, packed)) return false;
    return writeWhole(destination, packed, QByteArray());
}

bool decompressFile(const QString& source, const QString& destination) {
    QFile file;
    if (!OsFiles::open(file, source, QIODevice::ReadOnly)) return false;
    const QByteArray packed = file.readAll();
    QByteArray data;
    if (file.error() != QFileDevice::NoError || !decompress(packed, data)) return false;
    return writeWhole(destination, data, QByteArray());
}

QString friendlyDate(const QDateTime& when) {
    if (!when.date().isValid() || !when.time().isValid()) return QStringLiteral("(not available)");
    return QString::asprintf("%02d/%02d/%02d %02d:%02d", when.date().day(), when.date().month(),
                             when.date().year(), when.time().hour(), when.time().minute());
}

QString xmlDocumentType(const QString& path) {
    QFile file;
    if (!OsFiles::open(file, path, QIODevice::ReadOnly)) return QString();
    QDomDocument document;
    if (!document.setContent(&file)) return QString();
    QString type = document.doctype().name();
    if (type.isEmpty()) type = document.documentElement().tagName();
    return type.isNull() ? QStringLiteral("") : type;
}

} // namespace QTx
