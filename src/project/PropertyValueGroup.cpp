#include "project/PropertyValueGroup.h"

#include "macros/MacroSystem.h"
#include "project/ProjectSystem.h"
#include "xml/XmlPP.h"

static PropertyValueGroups s_groups;
PropertyValueGroups* propertyValueGroups = &s_groups;

static QStringList entryNames(const QDomElement& group) {
    QStringList names;
    for (QDomElement e = group.firstChildElement(QStringLiteral("groupEntry")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("groupEntry")))
        names.append(e.attribute(QStringLiteral("name")));
    return names;
}

PropertyValueGroupClass::PropertyValueGroupClass(const QDomElement& group)
    : PropertyClass(
          group.attribute(QStringLiteral("name")), Enumeration, entryNames(group),
          group.attribute(QStringLiteral("group")), group.attribute(QStringLiteral("short")),
          group.attribute(QStringLiteral("long")), group.attribute(QStringLiteral("default"))),
      m_group(group) {}

QDomElement PropertyValueGroupClass::entry(const QString& name) const {
    for (QDomElement e = m_group.firstChildElement(QStringLiteral("groupEntry")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("groupEntry")))
        if (e.attribute(QStringLiteral("name")) == name) return e;
    return QDomElement();
}

PropertyValueGroupValue::PropertyValueGroupValue(PropertyValueGroupClass* cls,
                                                 const QString& configuration, ProjectElement* node)
    : ProjectPropertyValue(cls, configuration, node) {}

void PropertyValueGroupValue::setPropertyValue(const QString& entryName, bool flag) {
    PropertyValueGroupClass* cls = groupClass();
    if (!cls || !node() || !projectSystem) return;
    QString chosen = entryName;
    QDomElement entry = cls->entry(chosen);
    if (entry.isNull()) {
        chosen = cls->defaultValue();
        entry = cls->entry(chosen);
    }
    projectSystem->setProperty(node(), cls->saveName(), configuration(), chosen, flag);
    for (QDomElement p = entry.firstChildElement(QStringLiteral("property")); !p.isNull();
         p = p.nextSiblingElement(QStringLiteral("property"))) {
        QString target = p.hasAttribute(QStringLiteral("configuration"))
                             ? p.attribute(QStringLiteral("configuration"))
                             : configuration();
        projectSystem->setProperty(node(), p.attribute(QStringLiteral("name")), target,
                                   p.attribute(QStringLiteral("value")), flag);
    }
}

void PropertyValueGroupValue::removeProperty() {
    PropertyValueGroupClass* cls = groupClass();
    if (!cls || !node() || !projectSystem) return;
    projectSystem->removeProperty(node(), cls->saveName(), configuration());
    QDomElement entry = cls->entry(cls->defaultValue());
    for (QDomElement p = entry.firstChildElement(QStringLiteral("property")); !p.isNull();
         p = p.nextSiblingElement(QStringLiteral("property")))
        projectSystem->removeProperty(node(), p.attribute(QStringLiteral("name")), configuration());
}

PropertyValueGroups::~PropertyValueGroups() {
    for (GroupFile* f : m_files) {
        if (f) qDeleteAll(f->classes);
        delete f;
    }
}

void PropertyValueGroups::setGroupFile(const QString& fileName) {
    m_currentName = fileName;
    if (fileName.isEmpty() || fileName == QLatin1String("None")) {
        m_current = nullptr;
        return;
    }
    auto it = m_files.constFind(fileName);
    if (it != m_files.constEnd()) {
        m_current = *it;
        return;
    }
    // Unreadable files are remembered too, so they are tried only once per run.
    GroupFile* file = nullptr;
    XmlPP pp;
    QString macros = MacroSystem::stringFromStringList(
        macroSystem.stringListFromMacros(macroSystem.globalMacros(true)));
    if (pp.load(fileName, macros, false)) {
        file = new GroupFile;
        file->document = pp.document();
        QDomElement root = file->document.documentElement();
        for (QDomElement g = root.firstChildElement(QStringLiteral("group")); !g.isNull();
             g = g.nextSiblingElement(QStringLiteral("group"))) {
            QString name = g.attribute(QStringLiteral("name"));
            if (name.isEmpty() || file->classes.contains(name)) continue;
            file->names.append(name);
            file->classes.insert(name, new PropertyValueGroupClass(g));
        }
    }
    m_files.insert(fileName, file);
    m_current = file;
}

QStringList PropertyValueGroups::getGroupNames() const {
    return m_current ? m_current->names : QStringList();
}

QDomElement PropertyValueGroups::getGroup(const QString& name) const {
    PropertyValueGroupClass* cls = getGroupClass(name);
    return cls ? cls->groupElement() : QDomElement();
}

PropertyValueGroupClass* PropertyValueGroups::getGroupClass(const QString& name) const {
    return m_current ? m_current->classes.value(name, nullptr) : nullptr;
}

PropertyValueGroupValue* PropertyValueGroups::getGroupValue(ProjectElement* element,
                                                            const QString& configuration,
                                                            const QString& groupName) const {
    PropertyValueGroupClass* cls = getGroupClass(groupName);
    return cls ? new PropertyValueGroupValue(cls, configuration, element) : nullptr;
}
