#include "build/DependencyLog.h"

#include "base/OsFiles.h"

#include <QCryptographicHash>

#include <cstring>

namespace {

// The version digit also tells the byte order of the UTF-16 strings.
const char kMagic[8] = {'S', 'W', 'D', 'E', 'P', 'S', Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 'l' : 'b',
                        '\n'};
// Bounds that keep a damaged log from asking for absurd amounts of memory.
const quint32 kMaxStrings = 1u << 16;
const quint32 kMaxStringUnits = 1u << 16;

void putU32(QByteArray& out, quint32 v) {
    char b[4];
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    out.append(b, 4);
}

void putU64(QByteArray& out, quint64 v) {
    char b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = char(v >> (8 * i));
    out.append(b, 8);
}

// UTF-16 code units as they are in memory: reading them back is one copy.
void putString(QByteArray& out, const QString& s) {
    putU32(out, quint32(s.size()));
    out.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

// Reads little-endian fields from a buffer; any overrun sets failed.
class Cursor {
public:
    Cursor(const char* data, qsizetype size) : m_p(data), m_end(data + size) {}
    bool atEnd() const { return m_p == m_end; }
    bool failed() const { return m_failed; }
    quint64 u(int bytes) {
        if (m_failed || m_end - m_p < bytes) {
            m_failed = true;
            return 0;
        }
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= quint64(quint8(m_p[i])) << (8 * i);
        m_p += bytes;
        return v;
    }
    QString string() {
        const quint32 n = quint32(u(4));
        if (m_failed || n > kMaxStringUnits || m_end - m_p < qsizetype(n) * 2) {
            m_failed = true;
            return QString();
        }
        QString s(qsizetype(n), Qt::Uninitialized);
        std::memcpy(s.data(), m_p, size_t(n) * 2);
        m_p += qsizetype(n) * 2;
        return s;
    }

private:
    const char* m_p;
    const char* m_end;
    bool m_failed = false;
};

} // namespace

DependencyLog::DependencyLog(const QString& path, FileSystem& files)
    : m_path(path), m_files(files) {}

QString DependencyLog::pathFor(const QString& directory, const QString& solutionPath) {
    const QByteArray key =
        QCryptographicHash::hash(OsFiles::osName(OsFiles::absolutePath(solutionPath)),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return directory + QStringLiteral("/deps-") + QString::fromLatin1(key);
}

bool DependencyLog::sameStamp(const FileStat& a, const FileStat& b) {
    return a.exists && b.exists && a.size == b.size && a.modifiedNs == b.modifiedNs &&
           a.changedNs == b.changedNs && a.inode == b.inode && a.device == b.device;
}

bool DependencyLog::load() {
    m_entries.clear();
    m_dirty = false;
    QByteArray data;
    if (!m_files.readFile(m_path, data)) return false;
    if (data.size() < qsizetype(sizeof kMagic) ||
        std::memcmp(data.constData(), kMagic, sizeof kMagic))
        return false;
    Cursor in(data.constData() + sizeof kMagic, data.size() - qsizetype(sizeof kMagic));
    // The count up front makes a log cut short anywhere unreadable as a whole.
    const quint32 total = quint32(in.u(4));
    QHash<QString, Entry> entries;
    for (quint32 n = 0; n < total; ++n) {
        Entry entry;
        entry.stamp.exists = true;
        entry.stamp.size = qint64(in.u(8));
        entry.stamp.modifiedNs = qint64(in.u(8));
        entry.stamp.changedNs = qint64(in.u(8));
        entry.stamp.inode = in.u(8);
        entry.stamp.device = in.u(8);
        const quint32 count = quint32(in.u(4));
        if (in.failed() || count == 0 || count > kMaxStrings) return false;
        const QString object = in.string();
        entry.dependencies.reserve(count - 1);
        for (quint32 i = 1; i < count && !in.failed(); ++i)
            entry.dependencies.append(in.string());
        if (in.failed()) return false;
        entries.insert(object, entry);
    }
    if (in.failed() || !in.atEnd()) return false;
    m_entries.swap(entries);
    return true;
}

bool DependencyLog::save() {
    if (!m_dirty) return true;
    QByteArray out(kMagic, sizeof kMagic);
    putU32(out, 0); // the count, filled in below
    quint32 total = 0;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
        const Entry& e = it.value();
        // Entries of other configurations stay while they still describe their object.
        if (!e.used && !sameStamp(m_files.stat(it.key()), e.stamp)) continue;
        putU64(out, quint64(e.stamp.size));
        putU64(out, quint64(e.stamp.modifiedNs));
        putU64(out, quint64(e.stamp.changedNs));
        putU64(out, e.stamp.inode);
        putU64(out, e.stamp.device);
        putU32(out, quint32(e.dependencies.size() + 1));
        putString(out, it.key());
        for (const QString& d : e.dependencies)
            putString(out, d);
        ++total;
    }
    for (int i = 0; i < 4; ++i)
        out[qsizetype(sizeof kMagic) + i] = char(total >> (8 * i));
    m_files.makeDirs(OsFiles::directoryOf(m_path));
    if (!m_files.writeFileAtomically(m_path, out)) return false;
    m_dirty = false;
    return true;
}

bool DependencyLog::find(const QString& object, const FileStat& stamp, QStringList& dependencies) {
    if (!usable(stamp)) return false;
    auto it = m_entries.find(object);
    if (it == m_entries.end() || !sameStamp(it->stamp, stamp)) return false;
    it->used = true;
    dependencies = it->dependencies;
    return true;
}

void DependencyLog::record(const QString& object, const FileStat& stamp,
                           const QStringList& dependencies) {
    if (!usable(stamp)) return;
    if (dependencies.size() >= int(kMaxStrings)) return;
    for (const QString& d : dependencies)
        if (d.size() >= int(kMaxStringUnits)) return;
    if (object.size() >= int(kMaxStringUnits)) return;
    Entry& entry = m_entries[object];
    entry.stamp = stamp;
    entry.dependencies = dependencies;
    entry.used = true;
    m_dirty = true;
}
