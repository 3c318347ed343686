#pragma once

// The commands that compile and assemble the sources a run covers, for
// editors and code-analysis tools: collected in build order as steps are
// decided (up to date or not) and written at the end of the run as a JSON
// compilation database, an array of {directory, file, arguments, output}.

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

#include "build/StepPlan.h"

struct CompileCommand {
    QString directory; // where the command runs
    QString file;      // the source, absolute
    QStringList arguments;
    QString output; // absolute
};

class CompilationDatabase {
public:
    // The command formed among entries[from...] (its directory, command line
    // and output file) for the source named as it appears on the command
    // line; nothing when none was formed.
    void addFormed(const std::vector<StepEntry>& entries, size_t from, const QString& source);
    static bool formedIn(const std::vector<StepEntry>& entries, size_t from, const QString& source,
                         CompileCommand& command);
    // A plan lists its command through an entry, carried out when the step
    // is run in its turn: a parallel build lists what a serial one would.
    static StepEntry entryFor(const CompileCommand& command);
    void addEntry(const StepEntry& entry);
    // A command listed already, word for word, is not listed again.
    void add(const CompileCommand& command);
    const std::vector<CompileCommand>& commands() const { return m_commands; }

    // UTF-8 JSON. Words are handed to the OS as bytes; the text holds those
    // bytes read as UTF-8.
    QByteArray json() const;
    // Replaces the file at path in one step; on failure reason says why.
    bool write(const QString& path, QString& reason) const;

private:
    std::vector<CompileCommand> m_commands;
    QSet<QString> m_listed;
};
