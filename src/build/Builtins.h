#pragma once

#include <QString>
#include <QStringList>

// Commands carried out inside the tool instead of by a child process. They
// never print and never throw: a failure is one message in the error text.
namespace Builtins {

// False when the first item is not a builtin name (run it as a program); true
// when it was one, whether it succeeded or not. errorText is set only on failure.
bool builtinCommand(const QString& directory, const QStringList& command, QString& errorText);

// Whether builtinCommand would carry the command out (without doing so).
bool isBuiltin(const QStringList& command);

// Splits at unquoted spaces; double quotes toggle quoting and are dropped; no
// empty items.
QStringList splitCommand(const QString& text);

// directory + "/" + path for a relative (or empty) path; otherwise the path.
QString getAbsPath(const QString& directory, const QString& path);

void cp(const QString& directory, const QString& source, const QString& destination,
        QString& errorText);
void rm(const QString& directory, const QString& file, QString& errorText);
void chmod(const QString& directory, bool writeable, const QString& file, QString& errorText);

} // namespace Builtins
