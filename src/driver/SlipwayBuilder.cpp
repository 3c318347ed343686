#include "driver/SlipwayBuilder.h"

#include "base/OsFiles.h"
#include "build/Builtins.h"
#include "build/StandardBuildSystem.h"
#include "driver/Process.h"
#include "driver/StrictMode.h"
#include "project/ProjectSystem.h"

#include <QFileInfo>

SlipwayBuilder::SlipwayBuilder(bool echo, bool show, FILE* out, FileSystem& files)
    : m_echo(echo), m_show(show), m_out(out), m_files(files), m_stepOutputs(files) {}

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
    if (m_failures) {
        if (project) m_entered = false;
        // A step group opens only for work to do: its title already belongs
        // to the directory's output.
        else if (!m_entered)
            enterDirectory();
        m_groups.push_back({element, title, project});
    }
    m_indent += 2;
    printLine(title);
}

void SlipwayBuilder::endGroup(ProjectElement*) {
    m_indent -= 2;
    if (!m_groups.empty()) m_groups.pop_back();
}

void SlipwayBuilder::error(const QString& text) {
    printLine(text);
    // An error the engine reports without stopping (a memory map that cannot
    // be loaded, a package not written) still leaves a stale output behind.
    if (m_failures) recordFailure(text);
}

void SlipwayBuilder::init() {
    m_directory = QString();
    m_command.clear();
    m_environment.clear();
}

namespace {

// An interrupt is the user cancelling the build, not a failed command. Without
// a build system there is only the failed flag.
bool requestStop() {
    if (!standardBuildSystem) return false;
    standardBuildSystem->requestStop();
    return true;
}

} // namespace

void SlipwayBuilder::ensureDirectoriesFor(const QStringList& files) {
    if (m_dry) return;
    for (const QString& file : files) {
        if (!file.isEmpty()) m_files.makeDirs(OsFiles::directoryOf(file));
    }
}

void SlipwayBuilder::setOutputFiles(const QStringList& files) {
    ensureDirectoriesFor(files);
    for (const QString& file : files) {
        if (!file.isEmpty()) m_stepOutputs.add(file);
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
    m_stepOutputs.undo();
    if (!requestStop()) setFailed();
    return true;
}

namespace {

// What a failed step is called in the summary: the file it builds, or the
// project's own step named by its group title.
QString stepName(ProjectElement* element, const QString& title) {
    if (element && element->isFile())
        return QFileInfo(element->attribute(QStringLiteral("file_name"))).fileName();
    static const std::pair<const char*, const char*> steps[] = {
        {"Linking", "link"},
        {"Archiving", "archive"},
        {"Post build command", "post-build command"},
        {"Combining", "combine"},
        {"Running Build command", "external build command"},
        {"Running Clean command", "external clean command"},
    };
    for (const auto& step : steps) {
        if (title.startsWith(QLatin1String(step.first))) return QLatin1String(step.second);
    }
    return title.trimmed();
}

} // namespace

QString SlipwayBuilder::currentStep(const QString& withoutStep) const {
    QString project;
    QString step = withoutStep;
    for (const OpenGroup& group : m_groups) {
        if (group.project) {
            ProjectElement* p = ProjectSystem::projectContaining(group.element);
            project = p ? p->name() : QString();
            step = withoutStep;
        } else {
            step = stepName(group.element, group.title);
        }
    }
    return project.isEmpty() ? step : project + QStringLiteral(": ") + step;
}

void SlipwayBuilder::recordFailure(const QString& withoutStep) {
    m_failures->add(currentStep(withoutStep));
}

void SlipwayBuilder::enterDirectory() {
    // The tools name files relative to the project directory; this line, in
    // make's words and unindented, lets editors and CI problem matchers find them.
    for (auto it = m_groups.rbegin(); it != m_groups.rend(); ++it) {
        if (!it->project) continue;
        ProjectElement* project = ProjectSystem::projectContaining(it->element);
        if (project && projectSystem) {
            const QByteArray line = "slipway: Entering directory '" +
                                    OsFiles::osName(projectSystem->projectDirectoryPath(project)) +
                                    "'\n";
            std::fwrite(line.constData(), 1, size_t(line.size()), m_out);
        }
        m_entered = true;
        return;
    }
}

void SlipwayBuilder::beforeCommand() {
    if (!m_entered) enterDirectory();
    for (const QString& argument : m_command) {
        const qsizetype at = argument.indexOf(QLatin1String("$("));
        if (at < 0) continue;
        const qsizetype end = argument.indexOf(QLatin1Char(')'), at);
        std::fflush(m_out);
        strictWarning(currentStep(m_command.value(0)) +
                      QStringLiteral(": macro '%1' is not defined and is passed as written: %2")
                          .arg(argument.mid(at, end < 0 ? -1 : end - at + 1),
                               m_command.join(QLatin1Char(' '))));
    }
}

void SlipwayBuilder::doit() {
    if (m_pool) {
        if (const CommandPool::Outcome* outcome = m_pool->nextOutcome()) return report(*outcome);
    }
    if (stopIfInterrupted()) return;
    if (m_failures) beforeCommand();
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
            if (m_failures) recordFailure(errorText);
        }
        // A builtin runs to its end; an interrupt during it still ends the step.
        stopIfInterrupted();
        return;
    }
    if (m_command.isEmpty()) {
        printLine(QStringLiteral("can't execute command \"\""));
        setFailed();
        if (m_failures) recordFailure(QStringLiteral("empty command"));
        return;
    }
    // Our own lines must reach the stream before the child's.
    std::fflush(m_out);
    const int result = QTx::spawnProcess(m_command, true, m_directory, false);
    // An interrupted command was stopped: no "can't execute" line for it.
    if (stopIfInterrupted()) return;
    if (result != 0) commandFailed(result);
}

void SlipwayBuilder::commandFailed(int status) {
    if (status == -1)
        printLine(QStringLiteral("can't execute command \"") + m_command.first() +
                  QLatin1Char('"'));
    setFailed();
    if (m_failures) recordFailure(m_command.first());
}

void SlipwayBuilder::report(const CommandPool::Outcome& outcome) {
    // Stopped, or never started because of the interrupt: the step is undone
    // (the pool removed what the command wrote) and the build stops.
    if ((outcome.interrupted || !outcome.ran) && stopIfInterrupted()) return;
    if (m_failures) beforeCommand();
    if (m_echo) printLine(m_command.join(QLatin1Char(' ')));
    std::fflush(m_out);
    // Where a command run in turn would have written them.
    if (!outcome.output.isEmpty()) {
        std::fwrite(outcome.output.constData(), 1, size_t(outcome.output.size()), stdout);
        std::fflush(stdout);
    }
    if (!outcome.errors.isEmpty()) {
        std::fwrite(outcome.errors.constData(), 1, size_t(outcome.errors.size()), stderr);
        std::fflush(stderr);
    }
    if (!outcome.ran)
        commandFailed(-1);
    else if (outcome.status != 0)
        commandFailed(outcome.status);
}
