#include "project/ProjectSystem.h"

#include <QHash>
#include <QSet>

#include <vector>

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

namespace {
// One project of a depth-first walk over dependencies and how far it got.
// The walks keep their own stack: a chain of thousands of projects would
// overflow the call stack.
struct WalkFrame {
    ProjectElement* project;
    QList<ProjectElement*> dependencies;
    qsizetype next = 0;
};
} // namespace

void ProjectSystem::dependsOn(ProjectElement* project, const QString& configuration,
                              QList<ProjectElement*>& list) {
    if (!project || list.contains(project)) return;
    QSet<ProjectElement*> listed(list.cbegin(), list.cend());
    std::vector<WalkFrame> stack;
    auto enter = [&](ProjectElement* p) {
        list.append(p);
        listed.insert(p);
        stack.push_back({p, directlyDependsOn(p, configuration)});
    };
    enter(project);
    while (!stack.empty()) {
        WalkFrame& top = stack.back();
        if (top.next == top.dependencies.size()) {
            stack.pop_back();
            continue;
        }
        ProjectElement* p = top.dependencies.at(top.next++);
        if (!listed.contains(p)) enter(p);
    }
}

QList<ProjectElement*> ProjectSystem::dependsOn(ProjectElement* project,
                                                const QString& configuration) {
    QList<ProjectElement*> list;
    dependsOn(project, configuration, list);
    return list;
}

// Each project under its name in the whole solution (getGlobalProjectName),
// found in one pass over the map: a cycle may run through thousands of projects.
static QString cycleText(ProjectSystem* ps, const QList<ProjectElement*>& path) {
    QHash<ProjectElement*, QString> global;
    for (ProjectElement* p : path)
        global.insert(p, QString());
    const ProjectMap& all = ps->solutionProjects(nullptr);
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        auto name = global.find(it.value());
        if (name != global.end() && name->isNull()) *name = it.key();
    }
    QStringList names;
    for (ProjectElement* p : path) {
        const QString& name = global[p];
        names.append(name.isEmpty() ? p->name() : name);
    }
    return QStringLiteral("Dependency cycle: ") + names.join(QStringLiteral(" -> "));
}

namespace {
// Places projects after their dependencies. A project met again while its own
// dependencies are being placed closes a cycle, which is cut there.
struct OrderWalk {
    ProjectSystem* ps;
    const QString& configuration;
    QStringList* cycles;
    QList<ProjectElement*> list;
    QSet<ProjectElement*> listed;
    std::vector<WalkFrame> placing;
    QHash<ProjectElement*, size_t> placingAt; // index in placing

    void enter(ProjectElement* project) {
        if (listed.contains(project)) return;
        auto open = placingAt.constFind(project);
        if (open != placingAt.constEnd()) {
            if (cycles) {
                QList<ProjectElement*> path;
                for (size_t i = open.value(); i < placing.size(); ++i)
                    path.append(placing[i].project);
                path.append(project);
                cycles->append(cycleText(ps, path));
            }
            return;
        }
        placingAt.insert(project, placing.size());
        placing.push_back({project, ps->directlyDependsOn(project, configuration)});
    }

    void place(ProjectElement* project) {
        enter(project);
        while (!placing.empty()) {
            WalkFrame& top = placing.back();
            if (top.next < top.dependencies.size()) {
                enter(top.dependencies.at(top.next++));
                continue;
            }
            ProjectElement* done = top.project;
            placing.pop_back();
            placingAt.remove(done);
            list.append(done);
            listed.insert(done);
        }
    }
};
} // namespace

QList<ProjectElement*> ProjectSystem::buildOrder(ProjectElement* element,
                                                 const QString& configuration,
                                                 QStringList* cycles) {
    OrderWalk walk{this, configuration, cycles, {}, {}, {}, {}};
    if (!element) return walk.list;
    if (element->isProject()) {
        walk.place(element);
    } else if (element->isSolution()) {
        for (ProjectElement* p : element->projects())
            walk.place(p);
    }
    return walk.list;
}

QString ProjectSystem::dependencyCycle(ProjectElement* project, const QString& configuration) {
    if (!project) return QString();
    // path holds the projects of stack, the walk from project to the one on top.
    QList<ProjectElement*> path{project};
    QSet<ProjectElement*> visited;
    std::vector<WalkFrame> stack{{project, directlyDependsOn(project, configuration)}};
    while (!stack.empty()) {
        WalkFrame& top = stack.back();
        if (top.next == top.dependencies.size()) {
            stack.pop_back();
            path.removeLast();
            continue;
        }
        ProjectElement* d = top.dependencies.at(top.next++);
        if (d == project) {
            path.append(d);
            return cycleText(this, path);
        }
        if (visited.contains(d)) continue;
        visited.insert(d);
        path.append(d);
        stack.push_back({d, directlyDependsOn(d, configuration)});
    }
    return QString();
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
