#include "objfile/Archive.h"

#include "base/Builder.h"
#include "base/OsFiles.h"
#include "base/QTx.h"

#include <QFile>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint32_t readLE(const char* p) {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void writeLE(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char(uint8_t(v >> (8 * i)));
}

using OsFiles::osName;

} // namespace

QString ArchiveChunk2::memberName() const {
    return QString::fromLatin1(name, qsizetype(strnlen(name, NameSize)));
}

void ArchiveChunk2::setMemberName(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    std::memset(name, 0, NameSize);
    std::memcpy(name, bytes.constData(), size_t(qMin<qsizetype>(bytes.size(), NameSize)));
}

Archive2::Archive2() = default;

Archive2::~Archive2() {
    close();
}

int Archive2::open(QFile* file, const QString& path) {
    close();
    m_members.clear();
    m_error.clear();
    m_path = path;
    m_file = file;
    if (!file) return Ok;

    char header[HeaderSize];
    if (file->read(header, HeaderSize) != HeaderSize) return BadHeader;
    m_magic = readLE(header);
    const int32_t count = int32_t(readLE(header + 4));
    if (m_magic != Magic || count < 0) {
        m_magic = Magic;
        return BadHeader;
    }
    char entry[ArchiveChunk2::EntrySize];
    for (int32_t i = 0; i < count; ++i) {
        if (file->read(entry, ArchiveChunk2::EntrySize) != ArchiveChunk2::EntrySize) {
            m_members.clear();
            return ShortDirectory;
        }
        ArchiveChunk2 chunk;
        std::memcpy(chunk.name, entry, ArchiveChunk2::NameSize);
        chunk.offset = readLE(entry + 1024);
        chunk.size = readLE(entry + 1028);
        chunk.writable = readLE(entry + 1032);
        chunk.time = readLE(entry + 1036);
        chunk.source = path;
        m_members.append(chunk);
    }
    return Ok;
}

int Archive2::open(const QString& path) {
    auto file = std::make_unique<QFile>();
    if (!OsFiles::open(*file, path, QIODevice::ReadOnly)) return open(nullptr, path);
    return open(file.release(), path);
}

ArchiveChunk2* Archive2::findMember(const QString& name) {
    for (ArchiveChunk2& chunk : m_members)
        if (chunk.memberName() == name) return &chunk;
    return nullptr;
}

void Archive2::addMember(const QString& sourcePath, const QString& name, uint32_t offset,
                         uint32_t size, bool writable, uint32_t time) {
    ArchiveChunk2 chunk;
    chunk.setMemberName(name);
    chunk.offset = offset;
    chunk.size = size;
    chunk.writable = writable ? 1 : 0;
    chunk.time = time;
    chunk.source = sourcePath;
    m_members.append(chunk);
}

int Archive2::write(const QString& path) {
    m_error.clear();
    const auto writeError = [&] {
        m_error = QStringLiteral("FATAL: write error on ") + path + QStringLiteral(".\n");
        return int(WriteError);
    };
    QFile out;
    if (!OsFiles::open(out, path, QIODevice::WriteOnly | QIODevice::Truncate)) return writeError();

    const uint32_t count = uint32_t(m_members.size());
    QByteArray head(HeaderSize + qsizetype(count) * ArchiveChunk2::EntrySize, '\0');
    writeLE(head.data(), m_magic);
    writeLE(head.data() + 4, count);
    uint32_t offset = HeaderSize + count * ArchiveChunk2::EntrySize;
    for (uint32_t i = 0; i < count; ++i) {
        const ArchiveChunk2& chunk = m_members[i];
        char* entry = head.data() + HeaderSize + i * ArchiveChunk2::EntrySize;
        std::memcpy(entry, chunk.name, ArchiveChunk2::NameSize);
        writeLE(entry + 1024, offset);
        writeLE(entry + 1028, chunk.size);
        writeLE(entry + 1032, chunk.writable);
        writeLE(entry + 1036, chunk.time);
        offset += chunk.size;
    }
    if (out.write(head) != head.size()) return writeError();

    char block[1024];
    for (const ArchiveChunk2& chunk : m_members) {
        QFile in;
        const auto readError = [&] {
            m_error =
                QStringLiteral("FATAL: read error on ") + chunk.source + QStringLiteral(".\n");
            return int(WriteError);
        };
        if (!OsFiles::open(in, chunk.source, QIODevice::ReadOnly) || !in.seek(chunk.offset))
            return readError();
        for (uint32_t left = chunk.size; left > 0;) {
            const qint64 want = qMin<qint64>(left, qint64(sizeof block));
            if (in.read(block, want) != want) return readError();
            if (out.write(block, want) != want) return writeError();
            left -= uint32_t(want);
        }
    }
    if (!out.flush()) return writeError();
    out.close();
    return out.error() == QFileDevice::NoError ? int(Written) : writeError();
}

