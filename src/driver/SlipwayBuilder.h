#pragma once

#include "base/Builder.h"
#include "base/FileSystem.h"
#include "driver/CommandPool.h"
#include "driver/OutputGuard.h"

#include <cstdio>
#include <vector>

class StepFailures;

// The console builder: progress lines on standard output, indented two blanks
// per open group, commands run as builtins or child processes.
class SlipwayBuilder : public Builder {
public:
    // Output directories are made and interrupted steps undone through files.
    SlipwayBuilder(bool echo, bool show, FILE* out = stdout,
                   FileSystem& files = FileSystem::real());

    void beginGroup(ProjectElement* element, const QString& title, bool flag) override;
    void endGroup(ProjectElement* element) override;
    void init() override;
    void setDirectory(const QString& directory) override { m_directory = directory; }
    void setCommand(const QStringList& command) override { m_command = command; }
    void setEnvironment(const QStringList& environment) override { m_environment = environment; }
    void setOutputFiles(const QStringList& files) override;
    void setTemporaryFiles(const QStringList& files) override;
    void doit() override;
    void error(const QString& text) override;
    void note(const QString& text) override { printLine(text); }
    void success(const QString& text) override { printLine(text); }
    void message(const QString& text) override { printLine(text); }
    // Between elements: where an interrupt stops the build when no command runs.
    void idle() override;

    // Strict mode: failed steps are recorded, each project's first command is
    // preceded by the directory it works in, and macros left unexpanded in a
    // command are warned about. Not owned; null (the default) turns it off.
    void setStrict(StepFailures* failures) { m_failures = failures; }
    // A dry run makes no output directory either.
    void setDryRun(bool dry) { m_dry = dry; }
    // Parallel builds: while the pool replays a step that ran ahead, doit()
    // reports its commands instead of running them. Not owned.
    void setPool(CommandPool* pool) { m_pool = pool; }

    int indent() const { return m_indent; }
    const QString& directory() const { return m_directory; }
    const QStringList& command() const { return m_command; }

private:
    // Only printable ASCII survives: tabs, line breaks and anything above 0x7E are dropped.
    void printLine(const QString& text);

    // After an interrupt: undo the step that was under way and stop the build.
    // Returns whether an interrupt has been received.
    bool stopIfInterrupted();

    void ensureDirectoriesFor(const QStringList& files);
    // A command that ran ahead, reported in its turn as if it ran now.
    void report(const CommandPool::Outcome& outcome);
    // The command ended with status (not 0): said and recorded as failed.
    void commandFailed(int status);

    // Strict mode only.
    void enterDirectory();
    void beforeCommand();
    // "<project>: <file or step>", or withoutStep when no step group is open.
    QString currentStep(const QString& withoutStep) const;
    void recordFailure(const QString& withoutStep);

    bool m_echo;
    bool m_show;
    bool m_dry = false;
    QString m_directory;
    QStringList m_command;
    QStringList m_environment;
    int m_indent = 0;
    // The outputs declared since the current step began: a step is one file
    // or a project's own work, and may run several commands (a link, its
    // conversion and post-build command; a copy and its chmod).
    FILE* m_out;
    FileSystem& m_files;
    OutputGuard m_stepOutputs;
    ProjectElement* m_stepElement = nullptr;
    CommandPool* m_pool = nullptr;

    struct OpenGroup {
        ProjectElement* element;
        QString title;
        bool project;
    };
    StepFailures* m_failures = nullptr;
    std::vector<OpenGroup> m_groups;
    bool m_entered = false; // the open project group has printed its directory
};
