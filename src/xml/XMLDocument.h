#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <utility>
#include <vector>

// A small XML document model with its own parser and writer, independent of
// the Qt DOM. Strings are plain zero-terminated character arrays owned by the
// node that holds them; a node owns its children.

class XMLNode {
public:
    enum Kind { Element, Data, Comment };

    virtual ~XMLNode();

    // The node becomes the last (first) child; its parent is set.
    virtual void appendChild(XMLNode* node);
    virtual void prependChild(XMLNode* node);
    // Unlinks the node from the child chain; the node is not destroyed.
    virtual void removeChild(XMLNode* node);
    // newNode takes oldNode's place; oldNode is not destroyed.
    virtual void replaceChild(XMLNode* oldNode, XMLNode* newNode);
    // Inserts the chain starting at list after child (at the front when child
    // is null), setting the parent of every node of the chain.
    virtual void reparentChildrenAfter(XMLNode* child, XMLNode* list);

    XMLNode* parent() const { return m_parent; }
    XMLNode* nextSibling() const { return m_next; }
    XMLNode* firstChild() const { return m_firstChild; }
    XMLNode* lastChild() const;

    Kind kind() const { return m_kind; }
    bool isElement() const { return m_kind == Element; }
    bool isData() const { return m_kind == Data; }
    bool isComment() const { return m_kind == Comment; }

    // A new zero-terminated copy of length characters of text.
    static char* mkString(const char* text, size_t length);
    static char* mkString(const char* text);
    static char* mkString(const QString& text);

protected:
    explicit XMLNode(Kind kind) : m_kind(kind) {}

private:
    XMLNode(const XMLNode&) = delete;
    XMLNode& operator=(const XMLNode&) = delete;

    friend class XMLParser;
    friend class XMLTree;

    Kind m_kind;
    XMLNode* m_parent = nullptr;
    XMLNode* m_next = nullptr;
    XMLNode* m_firstChild = nullptr;
};

// Constant-time splicing for walkers that know a node's previous sibling.
class XMLTree {
public:
    // Unlinks node (previous sibling prev, null when first) from parent.
    static void unlink(XMLNode* parent, XMLNode* prev, XMLNode* node);
    // Detaches node's children and returns them as a chain.
    static XMLNode* takeChildren(XMLNode* node);
    // The last node of a chain.
    static XMLNode* chainEnd(XMLNode* chain);
};

class XMLElement : public XMLNode {
public:
    // Takes ownership of the tag (may be null).
    explicit XMLElement(char* tagName = nullptr);
    ~XMLElement() override;

    // Setters take ownership of the arrays they are given.
    virtual void setTagName(char* tagName);
    virtual const char* tagName() const;
    // An existing attribute keeps its position and gets the new value (the
    // given name array is freed); a new one is appended.
    virtual void setAttribute(char* name, char* value);
    virtual void removeAttribute(const char* name);
    virtual bool hasAttribute(const char* name) const;
    // Null when absent.
    virtual const char* attribute(const char* name) const;
    virtual const std::vector<std::pair<char*, char*>>& getAttributeList() const;

    // Copying conveniences over the owning forms.
    void setAttribute(const QString& name, const QString& value);
    bool hasTag(const char* tag) const;
    // The attribute as text; empty when absent.
    QString attributeString(const char* name) const;
    // The first child element with the tag, or null.
    XMLElement* firstChildElement(const char* tag = nullptr) const;

private:
    char* m_tagName;
    std::vector<std::pair<char*, char*>> m_attributes;
};

class XMLData : public XMLNode {
public:
    explicit XMLData(char* data = nullptr) : XMLNode(Data), m_data(data) {}
    ~XMLData() override;
    void setData(char* data);
    const char* data() const { return m_data; }

private:
    char* m_data;
};

class XMLComment : public XMLNode {
public:
    explicit XMLComment(char* comment = nullptr) : XMLNode(Comment), m_comment(comment) {}
    ~XMLComment() override;
    void setComment(char* comment);
    const char* comment() const { return m_comment; }

private:
    char* m_comment;
};

class XMLDocument {
public:
    // With keepText off, text and comments are not stored while parsing.
    explicit XMLDocument(bool keepText = true);
    virtual ~XMLDocument();

    // Element factory used by the parser; subclasses supply their own nodes.
    // Takes ownership of the tag.
    virtual XMLElement* mkXMLElement(char* tagName);

    // On failure errorText() says why; a parse error also sets errorLine().
    bool load(const QString& path);
    bool loadFromString(const char* text, size_t length);
    bool loadFromString(const QByteArray& text);
    bool save(const QString& path, unsigned indentation);
    // The text save() would write.
    QByteArray toByteArray(unsigned indentation) const;

    void setDocType(const char* name);
    const char* docType() const { return m_docType; }
    XMLElement* root() const { return m_root; }
    // Replaces (and destroys) the current root.
    void setRoot(XMLElement* root);
    // Hands the root over to the caller.
    XMLElement* takeRoot();
    bool keepText() const { return m_keepText; }

    const char* errorText() const { return m_errorText; }
    int errorLine() const { return m_errorLine; }

protected:
    void setError(const QByteArray& text, int line = 0);

private:
    XMLDocument(const XMLDocument&) = delete;
    XMLDocument& operator=(const XMLDocument&) = delete;

    unsigned m_indentation = 0;
    bool m_keepText;
    char* m_docType = nullptr;
    XMLElement* m_root = nullptr;
    char m_errorText[1024];
    int m_errorLine = 0;
};

// One pass over a text; never reads past its end.
class XMLParser {
public:
    enum Error { NoError = 0, BadTagName = 1, TagNameMismatch = 2, TooDeep = 3 };
    // Elements may nest this deep; deeper input is refused so that every
    // recursive walk over a parsed tree stays bounded.
    static const int maxDepth = 4096;

    XMLParser(XMLDocument& document, const char* text, size_t length);
    // The root element found (the caller owns it), or null.
    XMLElement* parse();
    Error error() const { return m_error; }
    int line() const { return m_line; }
    static const char* errorMessage(Error error);

private:
    bool atEnd() const { return m_pos >= m_end; }
    char peek(size_t ahead = 0) const;
    void advance(size_t count = 1);
    void skipBlanks();
    // Letters, digits and "_"; may be empty.
    QByteArray readName();
    void scanText();
    void parseComment();
    void parseDeclaration();
    bool parseEndTag();
    bool parseStartTag();
    void closeElement();
    void appendToOpen(XMLNode* node);

    XMLDocument& m_doc;
    const char* m_pos;
    const char* m_end;
    int m_line = 1;
    Error m_error = NoError;
    XMLElement* m_root = nullptr;
    struct Open {
        XMLElement* element;
        XMLNode* last;
    };
    std::vector<Open> m_open;
};
