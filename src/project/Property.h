#pragma once

// Settings: their definitions (PropertyClass) and values bound to a holder
// (PropertyValue). Every value is text; the typed accessors interpret it
// according to the class's type.

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

class ProjectElement;

// There is no GUI library here, so colours and fonts are small value types
// of our own that carry just what is stored in solution files.
struct PropertyColour {
    bool valid = false;
    int red = 0, green = 0, blue = 0;

    PropertyColour() = default;
    PropertyColour(int r, int g, int b) : valid(true), red(r), green(g), blue(b) {}
    // "#rrggbb"; empty for an invalid colour.
    QString name() const;
    // Parses "#rrggbb"; anything else gives an invalid colour.
    static PropertyColour fromName(const QString& name);
    bool operator==(const PropertyColour& o) const {
        return valid == o.valid && (!valid || (red == o.red && green == o.green && blue == o.blue));
    }
};

struct PropertyFont {
    QString description; // empty means "no font"
    bool isNull() const { return description.isEmpty(); }
    bool operator==(const PropertyFont& o) const { return description == o.description; }
};

// Opaque handle for an editing widget; nothing in this program sets one.
class PropertyEditor;

class PropertyClass {
public:
    enum Type {
        Boolean = 0,
        Integer = 1,
        IntegerRange = 3,
        String = 4,
        FileName = 5,
        StringList = 8,
        DirectoryName = 9,
        Enumeration = 12,
        Colour = 13,
        Font = 14,
        FixedFont = 15
    };

    // plain
    PropertyClass(const QString& saveName, Type type, const QString& group,
                  const QString& shortDescription, const QString& longDescription,
                  const QString& defaultValue = QString());
    // ranged
    PropertyClass(const QString& saveName, Type type, int minimum, int maximum,
                  const QString& group, const QString& shortDescription,
                  const QString& longDescription, int defaultValue);
    // labelled Boolean
    PropertyClass(const QString& saveName, const QString& group, const QString& shortDescription,
                  const QString& longDescription, bool defaultValue, const QStringList& labels);
    // enumerated
    PropertyClass(const QString& saveName, Type type, const QStringList& enumerates,
                  const QString& group, const QString& shortDescription,
                  const QString& longDescription, const QString& defaultValue = QString());
    // colour
    PropertyClass(const QString& saveName, const QString& group, const QString& shortDescription,
                  const QString& longDescription, const PropertyColour& defaultValue);

    const QString& saveName() const { return m_saveName; }
    const QString& group() const { return m_group; }
    const QString& shortDescription() const { return m_shortDescription; }
    const QString& longDescription() const { return m_longDescription; }
    const QString& dialogDescription() const { return m_dialogDescription; }
    void setDialogDescription(const QString& s) { m_dialogDescription = s; }
    const QString& specialValueText() const { return m_specialValueText; }
    void setSpecialValueText(const QString& s) { m_specialValueText = s; }
    const QString& defaultValue() const { return m_defaultValue; }
    void setDefault(const QString& s) { m_defaultValue = s; }
    Type type() const { return m_type; }
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool b) { m_readOnly = b; }
    bool perConfiguration() const { return m_perConfiguration; }
    void setPerConfiguration(bool b) { m_perConfiguration = b; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    PropertyEditor* editor() const { return m_editor; }
    void setEditor(PropertyEditor* e) { m_editor = e; }
    void setEnumerates(const QStringList& l) { m_enumerates = l; }
    // A Boolean class without labels enumerates "No", "Yes".
    QStringList enumerates() const;

private:
    QString m_saveName;
    QString m_group;
    QString m_shortDescription;
    QString m_longDescription;
    QString m_dialogDescription;
    QString m_defaultValue;
    QString m_specialValueText;
    bool m_readOnly = false;
    bool m_perConfiguration = true;
    Type m_type;
    QStringList m_enumerates;
    int m_minimum = 0;
    int m_maximum = 0;
    PropertyEditor* m_editor = nullptr;
};

class PropertyValue {
public:
    PropertyValue() = default;
    explicit PropertyValue(PropertyClass* cls) : m_class(cls) {}
    virtual ~PropertyValue() = default;

    virtual bool readOnly() const { return m_readOnly; }
    virtual bool inherited() const { return true; }
    virtual void setPropertyValue(const QString& value) = 0;
    virtual QString propertyValue() const = 0;

    PropertyClass* propertyClass() const { return m_class; }
    // Copies the class's read-only flag, stores its default and makes the value visible.
    void setPropertyClass(PropertyClass* cls);

    void setReadOnly(bool b) { m_readOnly = b; }
    bool transient() const { return m_transient; }
    void setTransient(bool b) { m_transient = b; }
    bool visible() const { return m_visible; }
    void setVisible(bool b) { m_visible = b; }

    void setValue(const QString& value) { setPropertyValue(value); }
    void setValue(const char* value) { setPropertyValue(QString::fromUtf8(value)); }
    void setValue(int n);
    void setValue(bool b);
    void setValue(const QStringList& list);
    void setValue(const QRect& r);
    void setValue(const PropertyColour& c);
    void setValue(const PropertyFont& f);

    QString toString() const { return propertyValue(); }
    bool toBool() const;
    int toInt() const;
    QStringList toStringList() const;
    QRect toRect() const;
    PropertyColour toColor() const;
    PropertyFont toFont(const PropertyFont& fallback = PropertyFont()) const;

protected:
    bool m_readOnly = false;
    bool m_transient = false;
    bool m_visible = false;
    PropertyClass* m_class = nullptr;

private:
    QString valueOrDefault() const;
};

class SimplePropertyValue : public PropertyValue {
public:
    SimplePropertyValue();
    explicit SimplePropertyValue(PropertyClass* cls, const QString& value = QString());

    void setPropertyValue(const QString& value) override { m_value = value; }
    QString propertyValue() const override { return m_value; }

private:
    QString m_value;
};

// A value seen through the solution tree: reads resolve, writes go to the
// project system.
class ProjectPropertyValue : public PropertyValue {
public:
    ProjectPropertyValue(PropertyClass* cls, const QString& configuration, ProjectElement* node);

    bool readOnly() const override;
    bool inherited() const override;
    void setPropertyValue(const QString& value) override;
    QString propertyValue() const override;

    ProjectElement* node() const { return m_node; }
    const QString& configuration() const { return m_configuration; }

private:
    ProjectElement* m_node;
    QString m_configuration;
};

class PropertyClassList : public QList<PropertyClass*> {
public:
    using QList<PropertyClass*>::QList;
    void appendUnique(PropertyClass* cls);
};

class PropertyValueList : public QList<PropertyValue*> {
public:
    explicit PropertyValueList(bool transient = true) : m_transient(transient) {}
    ~PropertyValueList();
    PropertyValueList(const PropertyValueList&) = delete;
    PropertyValueList& operator=(const PropertyValueList&) = delete;

    bool transient() const { return m_transient; }
    void appendUnique(PropertyValue* value);
    PropertyValue* find(const PropertyClass* cls) const;

private:
    bool m_transient;
};
