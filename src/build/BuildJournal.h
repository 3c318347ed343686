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
//
// It also keeps, per output, a hash of the commands that last made it and
// one of what those commands were formed from ("c" records, written only
// when commands are tracked), so that a changed command line can be told
// from an unchanged one without keeping the texts. Compacting keeps the
// newest of these for each output.

#include <QHash>
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
    struct Commands {
        quint64 commands = 0; // the hash of the commands
        quint64 context = 0;  // of what they were formed from
        bool operator==(const Commands& o) const {
            return commands == o.commands && context == o.context;
        }
    };
    // With commands, those that made the outputs are kept too.
    bool finished(const QStringList& outputs, const Commands* commands = nullptr);
    // The commands that last made output, when they were recorded.
    bool commandsOf(const QString& output, Commands& commands);
    bool recordCommands(const QString& output, const Commands& commands);
    // Ends this run's use: compacts the journal unless another run holds it.
    void close();

    // The journal beside a solution's dependency log.
    static QString pathBeside(const QString& dependencyLogPath) {
        return dependencyLogPath + QStringLiteral(".journal");
    }
    // The outputs whose last record in data is "started".
    static QSet<QString> unfinishedIn(const QByteArray& data);
    // The same, and the newest command hash of each output.
    // Command records are keyed by a hash of the output's name; with lines,
    // the newest record line of each is kept as well.
    // records, when given, counts the records read.
    struct Counts {
        qsizetype progress = 0; // started and finished
        qsizetype commands = 0;
    };
    static QSet<QString> readRecords(const QByteArray& data, QHash<quint64, Commands>* commands,
                                     QHash<quint64, QByteArray>* lines = nullptr,
                                     Counts* records = nullptr);
    static quint64 keyOf(const QString& output);

private:
    bool append(const QByteArray& lines);
    // Command records are read on first use: a run that does not track
    // commands never pays for them.
    void readCommands();
    bool openForAppend();

    QString m_path;
    QSet<QString> m_unfinished;
    QHash<quint64, Commands> m_commands;
    QByteArray m_loaded;   // what load() read, until readCommands()
    bool m_compact = true; // it held nothing that compacting would drop
    int m_fd = -1;
};
