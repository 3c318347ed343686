#include "build/DependencyLog.h"

#include "base/OsFiles.h"

#include <QCryptographicHash>

#include <cstring>

namespace {

// The file: this magic, the path table (a count, then each path as its
// length and UTF-16 code units as they are in memory), then the entries (a
// count, then each object's stamp, its path's index, and the count and
// indexes of its dependencies). Integers are little-endian; the magic's last
// letter tells the byte order of the strings.
const char kMagic[8] = {'S', 'W', 'D', 'E',
                        'P', 'S', '2', Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? 'l' : 'b'};
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

quint32 getU32(const char* p) {
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
           quint32(quint8(p[3])) << 24;
}

quint64 getU64(const char* p) {
    return quint64(getU32(p)) | quint64(getU32(p + 4)) << 32;
}

// size, modification and change times, inode, device
const qsizetype kStampSize = 5 * 8;

// Reads little-endian fields from a buffer; any overrun sets failed.
class Cursor {
public:
    Cursor(const char* data, qsizetype size) : m_begin(data), m_p(data), m_end(data + size) {}
    bool atEnd() const { return m_p == m_end; }
    bool failed() const { return m_failed; }
    qsizetype offset() const { return m_p - m_begin; }
    qsizetype left() const { return m_end - m_p; }
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
    // A view of the next string's code units, which stay in the buffer.
    QStringView string() {
        const quint32 n = quint32(u(4));
        if (m_failed || n > kMaxStringUnits || m_end - m_p < qsizetype(n) * 2) {
            m_failed = true;
            return QStringView();
        }
        const QStringView s(reinterpret_cast<const char16_t*>(m_p), qsizetype(n));
        m_p += qsizetype(n) * 2;
        return s;
    }
    void skip(qsizetype bytes) {
        if (m_failed || m_end - m_p < bytes)
            m_failed = true;
        else
            m_p += bytes;
    }

private:
    const char* m_begin;
    const char* m_p;
    const char* m_end;
    bool m_failed = false;
};

// Paths numbered in order of first use while a log is written.
class PathTable {
public:
    quint32 index(QStringView path) {
        auto it = m_indexes.constFind(path);
        if (it != m_indexes.constEnd()) return *it;
        const quint32 n = quint32(m_order.size());
        m_indexes.insert(path, n);
        m_order.append(path);
        return n;
    }
    void write(QByteArray& out) const {
        putU32(out, quint32(m_order.size()));
        for (QStringView s : m_order) {
            putU32(out, quint32(s.size()));
            out.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        }
    }

private:
    QHash<QStringView, quint32> m_indexes;
    QList<QStringView> m_order;
};

void putEntry(QByteArray& out, PathTable& paths, const FileStat& stamp, QStringView object,
              const QList<QStringView>& dependencies) {
    putU64(out, quint64(stamp.size));
    putU64(out, quint64(stamp.modifiedNs));
    putU64(out, quint64(stamp.changedNs));
    putU64(out, stamp.inode);
    putU64(out, stamp.device);
    putU32(out, paths.index(object));
    putU32(out, quint32(dependencies.size()));
    for (QStringView d : dependencies)
        putU32(out, paths.index(d));
}

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
    m_data.clear();
    m_paths.clear();
    m_loaded.clear();
    m_byObject.clear();
    m_recorded.clear();
    m_replaced = 0;
    m_dirty = false;
    QByteArray data;
    if (!m_files.readFile(m_path, data) || !parse(data)) {
        m_paths.clear();
        m_loaded.clear();
        m_byObject.clear();
        return false;
    }
    m_data = data;
    return true;
}

bool DependencyLog::parse(const QByteArray& data) {
    // Views of UTF-16 need an even address.
    if (data.size() < qsizetype(sizeof kMagic) || (quintptr(data.constData()) & 1) ||
        std::memcmp(data.constData(), kMagic, sizeof kMagic))
        return false;
    Cursor in(data.constData(), data.size());
    in.skip(sizeof kMagic);
    const quint32 pathCount = quint32(in.u(4));
    if (in.failed() || pathCount > in.left() / 4) return false;
    m_paths.reserve(pathCount);
    for (quint32 n = 0; n < pathCount && !in.failed(); ++n)
        m_paths.append(in.string());
    const quint32 total = quint32(in.u(4));
    if (in.failed() || total > in.left() / 48) return false;
    m_loaded.reserve(total);
    m_byObject.reserve(total);
    for (quint32 n = 0; n < total; ++n) {
        Loaded entry;
        in.skip(kStampSize);
        entry.object = quint32(in.u(4));
        entry.count = quint32(in.u(4));
        entry.at = in.offset();
        if (in.failed() || entry.object >= pathCount || entry.count >= kMaxStrings) return false;
        in.skip(qsizetype(entry.count) * 4);
        if (in.failed()) return false;
        for (quint32 i = 0; i < entry.count; ++i)
            if (getU32(data.constData() + entry.at + 4 * i) >= pathCount) return false;
        m_byObject.insert(m_paths[entry.object], m_loaded.size());
        m_loaded.append(entry);
    }
    return !in.failed() && in.atEnd();
}

