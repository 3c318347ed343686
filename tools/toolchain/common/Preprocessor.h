#pragma once

#include "common/Conditions.h"
#include "common/Diagnostics.h"

#include <QByteArray>
#include <QSet>
#include <QStringList>

// The part of a compiler the build depends on: it follows #include lines
// through the search path, honours conditionals, and stops at #error.
//
// Quoted names are looked up beside the including file, then in the user
// directories ("-I"), then in the system directories ("-J"); angle-bracket
// names only in the system directories. Every file is read once, however
// often it is included.
class Preprocessor {
public:
    Preprocessor(Diagnostics& diagnostics, const QStringList& userDirs,
                 const QStringList& systemDirs);

    void define(const QByteArray& name, const QByteArray& value);
    void undefine(const QByteArray& name);

    // False when an error was reported; processing stops at a missing include.
    bool run(const QString& source);

    // The source, then each included file in order of first inclusion.
    const QStringList& files() const { return m_files; }
    // The lines that survived the conditionals, without comments or directives.
    const QByteArray& text() const { return m_text; }

private:
    struct Condition {
        bool parentActive;
        bool taken;
        bool active;
        bool seenElse;
        int line;
    };

    bool processFile(const QString& path, const QByteArray& contents, int depth);
    bool directive(const QString& path, int line, const QByteArray& text,
                   QList<Condition>& conditions, int depth);
    bool include(const QString& path, int line, const QByteArray& operand, int depth);
    QString resolve(const QString& name, bool angled, const QString& includer) const;
    QString identity(const QString& path) const;

    Diagnostics& m_diagnostics;
    QStringList m_userDirs;
    QStringList m_systemDirs;
    MacroTable m_macros;
    QStringList m_files;
    QSet<QString> m_seen;
    QByteArray m_text;
    QString m_workingDir;
};
