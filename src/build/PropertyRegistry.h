#pragma once

// The build property classes by save name. The registry owns nothing; the
// classes a build-system constructor creates are kept alive beside it.

#include <QMap>
#include <QString>

#include <memory>
#include <vector>

class PropertyClass;

class PropertyRegistry {
public:
    PropertyRegistry();
    ~PropertyRegistry();

    // Later registrations of a save name replace earlier ones.
    void add(PropertyClass* propertyClass);
    PropertyClass* find(const QString& saveName) const { return m_bySaveName.value(saveName); }
    PropertyClass* adopt(PropertyClass* propertyClass);
    void clear() { m_bySaveName.clear(); }

private:
    QMap<QString, PropertyClass*> m_bySaveName;
    std::vector<std::unique_ptr<PropertyClass>> m_owned;
};
