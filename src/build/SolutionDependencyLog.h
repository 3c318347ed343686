#pragma once

// Which dependency log a build uses: one per outermost solution, inside a
// directory chosen at start-up (none when it is empty, the default). Loaded
// when a build starts and written when it ends. The build journal lives
// beside it and is kept only on disk.

#include <QString>

#include <memory>

#include "build/BuildJournal.h"
#include "build/DependencyLog.h"

class ProjectElement;

class SolutionDependencyLog {
public:
    // Saves and forgets the current log.
    void setDirectory(const QString& directory);
    // The log of the solution that holds element, loaded through files unless
    // it is the one already open.
    void open(ProjectElement* element, FileSystem& files);
    void save();
    DependencyLog* get() const { return m_log.get(); }
    BuildJournal* journal() const { return m_journal.get(); }

private:
    QString m_directory;
    std::unique_ptr<DependencyLog> m_log;
    std::unique_ptr<BuildJournal> m_journal;
};
