#pragma once

#include <QString>
#include <QStringList>

class ProjectElement;

// Sink for progress lines and executor of commands. The build engine never
// prints or starts programs itself; a front end implements this interface.
// A command is driven as: init, optionally setDirectory, setCommand, doit; the
// caller then tests its failed flag.
class Builder {
public:
    virtual void beginGroup(ProjectElement* element, const QString& title, bool flag) = 0;
    virtual void endGroup(ProjectElement* element) = 0;
    virtual void init() = 0;
    virtual void setDirectory(const QString& directory) = 0;
    virtual void setCommand(const QStringList& command) = 0;
    virtual void setEnvironment(const QStringList& environment) = 0;
    virtual void setOutputFiles(const QStringList& files) = 0;
    virtual void setTemporaryFiles(const QStringList& files) = 0;
    virtual void doit() = 0;
    virtual void error(const QString& text) = 0;
    virtual void note(const QString&) {}
    virtual void success(const QString&) {}
    virtual void message(const QString&) {}
    virtual void idle() {}
    virtual ~Builder() = default;

    // The build engine hands its failed flag to the builder at the start of a
    // build, so a failed command can stop the build without the builder
    // depending on the engine. May be null (then failures are not recorded).
    void setFailedFlag(bool* flag) { m_failed = flag; }
    bool* failedFlag() const { return m_failed; }

protected:
    void setFailed() {
        if (m_failed) *m_failed = true;
    }

private:
    bool* m_failed = nullptr;
};
