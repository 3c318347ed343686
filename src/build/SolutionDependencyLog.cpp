#include "build/SolutionDependencyLog.h"

#include "base/Caching.h"
#include "project/ProjectSystem.h"

void SolutionDependencyLog::setDirectory(const QString& directory) {
    save();
    m_log.reset();
    m_journal.reset();
    m_directory = directory;
}

void SolutionDependencyLog::open(ProjectElement* element, FileSystem& files) {
    if (m_directory.isEmpty() || !element) return;
    ProjectElement* solution = ProjectSystem::solutionContaining(element);
    while (solution && solution->parent() && ProjectSystem::solutionContaining(solution->parent()))
        solution = ProjectSystem::solutionContaining(solution->parent());
    if (!solution) return;
    const QString path = DependencyLog::pathFor(m_directory, solution->getPath().osPathQString());
    if (m_log && m_log->path() == path && &m_log->files() == &files) return;
    save();
    m_log.reset();
    if (Caching::enabled()) {
        m_log = std::make_unique<DependencyLog>(path, files);
        m_log->load();
    } else if (m_journal && m_journal->path() == BuildJournal::pathBeside(path)) {
        return;
    }
    m_journal.reset();
    if (files.onDisk()) {
        m_journal = std::make_unique<BuildJournal>(BuildJournal::pathBeside(path));
        m_journal->load();
    }
}

void SolutionDependencyLog::save() {
    if (m_log) m_log->save();
    if (m_journal) m_journal->close();
}
