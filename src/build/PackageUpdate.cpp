#include "build/PackageUpdate.h"

#include "base/Builder.h"
#include "base/FileSystem.h"
#include "base/QTx.h"
#include "build/StandardBuildSystem.h"
#include "objfile/Archive.h"

namespace {

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
