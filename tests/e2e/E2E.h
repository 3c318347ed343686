#pragma once

// Harness for end-to-end tests: a private temp directory holding the user's
// home and settings store (never the real one), optionally a private studio
// tree, and a runner for the real slipway binary capturing its output.

#include <QMap>
#include <QProcessEnvironment>
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

    // Runs see no SLIPWAY_* variable of the caller's environment, only the
    // ones set here (a null value removes one again).
    void setEnvironment(const QString& name, const QString& value) { m_env[name] = value; }

private:
    QTemporaryDir m_dir;
    QString m_studio;
    QMap<QString, QString> m_env;
};

// Copies the files below from to the same places below to.
void copyTree(const QString& from, const QString& to);
// Every file below root (path relative to root -> contents); a package
// (.hzq) stands for its members' names, flags and contents, as their times
// follow the staged files and their order the history of updates.
using Tree = QMap<QString, QByteArray>;
Tree snapshot(const QString& root);

// The studio tree of the build under test.
QString builtStudioDir();

// The caller's environment without SLIPWAY_* variables, so that runs of the
// tool see only the extensions a test switches on itself. E2E_JOBS=N in the
// caller's environment runs every build N commands at once (SLIPWAY_JOBS):
// the whole suite then shows a parallel build behaves as a serial one.
QProcessEnvironment cleanEnvironment();
// The same for a forked child, before it starts the tool.
void clearExtensionEnvironment();

// How many times the studio's tool was run, in the output of a run with -echo.
int runsOf(const std::string& out, const std::string& tool);

} // namespace e2e
