#include "project/ProjectElement.h"

#include "base/OsFiles.h"
#include "macros/MacroSystem.h"
#include "project/ProjectSystem.h"

#include <QDir>

quint64 ProjectElement::s_revision = 0;
qint64 ProjectElement::s_liveChangeRecords = 0;

static const QString kName = QStringLiteral("Name");
static const QString kFileName = QStringLiteral("file_name");
static const QString kProjectDirectory = QStringLiteral("project_directory");

ProjectElement::ProjectElement(Kind kind) : m_kind(kind) {}

ProjectElement::~ProjectElement() {
    ProjectElement* child = m_firstChild;
    while (child) {
        ProjectElement* next = child->m_nextSibling;
        delete child;
        child = next;
    }
    s_liveChangeRecords -= m_changeTimes.size();
    touchTree();
}

QString ProjectElement::tagName(Kind kind) {
    switch (kind) {
    case Solution:
        return QStringLiteral("solution");
    case Configuration:
        return QStringLiteral("configuration");
    case Project:
        return QStringLiteral("project");
    case Folder:
        return QStringLiteral("folder");
    case File:
        return QStringLiteral("file");
    }
    return QString();
}

bool ProjectElement::kindFromTag(const QString& tag, Kind* kind) {
    for (Kind k : {Solution, Configuration, Project, Folder, File}) {
        if (tag == tagName(k)) {
            *kind = k;
            return true;
        }
    }
    return false;
}

QList<ProjectElement*> ProjectElement::children() const {
    QList<ProjectElement*> list;
    for (ProjectElement* c = m_firstChild; c; c = c->m_nextSibling)
        list.append(c);
    return list;
}

void ProjectElement::appendChild(ProjectElement* child) {
    if (!child) return;
    child->m_parent = this;
    child->m_nextSibling = nullptr;
    if (m_lastChild)
        m_lastChild->m_nextSibling = child;
    else
        m_firstChild = child;
    m_lastChild = child;
    if (child->isConfiguration()) m_configurations.insert(child->name(), child);
    child->invalidatePaths();
    touchTree();
}

void ProjectElement::removeChild(ProjectElement* child) {
    ProjectElement* previous = nullptr;
    for (ProjectElement* c = m_firstChild; c; previous = c, c = c->m_nextSibling) {
        if (c != child) continue;
        if (previous)
            previous->m_nextSibling = c->m_nextSibling;
        else
            m_firstChild = c->m_nextSibling;
        if (m_lastChild == c) m_lastChild = previous;
        c->m_parent = nullptr;
        c->m_nextSibling = nullptr;
        if (c->isConfiguration()) rebuildConfigurationMap();
        touchTree();
        return;
    }
}

void ProjectElement::rebuildConfigurationMap() {
    m_configurations.clear();
    for (ProjectElement* c = m_firstChild; c; c = c->m_nextSibling)
        if (c->isConfiguration()) m_configurations.insert(c->name(), c);
    touchTree();
}

// ---- attributes ----

QString ProjectElement::attribute(const QString& name) const {
    if (m_inTransaction) {
        if (m_removed.contains(name)) return QString();
        auto p = m_pending.constFind(name);
        if (p != m_pending.constEnd()) return *p;
    }
    return m_attributes.value(name);
}

bool ProjectElement::hasAttribute(const QString& name) const {
    if (m_inTransaction) {
        if (m_removed.contains(name)) return false;
        if (m_pending.contains(name)) return true;
    }
    return m_attributes.contains(name);
}

void ProjectElement::recordChange(const QString& name, bool flag) {
    m_modified = true;
    insertChangeTime(name, QDateTime::currentDateTime());
    m_changeFlags.insert(name, flag);
    if (name == kName && isConfiguration() && m_parent) m_parent->rebuildConfigurationMap();
    if (name == kFileName) invalidatePaths();
    if (name == kProjectDirectory && isConfiguration() && m_parent) m_parent->invalidatePaths();
    touchTree();
}