FileStat DependencyLog::stampOf(const Loaded& entry) const {
    const char* p = m_data.constData() + entry.at - 8 - kStampSize;
    FileStat stamp;
    stamp.exists = true;
    stamp.size = qint64(getU64(p));
    stamp.modifiedNs = qint64(getU64(p + 8));
    stamp.changedNs = qint64(getU64(p + 16));
    stamp.inode = getU64(p + 24);
    stamp.device = getU64(p + 32);
    return stamp;
}

// Made afresh on each lookup: strings kept for reuse would hold every
// source path of the solution for the whole run.
QStringList DependencyLog::dependenciesOf(const Loaded& entry) {
    QStringList list;
    list.reserve(entry.count);
    for (quint32 i = 0; i < entry.count; ++i)
        list.append(m_paths[getU32(m_data.constData() + entry.at + 4 * i)].toString());
    return list;
}

bool DependencyLog::save() {
    if (!m_dirty) return true;
    PathTable paths;
    QByteArray entries;
    quint32 total = 0;
    QList<QStringView> dependencies;
    for (const Loaded& e : std::as_const(m_loaded)) {
        // Entries of other configurations stay while they still describe their object.
        if (e.replaced) continue;
        const QStringView object = m_paths[e.object];
        const FileStat stamp = stampOf(e);
        if (!e.used && !sameStamp(m_files.stat(object.toString()), stamp)) continue;
        dependencies.clear();
        for (quint32 i = 0; i < e.count; ++i)
            dependencies.append(m_paths[getU32(m_data.constData() + e.at + 4 * i)]);
        putEntry(entries, paths, stamp, object, dependencies);
        ++total;
    }
    for (auto it = m_recorded.constBegin(); it != m_recorded.constEnd(); ++it) {
        dependencies.clear();
        for (const QString& d : it->second)
            dependencies.append(d);
        putEntry(entries, paths, it->first, it.key(), dependencies);
        ++total;
    }
    QByteArray out(kMagic, sizeof kMagic);
    paths.write(out);
    putU32(out, total);
    out += entries;
    m_files.makeDirs(OsFiles::directoryOf(m_path));
    if (!m_files.writeFileAtomically(m_path, out)) return false;
    m_dirty = false;
    return true;
}

bool DependencyLog::find(const QString& object, const FileStat& stamp, QStringList& dependencies) {
    if (!usable(stamp)) return false;
    auto recorded = m_recorded.constFind(object);
    if (recorded != m_recorded.constEnd()) {
        if (!sameStamp(recorded->first, stamp)) return false;
        dependencies = recorded->second;
        return true;
    }
    auto it = m_byObject.constFind(QStringView(object));
    if (it == m_byObject.constEnd()) return false;
    Loaded& entry = m_loaded[*it];
    if (!sameStamp(stampOf(entry), stamp)) return false;
    entry.used = true;
    dependencies = dependenciesOf(entry);
    return true;
}

void DependencyLog::record(const QString& object, const FileStat& stamp,
                           const QStringList& dependencies) {
    if (!usable(stamp)) return;
    if (dependencies.size() >= int(kMaxStrings)) return;
    for (const QString& d : dependencies)
        if (d.size() >= int(kMaxStringUnits)) return;
    if (object.size() >= int(kMaxStringUnits)) return;
    auto loaded = m_byObject.constFind(QStringView(object));
    if (loaded != m_byObject.constEnd() && !m_loaded[*loaded].replaced) {
        m_loaded[*loaded].replaced = true;
        ++m_replaced;
    }
    m_recorded.insert(object, {stamp, dependencies});
    m_dirty = true;
}
