#include "common/Symbols.h"

#include <QList>
#include <QSet>

#include <cctype>

namespace {

bool isIdentStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isIdentChar(char c) {
    return isIdentStart(c) || (c >= '0' && c <= '9');
}

QList<QByteArray> identifiers(const QByteArray& text) {
    QList<QByteArray> out;
    for (int i = 0; i < text.size();) {
        if (isIdentStart(text[i])) {
            int start = i;
            while (i < text.size() && isIdentChar(text[i]))
                ++i;
            out.append(text.mid(start, i - start));
        } else {
            ++i;
        }
    }
    return out;
}

// The text before the first occurrence of what, or all of it.
QByteArray before(const QByteArray& text, const QByteArray& what) {
    qsizetype at = text.indexOf(what);
    return at < 0 ? text : text.left(at);
}

bool hasStorageClass(const QList<QByteArray>& words) {
    for (const QByteArray& w : words)
        if (w == "static" || w == "extern" || w == "typedef") return true;
    return false;
}

// "int main(void)" -> main: the first identifier directly followed by "(".
QByteArray functionName(const QByteArray& head) {
    for (int i = 0; i < head.size();) {
        if (!isIdentStart(head[i])) {
            ++i;
            continue;
        }
        int start = i;
        while (i < head.size() && isIdentChar(head[i]))
            ++i;
        int j = i;
        while (j < head.size() && (head[j] == ' ' || head[j] == '\t' || head[j] == '\n'))
            ++j;
        QByteArray name = head.mid(start, i - start);
        if (j < head.size() && head[j] == '(' && !name.startsWith("__attribute")) return name;
    }
    return QByteArray();
}

// "int a = 1, b[4];" -> a (initialised), b (tentative).
void declaredNames(const QByteArray& text, QStringList& out, QStringList& tentative) {
    if (text.contains('(')) return; // prototypes and function pointers
    // Structure bodies and initialisers name no declared objects.
    QByteArray declaration;
    int depth = 0;
    for (char c : text) {
        if (c == '{') ++depth;
        if (depth == 0) declaration += c;
        if (c == '}' && depth > 0) --depth;
    }
    QList<QByteArray> parts;
    int start = 0;
    depth = 0;
    for (int i = 0; i < declaration.size(); ++i) {
        char c = declaration[i];
        if (c == '[') ++depth;
        if (c == ']') --depth;
        if (c == ',' && depth == 0) {
            parts.append(declaration.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.append(declaration.mid(start));
    QList<QByteArray> words = identifiers(before(parts[0], "="));
    if (words.size() < 2 || hasStorageClass(words)) return;
    if (words[0] == "struct" || words[0] == "union" || words[0] == "enum") {
        if (words.size() < 3) return; // a tag declaration only
    }
    for (int k = 0; k < parts.size(); ++k) {
        QList<QByteArray> names = identifiers(before(before(parts[k], "="), "["));
        if (!names.isEmpty())
            (parts[k].contains('=') ? out : tentative).append(QString::fromLatin1(names.last()));
    }
}

} // namespace

QStringList cPublicSymbols(const QByteArray& text, QStringList& tentative) {
    QStringList out;
    int depth = 0, parens = 0;
    int segmentStart = 0;
    bool resetAfterBlock = false;
    for (int i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"' || c == '\'') {
            for (++i; i < text.size() && text[i] != c && text[i] != '\n'; ++i)
                if (text[i] == '\\') ++i;
            continue;
        }
        if (c == '(')
            ++parens;
        else if (c == ')')
            parens = parens > 0 ? parens - 1 : 0;
        else if (c == '{') {
            int last = i - 1;
            while (last >= segmentStart && isspace(uchar(text[last])))
                --last;
            if (depth++ == 0 && parens == 0 && last >= segmentStart && text[last] == ')') {
                // A function head is short; bounding it keeps odd input linear.
                const int from = qMax(segmentStart, i - 512);
                QByteArray head = text.mid(from, i - from);
                QByteArray name = head.contains('=') ? QByteArray() : functionName(head);
                resetAfterBlock = !name.isEmpty();
                if (resetAfterBlock && !hasStorageClass(identifiers(before(head, name))))
                    out.append(QString::fromLatin1(name));
            }
        } else if (c == '}') {
            if (depth > 0 && --depth == 0 && resetAfterBlock) {
                segmentStart = i + 1;
                resetAfterBlock = false;
            }
        } else if (c == ';' && depth == 0) {
            declaredNames(text.mid(segmentStart, i - segmentStart), out, tentative);
            segmentStart = i + 1;
            parens = 0;
        }
    }
    out.removeDuplicates();
    tentative.removeDuplicates();
    for (const QString& name : out)
        tentative.removeAll(name);
    return out;
}

QStringList assemblyPublicSymbols(const QByteArray& text) {
    QStringList out;
    for (const QByteArray& raw : text.split('\n')) {
        QByteArray line = raw;
        int comment = int(line.indexOf(';'));
        if (comment >= 0) line = line.left(comment);
        line = line.simplified();
        int space = int(line.indexOf(' '));
        if (space < 0) continue;
        QByteArray directive = line.left(space).toLower();
        if (directive != ".global" && directive != ".globl" && directive != "public") continue;
        for (const QByteArray& name : line.mid(space + 1).split(',')) {
            QByteArray n = name.trimmed();
            if (!n.isEmpty()) out.append(QString::fromLatin1(n));
        }
    }
    out.removeDuplicates();
    return out;
}

QStringList basicPublicSymbols(const QByteArray& text) {
    QStringList out;
    for (const QByteArray& raw : text.split('\n')) {
        QList<QByteArray> words = raw.simplified().split(' ');
        if (words.size() < 2) continue;
        QByteArray keyword = words[0].toUpper();
        if (keyword != "SUB" && keyword != "FUNCTION") continue;
        QByteArray name = words[1];
        int paren = int(name.indexOf('('));
        if (paren >= 0) name = name.left(paren);
        if (!name.isEmpty() && isIdentStart(name[0])) out.append(QString::fromLatin1(name));
    }
    out.removeDuplicates();
    return out;
}

QStringList referencedNames(const QByteArray& text, const QStringList& defined) {
    QSet<QByteArray> seen;
    for (const QString& name : defined)
        seen.insert(name.toLatin1());
    QStringList out;
    for (int i = 0; i < text.size();) {
        char c = text[i];
        if (c == '"') {
            for (++i; i < text.size() && text[i] != c && text[i] != '\n'; ++i)
                if (text[i] == '\\') ++i;
            ++i;
        } else if (isIdentStart(c)) {
            int start = i;
            while (i < text.size() && isIdentChar(text[i]))
                ++i;
            QByteArray name = text.mid(start, i - start);
            if (!seen.contains(name)) {
                seen.insert(name);
                out.append(QString::fromLatin1(name));
            }
        } else if (c >= '0' && c <= '9') {
            while (i < text.size() && isIdentChar(text[i]))
                ++i; // 0x1F, 10UL
        } else {
            ++i;
        }
    }
    for (const QString& name : defined)
        out.removeAll(name);
    return out;
}
