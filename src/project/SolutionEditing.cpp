#include "project/ProjectSystem.h"

#include <QFileInfo>
#include <QRegularExpression>

// Editing operations of a front end; the command-line build never edits.

static const QString kName = QStringLiteral("Name");
static const QString kInheritedConfigurations = QStringLiteral("inherited_configurations");

// ---- editing ----

ProjectElement* ProjectSystem::createConfiguration(ProjectElement* element, const QString& name,
                                                   bool flag) {
    if (!element) return nullptr;
    if (ProjectElement* existing = element->getConfigurationElement(name)) return existing;
    auto* c = new ProjectElement(ProjectElement::Configuration);
    c->setAttribute(kName, name, flag);
    element->appendChild(c);
    element->setModified(true);
    return c;
}

ProjectElement* ProjectSystem::createFolder(ProjectElement* parent, const QString& name,
                                            const QString& filter, bool flag) {
    if (!parent) return nullptr;
    if (ProjectElement* existing = findFolder(parent, name)) return existing;
    auto* folder = new ProjectElement(ProjectElement::Folder);
    folder->setName(name, flag);
    parent->appendChild(folder);
    ProjectElement* common = createConfiguration(folder, Common, flag);
    common->setAttribute(m_filter->saveName(), filter, flag);
    parent->setModified(true);
    return folder;
}

ProjectElement* ProjectSystem::addFile(ProjectElement* parent, const QString& path, bool flag) {
    if (!parent) return nullptr;
    ProjectElement* target = parent;
    if (!parent->isFolder()) {
        QString base = QFileInfo(path).fileName();
        int dot = base.indexOf(QLatin1Char('.'));
        QString extension = dot < 0 ? QString() : base.mid(dot + 1).toLower();
        for (ProjectElement* c = parent->firstChild(); c && target == parent;
             c = c->nextSibling()) {
            if (!c->isFolder()) continue;
            QString filter = c->attribute(m_filter->saveName());
            if (filter.isEmpty()) filter = settingFor(c, m_filter, Common);
            static const QRegularExpression separators(QStringLiteral("[,;]"));
            const QStringList filters = filter.split(separators, Qt::SkipEmptyParts);
            for (const QString& f : filters)
                if (f.trimmed().toLower() == extension) target = c;
        }
    }
    auto* file = new ProjectElement(ProjectElement::File);
    target->appendChild(file);
    if (path.contains(QLatin1Char('$')))
        file->setFileName(path, flag);
    else
        file->setFile(path, flag);
    target->setModified(true);
    return file;
}

static ProjectElement* cloneTree(ProjectElement* e) {
    auto* copy = new ProjectElement(e->kind());
    const auto& attributes = e->attributes();
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        copy->setAttributeQuietly(it.key(), it.value());
    copy->setImported(e->imported());
    if (e->isSolution() && e->pathKnown()) copy->setPath(e->getPath().osPathQString());
    for (ProjectElement* c = e->firstChild(); c; c = c->nextSibling())
        copy->appendChild(cloneTree(c));
    copy->setModified(true);
    return copy;
}

ProjectElement* ProjectSystem::clone(ProjectElement* element) const {
    return element ? cloneTree(element) : nullptr;
}

void ProjectSystem::renameElement(ProjectElement* element, const QString& name) {
    if (!element) return;
    element->setName(name);
    updateProjectList();
}

void ProjectSystem::removeElement(ProjectElement* element) {
    if (!element) return;
    if (element == m_solution) {
        closeSolution();
        return;
    }
    m_templateRequests.removeAll(element);
    if (ProjectElement* parent = element->parent()) {
        parent->removeChild(element);
        parent->setModified(true);
    }
    delete element;
    updateProjectList();
}

void ProjectSystem::removeConfiguration(ProjectElement* element, const QString& name) {
    if (!element) return;
    QList<ProjectElement*> doomed;
    walkTree(element, [&](ProjectElement* e) {
        if (e->isConfiguration() && e->name() == name && e->parent()) doomed.append(e);
    });
    for (ProjectElement* c : doomed) {
        ProjectElement* parent = c->parent();
        parent->removeChild(c);
        parent->setModified(true);
        delete c;
        if (parent->isSolution()) updateInheritenceMap(parent);
    }
}

void ProjectSystem::setProperty(ProjectElement* element, const QString& saveName,
                                const QString& configuration, const QString& value, bool flag) {
    if (!element) return;
    ProjectElement* c = element->getConfigurationElement(configuration);
    if (!c) c = createConfiguration(element, configuration, flag);
    c->setAttribute(saveName, value, flag);
    if (saveName == kInheritedConfigurations && element->isSolution())
        updateInheritenceMap(element);
}

void ProjectSystem::setProperty(ProjectElement* element, const PropertyClass* cls,
                                const QString& configuration, const QString& value, bool flag) {
    if (cls) setProperty(element, cls->saveName(), configuration, value, flag);
}

void ProjectSystem::removeProperty(ProjectElement* element, const QString& saveName,
                                   const QString& configuration) {
    ProjectElement* c = element ? element->getConfigurationElement(configuration) : nullptr;
    if (!c || !c->hasAttribute(saveName)) return;
    c->removeAttribute(saveName);
    if (saveName == kInheritedConfigurations && element->isSolution())
        updateInheritenceMap(element);
}

void ProjectSystem::removeProperty(ProjectElement* element, const PropertyClass* cls,
                                   const QString& configuration) {
    if (cls) removeProperty(element, cls->saveName(), configuration);
}

void ProjectSystem::startTransaction() {
    m_inTransaction = true;
    walkTree(m_solution, [](ProjectElement* e) { e->startTransaction(); });
}

void ProjectSystem::commitTransaction() {
    m_inTransaction = false;
    walkTree(m_solution, [](ProjectElement* e) { e->commitTransaction(); });
    updateProjectList();
}

void ProjectSystem::rollBackTransaction() {
    m_inTransaction = false;
    walkTree(m_solution, [](ProjectElement* e) { e->rollBackTransaction(); });
    updateProjectList();
}
