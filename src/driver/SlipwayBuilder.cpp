#include "driver/SlipwayBuilder.h"

#include "base/OsFiles.h"
#include "build/Builtins.h"
#include "build/StandardBuildSystem.h"
#include "driver/Process.h"

SlipwayBuilder::SlipwayBuilder(bool echo, bool show, FILE* out, FileSystem& files)
    : m_echo(echo), m_show(show), m_out(out), m_files(files) {}

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

void SlipwayBuilder::beginGroup(ProjectElement* element, const QString& title, bool project) {
    // A project's post-build command has a group of its own after the link's:
    // the same element, so the same step.
    if (project || element != m_stepElement) {
        m_stepOutputs.clear();
        m_stepElement = project ? nullptr : element;
    }
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

bool sameFile(const FileStat& a, const FileStat& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modifiedNs == b.modifiedNs;
}

// An interrupt is the user cancelling the build, not a failed command. Without
// a build system there is only the failed flag.
bool requestStop() {
    if (!standardBuildSystem) return false;
    standardBuildSystem->requestStop();
    return true;
}

} // namespace

void SlipwayBuilder::ensureDirectoriesFor(const QStringList& files) {
    for (const QString& file : files) {
        if (!file.isEmpty()) m_files.makeDirs(OsFiles::directoryOf(file));
    }
}

void SlipwayBuilder::setOutputFiles(const QStringList& files) {
    ensureDirectoriesFor(files);
    for (const QString& file : files) {
        if (!file.isEmpty()) m_stepOutputs.push_back({file, m_files.stat(file)});
    }
}

void SlipwayBuilder::setTemporaryFiles(const QStringList& files) {
    ensureDirectoriesFor(files);
}

void SlipwayBuilder::idle() {
    // The previous step is complete: nothing to undo.
    if (Interrupts::received() && !requestStop()) setFailed();
}

bool SlipwayBuilder::stopIfInterrupted() {
    if (!Interrupts::received()) return false;
    // A half-written output must not look up to date to the next build, so
    // whatever the step's commands created or changed is removed. Outputs
    // they did not touch keep their old times and stay out of date.
    for (const StepOutput& output : m_stepOutputs) {
        const FileStat now = m_files.stat(output.path);
        if (!now.exists || (output.before.exists && sameFile(output.before, now))) continue;
        m_files.remove(output.path);
    }
    m_stepOutputs.clear();
    if (!requestStop()) setFailed();
    return true;
}

void SlipwayBuilder::doit() {
    if (stopIfInterrupted()) return;
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
        // A builtin runs to its end; an interrupt during it still ends the step.
        stopIfInterrupted();
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
    // An interrupted command was stopped: no "can't execute" line for it.
    if (stopIfInterrupted()) return;
    if (result == 0) return;
    if (result == -1)
        printLine(QStringLiteral("can't execute command \"") + m_command.first() +
                  QLatin1Char('"'));
    setFailed();
}
