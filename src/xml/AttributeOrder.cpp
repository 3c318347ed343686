#include "xml/AttributeOrder.h"

#include <QByteArrayView>
#include <QDomDocument>
#include <QXmlStreamReader>
#include <algorithm>

namespace {

// A node's identity: the private data its handles share.
const void* keyOf(const QDomNode& node) {
    struct Handle : QDomNode {
        explicit Handle(const QDomNode& n) : QDomNode(n) {}
        const void* key() const { return impl; }
    };
    return Handle(node).key();
}

// The element after e in document order, staying below top; null at the end.
QDomElement following(const QDomElement& e, const QDomNode& top) {
    const QDomElement child = e.firstChildElement();
    if (!child.isNull()) return child;
    for (QDomNode n = e; !n.isNull() && n != top; n = n.parentNode()) {
        const QDomElement sibling = n.nextSiblingElement();
        if (!sibling.isNull()) return sibling;
    }
    return QDomElement();
}

// Index just past the markup that starts at lt, in text as Qt writes it: no
// raw '"' inside attribute values, no raw '<' in text.
qsizetype endOfMarkup(const QByteArray& text, qsizetype lt) {
    const QByteArrayView rest = QByteArrayView(text).sliced(lt);
    const auto past = [&](const char* terminator) {
        const QByteArrayView t(terminator);
        const qsizetype at = text.indexOf(t, lt + 1);
        return at < 0 ? text.size() : at + t.size();
    };
    if (rest.startsWith("<!--")) return past("-->");
    if (rest.startsWith("<![CDATA[")) return past("]]>");
    if (rest.startsWith("<?")) return past("?>");
    char quote = 0;
    int depth = 0; // brackets of a document type's internal subset
    for (qsizetype i = lt + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || (c == '\'' && rest.startsWith("<!"))) {
            quote = c;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            --depth;
        } else if (c == '>' && depth <= 0) {
            return i + 1;
        }
    }
    return text.size();
}

bool isStartTag(const QByteArray& markup) {
    return markup.size() > 1 && markup[1] != '/' && markup[1] != '!' && markup[1] != '?';
}

// The start tag with its attributes in the given order, the others after them
// by name. A tag not in the form Qt writes is returned unchanged.
QByteArray reorderedTag(const QByteArray& tag, const QList<QByteArray>& order) {
    const qsizetype n = tag.size();
    qsizetype i = 1;
    while (i < n && tag[i] != ' ' && tag[i] != '>' && tag[i] != '/')
        ++i;
    const qsizetype nameEnd = i;
    struct Attribute {
        qsizetype rank;
        QByteArray name, text; // text: ` name="value"`
    };
    QList<Attribute> attributes;
    while (i < n && tag[i] == ' ') {
        const qsizetype eq = tag.indexOf('=', i);
        if (eq < 0 || eq + 1 >= n || tag[eq + 1] != '"') return tag;
        const qsizetype close = tag.indexOf('"', eq + 2);
        if (close < 0) return tag;
        const QByteArray name = tag.mid(i + 1, eq - i - 1);
        const qsizetype rank = order.indexOf(name);
        attributes.append({rank < 0 ? order.size() : rank, name, tag.mid(i, close + 1 - i)});
        i = close + 1;
    }
    std::sort(attributes.begin(), attributes.end(), [](const Attribute& a, const Attribute& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.name < b.name;
    });
    QByteArray out = tag.left(nameEnd);
    for (const Attribute& a : attributes)
        out += a.text;
    return out + tag.mid(i);
}

} // namespace

void AttributeOrder::record(const QDomElement& root, const QByteArray& text) {
    QXmlStreamReader reader(text);
    QDomElement e = root;
    while (!e.isNull() && !reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) continue;
        if (reader.qualifiedName() != e.tagName()) break; // out of step: leave the rest by name
        Entry entry{e, {}};
        for (const QXmlStreamAttribute& a : reader.attributes())
            entry.names.append(a.qualifiedName().toUtf8());
        m_entries.insert(keyOf(e), entry);
        e = following(e, root);
    }
}

QList<QByteArray> AttributeOrder::namesOf(const QDomElement& element) const {
    const auto it = m_entries.constFind(keyOf(element));
    return it == m_entries.constEnd() ? QList<QByteArray>() : it->names;
}

QByteArray AttributeOrder::serialise(const QDomDocument& document, int indent) const {
    const QByteArray text = document.toByteArray(indent);
    QByteArray out;
    out.reserve(text.size());
    // Qt writes the elements in document order, each start tag in one piece.
    QDomElement e = document.firstChildElement();
    qsizetype i = 0;
    for (qsizetype lt; (lt = text.indexOf('<', i)) >= 0;) {
        const qsizetype end = endOfMarkup(text, lt);
        out.append(text.constData() + i, lt - i);
        const QByteArray markup = text.mid(lt, end - lt);
        if (isStartTag(markup)) {
            out += reorderedTag(markup, e.isNull() ? QList<QByteArray>() : namesOf(e));
            if (!e.isNull()) e = following(e, document);
        } else {
            out += markup;
        }
        i = end;
    }
    out.append(text.constData() + i, text.size() - i);
    return out;
}
