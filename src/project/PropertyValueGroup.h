#pragma once

// Property groups: a group is a setting whose value names one of its entries;
// choosing an entry writes the settings listed under it. Groups come from an
// XML file of the installation, read through the XML preprocessor.

#include "project/Property.h"

#include <QDomDocument>
#include <QDomElement>
#include <QMap>
#include <QString>
#include <QStringList>

class PropertyValueGroupClass : public PropertyClass {
public:
    // From a "group" element: name, group, short, long, default and its groupEntry children.
    explicit PropertyValueGroupClass(const QDomElement& group);

    const QDomElement& groupElement() const { return m_group; }
    // The groupEntry of that name; a null element when there is none.
    QDomElement entry(const QString& name) const;

private:
    QDomElement m_group;
};

class PropertyValueGroupValue : public ProjectPropertyValue {
public:
    PropertyValueGroupValue(PropertyValueGroupClass* cls, const QString& configuration,
                            ProjectElement* node);

    // Selects the entry (the group's default when the name is not an entry):
    // stores its name as the group setting, then writes the entry's settings.
    void setPropertyValue(const QString& entry) override { setPropertyValue(entry, false); }
    void setPropertyValue(const QString& entry, bool flag);
    // Removes the group setting and the settings of the default entry.
    void removeProperty();

    PropertyValueGroupClass* groupClass() const {
        return static_cast<PropertyValueGroupClass*>(propertyClass());
    }
};

class PropertyValueGroups {
public:
    PropertyValueGroups() = default;
    ~PropertyValueGroups();
    PropertyValueGroups(const PropertyValueGroups&) = delete;
    PropertyValueGroups& operator=(const PropertyValueGroups&) = delete;

    // Makes the file current, loading it the first time; "None" (or a file
    // that cannot be read) leaves no groups current.
    void setGroupFile(const QString& fileName);
    QString currentFile() const { return m_current ? m_currentName : QString(); }

    QStringList getGroupNames() const;
    QDomElement getGroup(const QString& name) const;
    PropertyValueGroupClass* getGroupClass(const QString& name) const;
    // A new value the caller owns, or null when the current file has no such group.
    PropertyValueGroupValue* getGroupValue(ProjectElement* element, const QString& configuration,
                                           const QString& groupName) const;

private:
    struct GroupFile {
        QDomDocument document;
        QStringList names;
        QMap<QString, PropertyValueGroupClass*> classes;
    };
    QMap<QString, GroupFile*> m_files;
    GroupFile* m_current = nullptr;
    QString m_currentName;
};

// Created at start-up and alive for the whole run.
extern PropertyValueGroups* propertyValueGroups;
