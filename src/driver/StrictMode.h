#pragma once

// Opt-in checks for unattended builds (SLIPWAY_STRICT=1): a failed build ends
// with status 2 and a summary, mistakes in the solution and clock skew are
// reported as warnings on standard error. Without it nothing here runs.

#include "base/FileSystem.h"
#include "base/HByteStream.h"

#include <QSet>
#include <QString>
#include <QStringList>

class CompilationDatabase;

// Read once at start-up: only the exact value "1" switches strict mode on.
bool strictModeRequested();
// SLIPWAY_KEEP_GOING=1, read the same way.
bool keepGoingRequested();
// SLIPWAY_COMPDB=path: where the run writes its compilation database, taken
// against the current directory; empty when unset or empty.
QString compilationDatabasePath();
// Writes it there when path is set; a failure is one line on standard error.
void writeCompilationDatabase(const CompilationDatabase& database, const QString& path);

// "slipway: warning: <text>" on standard error.
void strictWarning(const QString& text);

// The steps that failed during one run, each named once.
class StepFailures {
public:
    void add(const QString& label);
    void addReason(const QString& reason) { m_reason = reason; }
    bool any() const { return !m_labels.isEmpty() || !m_reason.isEmpty(); }
    // The run's closing line, without the program name: "build failed: ...".
    QString summary() const;

private:
    QStringList m_labels;
    QString m_reason;
};

// Passes everything to another file system and warns, once per file, when a
// file the build looks at was modified after the present moment.
class ClockSkewWatch : public FileSystem {
public:
    explicit ClockSkewWatch(FileSystem& inner) : m_inner(inner) {}

    FileStat stat(const QString& path) override;
    bool makeDir(const QString& path) override { return m_inner.makeDir(path); }
    bool readFile(const QString& path, QByteArray& data) override {
        return m_inner.readFile(path, data);
    }
    std::unique_ptr<HByteStream> openInput(const QString& path) override {
        return m_inner.openInput(path);
    }
    bool writeFileAtomically(const QString& path, const QByteArray& data) override {
        return m_inner.writeFileAtomically(path, data);
    }
    bool remove(const QString& path) override { return m_inner.remove(path); }
    bool rename(const QString& from, const QString& to) override {
        return m_inner.rename(from, to);
    }
    bool onDisk() const override { return m_inner.onDisk(); }

private:
    FileSystem& m_inner;
    QSet<QString> m_warned;
    qint64 m_now = 0; // the clock's last reading
};
