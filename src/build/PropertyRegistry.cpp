#include "build/PropertyRegistry.h"

#include "project/Property.h"

PropertyRegistry::PropertyRegistry() = default;
PropertyRegistry::~PropertyRegistry() = default;

void PropertyRegistry::add(PropertyClass* propertyClass) {
    m_bySaveName.insert(propertyClass->saveName(), propertyClass);
}

PropertyClass* PropertyRegistry::adopt(PropertyClass* propertyClass) {
    m_owned.emplace_back(propertyClass);
    return propertyClass;
}
