#include "build/CompilationDatabase.h"

#include "base/OsFiles.h"
#include "base/Path.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>

namespace {

QString absoluteIn(const QString& directory, const QString& path) {
    if (path.isEmpty()) return path;
    return QDir::cleanPath(Path::isAbsolute(path) ? path : directory + QLatin1Char('/') + path);
}

// The bytes the OS sees, as the text a JSON reader turns back into them.
QString text(const QString& word) {
    return QString::fromUtf8(OsFiles::osName(word));
}

} // namespace

void CompilationDatabase::addFormed(const std::vector<StepEntry>& entries, size_t from,
                                    const QString& source) {
    CompileCommand command;
    if (formedIn(entries, from, source, command)) add(command);
}

bool CompilationDatabase::formedIn(const std::vector<StepEntry>& entries, size_t from,
                                   const QString& source, CompileCommand& command) {
    bool formed = false;
    for (size_t i = from; i < entries.size(); ++i) {
        const StepEntry& e = entries[i];
        if (e.kind == StepEntry::SetDirectory) {
            command.directory = e.text;
        } else if (e.kind == StepEntry::SetCommand) {
            command.arguments = e.list;
            formed = !e.list.isEmpty();
        } else if (e.kind == StepEntry::SetOutputFiles && command.output.isEmpty()) {
            command.output = e.list.value(0);
        } else if (e.kind == StepEntry::Run && formed) {
            break; // the first command is the compiler's
        }
    }
    if (!formed) return false;
    command.directory = OsFiles::absolutePath(command.directory);
    command.file = absoluteIn(command.directory, source);
    command.output = absoluteIn(command.directory, command.output);
    return true;
}

StepEntry CompilationDatabase::entryFor(const CompileCommand& command) {
    StepEntry entry{StepEntry::ListCommand, command.file,
                    QStringList{command.directory, command.output} + command.arguments};
    return entry;
}

void CompilationDatabase::addEntry(const StepEntry& entry) {
    add({entry.list.value(0), entry.text, entry.list.mid(2), entry.list.value(1)});
}

void CompilationDatabase::add(const CompileCommand& command) {
    const QChar nul(0);
    const QString key = command.directory + nul + command.file + nul + command.output + nul +
                        command.arguments.join(nul);
    if (m_listed.contains(key)) return;
    m_listed.insert(key);
    m_commands.push_back(command);
}

QByteArray CompilationDatabase::json() const {
    QJsonArray array;
    for (const CompileCommand& c : m_commands) {
        QJsonArray arguments;
        for (const QString& word : c.arguments)
            arguments.append(text(word));
        QJsonObject entry;
        entry.insert(QStringLiteral("directory"), text(c.directory));
        entry.insert(QStringLiteral("file"), text(c.file));
        entry.insert(QStringLiteral("arguments"), arguments);
        entry.insert(QStringLiteral("output"), text(c.output));
        array.append(entry);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

bool CompilationDatabase::write(const QString& path, QString& reason) const {
    const QByteArray data = json();
    errno = 0;
    OsFiles::Replacement file(path);
    if (file.isOpen() && file.write(data) && file.commit()) return true;
    reason = QString::fromLocal8Bit(std::strerror(errno ? errno : EINVAL));
    return false;
}
