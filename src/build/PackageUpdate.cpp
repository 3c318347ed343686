#include "build/PackageUpdate.h"

#include "base/Builder.h"
#include "base/FileSystem.h"
#include "base/OsFiles.h"
#include "base/QTx.h"
#include "build/StandardBuildSystem.h"
#include "objfile/Archive.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Concurrent builds sharing a package take turns at reading, changing and
// replacing it. The package is replaced by a rename, so the lock is held on
// its directory. Off the disk (a test's file system) there is nothing to lock.
class PackageLock {
public:
    explicit PackageLock(const QString& package) {
        const QByteArray directory = OsFiles::osName(OsFiles::directoryOf(package));
        m_fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) return;
        while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        removeStaleTemporaries(package);
    }
    ~PackageLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    PackageLock(const PackageLock&) = delete;
    PackageLock& operator=(const PackageLock&) = delete;

private:
    // Every writer holds the lock, so a replacement temporary found while
    // holding it belongs to a process that died: the name the replacement
    // gives it (the package's name and six letters or digits) and the mode
    // it is created with, never yet changed.
    static void removeStaleTemporaries(const QString& package) {
        const QString directory = OsFiles::directoryOf(package);
        const QString prefix = OsFiles::fileNameOf(package) + QLatin1Char('.');
        for (const QString& name : OsFiles::entries(directory)) {
            if (name.size() != prefix.size() + 6 || !name.startsWith(prefix)) continue;
            bool temporary = true;
            for (const QChar ch : name.mid(prefix.size()))
                temporary = temporary && ch.isLetterOrNumber() && ch.unicode() < 128;
            const QString path = directory + QLatin1Char('/') + name;
            struct stat st;
            if (temporary && ::lstat(OsFiles::osName(path).constData(), &st) == 0 &&
                S_ISREG(st.st_mode) && (st.st_mode & 07777) == 0600)
                OsFiles::remove(path);
        }
    }

    int m_fd = -1;
};

// The package's archive; a missing, unreadable or corrupt one is empty.
void readPackage(FileSystem& files, const QString& package, QByteArray& plain, Archive2& archive) {
    QByteArray packed;
    if (!files.readFile(package, packed) || !QTx::decompress(packed, plain) ||
        archive.read(plain, package) != Archive2::Ok)
        archive.open(nullptr, package);
}

// Whether the member need not change; reports why it must otherwise.
bool memberUpToDate(Archive2& archive, const QString& member, const QString& named,
                    const QString& file, const FileStat& st, Builder* builder, bool quiet) {
    const ArchiveChunk2* existing = archive.findMember(member);
    const bool report = !quiet && builder;
    if (!existing) {
        if (report) builder->message(named + QStringLiteral(" does not exist."));
        return false;
    }
    if (st.isFile && st.seconds > qint64(existing->time)) {
        if (report)
            builder->message(file + QStringLiteral(" is newer than ") + named + QLatin1Char('.'));
        return false;
    }
    if (report) builder->success(QLatin1Char('\'') + named + QStringLiteral("' is up to date."));
    return true;
}

} // namespace

void updatePackage(FileSystem& files, const QString& package, const QString& member,
                   const QString& file, Builder* builder, bool quiet, bool force) {
    const QString named = package + QLatin1Char('(') + member + QLatin1Char(')');
    const PackageLock lock(package);
    QByteArray plain;
    Archive2 old;
    readPackage(files, package, plain, old);
    const FileStat st = file.isEmpty() ? FileStat() : files.stat(file);
    if (!force && memberUpToDate(old, member, named, file, st, builder, quiet)) return;

    Archive2 updated;
    for (const ArchiveChunk2& chunk : old.members())
        if (chunk.memberName() != member) updated.members().append(chunk);
    const int kept = updated.count();
    if (!file.isEmpty()) {
        // A file that is not there or not a regular file: writing reports the read error.
        if (st.isFile)
            updated.addMember(file, member, 0, uint32_t(st.size), st.ownerWritable,
                              uint32_t(st.seconds));
        else
            updated.addMember(file, member, 0, 0, false, 0);
        if (builder)
            builder->message(QStringLiteral("adding ") + file + QStringLiteral(" to ") + named +
                             QLatin1Char('.'));
    } else if (builder) {
        builder->message(QStringLiteral("removing ") + named + QLatin1Char('.'));
    }

    QByteArray bytes;
    const auto dataOf = [&](const ArchiveChunk2& chunk, QByteArray& data) {
        if (&chunk - updated.members().constData() >= kept) {
            if (!st.isFile || !files.readFile(file, data) || data.size() < qsizetype(chunk.size))
                return false;
            data.truncate(chunk.size);
            return true;
        }
        if (qint64(chunk.offset) + chunk.size > plain.size()) return false;
        data = plain.mid(chunk.offset, chunk.size);
        return true;
    };
    QByteArray packed;
    if (updated.write(bytes, dataOf) != Archive2::Written) {
        if (builder) builder->error(updated.errorText().trimmed());
    } else if (!QTx::compress(bytes, packed) || !files.writeFileAtomically(package, packed)) {
        if (builder)
            builder->error(QStringLiteral("FATAL: write error on ") + package + QLatin1Char('.'));
    }
}

void StandardBuildSystem::addToRemoveFromArchive(const QString& archivePath,
                                                 const QString& memberName, const QString& filePath,
                                                 Builder* builder, bool quiet, bool force) {
    updatePackage(*fileSystem(), archivePath, memberName, filePath, builder, quiet, force);
}
