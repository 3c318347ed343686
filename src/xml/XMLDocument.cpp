#include "xml/XMLDocument.h"

#include "base/OsFiles.h"

#include <QFile>
#include <cstring>

// ---------------------------------------------------------------- XMLNode

XMLNode::~XMLNode() {
    // Iterative, so that destroying a deep tree cannot exhaust the stack: every
    // descendant is detached from its children before it is deleted.
    std::vector<XMLNode*> pending;
    for (XMLNode* c = m_firstChild; c; c = c->m_next)
        pending.push_back(c);
    m_firstChild = nullptr;
    while (!pending.empty()) {
        XMLNode* n = pending.back();
        pending.pop_back();
        for (XMLNode* c = n->m_firstChild; c; c = c->m_next)
            pending.push_back(c);
        n->m_firstChild = nullptr;
        delete n;
    }
}

XMLNode* XMLNode::lastChild() const {
    XMLNode* c = m_firstChild;
    while (c && c->m_next)
        c = c->m_next;
    return c;
}

void XMLNode::appendChild(XMLNode* node) {
    if (!node) return;
    node->m_parent = this;
    node->m_next = nullptr;
    if (XMLNode* last = lastChild())
        last->m_next = node;
    else
        m_firstChild = node;
}

void XMLNode::prependChild(XMLNode* node) {
    if (!node) return;
    node->m_parent = this;
    node->m_next = m_firstChild;
    m_firstChild = node;
}

void XMLNode::removeChild(XMLNode* node) {
    if (!node) return;
    if (m_firstChild == node) {
        m_firstChild = node->m_next;
        return;
    }
    for (XMLNode* c = m_firstChild; c; c = c->m_next) {
        if (c->m_next == node) {
            c->m_next = node->m_next;
            return;
        }
    }
}

void XMLNode::replaceChild(XMLNode* oldNode, XMLNode* newNode) {
    if (!oldNode || !newNode || oldNode == newNode) return;
    newNode->m_parent = oldNode->m_parent;
    newNode->m_next = oldNode->m_next;
    if (m_firstChild == oldNode) {
        m_firstChild = newNode;
        return;
    }
    for (XMLNode* c = m_firstChild; c; c = c->m_next) {
        if (c->m_next == oldNode) {
            c->m_next = newNode;
            return;
        }
    }
}

void XMLNode::reparentChildrenAfter(XMLNode* child, XMLNode* list) {
    if (!list) return;
    XMLNode* last = list;
    for (XMLNode* n = list; n; n = n->m_next) {
        n->m_parent = this;
        last = n;
    }
    if (child) {
        last->m_next = child->m_next;
        child->m_next = list;
    } else {
        last->m_next = m_firstChild;
        m_firstChild = list;
    }
}

char* XMLNode::mkString(const char* text, size_t length) {
    char* s = new char[length + 1];
    if (length) std::memcpy(s, text, length);
    s[length] = '\0';
    return s;
}

char* XMLNode::mkString(const char* text) {
    return text ? mkString(text, std::strlen(text)) : nullptr;
}

char* XMLNode::mkString(const QString& text) {
    const QByteArray b = text.toUtf8();
    return mkString(b.constData(), size_t(b.size()));
}

void XMLTree::unlink(XMLNode* parent, XMLNode* prev, XMLNode* node) {
    if (prev)
        prev->m_next = node->m_next;
    else
        parent->m_firstChild = node->m_next;
    node->m_next = nullptr;
    node->m_parent = nullptr;
}

XMLNode* XMLTree::takeChildren(XMLNode* node) {
    XMLNode* chain = node->m_firstChild;
    node->m_firstChild = nullptr;
    return chain;
}

XMLNode* XMLTree::chainEnd(XMLNode* chain) {
    while (chain && chain->m_next)
        chain = chain->m_next;
    return chain;
}

// ---------------------------------------------------------------- XMLElement

XMLElement::XMLElement(char* tagName) : XMLNode(Element), m_tagName(tagName) {}

XMLElement::~XMLElement() {
    delete[] m_tagName;
    for (auto& a : m_attributes) {
        delete[] a.first;
        delete[] a.second;
    }
}

