#pragma once

// The dependencies recorded inside object files, kept between runs so that a
// build with nothing to do need not open every object again.
//
// An entry is used only while its object keeps the same inode, size,
// modification time and change time (to the nanosecond): any write to the
// object, or any change of its times, changes the change time, so a hit gives
// exactly what reading the object would. The file is only a cache: a missing,
// unreadable or damaged log is ignored and rewritten.

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "base/FileSystem.h"

class DependencyLog {
public:
    // Read and written through files (the disk unless given another).
    explicit DependencyLog(const QString& path, FileSystem& files = FileSystem::real());

    const QString& path() const { return m_path; }
    FileSystem& files() const { return m_files; }
    // Reads the log; false (and an empty log) when it is missing or damaged.
    bool load();
    // Writes the log beside itself and renames it over, when anything was
    // recorded since loading. Entries not used this run are kept while their
    // object still exists.
    bool save();

    // The dependencies recorded for an object whose stamp is unchanged.
    bool find(const QString& object, const FileStat& stamp, QStringList& dependencies);
    void record(const QString& object, const FileStat& stamp, const QStringList& dependencies);

    int size() const { return int(m_loaded.size() - m_replaced + m_recorded.size()); }
    bool dirty() const { return m_dirty; }

    // The log file for a solution: one per solution path, inside directory.
    static QString pathFor(const QString& directory, const QString& solutionPath);

private:
    // An entry as read: its paths are indexes into the path table, and its
    // stamp and dependency indexes stay in the file's bytes until asked for.
    struct Loaded {
        quint32 object = 0;
        quint32 count = 0; // dependencies
        qsizetype at = 0;  // offset of their indexes in m_data
        bool used = false;
        bool replaced = false; // recorded again this run
    };
    static bool sameStamp(const FileStat& a, const FileStat& b);
    static bool usable(const FileStat& stamp) { return stamp.exists && stamp.inode != 0; }
    bool parse(const QByteArray& data);
    QStringList dependenciesOf(const Loaded& entry);
    FileStat stampOf(const Loaded& entry) const;

    QString m_path;
    FileSystem& m_files;
    // Headers repeat across thousands of objects: the file holds each path
    // once, and the loaded log keeps the file's bytes with views into them.
    QByteArray m_data;
    QList<QStringView> m_paths;
    QList<Loaded> m_loaded;
    QHash<QStringView, qsizetype> m_byObject;                // into m_loaded
    QHash<QString, QPair<FileStat, QStringList>> m_recorded; // wins over m_loaded
    qsizetype m_replaced = 0;
    bool m_dirty = false;
};
