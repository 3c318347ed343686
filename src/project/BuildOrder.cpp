#include "project/ProjectSystem.h"

#include <QSet>

// Project names across imported solutions, dependencies and build order.

// ---- dependencies and build order ----

void ProjectSystem::fillProjectMap(ProjectMap& map, const QString& prefix,
                                   ProjectElement* solution) {
    for (ProjectElement* c = solution->firstChild(); c; c = c->nextSibling()) {
        if (c->isProject()) {
            map.insert(prefix.isEmpty() ? c->name()
                                        : c->name() + QLatin1Char('(') + prefix + QLatin1Char(')'),
                       c);
        } else if (c->isSolution()) {
            QString key = prefix.isEmpty() ? c->name() : prefix + QLatin1Char(',') + c->name();
            m_solutionSolutions.insert(key, c);
            fillProjectMap(map, key, c);
            c->projects().clear();
            fillProjectMap(c->projects(), QString(), c);
            updateInheritenceMap(c);
        }
    }
}

void ProjectSystem::updateProjectList() {
    m_solutionSolutions.clear();
    m_projectNames.clear();
    m_solutionNames.clear();
    if (!m_solution) return;
    m_solution->projects().clear();
    fillProjectMap(m_solution->projects(), QString(), m_solution);
    m_solutionSolutions.insert(m_solution->name(), m_solution);
    updateInheritenceMap(m_solution);
    m_projectNames = m_solution->projects().keys();
    m_solutionNames = m_solutionSolutions.keys();
}

const ProjectMap& ProjectSystem::solutionProjects(ProjectElement* element) const {
    static const ProjectMap none;
    if (element && element->isSolution()) return element->projects();
    return m_solution ? m_solution->projects() : none;
}

ProjectElement* ProjectSystem::findProject(ProjectElement* element, const QString& name) const {
    ProjectElement* s = element ? solutionContaining(element) : m_solution;
    for (; s; s = solutionContaining(s->parent())) {
        auto it = s->projects().constFind(name);
        if (it != s->projects().constEnd()) return *it;
    }
    return nullptr;
}

QString ProjectSystem::getGlobalProjectName(ProjectElement* project) const {
    if (!m_solution || !project) return QString();
    return m_solution->projects().key(project);
}

QList<ProjectElement*> ProjectSystem::directlyDependsOn(ProjectElement* project,
                                                        const QString& configuration) {
    QList<ProjectElement*> result;
    if (!project) return result;
    const QStringList names = settingFor(project, m_projectDependencies, configuration)
                                  .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& name : names)
        if (ProjectElement* p = findProject(project, name)) result.append(p);
    return result;
}

void ProjectSystem::dependsOn(ProjectElement* project, const QString& configuration,
                              QList<ProjectElement*>& list) {
    if (!project || list.contains(project)) return;
    list.append(project);
    for (ProjectElement* p : directlyDependsOn(project, configuration))
        dependsOn(p, configuration, list);
}

QList<ProjectElement*> ProjectSystem::dependsOn(ProjectElement* project,
                                                const QString& configuration) {
    QList<ProjectElement*> list;
    dependsOn(project, configuration, list);
    return list;
}

static QString displayName(ProjectSystem* ps, ProjectElement* p) {
    QString name = ps->getGlobalProjectName(p);
    return name.isEmpty() ? p->name() : name;
}

static QString cycleText(ProjectSystem* ps, const QList<ProjectElement*>& path) {
    QStringList names;
    for (ProjectElement* p : path)
        names.append(displayName(ps, p));
    return QStringLiteral("Dependency cycle: ") + names.join(QStringLiteral(" -> "));
}

void ProjectSystem::buildOrderStep(ProjectElement* project, const QString& configuration,
                                   QList<ProjectElement*>& list, QList<ProjectElement*>& placing,
                                   QStringList* cycles) {
    if (list.contains(project)) return;
    int open = placing.indexOf(project);
    if (open >= 0) {
        // Already being placed further up: the cycle closes here and is cut.
        if (cycles) {
            QList<ProjectElement*> path = placing.mid(open);
            path.append(project);
            cycles->append(cycleText(this, path));
        }
        return;
    }
    placing.append(project);
    for (ProjectElement* p : directlyDependsOn(project, configuration))
        buildOrderStep(p, configuration, list, placing, cycles);
    placing.removeLast();
    list.append(project);
}

QList<ProjectElement*> ProjectSystem::buildOrder(ProjectElement* element,
                                                 const QString& configuration,
                                                 QStringList* cycles) {
    QList<ProjectElement*> list;
    QList<ProjectElement*> placing;
    if (!element) return list;
    if (element->isProject()) {
        buildOrderStep(element, configuration, list, placing, cycles);
    } else if (element->isSolution()) {
        for (ProjectElement* p : element->projects())
            buildOrderStep(p, configuration, list, placing, cycles);
    }
    return list;
}

QString ProjectSystem::dependencyCycle(ProjectElement* project, const QString& configuration) {
    if (!project) return QString();
    QList<ProjectElement*> path;
    QSet<ProjectElement*> visited;
    std::function<bool(ProjectElement*)> search = [&](ProjectElement* p) {
        path.append(p);
        for (ProjectElement* d : directlyDependsOn(p, configuration)) {
            if (d == project) {
                path.append(d);
                return true;
            }
            if (!visited.contains(d)) {
                visited.insert(d);
                if (search(d)) return true;
            }
        }
        path.removeLast();
        return false;
    };
    return search(project) ? cycleText(this, path) : QString();
}

QStringList ProjectSystem::getBatchBuildConfigurations(ProjectElement* element,
                                                       const QString& configuration) {
    const QStringList batch = settingFor(element, m_batchBuildConfigurations, configuration)
                                  .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const bool includeCommon = batch.size() == 1 && batch.first() == Common;
    const QStringList candidates = configurations(element, includeCommon, false);
    QStringList result;
    for (const QString& name : batch) {
        for (const QString& c : candidates) {
            if (c.compare(name, Qt::CaseInsensitive) == 0) {
                result.append(c);
                break;
            }
        }
    }
    return result;
}

void ProjectSystem::setBatchBuildConfigurations(ProjectElement* element,
                                                const QString& configuration,
                                                const QStringList& list) {
    setProperty(element, m_batchBuildConfigurations, configuration, list.join(QLatin1Char(';')));
}
