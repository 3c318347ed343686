#include "project/ProjectTemplates.h"

#include "base/SettingTexts.h"
#include "macros/MacroSystem.h"
#include "project/BuildHooks.h"
#include "project/ProjectSystem.h"
#include "project/PropertyValueGroup.h"
#include "xml/XmlPP.h"

#include <QDomElement>

static const QString& kCommon = SettingText::Common;

ProjectTemplates::ProjectTemplates() {
    load(defaultFileName());
}

ProjectTemplates::ProjectTemplates(const QString& fileName) {
    load(fileName);
}

ProjectTemplates::~ProjectTemplates() {
    delete m_root;
}

QString ProjectTemplates::defaultFileName() {
    return macroSystem.replaceMacros(macroSystem.systemMacros(), QStringLiteral("$(StudioDir)")) +
           QStringLiteral("/targets/project_templates.xml");
}

ProjectTemplateNode* ProjectTemplates::convert(const QDomElement& element, int depth) {
    auto* node = new ProjectTemplateNode;
    node->tag = element.tagName();
    QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        QDomAttr a = attributes.item(i).toAttr();
        node->attributes.insert(a.name(), a.value());
    }
    if (node->tag == QLatin1String("project") && node->attributes.contains("template_name"))
        m_projects.insert(node->attribute("template_name"), node);
    if (node->tag == QLatin1String("configurations") && node->attributes.contains("name"))
        m_configurations.insert(node->attribute("name"), node);
    if (depth < 256) // no real template nests deeper
        for (QDomElement c = element.firstChildElement(); !c.isNull(); c = c.nextSiblingElement())
            node->children.append(convert(c, depth + 1));
    return node;
}

void ProjectTemplates::load(const QString& fileName) {
    XmlPP pp;
    QString macros = MacroSystem::stringFromStringList(
        macroSystem.stringListFromMacros(macroSystem.globalMacros(true)));
    if (!pp.load(fileName, macros, false)) return;
    QDomElement root = pp.document().documentElement();
    if (!root.isNull()) m_root = convert(root, 0);
}

ProjectTemplateNode* ProjectTemplates::findTemplate(const QString& name) const {
    return m_projects.value(name, nullptr);
}

ProjectTemplateNode* ProjectTemplates::findConfiguration(const QString& name) const {
    return m_configurations.value(name, nullptr);
}

QString ProjectTemplates::expand(ProjectElement* element, const QString& text) const {
    QString expanded = text;
    if (buildHooks && buildHooks->expandMacros(element, kCommon, &expanded)) return expanded;
    return macroSystem.replaceMacros(macroSystem.globalMacros(true), text);
}

void ProjectTemplates::createProjectFromTemplate(ProjectElement* solution, ProjectElement* project,
                                                 ProjectTemplateNode* projectTemplate) {
    Q_UNUSED(solution);
    if (!project || !projectTemplate || !projectSystem) return;
    if (projectTemplate->attributes.contains("type"))
        projectSystem->setProperty(project, projectSystem->projectTypeProperty(), kCommon,
                                   projectTemplate->attribute("type"));
    createFromTemplate(project, projectTemplate);
}

static bool stores(ProjectElement* element, const QString& configuration, const QString& name) {
    ProjectElement* c = element->getConfigurationElement(configuration);
    return c && c->hasAttribute(name);
}

static QString configurationOf(const ProjectTemplateNode* node) {
    QString c = node->attribute("configuration");
    return c.isEmpty() ? kCommon : c;
}

void ProjectTemplates::createFromTemplate(ProjectElement* element, ProjectTemplateNode* node) {
    if (!element || !node || !projectSystem) return;
    ProjectSystem* ps = projectSystem;
    for (ProjectTemplateNode* child : node->children) {
        const QString& tag = child->tag;
        if (tag == QLatin1String("folder")) {
            QString name = child->attribute("name");
            QString filter = child->attribute("filter");
            ProjectElement* folder = ProjectSystem::findFolder(element, name);
            if (!folder)
                folder = ps->createFolder(element, name, filter);
            else if (!stores(folder, kCommon, ps->filterProperty()->saveName()))
                ps->setProperty(folder, ps->filterProperty(), kCommon, filter);
            createFromTemplate(folder, child);
        } else if (tag == QLatin1String("file")) {
            QString name = child->attribute("name");
            if (child->attribute("expand").toLower() != QLatin1String("no"))
                name = expand(element, name);
            ProjectElement* file = ProjectSystem::findFile(element, name);
            if (!file) {
                file = new ProjectElement(ProjectElement::File);
                element->appendChild(file);
                file->setFileName(name);
            }
            createFromTemplate(file, child);
        } else if (tag == QLatin1String("property")) {
            QString name = child->attribute("name");
            QString configuration = configurationOf(child);
            if (name.isEmpty() || stores(element, configuration, name)) continue;
            QString value = child->attribute("value");
            if (child->attribute("expand").toLower() == QLatin1String("yes"))
                value = expand(element, value);
            ps->setProperty(element, name, configuration, value);
        } else if (tag == QLatin1String("propertygroup")) {
            QString name = child->attribute("name");
            QString configuration = configurationOf(child);
            if (name.isEmpty() || stores(element, configuration, name)) continue;
            ProjectElement* project = ProjectSystem::projectContaining(element);
            PropertyClass* groupsFile = buildSettingClasses().propertyGroupsFilePath;
            if (groupsFile && project) {
                QString file = ps->settingFor(project, groupsFile, kCommon);
                buildHooks->expandMacros(project, kCommon, &file);
                propertyValueGroups->setGroupFile(file);
            }
            std::unique_ptr<PropertyValueGroupValue> value(
                propertyValueGroups->getGroupValue(element, configuration, name));
            if (value) value->setPropertyValue(child->attribute("value"));
        } else if (tag == QLatin1String("configuration")) {
            createConfiguration(ProjectSystem::solutionContaining(element),
                                ProjectSystem::projectContaining(element),
                                child->attribute("name"));
        }
    }
}

void ProjectTemplates::createConfiguration(ProjectElement* solution, ProjectElement* project,
                                           const QString& name) {
    ProjectTemplateNode* configurationTemplate = findConfiguration(name);
    if (!solution || !configurationTemplate || !projectSystem || m_creating.contains(name)) return;
    m_creating.insert(name);
    ProjectSystem* ps = projectSystem;
    ProjectElement* configuration = ps->createConfiguration(solution, name);
    const QString inherited = ps->inheritedConfigurationsProperty()->saveName();
    for (ProjectTemplateNode* setting : configurationTemplate->children) {
        QString n = setting->attribute("name");
        QString v = setting->attribute("value");
        if (n.isEmpty() || v.isEmpty()) continue;
        if (n == inherited) {
            configuration->setAttribute(n, v);
            for (const QString& c : v.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                createConfiguration(solution, project, c);
        } else if (!configuration->hasAttribute(n)) {
            configuration->setAttribute(n, v);
        } else if (configuration->attribute(n) != v && project) {
            ps->setProperty(project, n, name, v);
        }
    }
    ps->updateInheritenceMap(solution);
    m_creating.remove(name);
}