void Archive2::close() {
    if (m_file) {
        m_file->close();
        delete m_file;
        m_file = nullptr;
    }
}

void Archive2::remove() {
    close();
    if (!m_path.isEmpty()) OsFiles::remove(m_path);
    m_path.clear();
}

void addToRemoveFromArchive(const QString& package, const QString& member, const QString& file,
                            Builder* builder, bool quiet, bool force) {
    const QString named = package + QLatin1Char('(') + member + QLatin1Char(')');
    const auto report = [&](void (Builder::*sink)(const QString&), const QString& text) {
        if (builder) (builder->*sink)(text);
    };

    // A missing or unreadable package is an empty one; never reuse a stale copy.
    const QString decompressed = package + QStringLiteral(".decompressed");
    OsFiles::remove(decompressed);
    Archive2 old;
    if (!QTx::decompressFile(package, decompressed) || old.open(decompressed) != Archive2::Ok)
        old.open(nullptr, decompressed);

    struct stat st;
    const bool haveFile =
        !file.isEmpty() && ::stat(osName(file).constData(), &st) == 0 && S_ISREG(st.st_mode);

    if (!force) {
        const ArchiveChunk2* existing = old.count() ? old.findMember(member) : nullptr;
        if (!existing) {
            if (!quiet) report(&Builder::message, named + QStringLiteral(" does not exist."));
        } else if (haveFile && qint64(st.st_mtime) > qint64(existing->time)) {
            if (!quiet)
                report(&Builder::message,
                       file + QStringLiteral(" is newer than ") + named + QLatin1Char('.'));
        } else {
            if (!quiet)
                report(&Builder::success,
                       QLatin1Char('\'') + named + QStringLiteral("' is up to date."));
            old.remove();
            return;
        }
    }

    Archive2 updated;
    for (const ArchiveChunk2& chunk : old.members())
        if (chunk.memberName() != member) updated.members().append(chunk);

    if (!file.isEmpty()) {
        if (haveFile)
            updated.addMember(file, member, 0, uint32_t(st.st_size), (st.st_mode & S_IWUSR) != 0,
                              uint32_t(st.st_mtime));
        else // unreadable: the write below reports the read error
            updated.addMember(file, member, 0, 0, false, 0);
        report(&Builder::message, QStringLiteral("adding ") + file + QStringLiteral(" to ") +
                                      named + QLatin1Char('.'));
    } else {
        report(&Builder::message, QStringLiteral("removing ") + named + QLatin1Char('.'));
    }

    // Write beside the package and rename over it, so a failed or interrupted
    // update leaves the old package in place.
    const QString suffix = QLatin1Char('.') + QString::number(::getpid());
    const QString plain = package + suffix + QStringLiteral(".tmp");
    const QString packed = package + suffix + QStringLiteral(".new");
    const bool written = updated.write(plain) == Archive2::Written;
    old.remove();
    const QString writeError =
        QStringLiteral("FATAL: write error on ") + package + QLatin1Char('.');
    if (!written) {
        // A read error names the file read; a write error names the package,
        // not the temporary that was being written.
        const QString why = updated.errorText().trimmed();
        report(&Builder::error, why.startsWith(QStringLiteral("FATAL: read ")) ? why : writeError);
    } else if (!QTx::compressFile(plain, packed) || !OsFiles::rename(packed, package)) {
        report(&Builder::error, writeError);
    }
    OsFiles::remove(plain);
    OsFiles::remove(packed);
}
