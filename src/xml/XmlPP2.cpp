#include "xml/XmlPP2.h"

#include "macros/MacroSystem.h"
#include "xml/XmlPP.h"

#include <QFileInfo>
#include <QStringList>

using namespace XmlPPText;

namespace {

// An included file builds its elements through the including document, so a
// memory map gets its own element objects for included content too.
class IncludedDocument : public XMLDocument {
public:
    explicit IncludedDocument(XMLDocument& owner) : XMLDocument(owner.keepText()), m_owner(owner) {}
    XMLElement* mkXMLElement(char* tagName) override { return m_owner.mkXMLElement(tagName); }

private:
    XMLDocument& m_owner;
};

// Puts chain after prev in parent; returns the node now last in its place.
XMLNode* insertChain(XMLElement* parent, XMLNode* prev, XMLNode* chain) {
    if (!chain) return prev;
    XMLNode* end = XMLTree::chainEnd(chain);
    parent->reparentChildrenAfter(prev, chain);
    return end;
}

QString attr(const XMLElement* e, const char* name) {
    return e->attributeString(name);
}

} // namespace

XMLPP2::XMLPP2(bool keepText) : XMLDocument(keepText) {}

XMLPP2::~XMLPP2() = default;

void XMLPP2::define(const QString& name, const QString& value) {
    m_definitions[name] = value;
}

QString XMLPP2::getdefine(const QString& name) const {
    return m_definitions.value(name);
}

bool XMLPP2::load(const QString& fileName, const QString& macroText) {
    if (!XMLDocument::load(fileName)) return false;
    const Macros macros =
        macroSystem.macrosFromStringList(macroText.split(';', Qt::SkipEmptyParts));
    processDocument(fileName, macros, true);
    return true;
}

bool XMLPP2::isDefined(const QString& name, const Macros& macros) const {
    return m_definitions.contains(name) || macros.contains(name);
}

QString XMLPP2::valueOf(const QString& name, const Macros& macros) const {
    auto d = m_definitions.constFind(name);
    if (d != m_definitions.constEnd()) return *d;
    return macros.value(name);
}

void XMLPP2::expandAttributes(XMLElement* e, const Macros& macros) {
    const auto& list = e->getAttributeList();
    for (size_t i = 0; i < list.size(); ++i) {
        const QString value = QString::fromUtf8(list[i].second ? list[i].second : "");
        const QString expanded = macroSystem.replaceMacros(macros, value);
        if (expanded != value)
            e->setAttribute(XMLNode::mkString(list[i].first), XMLNode::mkString(expanded));
    }
}

void XMLPP2::processDocument(const QString& currentFile, const Macros& macros, bool expand) {
    XMLElement* r = root();
    if (!r) return;
    if (expand) expandAttributes(r, macros);
    processChildren(r, currentFile, macros, expand);
}

void XMLPP2::processChildren(XMLElement* parent, const QString& currentFile, const Macros& macros,
                             bool expand) {
    if (m_depth >= maxNesting) {
        warning(depthWarning);
        return;
    }
    ++m_depth;
    XMLNode* prev = nullptr;
    XMLNode* node = parent->firstChild();
    while (node) {
        XMLNode* next = node->nextSibling();
        if (node->isElement())
            prev = processElement(parent, prev, static_cast<XMLElement*>(node), currentFile, macros,
                                  expand);
        else
            prev = node;
        node = next;
    }
    --m_depth;
}

