#pragma once

// What deciding a build step produced: the lines the decision printed and,
// for an output that is out of date, what has to happen, in order. Deciding
// only reads; a runner carries the plan out later on the real builder.

#include <QString>
#include <QStringList>

#include <vector>

#include "base/Builder.h"

class ProjectElement;

struct StepEntry {
    enum Kind {
        // Builder calls, replayed as they were made.
        Message,
        Note,
        Success,
        Error,
        BeginGroup, // element, text: title, flag
        EndGroup,   // element
        Init,
        SetDirectory,      // text
        SetCommand,        // list
        SetEnvironment,    // list
        SetOutputFiles,    // list
        SetTemporaryFiles, // list
        Run,
        // Work of the build system itself.
        Clean,                // text: path; quiet
        UpdatePackage,        // text: package; list: member, file; flag: force; quiet
        RememberDependencies, // text: source; list: the object
        ListCommand,          // text: source; list: directory, output, arguments
    };
    Kind kind;
    QString text;
    QStringList list;
    ProjectElement* element = nullptr;
    bool flag = false;
    bool quiet = false;
};

struct StepPlan {
    // What the step answers to the build loop: true when its output is (re)made,
    // so that whoever consumes it is redone too.
    bool built = false;
    // The files its commands write, journalled around them so that a run that
    // stops half way leaves them out of date.
    QStringList outputs;
    std::vector<StepEntry> entries;
    // When commands are tracked: the hash of the commands that make the
    // outputs, recorded once they have all succeeded.
    bool tracked = false;
    quint64 commands = 0;
    quint64 context = 0; // what they were formed from
};

// FNV-1a, 64 bits: stable across runs and builds, which is all a record needs.
struct TextHash {
    quint64 h = 14695981039346656037ull;
    void bytes(const void* data, size_t size);
    void text(const QString& s);
    void number(qint64 n) { bytes(&n, sizeof n); }
};

// A hash of what shapes the outputs in entries: directories, command lines,
// environments, output files and package updates. Progress lines, titles and
// the build system's cleaning and bookkeeping do not count.
quint64 commandHash(const std::vector<StepEntry>& entries, size_t from = 0);

// A builder that runs nothing: the calls that deciding and the toolchain hooks
// make on it become the entries of a plan.
class PlanRecorder : public Builder {
public:
    void beginGroup(ProjectElement* element, const QString& title, bool flag) override;
    void endGroup(ProjectElement* element) override;
    void init() override { add(StepEntry::Init); }
    void setDirectory(const QString& directory) override {
        add(StepEntry::SetDirectory, directory);
    }
    void setCommand(const QStringList& c) override { add(StepEntry::SetCommand, {}, c); }
    void setEnvironment(const QStringList& e) override { add(StepEntry::SetEnvironment, {}, e); }
    void setOutputFiles(const QStringList& f) override { add(StepEntry::SetOutputFiles, {}, f); }
    void setTemporaryFiles(const QStringList& f) override {
        add(StepEntry::SetTemporaryFiles, {}, f);
    }
    void doit() override { add(StepEntry::Run); }
    void error(const QString& text) override { add(StepEntry::Error, text); }
    void note(const QString& text) override { add(StepEntry::Note, text); }
    void success(const QString& text) override { add(StepEntry::Success, text); }
    void message(const QString& text) override { add(StepEntry::Message, text); }

    StepEntry& add(StepEntry::Kind kind, const QString& text = QString(),
                   const QStringList& list = QStringList());
    void insert(size_t at, StepEntry entry) {
        m_plan.entries.insert(m_plan.entries.begin() + ptrdiff_t(at), std::move(entry));
    }
    // Hands the plan over and starts an empty one.
    StepPlan take(bool built);
    // Entries recorded since size() was mark are dropped again.
    size_t size() const { return m_plan.entries.size(); }
    void dropFrom(size_t mark) {
        m_plan.entries.resize(mark, StepEntry{StepEntry::Message, {}, {}});
    }
    const std::vector<StepEntry>& entries() const { return m_plan.entries; }

private:
    StepPlan m_plan;
};
