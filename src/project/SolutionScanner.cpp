#include "project/SolutionScanner.h"

#include "project/ProjectElement.h"

#include <QVarLengthArray>

#include <cstring>
#include <memory>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

class Scanner {
public:
    Scanner(const QByteArray& bytes, int maxDepth)
        : m_p(bytes.constData()), m_end(bytes.constData() + bytes.size()), m_maxDepth(maxDepth) {
        for (ProjectElement::Kind k :
             {ProjectElement::Solution, ProjectElement::Configuration, ProjectElement::Project,
              ProjectElement::Folder, ProjectElement::File})
            m_tags.append({k, ProjectElement::tagName(k).toLatin1()});
    }

    // The document type's name, after what may come before it.
    bool prolog(QLatin1StringView& docType) {
        misc();
        if (!skip("<!DOCTYPE") || !space()) return false;
        docType = name();
        space();
        return !docType.isEmpty() && skip(">") && misc() && m_p < m_end && *m_p == '<';
    }
    // One element and what it holds; element is null for one outside the model.
    bool element(int depth, bool build, std::unique_ptr<ProjectElement>& element);
    // What may follow the root: whitespace and comments to the end.
    bool epilog() { return misc() && m_p == m_end; }
    QList<ProjectElement*> templateRequests;

private:
    bool skip(const char* text) {
        const size_t n = std::strlen(text);
        if (size_t(m_end - m_p) < n || std::memcmp(m_p, text, n)) return false;
        m_p += n;
        return true;
    }
    bool space() {
        const char* start = m_p;
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
        return m_p != start;
    }
    QLatin1StringView name() {
        const char* start = m_p;
        if (m_p < m_end && isNameStart(*m_p))
            while (++m_p < m_end && isNameChar(*m_p)) {
            }
        return QLatin1StringView(start, m_p - start);
    }
    bool misc();
    bool attributes(ProjectElement* element, bool& empty);
    bool value(QString& out);
    bool reference(QString& out);
    bool content(int depth, ProjectElement* element, QLatin1StringView tag);
    const QString& interned(QLatin1StringView name);

    const char* m_p;
    const char* m_end;
    int m_maxDepth;
    QList<QPair<ProjectElement::Kind, QByteArray>> m_tags;
    QList<QString> m_names; // attribute names, shared by every element
};

// Whitespace and well-formed ASCII comments.
bool Scanner::misc() {
    for (;;) {
        space();
        if (!skip("<!--")) return true;
        for (;;) {
            if (m_end - m_p < 3) return false;
            const char c = *m_p;
            if (c == '-' && m_p[1] == '-') {
                if (m_p[2] != '>') return false;
                m_p += 3;
                break;
            }
            if ((c < 0x20 && !isSpace(c)) || c > 0x7e) return false;
            ++m_p;
        }
    }
}

const QString& Scanner::interned(QLatin1StringView name) {
    for (const QString& known : std::as_const(m_names))
        if (known == name) return known;
    m_names.append(QString(name));
    return m_names.last();
}

bool Scanner::element(int depth, bool build, std::unique_ptr<ProjectElement>& element) {
    if (depth > m_maxDepth || !skip("<")) return false;
    const QLatin1StringView tag = name();
    if (tag.isEmpty()) return false;
    if (build) {
        build = false;
        for (const auto& known : std::as_const(m_tags)) {
            if (tag == QLatin1StringView(known.second)) {
                element.reset(new ProjectElement(known.first));
                build = true;
                break;
            }
        }
    }
    bool empty = false;
    if (!attributes(element.get(), empty)) return false;
    if (element && element->hasAttribute(QStringLiteral("template_name")))
        templateRequests.append(element.get());
    if (!empty && !content(depth, element.get(), tag)) return false;
    if (element) element->setModified(false);
    return true;
}

// Attributes up to the end of the start tag; empty for one that ends with "/>".
bool Scanner::attributes(ProjectElement* element, bool& empty) {
    QVarLengthArray<QLatin1StringView, 8> seen;
    for (;;) {
        const bool spaced = space();
        if (skip(">")) return true;
        if (skip("/>")) {
            empty = true;
            return true;
        }
        if (!spaced) return false;
        const QLatin1StringView attribute = name();
        // Names that only a namespace-aware reading could treat differently.
        if (attribute.isEmpty() || attribute.startsWith(QLatin1StringView("xml"))) return false;
        for (QLatin1StringView s : seen)
            if (s == attribute) return false;
        seen.append(attribute);
        space();
        if (!skip("=")) return false;
        space();
        QString text;
        if (!value(text)) return false;
        if (element) element->setAttributeQuietly(interned(attribute), text);
    }
}

// A quoted value without literal whitespace other than spaces, which a
// reader would normalise.
bool Scanner::value(QString& out) {
    if (m_p == m_end || (*m_p != '"' && *m_p != '\'')) return false;
    const char quote = *m_p++;
    const char* start = m_p;
    bool plain = true;
    for (;; ++m_p) {
        if (m_p == m_end) return false;
        const char c = *m_p;
        if (c == quote) break;
        if (c < 0x20 || c > 0x7e || c == '<') return false;
        if (c == '&') plain = false;
    }
    if (plain) {
        out = QString::fromLatin1(start, m_p - start);
        ++m_p;
        return true;
    }
    const char* close = m_p;
    m_p = start;
    while (m_p < close) {
        if (*m_p == '&') {
            if (!reference(out)) return false;
        } else {
            out += QLatin1Char(*m_p++);
        }
    }
    m_p = close + 1;
    return true;
}

// The five predefined entities, and characters by number that are printable
// ASCII or a tab, line feed or carriage return.
bool Scanner::reference(QString& out) {
    static const struct {
        const char* text;
        char c;
    } entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& e : entities) {
        if (skip(e.text)) {
            out += QLatin1Char(e.c);
            return true;
        }
    }
    if (!skip("&#")) return false;
    const bool hex = skip("x");
    int code = 0, digits = 0;
    for (; m_p < m_end && *m_p != ';'; ++m_p, ++digits) {
        const char c = *m_p;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        if (digits >= 6) return false;
        code = code * (hex ? 16 : 10) + d;
    }
    if (!skip(";") || digits == 0) return false;
    if (!(code == 9 || code == 10 || code == 13 || (code >= 0x20 && code <= 0x7e))) return false;
    out += QLatin1Char(char(code));
    return true;
}

// Children, whitespace and comments up to the end tag.
bool Scanner::content(int depth, ProjectElement* element, QLatin1StringView tag) {
    for (;;) {
        if (!misc() || m_end - m_p < 2 || *m_p != '<') return false;
        if (m_p[1] == '/') {
            m_p += 2;
            if (name() != tag) return false;
            space();
            return skip(">");
        }
        std::unique_ptr<ProjectElement> child;
        if (!this->element(depth + 1, element != nullptr, child)) return false;
        if (child) element->appendChild(child.release());
    }
}

} // namespace

ProjectElement* scanSolution(const QByteArray& bytes, const QString& docType, int depth,
                             int maxDepth, QList<ProjectElement*>& templateRequests) {
    Scanner scanner(bytes, maxDepth);
    QLatin1StringView type;
    if (!scanner.prolog(type) || type != docType) return nullptr;
    std::unique_ptr<ProjectElement> root;
    if (!scanner.element(depth, true, root) || !scanner.epilog() || !root || !root->isSolution() ||
        !root->hasAttribute(QStringLiteral("version")))
        return nullptr;
    templateRequests.append(scanner.templateRequests);
    return root.release();
}
