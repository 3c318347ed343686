#pragma once

#include "xml/AttributeOrder.h"

#include <QDomDocument>
#include <QMap>
#include <QString>
#include <memory>

class QIODevice;

// Preprocessor for the installation's XML data files over a Qt DOM document:
// if/ifnot/ifdef/ifndef/switch, define/expand_definition, include, and macro
// expansion in attribute values. The document is rewritten in place so that
// only the selected content remains. Problems in the preprocessing language
// are warnings on the Qt warning channel; processing goes on.
class XmlPP {
public:
    typedef QMap<QString, QString> Definitions;

    // Predefines ide, platform, release, build and host.
    XmlPP();
    virtual ~XmlPP();

    // Reads and parses the file, then processes it with the macros given as a
    // list of "name=value" items in the macro system's list syntax. False when
    // the file cannot be opened or does not parse; the outputs then say why.
    bool load(const QString& fileName, const QString& macroText, bool expand,
              QString* errorMessage = nullptr, int* errorLine = nullptr,
              int* errorColumn = nullptr);
    // The same from an open device, with no current file (includes resolve
    // against ".") and no macros.
    bool load(QIODevice* source, bool expand, QString* errorMessage = nullptr,
              int* errorLine = nullptr, int* errorColumn = nullptr);

    void define(const QString& name, const QString& value);
    // Empty when not defined.
    QString getdefine(const QString& name) const;
    const Definitions& definitions() const { return m_definitions; }

    QDomDocument& document() { return m_document; }
    const QDomDocument& document() const { return m_document; }

    // Remember the attribute order of every element loaded from here on, so
    // that toByteArray reproduces it (the DOM itself keeps none).
    void trackAttributeOrder();
    // The document as QDomDocument::toByteArray writes it; with the order
    // tracked, every element's attributes in source order.
    QByteArray toByteArray(int indent) const;

protected:
    // Parsing hook: the base parses text as XML into document.
    virtual bool setContent(QDomDocument& document, const QByteArray& text, QString* errorMessage,
                            int* errorLine, int* errorColumn);

private:
    typedef QMap<QString, QString> Macros;

    void process(QDomNode node, const QString& currentFile, const Macros& macros, bool expand);
    // Returns the node processing goes on with.
    QDomNode processElement(QDomElement e, const QString& currentFile, const Macros& macros,
                            bool expand);
    QDomNode processInclude(QDomElement e, const QString& currentFile, const Macros& macros,
                            bool expand);
    // Processes e's children, moves them after e, removes e.
    void keepContent(QDomElement e, const QString& currentFile, const Macros& macros, bool expand);
    bool isDefined(const QString& name, const Macros& macros) const;
    QString valueOf(const QString& name, const Macros& macros) const;
    static void expandAttributes(QDomElement& e, const Macros& macros);

    void parsed(const QDomElement& root, const QByteArray& text);

    QDomDocument m_document;
    std::unique_ptr<AttributeOrder> m_attributeOrder; // after m_document: goes first
    Definitions m_definitions;
    int m_depth = 0;
    int m_includeDepth = 0;
    int m_includes = 0;
};

// Shared by both preprocessor forms.
namespace XmlPPText {
// Macro text in list syntax ("a=1;b=2", "\" escaping) as a map.
QMap<QString, QString> macrosFromText(const QString& text);
// The macros attribute of an include, line feeds dropped. They only lay the
// list out, and the DOM parser has already made blanks of them (and of tabs),
// so the blanks around each item are dropped too; those inside stay.
QMap<QString, QString> includeMacros(const QString& attribute);
// ","-separated alternatives; empty ones dropped.
QStringList alternatives(const QString& list);
extern const char* const conditionWarning;
extern const char* const defineWarning;
extern const char* const filenameWarning;
extern const char* const openWarning;
extern const char* const depthWarning;
extern const char* const includeDepthWarning;
extern const char* const includeCountWarning;
// Bounds on element nesting and include chains, so that hostile input (deep
// trees, a file including itself) cannot exhaust the stack or run forever.
const int maxNesting = 4096;
const int maxIncludeDepth = 16;
// Includes per document: a file that includes itself twice would otherwise be
// read 2^16 times before the depth bound stops it.
const int maxIncludes = 1000;
} // namespace XmlPPText
