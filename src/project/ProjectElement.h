#pragma once

// A node of the solution tree: solution, configuration, project, folder or
// file. Settings are attributes of an element's configuration children.

#include "base/Path.h"

#include <QDateTime>
#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class ProjectElement {
public:
    enum Kind { Solution = 0, Configuration = 1, Project = 2, Folder = 3, File = 4 };

    explicit ProjectElement(Kind kind);
    // Destroys the whole subtree.
    ~ProjectElement();
    ProjectElement(const ProjectElement&) = delete;
    ProjectElement& operator=(const ProjectElement&) = delete;

    // "solution", "configuration", "project", "folder", "file".
    static QString tagName(Kind kind);
    // False for any other tag.
    static bool kindFromTag(const QString& tag, Kind* kind);

    Kind kind() const { return m_kind; }
    QString getTagName() const { return tagName(m_kind); }
    bool isSolution() const { return m_kind == Solution; }
    bool isConfiguration() const { return m_kind == Configuration; }
    bool isProject() const { return m_kind == Project; }
    bool isFolder() const { return m_kind == Folder; }
    bool isFile() const { return m_kind == File; }

    // Tree. Children are in document order; new ones go at the end.
    ProjectElement* parent() const { return m_parent; }
    ProjectElement* firstChild() const { return m_firstChild; }
    ProjectElement* nextSibling() const { return m_nextSibling; }
    QList<ProjectElement*> children() const;
    // Takes ownership; a configuration child is entered in the configurations map.
    void appendChild(ProjectElement* child);
    // Detaches without destroying; the caller owns the child afterwards.
    void removeChild(ProjectElement* child);

    // Attributes, as seen through any open transaction.
    QString attribute(const QString& name) const;
    bool hasAttribute(const QString& name) const;
    // Records a change time and the flag (both used by up-to-date checks).
    void setAttribute(const QString& name, const QString& value, bool flag = false);
    void removeAttribute(const QString& name);
    // The committed attributes.
    const QMap<QString, QString>& attributes() const { return m_attributes; }
    // Sets without recording a change or marking modified (loading, restoring).
    void setAttributeQuietly(const QString& name, const QString& value);
    void removeAttributeQuietly(const QString& name);

    QString name() const { return attribute(QStringLiteral("Name")); }
    void setName(const QString& name, bool flag = false);
    QString fileName() const { return attribute(QStringLiteral("file_name")); }
    void setFileName(const QString& fileName, bool flag = false);

    // Configuration children, by Name.
    ProjectElement* getConfigurationElement(const QString& name) const;
    int numConfigurationElements() const { return m_configurations.size(); }
    const QMap<QString, ProjectElement*>& configurationElements() const { return m_configurations; }
    // Re-reads the Name of every configuration child (after a rename).
    void rebuildConfigurationMap();

    // Looks up the attribute on this element's configuration child. An empty
    // value becomes the attribute; a non-empty one gets ";" and it appended.
    bool getProperty(const QString& configuration, const QString& saveName, QString& value) const;

    // Paths, worked out on first use (see ProjectSystem for the rules).
    const Path& getPath();
    QFileInfo getQFileInfo();
    QString getRelativePath();
    QString getProjectDirectory();
    void setPath(const QString& absolutePath);
    bool pathKnown() const { return m_pathKnown; }
    // Forgets derived path data of this element and its subtree.
    void invalidatePaths();
    // Sets file_name from a path, relative to the project directory or under $(StudioDir).
    void setFile(const QString& path, bool flag = false);

    // Change state.
    bool modified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }
    const QMap<QString, QDateTime>& changeTimes() const { return m_changeTimes; }
    const QMap<QString, bool>& changeFlags() const { return m_changeFlags; }
    void clearChangeTimes();
    // Restores a change record (for front ends that keep records across sessions).
    void setChangeTime(const QString& name, const QDateTime& time) { insertChangeTime(name, time); }
    // Change records held by all live elements. A command-line build loads
    // with none, which lets the per-setting up-to-date checks stop early.
    static qint64 liveChangeRecords() { return s_liveChangeRecords; }
    // Whether a change time is recorded for the attribute, and which.
    bool hasModifiedProperty(const QString& name, QDateTime* time = nullptr) const;
    // For up-to-date checks: whether the configuration child's change record
    // for saveName counts, with newer set to whether it is later than since.
    bool propertyHasChanged(const QString& configuration, const QString& saveName,
                            const QDateTime& since, bool& newer);

    // Transactions (driven over the whole tree by the project system).
    bool inTransaction() const { return m_inTransaction; }
    void startTransaction();
    void commitTransaction();
    void rollBackTransaction();

    // Derived data kept by the project system.
    const QString& cachedFileType() const { return m_cachedFileType; }
    void setCachedFileType(const QString& type) { m_cachedFileType = type; }
    bool imported() const { return m_imported; }
    void setImported(bool imported) { m_imported = imported; }
    // Solution elements: project name -> project, and configuration -> inherited list.
    QMap<QString, ProjectElement*>& projects() { return m_projects; }
    const QMap<QString, ProjectElement*>& projects() const { return m_projects; }
    QMap<QString, QStringList>& inheritedConfigurations() { return m_inherited; }
    const QMap<QString, QStringList>& inheritedConfigurations() const { return m_inherited; }

    // Grows on every change to any element's attributes or children, so
    // caches of resolved values know when to drop their contents.
    static quint64 treeRevision() { return s_revision; }
    static void touchTree() { ++s_revision; }

private:
    void computePaths();
    void recordChange(const QString& name, bool flag);

    ProjectElement* m_parent = nullptr;
    ProjectElement* m_nextSibling = nullptr;
    ProjectElement* m_firstChild = nullptr;
    ProjectElement* m_lastChild = nullptr;
    QMap<QString, ProjectElement*> m_configurations;
    Kind m_kind;
    QMap<QString, QString> m_attributes;
    bool m_modified = false;
    QMap<QString, QDateTime> m_changeTimes;
    QMap<QString, QString> m_pending;
    QMap<QString, bool> m_pendingFlags;
    QMap<QString, bool> m_removed;
    bool m_inTransaction = false;
    bool m_pathKnown = false;
    Path m_path;
    QString m_projectDirectory;
    QString m_relativePath;
    QString m_cachedFileType;
    bool m_imported = false;
    QMap<QString, ProjectElement*> m_projects;
    QMap<QString, QStringList> m_inherited;
    QMap<QString, bool> m_changeFlags;

    static quint64 s_revision;
    static qint64 s_liveChangeRecords;
    void insertChangeTime(const QString& name, const QDateTime& time);
};
