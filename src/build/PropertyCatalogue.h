#pragma once

// The build property catalogue is data: each build-system layer keeps a table
// with one row per setting, in creation order, and createCatalogue turns the
// rows into classes, stores each in its member and registers it.

#include <cstddef>

#include <QString>
#include <QStringList>

#include "build/BuildSystem.h"
#include "project/Property.h"

template <class Owner> struct CatalogueRow {
    PropertyClass* Owner::*member;
    const char* saveName;
    const char* group;
    const char* shortDescription;
    PropertyClass::Type type;
    const char* defaultValue; // IntegerRange: decimal text
    const char* values;       // Enumeration: values separated by "|"; null for none
    const char* longDescription;
    int minimum = 0; // IntegerRange only
    int maximum = 0;
    bool registered = true;
};

template <class Owner>
PropertyClass* createCatalogueClass(Owner* owner, const CatalogueRow<Owner>& row) {
    const QString saveName = QString::fromUtf8(row.saveName);
    const QString group = QString::fromUtf8(row.group);
    const QString shortDescription = QString::fromUtf8(row.shortDescription);
    const QString longDescription = QString::fromUtf8(row.longDescription);
    const QString defaultValue = QString::fromUtf8(row.defaultValue);
    PropertyClass* cls;
    if (row.type == PropertyClass::IntegerRange) {
        cls = new PropertyClass(saveName, row.type, row.minimum, row.maximum, group,
                                shortDescription, longDescription, defaultValue.toInt());
    } else if (row.type == PropertyClass::Enumeration) {
        QStringList values;
        if (row.values && *row.values)
            values = QString::fromUtf8(row.values).split(QLatin1Char('|'));
        cls = new PropertyClass(saveName, row.type, values, group, shortDescription,
                                longDescription, defaultValue);
    } else {
        cls = new PropertyClass(saveName, row.type, group, shortDescription, longDescription,
                                defaultValue);
    }
    owner->adoptPropertyClass(cls);
    owner->*row.member = cls;
    if (row.registered) owner->addPropertyClass(cls);
    return cls;
}

template <class Owner, std::size_t N>
void createCatalogue(Owner* owner, const CatalogueRow<Owner> (&rows)[N]) {
    for (const CatalogueRow<Owner>& row : rows)
        createCatalogueClass(owner, row);
}
