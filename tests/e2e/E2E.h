#pragma once

// Harness for end-to-end tests: a private temp directory holding the user's
// home and settings store (never the real one), optionally a private studio
// tree, and a runner for the real slipway binary capturing its output.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

namespace e2e {

struct Result {
    int status = -1; // exit status; -1 when it crashed or timed out
    std::string out;
    std::string err;
};

class Sandbox {
public:
    Sandbox();

    // Root of the temp dir; home/ and config/ below it are the user's.
    QString path() const { return m_dir.path(); }
    QString file(const QString& relative) const { return m_dir.filePath(relative); }

    // Writes (creating directories) and reads files below path().
    void write(const QString& relative, const QByteArray& contents) const;
    std::string read(const QString& relative) const;
    bool exists(const QString& relative) const;
    // Sets the modification time in seconds since the epoch.
    void setTime(const QString& relative, qint64 seconds) const;

    // Builds path()/studio: bin/ holds links to the built slipway and stand-in
    // tools, the other directories of the built studio are linked. Later runs
    // use this copy, so $(StudioDir) is path()/studio. Returns its path.
    QString makeStudio();

    // The program run: the private studio's slipway once made, else the built one.
    QString program() const;
    // Prefix of command-line error messages: program() + ": ".
    std::string prefix() const { return program().toStdString() + ": "; }

    // Runs slipway with the arguments in directory (default path()), with HOME
    // and XDG_CONFIG_HOME inside the sandbox. Gives up after timeoutMs.
    Result run(const QStringList& arguments, const QString& directory = QString(),
               int timeoutMs = 60000) const;

    // The settings store the runs use.
    QString settingsFile() const;

private:
    QTemporaryDir m_dir;
    QString m_studio;
};

// The studio tree of the build under test.
QString builtStudioDir();

// How many times the studio's tool was run, in the output of a run with -echo.
int runsOf(const std::string& out, const std::string& tool);

} // namespace e2e
