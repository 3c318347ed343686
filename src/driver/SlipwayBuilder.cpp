#include "driver/SlipwayBuilder.h"

#include "build/Builtins.h"
#include "build/StandardBuildSystem.h"
#include "driver/Process.h"

#include <QDir>
#include <QFileInfo>

SlipwayBuilder::SlipwayBuilder(bool echo, bool show, FILE* out)
    : m_echo(echo), m_show(show), m_out(out) {}

void SlipwayBuilder::printLine(const QString& text) {
    QByteArray line;
    line.reserve(text.size() + (m_indent > 0 ? m_indent : 0) + 1);
    if (m_indent > 0) line.fill(' ', m_indent);
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u >= 0x20 && u <= 0x7E) line += char(u);
    }
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
}

void SlipwayBuilder::beginGroup(ProjectElement*, const QString& title, bool) {
    m_indent += 2;
    printLine(title);
}

void SlipwayBuilder::endGroup(ProjectElement*) {
    m_indent -= 2;
}

void SlipwayBuilder::init() {
    m_directory = QString();
    m_command.clear();
    m_environment.clear();
}

namespace {

void ensureDirectoriesFor(const QStringList& files) {
    for (const QString& file : files) {
        if (file.isEmpty()) continue;
        const QString dir = QFileInfo(file).absolutePath();
        if (!QFileInfo::exists(dir)) QDir().mkpath(dir);
    }
}

} // namespace

void SlipwayBuilder::setOutputFiles(const QStringList& files) {
    ensureDirectoriesFor(files);
}

void SlipwayBuilder::setTemporaryFiles(const QStringList& files) {
    ensureDirectoriesFor(files);
}

void SlipwayBuilder::doit() {
    if (m_echo) printLine(m_command.join(QLatin1Char(' ')));
    if (m_show) return;
    QString errorText;
    const bool builtin =
        standardBuildSystem ? standardBuildSystem->builtinCommand(m_directory, m_command, errorText)
                            : Builtins::builtinCommand(m_directory, m_command, errorText);
    if (builtin) {
        if (!errorText.isEmpty()) {
            printLine(errorText);
            setFailed();
        }
        return;
    }
    if (m_command.isEmpty()) {
        printLine(QStringLiteral("can't execute command \"\""));
        setFailed();
        return;
    }
    // Our own lines must reach the stream before the child's.
    std::fflush(m_out);
    const int result = QTx::spawnProcess(m_command, true, m_directory, false);
    if (result == 0) return;
    if (result == -1)
        printLine(QStringLiteral("can't execute command \"") + m_command.first() +
                  QLatin1Char('"'));
    setFailed();
}
