#include "xml/XmlPP.h"

#include "base/Branding.h"
#include "base/OsFiles.h"
#include "macros/MacroSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QtGlobal>
#include <cstring>

namespace XmlPPText {

const char* const conditionWarning =
    "XmlPP::processConditionals(): one condition required for <if[not]>";
const char* const defineWarning =
    "XmlPP::processConditionals(): missing name and/or value in <define>";
const char* const filenameWarning = "XmlPP::processConditionals(): missing filename in <include>";
const char* const openWarning = "XmlPP::processConditionals(): couldn't open include file ";
const char* const depthWarning = "XmlPP::processConditionals(): elements nested too deeply";
const char* const includeDepthWarning =
    "XmlPP::processConditionals(): includes nested too deeply at ";
const char* const includeCountWarning = "XmlPP::processConditionals(): too many includes at ";

QMap<QString, QString> macrosFromText(const QString& text) {
    if (text.isEmpty()) return {};
    return macroSystem.overwriteMacros(
        {}, macroSystem.macrosFromStringList(MacroSystem::stringListFromString(text)));
}

QMap<QString, QString> includeMacros(const QString& attribute) {
    QStringList items = MacroSystem::stringListFromString(QString(attribute).remove('\n'));
    for (QString& item : items)
        item = item.trimmed();
    items.removeAll(QString());
    return macroSystem.macrosFromStringList(items);
}

QStringList alternatives(const QString& list) {
    return list.split(',', Qt::SkipEmptyParts);
}

} // namespace XmlPPText

using namespace XmlPPText;

namespace {
void warn(const QString& text) {
    qWarning("%s", text.toLocal8Bit().constData());
}
} // namespace

XmlPP::XmlPP() {
    m_definitions.insert("ide", Get_STUDIO_NAME());
    m_definitions.insert("platform", Get_PLATFORM());
    m_definitions.insert("release", Get_SOFTWARE_RELEASE());
    m_definitions.insert("build", "RELEASE");
    m_definitions.insert("host", "UNIX");
}

XmlPP::~XmlPP() = default;

void XmlPP::define(const QString& name, const QString& value) {
    m_definitions[name] = value;
}

QString XmlPP::getdefine(const QString& name) const {
    return m_definitions.value(name);
}

namespace {

// The line at which elements first nest deeper than limit, or 0. The DOM
// parser slows down badly on very deep input, so such text is refused before
// it gets there. Markup that cannot nest (comments, sections, declarations)
// is stepped over; the count need not be exact, only never too low for
// well-formed text.
int lineOfExcessiveNesting(const QByteArray& text, int limit) {
    const char* p = text.constData();
    const char* end = p + text.size();
    int depth = 0, line = 1;
    auto skipTo = [&](const char* terminator) {
        const size_t n = std::strlen(terminator);
        while (p < end && !(size_t(end - p) >= n && std::memcmp(p, terminator, n) == 0)) {
            if (*p == '\n') ++line;
            ++p;
        }
        p = size_t(end - p) >= n ? p + n : end;
    };
    while (p < end) {
        const char c = *p++;
        if (c == '\n') ++line;
        if (c != '<' || p >= end) continue;
        const size_t left = size_t(end - p);
        if (left >= 3 && std::memcmp(p, "!--", 3) == 0) {
            skipTo("-->");
        } else if (left >= 8 && std::memcmp(p, "![CDATA[", 8) == 0) {
            skipTo("]]>");
        } else if (*p == '/') {
            --depth;
        } else if (*p != '!' && *p != '?') {
            char quote = 0;
            char previous = 0;
            while (p < end && (quote || *p != '>')) {
                if (*p == '\n') ++line;
                if (quote && *p == quote)
                    quote = 0;
                else if (!quote && (*p == '"' || *p == '\''))
                    quote = *p;
                previous = *p++;
            }
            if (previous != '/' && ++depth > limit) return line;
        }
    }
    return 0;
}

} // namespace

bool XmlPP::setContent(QDomDocument& document, const QByteArray& text, QString* errorMessage,
                       int* errorLine, int* errorColumn) {
    if (const int line = lineOfExcessiveNesting(text, maxNesting)) {
        if (errorMessage) *errorMessage = "elements nested too deeply";
        if (errorLine) *errorLine = line;
        if (errorColumn) *errorColumn = 1;
        return false;
    }
    return document.setContent(text, errorMessage, errorLine, errorColumn);
}

