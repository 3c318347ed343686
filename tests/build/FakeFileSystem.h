#pragma once

// An in-memory file system with invented times: the disk-facing decisions are
// tested against it without touching the disk and without sleeping. Files
// written through the seam get the time `clock`; every write is a new version
// (a new inode and change stamp), as an atomic replacement is on disk.

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QString>

#include <memory>

#include "base/FileSystem.h"
#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/OsFiles.h"

class FakeFileSystem : public FileSystem {
public:
    struct Entry {
        QByteArray data;
        qint64 seconds = 0;
        bool isDir = false;
        bool writable = true;
        quint64 inode = 0;
    };

    FileStat stat(const QString& path) override {
        ++stats;
        FileStat st;
        auto it = entries.constFind(path);
        if (it == entries.constEnd()) return st;
        st.exists = true;
        st.isDir = it->isDir;
        st.isFile = !it->isDir;
        st.ownerWritable = it->writable;
        st.seconds = it->seconds;
        st.size = it->data.size();
        st.modifiedNs = it->seconds * 1000000000;
        st.changedNs = qint64(it->inode);
        st.inode = it->inode;
        st.device = 1;
        return st;
    }
    bool makeDir(const QString& path) override {
        if (entries.contains(path) || !isDir(OsFiles::directoryOf(path))) return false;
        put(path, {}, clock).isDir = true;
        return true;
    }
    bool readFile(const QString& path, QByteArray& data) override {
        auto it = entries.constFind(path);
        if (it == entries.constEnd() || it->isDir) return false;
        data = it->data;
        return true;
    }
    std::unique_ptr<HByteStream> openInput(const QString& path) override {
        QByteArray data;
        if (!readFile(path, data)) throw HException("can't open file " + path.toStdString());
        return std::make_unique<HMemoryByteStream>(data.constData(), size_t(data.size()));
    }
    bool writeFileAtomically(const QString& path, const QByteArray& data) override {
        if (!isDir(OsFiles::directoryOf(path)) || (entries.contains(path) && entries[path].isDir))
            return false;
        put(path, data, clock);
        return true;
    }
    bool remove(const QString& path) override {
        if (readOnly.contains(path) || isDir(path)) return false;
        return entries.remove(path) > 0;
    }
    bool rename(const QString& from, const QString& to) override {
        if (!entries.contains(from) || !isDir(OsFiles::directoryOf(to))) return false;
        entries[to] = entries.take(from);
        return true;
    }

    // A file with its parent directories.
    Entry& write(const QString& path, const QByteArray& data, qint64 seconds) {
        for (QString dir = OsFiles::directoryOf(path); dir != QLatin1String("/") && !isDir(dir);
             dir = OsFiles::directoryOf(dir))
            put(dir, {}, seconds).isDir = true;
        return put(path, data, seconds);
    }
    void touch(const QString& path, qint64 seconds) {
        write(path, entries.value(path).data, seconds);
    }
    bool has(const QString& path) const { return entries.contains(path); }
    bool isDir(const QString& path) const {
        return path == QLatin1String("/") || (entries.contains(path) && entries[path].isDir);
    }

    QMap<QString, Entry> entries;
    QSet<QString> readOnly; // removal fails
    int stats = 0;
    qint64 clock = 1000;

private:
    Entry& put(const QString& path, const QByteArray& data, qint64 seconds) {
        Entry& e = entries[path];
        e.data = data;
        e.seconds = seconds;
        e.inode = ++m_inodes;
        return e;
    }
    quint64 m_inodes = 0;
};
