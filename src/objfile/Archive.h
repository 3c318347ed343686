#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

class QFile;

// One member of a package archive: its 1040-byte directory entry and the file
// its data is copied from (the archive itself, or the file being added).
struct ArchiveChunk2 {
    static constexpr int NameSize = 1024;
    static constexpr int EntrySize = 1040;

    char name[NameSize]; // zero-padded; a name of 1024 bytes has no terminator
    uint32_t offset = 0; // of the data from the start of the source file
    uint32_t size = 0;
    uint32_t writable = 0; // 1 when the source had owner-write permission
    uint32_t time = 0;     // modification time, seconds since the epoch
    QString source;

    QString memberName() const;
    void setMemberName(const QString& name);
};

// The uncompressed package archive: magic, member count, the directory, then
// the members' data in order. Integers are 32-bit little-endian.
class Archive2 {
public:
    static constexpr uint32_t Magic = 0x4152C3C8;
    static constexpr int HeaderSize = 8;

    enum OpenResult { Ok = 0, BadHeader = 1, ShortDirectory = 2 };
    enum WriteResult { Written = 0, WriteError = 3 };

    Archive2();
    ~Archive2();
    Archive2(const Archive2&) = delete;
    Archive2& operator=(const Archive2&) = delete;

    // Takes ownership of the open file; a null file is a missing archive and
    // gives an empty archive (result Ok).
    int open(QFile* file, const QString& path);
    // Opens the file at path itself; a missing file is an empty archive.
    int open(const QString& path);
    // An archive held in memory; its members' source is path.
    int read(const QByteArray& bytes, const QString& path);

    ArchiveChunk2* findMember(const QString& name);
    void addMember(const QString& sourcePath, const QString& name, uint32_t offset, uint32_t size,
                   bool writable, uint32_t time);
    // Gives a member's size bytes of data; false when they cannot be read.
    using MemberData = std::function<bool(const ArchiveChunk2& member, QByteArray& data)>;
    // The archive as bytes, with the data offsets recomputed.
    int write(QByteArray& out, const MemberData& dataOf);
    // Writes the archive to path, copying each member's data from its source.
    int write(const QString& path);
    void close();
    // Closes the archive and deletes its file.
    void remove();

    const QList<ArchiveChunk2>& members() const { return m_members; }
    QList<ArchiveChunk2>& members() { return m_members; }
    int count() const { return int(m_members.size()); }
    QString path() const { return m_path; }
    QString errorText() const { return m_error; }

private:
    // Reads header and directory through read(buffer, length).
    int parse(const std::function<bool(char*, qint64)>& read, const QString& path);

    QList<ArchiveChunk2> m_members;
    uint32_t m_magic = Magic;
    QString m_path;
    QFile* m_file = nullptr;
    QString m_error;
};