// Returns the node that now stands last where e stood (prev when e left
// nothing behind).
XMLNode* XMLPP2::processElement(XMLElement* parent, XMLNode* prev, XMLElement* e,
                                const QString& currentFile, const Macros& macros, bool expand) {
    if (expand) expandAttributes(e, macros);

    auto drop = [&]() {
        XMLTree::unlink(parent, prev, e);
        delete e;
        return prev;
    };
    auto keep = [&]() {
        processChildren(e, currentFile, macros, expand);
        XMLNode* chain = XMLTree::takeChildren(e);
        XMLTree::unlink(parent, prev, e);
        delete e;
        return insertChain(parent, prev, chain);
    };

    if (e->hasTag("if") || e->hasTag("ifnot")) {
        const auto& list = e->getAttributeList();
        if (list.size() != 1) {
            warning(conditionWarning);
            processChildren(e, currentFile, macros, expand);
            return e;
        }
        const QString name = QString::fromUtf8(list[0].first);
        const QString value = QString::fromUtf8(list[0].second ? list[0].second : "");
        const bool listed = alternatives(value).contains(valueOf(name, macros));
        return listed == e->hasTag("if") ? keep() : drop();
    }
    if (e->hasTag("ifdef") || e->hasTag("ifndef")) {
        const bool defined = isDefined(attr(e, "name"), macros);
        return defined == e->hasTag("ifdef") ? keep() : drop();
    }
    if (e->hasTag("switch")) {
        const QString value = valueOf(attr(e, "name"), macros);
        XMLElement* selected = nullptr;
        XMLElement* fallback = nullptr;
        for (XMLNode* c = e->firstChild(); c; c = c->nextSibling()) {
            if (!c->isElement()) continue;
            XMLElement* ce = static_cast<XMLElement*>(c);
            if (ce->hasTag("case")) {
                if (expand) expandAttributes(ce, macros);
                if (alternatives(attr(ce, "value")).contains(value)) {
                    selected = ce;
                    break;
                }
            } else if (ce->hasTag("default")) {
                fallback = ce;
            }
        }
        if (!selected) selected = fallback;
        XMLNode* chain = nullptr;
        if (selected) {
            processChildren(selected, currentFile, macros, expand);
            chain = XMLTree::takeChildren(selected);
        }
        XMLTree::unlink(parent, prev, e);
        delete e;
        return insertChain(parent, prev, chain);
    }
    if (e->hasTag("define")) {
        if (!e->hasAttribute("name") || !e->hasAttribute("value"))
            warning(defineWarning);
        else
            define(attr(e, "name"), attr(e, "value"));
        return drop();
    }
    if (e->hasTag("expand_definition")) {
        XMLNode* text = new XMLData(XMLNode::mkString(getdefine(attr(e, "name"))));
        XMLTree::unlink(parent, prev, e);
        delete e;
        return insertChain(parent, prev, text);
    }
    if (e->hasTag("include")) return processInclude(parent, prev, e, currentFile, macros, expand);

    processChildren(e, currentFile, macros, expand);
    return e;
}

XMLNode* XMLPP2::processInclude(XMLElement* parent, XMLNode* prev, XMLElement* e,
                                const QString& currentFile, const Macros& macros, bool expand) {
    if (!e->hasAttribute("filename")) {
        warning(filenameWarning);
        processChildren(e, currentFile, macros, expand);
        return e;
    }
    const QString path = QFileInfo(currentFile).path() + "/" + attr(e, "filename");
    if (m_includeDepth >= maxIncludeDepth) {
        warning(includeDepthWarning + path);
        return e;
    }
    if (m_includes >= maxIncludes) {
        if (m_includes++ == maxIncludes) warning(includeCountWarning + path); // once
        return e;
    }
    ++m_includes;
    IncludedDocument included(*this);
    const bool loaded = included.load(path);
    XMLElement* root = included.takeRoot();
    if (!loaded || !root) {
        const QString why =
            loaded ? QString("no root element") : QString::fromUtf8(included.errorText());
        warning(QString("XmlPP::processConditionals(): error \"%1\" in include file %2 line:%3")
                    .arg(why, path)
                    .arg(included.errorLine()));
        delete root;
        return e;
    }
    XMLTree::unlink(parent, prev, e);
    insertChain(parent, prev, root);

    ++m_includeDepth;
    if (expand || e->hasAttribute("expand_macros")) {
        Macros inner = macros;
        if (e->hasAttribute("macros"))
            inner = macroSystem.overwriteMacros(macros, includeMacros(attr(e, "macros")));
        expandAttributes(root, inner);
        processChildren(root, path, inner, true);
    } else {
        processChildren(root, path, macros, false);
    }
    --m_includeDepth;

    const bool noRoot = e->hasAttribute("no_root");
    delete e;
    if (!noRoot) return root;
    XMLNode* chain = XMLTree::takeChildren(root);
    XMLTree::unlink(parent, prev, root);
    delete root;
    return insertChain(parent, prev, chain);
}