void ProjectElement::setAttribute(const QString& name, const QString& value, bool flag) {
    if (m_inTransaction) {
        m_removed.remove(name);
        m_pending.insert(name, value);
        m_pendingFlags.insert(name, flag);
        touchTree();
        return;
    }
    m_attributes.insert(name, value);
    recordChange(name, flag);
}

void ProjectElement::removeAttribute(const QString& name) {
    if (m_inTransaction) {
        m_pending.remove(name);
        m_pendingFlags.remove(name);
        m_removed.insert(name, true);
        touchTree();
        return;
    }
    m_attributes.remove(name);
    recordChange(name, false);
}

void ProjectElement::setAttributeQuietly(const QString& name, const QString& value) {
    m_attributes.insert(name, value);
    if (name == kName && isConfiguration() && m_parent) m_parent->rebuildConfigurationMap();
    touchTree();
}

void ProjectElement::removeAttributeQuietly(const QString& name) {
    m_attributes.remove(name);
    touchTree();
}

void ProjectElement::setName(const QString& name, bool flag) {
    setAttribute(kName, name, flag);
}

void ProjectElement::setFileName(const QString& fileName, bool flag) {
    setAttribute(kFileName, fileName, flag);
}

ProjectElement* ProjectElement::getConfigurationElement(const QString& name) const {
    return m_configurations.value(name, nullptr);
}

bool ProjectElement::getProperty(const QString& configuration, const QString& saveName,
                                 QString& value) const {
    ProjectElement* c = m_configurations.value(configuration, nullptr);
    if (!c) return false;
    QString v;
    if (c->m_inTransaction) {
        if (!c->hasAttribute(saveName)) return false;
        v = c->attribute(saveName);
    } else {
        // One lookup on the hot path of setting resolution.
        auto it = c->m_attributes.constFind(saveName);
        if (it == c->m_attributes.constEnd()) return false;
        v = *it;
    }
    if (value.isEmpty())
        value = v;
    else
        value += QLatin1Char(';') + v;
    return true;
}

// ---- paths ----

void ProjectElement::invalidatePaths() {
    if (!isSolution()) m_pathKnown = false;
    m_projectDirectory.clear();
    m_relativePath.clear();
    for (ProjectElement* c = m_firstChild; c; c = c->m_nextSibling)
        if (!c->isSolution()) c->invalidatePaths();
}

void ProjectElement::setPath(const QString& absolutePath) {
    m_path.setPath(absolutePath);
    m_pathKnown = true;
}

static ProjectElement* projectOrSolution(ProjectElement* e) {
    ProjectElement* p = ProjectSystem::projectContaining(e);
    return p ? p : ProjectSystem::solutionContaining(e);
}

void ProjectElement::computePaths() {
    if (m_pathKnown || !projectSystem) return;
    m_projectDirectory = getProjectDirectory();
    if (!isFile()) {
        // Projects and folders stand for their project's directory.
        if (!isSolution()) m_path.setPath(m_projectDirectory);
        m_pathKnown = true;
        return;
    }
    QString name = projectSystem->expandGlobalMacros(attribute(kFileName));
    if (!Path::isAbsolute(name)) {
        m_relativePath = name;
        m_path.setPath(Path::join(m_projectDirectory, name));
    } else {
        m_path.setPath(name);
        QFileInfo info(name);
        QString dir;
        if (ProjectSystem::relativeDirPath(m_projectDirectory, info.path(), dir))
            m_relativePath =
                dir.isEmpty() ? info.fileName() : dir + QLatin1Char('/') + info.fileName();
        else
            m_relativePath = m_path.osPathQString();
    }
    m_pathKnown = true;
}

const Path& ProjectElement::getPath() {
    computePaths();
    return m_path;
}

QFileInfo ProjectElement::getQFileInfo() {
    computePaths();
    // Fresh each time: files change while a build runs, and a cached status would go stale.
    return QFileInfo(OsFiles::qtName(m_path.osPathQString()));
}