bool XmlPP::load(const QString& fileName, const QString& macroText, bool expand,
                 QString* errorMessage, int* errorLine, int* errorColumn) {
    QFile file;
    if (!OsFiles::open(file, fileName, QIODevice::ReadOnly)) {
        if (errorMessage) *errorMessage = "couldn't read " + fileName;
        if (errorLine) *errorLine = 0;
        if (errorColumn) *errorColumn = 0;
        return false;
    }
    const QByteArray text = file.readAll();
    if (!setContent(m_document, text, errorMessage, errorLine, errorColumn)) return false;
    parsed(m_document.documentElement(), text);
    process(m_document.firstChild(), fileName, macrosFromText(macroText), expand);
    return true;
}

bool XmlPP::load(QIODevice* source, bool expand, QString* errorMessage, int* errorLine,
                 int* errorColumn) {
    if (!source || (!source->isOpen() && !source->open(QIODevice::ReadOnly))) {
        if (errorMessage) *errorMessage = "couldn't read input";
        return false;
    }
    const QByteArray text = source->readAll();
    if (!setContent(m_document, text, errorMessage, errorLine, errorColumn)) return false;
    parsed(m_document.documentElement(), text);
    process(m_document.firstChild(), QString(), Macros(), expand);
    return true;
}

void XmlPP::trackAttributeOrder() {
    if (!m_attributeOrder) m_attributeOrder = std::make_unique<AttributeOrder>();
}

void XmlPP::parsed(const QDomElement& root, const QByteArray& text) {
    if (m_attributeOrder) m_attributeOrder->record(root, text);
}

QByteArray XmlPP::toByteArray(int indent) const {
    if (m_attributeOrder) return m_attributeOrder->serialise(m_document, indent);
    return m_document.toByteArray(indent);
}

bool XmlPP::isDefined(const QString& name, const Macros& macros) const {
    return m_definitions.contains(name) || macros.contains(name);
}

QString XmlPP::valueOf(const QString& name, const Macros& macros) const {
    auto d = m_definitions.constFind(name);
    if (d != m_definitions.constEnd()) return *d;
    return macros.value(name);
}

void XmlPP::expandAttributes(QDomElement& e, const Macros& macros) {
    const QDomNamedNodeMap attrs = e.attributes();
    for (int i = 0; i < attrs.count(); ++i) {
        QDomAttr a = attrs.item(i).toAttr();
        const QString value = a.value();
        const QString expanded = macroSystem.replaceMacros(macros, value);
        if (expanded != value) a.setValue(expanded);
    }
}

void XmlPP::process(QDomNode node, const QString& currentFile, const Macros& macros, bool expand) {
    if (m_depth >= maxNesting) {
        warn(depthWarning);
        return;
    }
    ++m_depth;
    while (!node.isNull()) {
        if (node.isElement())
            node = processElement(node.toElement(), currentFile, macros, expand);
        else
            node = node.nextSibling();
    }
    --m_depth;
}

void XmlPP::keepContent(QDomElement e, const QString& currentFile, const Macros& macros,
                        bool expand) {
    process(e.firstChild(), currentFile, macros, expand);
    QDomNode parent = e.parentNode();
    QDomNode after = e;
    while (!e.firstChild().isNull()) {
        QDomNode child = e.firstChild();
        parent.insertAfter(child, after);
        after = child;
    }
    parent.removeChild(e);
}

