#pragma once

#include "xml/XMLDocument.h"

#include <QMap>
#include <QString>

// The XML preprocessor over the lightweight document model: the same language
// as XmlPP, no predefined names, and warnings handed to warning().
class XMLPP2 : public XMLDocument {
public:
    typedef QMap<QString, QString> Definitions;

    explicit XMLPP2(bool keepText = true);
    ~XMLPP2() override;

    // Loads the file and processes it with expansion on; macroText holds
    // ";"-separated "name=value" items. False when the file cannot be read
    // or parsed (errorText() says why).
    bool load(const QString& fileName, const QString& macroText);

    void define(const QString& name, const QString& value);
    QString getdefine(const QString& name) const;
    const Definitions& definitions() const { return m_definitions; }

    // Every preprocessor warning goes through here.
    virtual void warning(const QString& text) = 0;

protected:
    typedef QMap<QString, QString> Macros;
    // Processes the root element (attributes and content) of this document.
    void processDocument(const QString& currentFile, const Macros& macros, bool expand);

private:
    void processChildren(XMLElement* parent, const QString& currentFile, const Macros& macros,
                         bool expand);
    XMLNode* processElement(XMLElement* parent, XMLNode* prev, XMLElement* e,
                            const QString& currentFile, const Macros& macros, bool expand);
    XMLNode* processInclude(XMLElement* parent, XMLNode* prev, XMLElement* e,
                            const QString& currentFile, const Macros& macros, bool expand);
    bool isDefined(const QString& name, const Macros& macros) const;
    QString valueOf(const QString& name, const Macros& macros) const;
    static void expandAttributes(XMLElement* e, const Macros& macros);

    Definitions m_definitions;
    int m_depth = 0;
    int m_includeDepth = 0;
    int m_includes = 0;
};