QString ProjectElement::getRelativePath() {
    computePaths();
    return m_relativePath;
}

QString ProjectElement::getProjectDirectory() {
    if (m_projectDirectory.isEmpty() && projectSystem) {
        // Files ask their project, which works the directory out once.
        ProjectElement* owner = projectOrSolution(this);
        if (!owner)
            m_projectDirectory = OsFiles::currentDir();
        else if (owner != this)
            m_projectDirectory = owner->getProjectDirectory();
        else
            m_projectDirectory = projectSystem->projectDirectoryPath(this);
    }
    return m_projectDirectory;
}

void ProjectElement::setFile(const QString& path, bool flag) {
    QString projectDir = getProjectDirectory();
    QString absolute = QDir::isRelativePath(path) ? projectDir + QLatin1Char('/') + path : path;
    Path::removeRelativePaths(absolute);
    QFileInfo info(absolute);
    QString relative = ProjectSystem::relativeFilePath(projectDir, absolute);

    QString stored = relative;
    QString studio = macroSystem.globalMacro(QStringLiteral("StudioDir"));
    QString dir;
    if (!QDir::isRelativePath(path) && !studio.isEmpty() &&
        ProjectSystem::relativeDirPath(studio, info.path(), dir) &&
        !dir.startsWith(QLatin1String(".."))) {
        stored = QStringLiteral("$(StudioDir)/") +
                 (dir.isEmpty() ? QString() : dir + QLatin1Char('/')) + info.fileName();
    }
    setAttribute(kFileName, stored, flag);
    m_path.setPath(absolute);
    m_relativePath = relative;
    m_projectDirectory = projectDir;
    m_pathKnown = true;
}

// ---- change records ----

void ProjectElement::insertChangeTime(const QString& name, const QDateTime& time) {
    const qsizetype before = m_changeTimes.size();
    m_changeTimes.insert(name, time);
    s_liveChangeRecords += m_changeTimes.size() - before;
}

void ProjectElement::clearChangeTimes() {
    s_liveChangeRecords -= m_changeTimes.size();
    m_changeTimes.clear();
    m_changeFlags.clear();
}

bool ProjectElement::hasModifiedProperty(const QString& name, QDateTime* time) const {
    auto it = m_changeTimes.constFind(name);
    if (it == m_changeTimes.constEnd()) return false;
    if (time) *time = *it;
    return true;
}

bool ProjectElement::propertyHasChanged(const QString& configuration, const QString& saveName,
                                        const QDateTime& since, bool& newer) {
    ProjectElement* c = getConfigurationElement(configuration);
    if (!c) return false;
    auto it = c->m_changeTimes.find(saveName);
    if (it == c->m_changeTimes.end()) return false;
    // Whole seconds, as file times are compared.
    newer = it->toSecsSinceEpoch() > since.toSecsSinceEpoch();
    if (newer || c->hasAttribute(saveName)) return true;
    // The value is gone and older than since: the record no longer matters.
    c->m_changeTimes.erase(it);
    --s_liveChangeRecords;
    c->m_changeFlags.remove(saveName);
    return false;
}

// ---- transactions ----

void ProjectElement::startTransaction() {
    m_inTransaction = true;
    m_pending.clear();
    m_pendingFlags.clear();
    m_removed.clear();
}

void ProjectElement::commitTransaction() {
    if (!m_inTransaction) return;
    m_inTransaction = false;
    QMap<QString, QString> pending = m_pending;
    QMap<QString, bool> flags = m_pendingFlags;
    QMap<QString, bool> removed = m_removed;
    m_pending.clear();
    m_pendingFlags.clear();
    m_removed.clear();
    for (auto it = removed.constBegin(); it != removed.constEnd(); ++it)
        removeAttribute(it.key());
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it)
        setAttribute(it.key(), it.value(), flags.value(it.key()));
}

void ProjectElement::rollBackTransaction() {
    m_inTransaction = false;
    m_pending.clear();
    m_pendingFlags.clear();
    m_removed.clear();
    touchTree();
}
