#include "build/Builtins.h"

#include "base/OsFiles.h"
#include "base/QTx.h"
#include "xml/XmlBuiltins.h"

#include <QFileInfo>

namespace Builtins {

namespace {

QString argument(const QStringList& command, int index) {
    return index < command.size() ? command.at(index) : QString();
}

} // namespace

bool isBuiltin(const QStringList& command) {
    if (command.isEmpty()) return false;
    static const char* const names[] = {"cp", "chmod", "rm", "xmlcp", "mkhdr"};
    for (const char* name : names) {
        if (command.first() == QLatin1String(name)) return true;
    }
    return false;
}

bool builtinCommand(const QString& directory, const QStringList& command, QString& errorText) {
    if (!isBuiltin(command)) return false;
    const QString& name = command.first();
    if (name == QLatin1String("cp")) {
        cp(directory, argument(command, 1), argument(command, 2), errorText);
        return true;
    }
    if (name == QLatin1String("chmod")) {
        chmod(directory, argument(command, 1) == QLatin1String("+w"), argument(command, 2),
              errorText);
        return true;
    }
    if (name == QLatin1String("rm")) {
        rm(directory, argument(command, 1), errorText);
        return true;
    }
    if (name == QLatin1String("xmlcp")) {
        XmlBuiltins::xmlcp(directory, argument(command, 1), argument(command, 2),
                           argument(command, 3), errorText);
        return true;
    }
    if (name == QLatin1String("mkhdr")) {
        // Options may stand anywhere among the positional arguments.
        QStringList positional;
        bool regBaseOffsets = false;
        for (int i = 1; i < command.size(); ++i) {
            const QString& item = command.at(i);
            if (item.startsWith(QLatin1Char('-')))
                regBaseOffsets = regBaseOffsets || item == QLatin1String("-regbaseoffs");
            else
                positional.append(item);
        }
        XmlBuiltins::mkhdr(directory, positional.value(0), positional.value(1), positional.value(2),
                           regBaseOffsets, errorText);
        return true;
    }
    return false;
}

QStringList splitCommand(const QString& text) {
    QStringList result;
    QString item;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (!item.isEmpty()) result.append(item);
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.isEmpty()) result.append(item);
    return result;
}

QString getAbsPath(const QString& directory, const QString& path) {
    if (path.isEmpty() || QFileInfo(path).isRelative()) return directory + QLatin1Char('/') + path;
    return path;
}

void cp(const QString& directory, const QString& source, const QString& destination,
        QString& errorText) {
    const QString from = getAbsPath(directory, source);
    const QString to = getAbsPath(directory, destination);
    if (OsFiles::exists(to) || OsFiles::isSymLink(to)) QTx::removeFile(to);
    if (!QTx::copyFile(from, to)) errorText = QStringLiteral("cp failed");
}

void rm(const QString& directory, const QString& file, QString& errorText) {
    if (!QTx::removeFile(getAbsPath(directory, file))) errorText = QStringLiteral("rm failed");
}

void chmod(const QString& directory, bool writeable, const QString& file, QString& errorText) {
    if (!QTx::setWriteable(getAbsPath(directory, file), writeable))
        errorText = QStringLiteral("chmod failed");
}

} // namespace Builtins