void XMLElement::setTagName(char* tagName) {
    if (tagName == m_tagName) return;
    delete[] m_tagName;
    m_tagName = tagName;
}

const char* XMLElement::tagName() const {
    return m_tagName;
}

void XMLElement::setAttribute(char* name, char* value) {
    if (!name) {
        delete[] value;
        return;
    }
    for (auto& a : m_attributes) {
        if (std::strcmp(a.first, name) == 0) {
            if (a.first != name) delete[] name;
            if (a.second != value) delete[] a.second;
            a.second = value;
            return;
        }
    }
    m_attributes.emplace_back(name, value);
}

void XMLElement::setAttribute(const QString& name, const QString& value) {
    setAttribute(mkString(name), mkString(value));
}

void XMLElement::removeAttribute(const char* name) {
    if (!name) return;
    for (auto it = m_attributes.begin(); it != m_attributes.end(); ++it) {
        if (std::strcmp(it->first, name) == 0) {
            delete[] it->first;
            delete[] it->second;
            m_attributes.erase(it);
            return;
        }
    }
}

bool XMLElement::hasAttribute(const char* name) const {
    return attribute(name) != nullptr;
}

const char* XMLElement::attribute(const char* name) const {
    if (!name) return nullptr;
    for (const auto& a : m_attributes)
        if (std::strcmp(a.first, name) == 0) return a.second ? a.second : "";
    return nullptr;
}

const std::vector<std::pair<char*, char*>>& XMLElement::getAttributeList() const {
    return m_attributes;
}

bool XMLElement::hasTag(const char* tag) const {
    const char* t = tagName();
    return t && tag && std::strcmp(t, tag) == 0;
}

QString XMLElement::attributeString(const char* name) const {
    const char* v = attribute(name);
    return v ? QString::fromUtf8(v) : QString();
}

XMLElement* XMLElement::firstChildElement(const char* tag) const {
    for (XMLNode* c = firstChild(); c; c = c->nextSibling()) {
        if (!c->isElement()) continue;
        XMLElement* e = static_cast<XMLElement*>(c);
        if (!tag || e->hasTag(tag)) return e;
    }
    return nullptr;
}

// ---------------------------------------------------------------- text nodes

XMLData::~XMLData() {
    delete[] m_data;
}

void XMLData::setData(char* data) {
    if (data == m_data) return;
    delete[] m_data;
    m_data = data;
}

XMLComment::~XMLComment() {
    delete[] m_comment;
}

void XMLComment::setComment(char* comment) {
    if (comment == m_comment) return;
    delete[] m_comment;
    m_comment = comment;
}

// ---------------------------------------------------------------- XMLParser

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isNameChar(char c) {
    return isLetter(c) || (c >= '0' && c <= '9') || c == '_';
}
} // namespace

XMLParser::XMLParser(XMLDocument& document, const char* text, size_t length)
    : m_doc(document), m_pos(text), m_end(text + length) {
    if (!text) m_pos = m_end = nullptr;
}

const char* XMLParser::errorMessage(Error error) {
    switch (error) {
    case BadTagName:
        return "bad tagName";
    case TagNameMismatch:
        return "tagName mismatch";
    case TooDeep:
        return "elements nested too deeply";
    case NoError:
        break;
    }
    return "";
}

char XMLParser::peek(size_t ahead) const {
    return size_t(m_end - m_pos) > ahead ? m_pos[ahead] : '\0';
}

void XMLParser::advance(size_t count) {
    while (count-- && m_pos < m_end) {
        if (*m_pos == '\n') ++m_line;
        ++m_pos;
    }
}

void XMLParser::skipBlanks() {
    while (!atEnd() && isBlank(*m_pos))
        advance();
}

QByteArray XMLParser::readName() {
    const char* start = m_pos;
    while (!atEnd() && isNameChar(*m_pos))
        ++m_pos; // names hold no line feeds
    return QByteArray(start, int(m_pos - start));
}

void XMLParser::appendToOpen(XMLNode* node) {
    Open& open = m_open.back();
    node->m_parent = open.element;
    node->m_next = nullptr;
    if (open.last)
        open.last->m_next = node;
    else
        open.element->m_firstChild = node;
    open.last = node;
}

