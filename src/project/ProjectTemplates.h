#pragma once

// Ready-made projects and configurations from the installation's templates
// file, applied to projects that name a template when a solution is loaded.

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

class ProjectElement;
class QDomElement;

struct ProjectTemplateNode {
    QString tag;
    QMap<QString, QString> attributes;
    QList<ProjectTemplateNode*> children;

    ~ProjectTemplateNode() { qDeleteAll(children); }
    QString attribute(const QString& name) const { return attributes.value(name); }
};

class ProjectTemplates {
public:
    // $(StudioDir)/targets/project_templates.xml
    ProjectTemplates();
    // A missing or unreadable file gives no templates.
    explicit ProjectTemplates(const QString& fileName);
    ~ProjectTemplates();
    ProjectTemplates(const ProjectTemplates&) = delete;
    ProjectTemplates& operator=(const ProjectTemplates&) = delete;

    static QString defaultFileName();

    ProjectTemplateNode* findTemplate(const QString& name) const;
    ProjectTemplateNode* findConfiguration(const QString& name) const;

    // Sets the project type from the template, then applies its contents.
    void createProjectFromTemplate(ProjectElement* solution, ProjectElement* project,
                                   ProjectTemplateNode* projectTemplate);
    // Applies node's children (folders, files, properties, groups,
    // configurations) to element, keeping whatever element already has.
    void createFromTemplate(ProjectElement* element, ProjectTemplateNode* node);
    // Makes sure the solution has configuration name, from its template.
    void createConfiguration(ProjectElement* solution, ProjectElement* project,
                             const QString& name);

private:
    void load(const QString& fileName);
    ProjectTemplateNode* convert(const QDomElement& element, int depth);
    QString expand(ProjectElement* element, const QString& text) const;

    ProjectTemplateNode* m_root = nullptr;
    QMap<QString, ProjectTemplateNode*> m_projects;
    QMap<QString, ProjectTemplateNode*> m_configurations;
    QSet<QString> m_creating; // configurations being created, against inheritance loops
};
