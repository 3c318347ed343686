#include "objfile/Archive.h"

#include "base/OsFiles.h"

#include <QFile>
#include <cstring>
#include <memory>

namespace {

uint32_t readLE(const char* p) {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void writeLE(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char(uint8_t(v >> (8 * i)));
}

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
    m_file = file;
    if (!file) {
        m_members.clear();
        m_error.clear();
        m_path = path;
        return Ok;
    }
    return parse(
        [file](char* buffer, qint64 length) { return file->read(buffer, length) == length; }, path);
}

int Archive2::read(const QByteArray& bytes, const QString& path) {
    close();
    qsizetype at = 0;
    return parse(
        [&](char* buffer, qint64 length) {
            if (bytes.size() - at < length) return false;
            std::memcpy(buffer, bytes.constData() + at, size_t(length));
            at += length;
            return true;
        },
        path);
}

int Archive2::parse(const std::function<bool(char*, qint64)>& read, const QString& path) {
    m_members.clear();
    m_error.clear();
    m_path = path;
    char header[HeaderSize];
    if (!read(header, HeaderSize)) return BadHeader;
    m_magic = readLE(header);
    const int32_t count = int32_t(readLE(header + 4));
    if (m_magic != Magic || count < 0) {
        m_magic = Magic;
        return BadHeader;
    }
    char entry[ArchiveChunk2::EntrySize];
    for (int32_t i = 0; i < count; ++i) {
        if (!read(entry, ArchiveChunk2::EntrySize)) {
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

int Archive2::write(QByteArray& out, const MemberData& dataOf) {
    m_error.clear();
    const uint32_t count = uint32_t(m_members.size());
    out = QByteArray(HeaderSize + qsizetype(count) * ArchiveChunk2::EntrySize, '\0');
    writeLE(out.data(), m_magic);
    writeLE(out.data() + 4, count);
    uint32_t offset = HeaderSize + count * ArchiveChunk2::EntrySize;
    for (uint32_t i = 0; i < count; ++i) {
        const ArchiveChunk2& chunk = m_members[i];
        char* entry = out.data() + HeaderSize + i * ArchiveChunk2::EntrySize;
        std::memcpy(entry, chunk.name, ArchiveChunk2::NameSize);
        writeLE(entry + 1024, offset);
        writeLE(entry + 1028, chunk.size);
        writeLE(entry + 1032, chunk.writable);
        writeLE(entry + 1036, chunk.time);
        offset += chunk.size;
    }
    QByteArray data;
    for (const ArchiveChunk2& chunk : m_members) {
        if (!dataOf(chunk, data) || data.size() != qsizetype(chunk.size)) {
            m_error =
                QStringLiteral("FATAL: read error on ") + chunk.source + QStringLiteral(".\n");
            return WriteError;
        }
        out += data;
    }
    return Written;
}

int Archive2::write(const QString& path) {
    const auto writeError = [&] {
        m_error = QStringLiteral("FATAL: write error on ") + path + QStringLiteral(".\n");
        return int(WriteError);
    };
    QFile out;
    if (!OsFiles::open(out, path, QIODevice::WriteOnly | QIODevice::Truncate)) return writeError();
    QByteArray bytes;
    const int result = write(bytes, [](const ArchiveChunk2& chunk, QByteArray& data) {
        QFile in;
        if (!OsFiles::open(in, chunk.source, QIODevice::ReadOnly) || !in.seek(chunk.offset))
            return false;
        data = in.read(chunk.size);
        return true;
    });
    if (result != Written) return result;
    if (out.write(bytes) != bytes.size() || !out.flush()) return writeError();
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