void XMLParser::closeElement() {
    XMLElement* e = m_open.back().element;
    m_open.pop_back();
    if (!m_open.empty()) {
        appendToOpen(e);
    } else {
        delete m_root; // a later top-level element replaces an earlier one
        m_root = e;
    }
}

void XMLParser::scanText() {
    const char* start = m_pos;
    while (!atEnd() && *m_pos != '<')
        advance();
    if (m_open.empty() || !m_doc.keepText() || m_pos == start) return;
    QByteArray text(start, int(m_pos - start));
    text.replace("\r", "");
    if (text.isEmpty()) return;
    appendToOpen(new XMLData(XMLNode::mkString(text.constData(), size_t(text.size()))));
}

void XMLParser::parseComment() {
    advance(3); // "!--"
    const char* start = m_pos;
    const char* close = nullptr;
    for (const char* p = m_pos; m_end - p >= 3; ++p) {
        if (p[0] == '-' && p[1] == '-' && p[2] == '>') {
            close = p;
            break;
        }
    }
    const char* stop = close ? close : m_end;
    advance(size_t(stop - m_pos));
    if (!m_open.empty() && m_doc.keepText())
        appendToOpen(new XMLComment(XMLNode::mkString(start, size_t(stop - start))));
    if (close) advance(3);
}

void XMLParser::parseDeclaration() {
    advance(); // "!"
    const QByteArray name = readName();
    if (std::strncmp(name.constData(), "DOCTYPE", qMin<size_t>(size_t(name.size()), 8)) != 0)
        return; // the rest is skipped as text
    skipBlanks();
    const QByteArray type = readName();
    skipBlanks();
    if (peek() == '>' && !atEnd()) {
        advance();
        m_doc.setDocType(type.constData());
    }
}

bool XMLParser::parseEndTag() {
    advance(); // "/"
    const QByteArray name = readName();
    skipBlanks();
    if (m_open.empty()) {
        m_error = TagNameMismatch;
        return false;
    }
    const char* tag = m_open.back().element->tagName();
    if (std::strncmp(tag ? tag : "", name.constData(), size_t(name.size())) != 0) {
        m_error = TagNameMismatch;
        return false;
    }
    if (!atEnd() && peek() == '>') {
        advance();
        closeElement();
    }
    return true;
}

bool XMLParser::parseStartTag() {
    const QByteArray name = readName();
    skipBlanks();
    if (int(m_open.size()) >= maxDepth) {
        m_error = TooDeep;
        return false;
    }
    XMLElement* e = m_doc.mkXMLElement(XMLNode::mkString(name.constData(), size_t(name.size())));
    m_open.push_back({e, nullptr});
    for (;;) {
        skipBlanks();
        if (atEnd() || peek() == '/' || peek() == '>') break;
        const char c = peek();
        if (!isLetter(c) && c != '_') {
            m_error = BadTagName;
            return false;
        }
        const QByteArray attrName = readName();
        skipBlanks();
        QByteArray value;
        if (!atEnd() && peek() == '=') {
            advance();
            skipBlanks();
            if (!atEnd() && peek() == '"') {
                advance();
                const char* start = m_pos;
                while (!atEnd() && *m_pos != '"')
                    advance();
                value = QByteArray(start, int(m_pos - start));
                advance(); // closing quote, if any
                skipBlanks();
            }
        }
        e->setAttribute(XMLNode::mkString(attrName.constData(), size_t(attrName.size())),
                        XMLNode::mkString(value.constData(), size_t(value.size())));
    }
    if (atEnd()) return true;
    if (peek() == '>') {
        advance();
    } else { // "/"
        advance();
        if (!atEnd() && peek() == '>') {
            advance();
            closeElement();
        }
    }
    return true;
}