QDomNode XmlPP::processElement(QDomElement e, const QString& currentFile, const Macros& macros,
                               bool expand) {
    const QDomNode next = e.nextSibling();
    if (expand) expandAttributes(e, macros);
    const QString tag = e.tagName();

    if (tag == "if" || tag == "ifnot") {
        const QDomNamedNodeMap attrs = e.attributes();
        if (attrs.count() != 1) {
            warn(conditionWarning);
            process(e.firstChild(), currentFile, macros, expand);
            return next;
        }
        const QDomAttr a = attrs.item(0).toAttr();
        const bool listed = alternatives(a.value()).contains(valueOf(a.name(), macros));
        if (listed == (tag == "if"))
            keepContent(e, currentFile, macros, expand);
        else
            e.parentNode().removeChild(e);
        return next;
    }
    if (tag == "ifdef" || tag == "ifndef") {
        const bool defined = isDefined(e.attribute("name"), macros);
        if (defined == (tag == "ifdef"))
            keepContent(e, currentFile, macros, expand);
        else
            e.parentNode().removeChild(e);
        return next;
    }
    if (tag == "switch") {
        const QString value = valueOf(e.attribute("name"), macros);
        QDomElement selected, fallback;
        for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
            if (c.tagName() == "case") {
                if (expand) expandAttributes(c, macros);
                if (alternatives(c.attribute("value")).contains(value)) {
                    selected = c;
                    break;
                }
            } else if (c.tagName() == "default") {
                fallback = c;
            }
        }
        if (selected.isNull()) selected = fallback;
        if (!selected.isNull()) {
            // The chosen branch's content takes the place of the switch.
            process(selected.firstChild(), currentFile, macros, expand);
            QDomNode parent = e.parentNode();
            QDomNode after = e;
            while (!selected.firstChild().isNull()) {
                QDomNode child = selected.firstChild();
                parent.insertAfter(child, after);
                after = child;
            }
        }
        e.parentNode().removeChild(e);
        return next;
    }
    if (tag == "define") {
        if (!e.hasAttribute("name") || !e.hasAttribute("value"))
            warn(defineWarning);
        else
            define(e.attribute("name"), e.attribute("value"));
        e.parentNode().removeChild(e);
        return next;
    }
    if (tag == "expand_definition") {
        const QDomText text = m_document.createTextNode(getdefine(e.attribute("name")));
        e.parentNode().replaceChild(text, e);
        return next;
    }
    if (tag == "include") return processInclude(e, currentFile, macros, expand);

    process(e.firstChild(), currentFile, macros, expand);
    return next;
}

QDomNode XmlPP::processInclude(QDomElement e, const QString& currentFile, const Macros& macros,
                               bool expand) {
    const QDomNode next = e.nextSibling();
    if (!e.hasAttribute("filename")) {
        warn(filenameWarning);
        process(e.firstChild(), currentFile, macros, expand);
        return next;
    }
    const QString path = QFileInfo(currentFile).path() + "/" + e.attribute("filename");
    if (m_includeDepth >= maxIncludeDepth) {
        warn(includeDepthWarning + path);
        return next;
    }
    if (m_includes >= maxIncludes) {
        if (m_includes++ == maxIncludes) warn(includeCountWarning + path); // once
        return next;
    }
    ++m_includes;
    QFile file;
    if (!OsFiles::open(file, path, QIODevice::ReadOnly)) {
        warn(openWarning + path);
        return next;
    }
    QDomDocument included;
    QString message;
    int line = 0, column = 0;
    const QByteArray text = file.readAll();
    if (!setContent(included, text, &message, &line, &column)) {
        warn(QString("XmlPP::processConditionals(): error \"%1\" in include file %2 line:%3 "
                     "column:%4")
                 .arg(message, path)
                 .arg(line)
                 .arg(column));
        return next;
    }
    QDomElement root = m_document.importNode(included.documentElement(), true).toElement();
    if (root.isNull()) {
        e.parentNode().removeChild(e);
        return next;
    }
    parsed(root, text);
    e.parentNode().replaceChild(root, e);

    ++m_includeDepth;
    if (expand || e.hasAttribute("expand_macros")) {
        Macros inner = macros;
        if (e.hasAttribute("macros"))
            inner = macroSystem.overwriteMacros(macros, includeMacros(e.attribute("macros")));
        expandAttributes(root, inner);
        process(root.firstChild(), path, inner, true);
    } else {
        process(root.firstChild(), path, macros, false);
    }
    --m_includeDepth;

    if (e.hasAttribute("no_root")) {
        QDomNode parent = root.parentNode();
        QDomNode after = root;
        while (!root.firstChild().isNull()) {
            QDomNode child = root.firstChild();
            parent.insertAfter(child, after);
            after = child;
        }
        parent.removeChild(root);
    }
    return next;
}
