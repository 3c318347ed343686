#include "project/Property.h"

#include "base/SettingTexts.h"
#include "macros/MacroSystem.h"
#include "project/ProjectElement.h"
#include "project/ProjectSystem.h"

#include <QtGlobal>

static const QString& kCommon = SettingText::Common;

QString PropertyColour::name() const {
    if (!valid) return QString();
    return QStringLiteral("#%1%2%3")
        .arg(red & 0xff, 2, 16, QLatin1Char('0'))
        .arg(green & 0xff, 2, 16, QLatin1Char('0'))
        .arg(blue & 0xff, 2, 16, QLatin1Char('0'));
}

PropertyColour PropertyColour::fromName(const QString& name) {
    if (name.size() != 7 || !name.startsWith(QLatin1Char('#'))) return PropertyColour();
    bool ok = false;
    uint rgb = name.mid(1).toUInt(&ok, 16);
    if (!ok) return PropertyColour();
    return PropertyColour((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
}

// ---- PropertyClass ----

PropertyClass::PropertyClass(const QString& saveName, Type type, const QString& group,
                             const QString& shortDescription, const QString& longDescription,
                             const QString& defaultValue)
    : m_saveName(saveName), m_group(group), m_shortDescription(shortDescription),
      m_longDescription(longDescription), m_defaultValue(defaultValue), m_type(type) {
    if (type == Boolean && m_defaultValue.isEmpty()) m_defaultValue = SettingText::No;
}

PropertyClass::PropertyClass(const QString& saveName, Type type, int minimum, int maximum,
                             const QString& group, const QString& shortDescription,
                             const QString& longDescription, int defaultValue)
    : m_saveName(saveName), m_group(group), m_shortDescription(shortDescription),
      m_longDescription(longDescription), m_defaultValue(QString::number(defaultValue)),
      m_type(type), m_minimum(minimum), m_maximum(maximum) {}

PropertyClass::PropertyClass(const QString& saveName, const QString& group,
                             const QString& shortDescription, const QString& longDescription,
                             bool defaultValue, const QStringList& labels)
    : m_saveName(saveName), m_group(group), m_shortDescription(shortDescription),
      m_longDescription(longDescription), m_type(Boolean), m_enumerates(labels) {
    int index = defaultValue ? 1 : 0;
    m_defaultValue = index < labels.size() ? labels[index] : QString();
}

PropertyClass::PropertyClass(const QString& saveName, Type type, const QStringList& enumerates,
                             const QString& group, const QString& shortDescription,
                             const QString& longDescription, const QString& defaultValue)
    : m_saveName(saveName), m_group(group), m_shortDescription(shortDescription),
      m_longDescription(longDescription), m_defaultValue(defaultValue), m_type(type),
      m_enumerates(enumerates) {}

PropertyClass::PropertyClass(const QString& saveName, const QString& group,
                             const QString& shortDescription, const QString& longDescription,
                             const PropertyColour& defaultValue)
    : m_saveName(saveName), m_group(group), m_shortDescription(shortDescription),
      m_longDescription(longDescription), m_defaultValue(defaultValue.name()), m_type(Colour) {}

QStringList PropertyClass::enumerates() const {
    if (m_type == Boolean && m_enumerates.isEmpty()) return {SettingText::No, SettingText::Yes};
    return m_enumerates;
}

// ---- PropertyValue ----

void PropertyValue::setPropertyClass(PropertyClass* cls) {
    m_class = cls;
    if (cls) {
        m_readOnly = cls->readOnly();
        setPropertyValue(cls->defaultValue());
    }
    m_visible = true;
}

QString PropertyValue::valueOrDefault() const {
    QString v = propertyValue();
    if (v.isEmpty() && m_class) v = m_class->defaultValue();
    return v;
}

static bool isEnumerated(const PropertyClass* cls) {
    return cls &&
           (cls->type() == PropertyClass::Boolean || cls->type() == PropertyClass::Enumeration);
}

bool PropertyValue::toBool() const {
    QString v = valueOrDefault();
    if (m_class) {
        int index = m_class->enumerates().indexOf(v);
        if (index == 0) return false;
        if (index == 1) return true;
    }
    QString lower = v.toLower();
    return lower == QLatin1String("true") || lower == QLatin1String("yes") ||
           lower == QLatin1String("1");
}

int PropertyValue::toInt() const {
    QString v = valueOrDefault();
    if (isEnumerated(m_class)) {
        int index = m_class->enumerates().indexOf(v);
        return index < 0 ? 0 : index;
    }
    bool ok = false;
    int n = v.trimmed().toInt(&ok);
    return ok ? n : 0;
}

void PropertyValue::setValue(int n) {
    if (isEnumerated(m_class)) {
        QStringList e = m_class->enumerates();
        if (n >= 0 && n < e.size())
            setPropertyValue(e[n]);
        else
            qWarning("PropertyValue::setValue(int): Setting an enumeration to a value which "
                     "isn't in its enumerates");
        return;
    }
    if (m_class && (m_class->type() == PropertyClass::Integer ||
                    m_class->type() == PropertyClass::IntegerRange)) {
        setPropertyValue(QString::number(n));
        return;
    }
    qWarning("PropertyValue::setValue(int): Setting a non-integer property");
}

void PropertyValue::setValue(bool b) {
    if (!m_class || m_class->type() != PropertyClass::Boolean)
        qWarning("PropertyValue::setValue(int): Setting a non-Boolean property");
    setValue(b ? 1 : 0);
}

void PropertyValue::setValue(const QStringList& list) {
    setPropertyValue(MacroSystem::stringFromStringList(list));
}

QStringList PropertyValue::toStringList() const {
    return MacroSystem::stringListFromString(propertyValue());
}

void PropertyValue::setValue(const QRect& r) {
    setPropertyValue(
        QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
}

QRect PropertyValue::toRect() const {
    QStringList parts = propertyValue().split(QLatin1Char(','));
    int n[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        n[i] = parts[i].trimmed().toInt();
    return QRect(n[0], n[1], n[2], n[3]);
}

void PropertyValue::setValue(const PropertyColour& c) {
    setPropertyValue(c.valid ? c.name() : QStringLiteral("Automatic"));
}

PropertyColour PropertyValue::toColor() const {
    QString v = propertyValue();
    if (v == QLatin1String("Automatic")) return PropertyColour();
    return PropertyColour::fromName(v);
}

void PropertyValue::setValue(const PropertyFont& f) {
    setPropertyValue(f.description);
}

PropertyFont PropertyValue::toFont(const PropertyFont& fallback) const {
    QString v = propertyValue();
    if (v.isEmpty()) return fallback;
    return PropertyFont{v};
}

// ---- SimplePropertyValue ----

SimplePropertyValue::SimplePropertyValue() {
    m_readOnly = true;
    m_transient = true;
}

SimplePropertyValue::SimplePropertyValue(PropertyClass* cls, const QString& value)
    : PropertyValue(cls), m_value(value) {
    m_readOnly = true;
    m_transient = true;
}

// ---- ProjectPropertyValue ----

ProjectPropertyValue::ProjectPropertyValue(PropertyClass* cls, const QString& configuration,
                                           ProjectElement* node)
    : PropertyValue(cls), m_node(node), m_configuration(configuration) {
    m_transient = true;
    m_visible = true;
}

bool ProjectPropertyValue::readOnly() const {
    if (m_readOnly) return true;
    return m_class && !m_class->perConfiguration() && m_configuration != kCommon;
}

bool ProjectPropertyValue::inherited() const {
    ProjectElement* c = m_node ? m_node->getConfigurationElement(m_configuration) : nullptr;
    return !(c && m_class && c->hasAttribute(m_class->saveName()));
}

void ProjectPropertyValue::setPropertyValue(const QString& value) {
    if (projectSystem && m_node && m_class)
        projectSystem->setProperty(m_node, m_class, m_configuration, value, false);
}

QString ProjectPropertyValue::propertyValue() const {
    if (!m_node || !m_class) return QString();
    if (m_class->type() == PropertyClass::StringList) {
        ProjectElement* c = m_node->getConfigurationElement(m_configuration);
        return c ? c->attribute(m_class->saveName()) : QString();
    }
    return projectSystem ? projectSystem->settingFor(m_node, m_class, m_configuration) : QString();
}

// ---- lists ----

void PropertyClassList::appendUnique(PropertyClass* cls) {
    if (!contains(cls)) append(cls);
}

PropertyValueList::~PropertyValueList() {
    for (PropertyValue* v : *this)
        if (v && v->transient()) delete v;
}

void PropertyValueList::appendUnique(PropertyValue* value) {
    if (!value || !value->propertyClass()) {
        qWarning("Bad property value in PropertyValueList::appendUnique");
        return;
    }
    if (!find(value->propertyClass())) append(value);
}

PropertyValue* PropertyValueList::find(const PropertyClass* cls) const {
    for (PropertyValue* v : *this)
        if (v && v->propertyClass() == cls) return v;
    return nullptr;
}