XMLElement* XMLParser::parse() {
    skipBlanks();
    while (!atEnd() && peek() == '<') {
        advance();
        skipBlanks();
        bool ok = true;
        if (peek() == '!' && peek(1) == '-' && peek(2) == '-')
            parseComment();
        else if (peek() == '!')
            parseDeclaration();
        else if (peek() == '/')
            ok = parseEndTag();
        else
            ok = parseStartTag();
        if (!ok) break;
        scanText();
    }
    // Elements left open are not part of the result.
    while (!m_open.empty()) {
        delete m_open.back().element;
        m_open.pop_back();
    }
    XMLElement* root = m_root;
    m_root = nullptr;
    return root;
}

// ---------------------------------------------------------------- XMLDocument

XMLDocument::XMLDocument(bool keepText) : m_keepText(keepText) {
    m_errorText[0] = '\0';
}

XMLDocument::~XMLDocument() {
    delete m_root;
    delete[] m_docType;
}

XMLElement* XMLDocument::mkXMLElement(char* tagName) {
    return new XMLElement(tagName);
}

void XMLDocument::setDocType(const char* name) {
    delete[] m_docType;
    m_docType = XMLNode::mkString(name);
}

void XMLDocument::setRoot(XMLElement* root) {
    if (root == m_root) return;
    delete m_root;
    m_root = root;
}

XMLElement* XMLDocument::takeRoot() {
    XMLElement* r = m_root;
    m_root = nullptr;
    return r;
}

void XMLDocument::setError(const QByteArray& text, int line) {
    const size_t n = qMin<size_t>(size_t(text.size()), sizeof(m_errorText) - 1);
    std::memcpy(m_errorText, text.constData(), n);
    m_errorText[n] = '\0';
    m_errorLine = line;
}

bool XMLDocument::load(const QString& path) {
    QFile f;
    if (!OsFiles::open(f, path, QIODevice::ReadOnly)) {
        setError("couldn't read " + path.toUtf8());
        return false;
    }
    const QByteArray text = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        setError("couldn't read " + path.toUtf8());
        return false;
    }
    return loadFromString(text);
}

bool XMLDocument::loadFromString(const QByteArray& text) {
    return loadFromString(text.constData(), size_t(text.size()));
}

bool XMLDocument::loadFromString(const char* text, size_t length) {
    setError(QByteArray());
    XMLParser parser(*this, text, length);
    setRoot(parser.parse());
    if (parser.error() != XMLParser::NoError) {
        setError(XMLParser::errorMessage(parser.error()), parser.line());
        return false;
    }
    return true;
}

namespace {
void writeNode(QByteArray& out, const XMLNode* node, unsigned indentation, unsigned level) {
    const unsigned spaces = indentation * level;
    if (spaces) out.append(QByteArray(int(spaces), ' '));
    if (node->isData()) {
        if (const char* d = static_cast<const XMLData*>(node)->data()) out.append(d);
        return;
    }
    if (node->isComment()) {
        const char* c = static_cast<const XMLComment*>(node)->comment();
        out.append("<!--").append(c ? c : "").append("-->");
        return;
    }
    const XMLElement* e = static_cast<const XMLElement*>(node);
    const char* tag = e->tagName() ? e->tagName() : "";
    out.append('<').append(tag);
    for (const auto& a : e->getAttributeList())
        out.append(' ').append(a.first).append("=\"").append(a.second ? a.second : "").append('"');
    if (!e->firstChild()) {
        out.append("/>");
    } else {
        out.append('>');
        if (indentation) out.append('\n');
        for (const XMLNode* c = e->firstChild(); c; c = c->nextSibling())
            writeNode(out, c, indentation, level + 1);
        if (spaces) out.append(QByteArray(int(spaces), ' '));
        out.append("</").append(tag).append('>');
    }
    if (indentation) out.append('\n');
}
} // namespace

QByteArray XMLDocument::toByteArray(unsigned indentation) const {
    QByteArray out;
    if (m_docType) out.append("<!DOCTYPE ").append(m_docType).append(">\n");
    if (m_root) writeNode(out, m_root, indentation, 0);
    return out;
}

bool XMLDocument::save(const QString& path, unsigned indentation) {
    m_indentation = indentation;
    if (!OsFiles::replace(path, toByteArray(m_indentation))) {
        setError("couldn't write " + path.toUtf8());
        return false;
    }
    return true;
}
