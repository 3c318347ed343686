#pragma once

// Which outputs were being made when a run stopped: before a step runs the
// commands that write its outputs it appends "started" records, afterwards
// "finished" ones. An output whose last record is "started" may be cut off
// or stale although it is newer than its inputs, so the next run remakes it.
//
// Records are appended without syncing (a kill cannot lose what write()
// handed to the kernel) and a torn last line is ignored. Builds of the same
// solution share the journal: each holds a shared lock on it while it
// writes, and the last one to end rewrites it with only the unfinished
// outputs, or removes it when there are none.

#include <QSet>
#include <QString>
#include <QStringList>

class BuildJournal {
public:
    explicit BuildJournal(const QString& path);
    ~BuildJournal();
    BuildJournal(const BuildJournal&) = delete;
    BuildJournal& operator=(const BuildJournal&) = delete;

    const QString& path() const { return m_path; }
    // Reads the records left by earlier runs; a missing journal has none.
    void load();
    bool unfinished(const QString& output) const { return m_unfinished.contains(output); }
    // False when the record could not be written.
    bool started(const QStringList& outputs);
    bool finished(const QStringList& outputs);
    // Ends this run's use: compacts the journal unless another run holds it.
    void close();

    // The journal beside a solution's dependency log.
    static QString pathBeside(const QString& dependencyLogPath) {
        return dependencyLogPath + QStringLiteral(".journal");
    }
    // The outputs whose last record in data is "started".
    static QSet<QString> unfinishedIn(const QByteArray& data);

private:
    bool append(char kind, const QStringList& outputs);
    bool openForAppend();

    QString m_path;
    QSet<QString> m_unfinished;
    int m_fd = -1;
};
