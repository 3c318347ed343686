#include "common/Conditions.h"

#include <QList>

namespace {

struct Token {
    enum Kind { Number, Identifier, Operator, End } kind;
    QByteArray text;
    qint64 value = 0;
};

bool isIdentStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isIdentChar(char c) {
    return isIdentStart(c) || (c >= '0' && c <= '9');
}

bool tokenize(const QByteArray& text, QList<Token>& out, QString& error) {
    static const char* const twoChar[] = {"||", "&&", "==", "!=", "<=", ">=", "<<", ">>"};
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++i;
        } else if (isIdentStart(c)) {
            int start = i;
            while (i < n && isIdentChar(text[i]))
                ++i;
            out.append({Token::Identifier, text.mid(start, i - start)});
        } else if (c >= '0' && c <= '9') {
            int start = i;
            while (i < n && (isIdentChar(text[i])))
                ++i;
            QByteArray digits = text.mid(start, i - start);
            while (!digits.isEmpty() && QByteArray("uUlL").contains(digits.back()))
                digits.chop(1);
            bool ok = false;
            qint64 v = 0;
            if (digits.startsWith("0x") || digits.startsWith("0X"))
                v = qint64(digits.mid(2).toULongLong(&ok, 16));
            else if (digits.size() > 1 && digits.startsWith('0'))
                v = qint64(digits.toULongLong(&ok, 8));
            else
                v = qint64(digits.toULongLong(&ok, 10));
            if (!ok) {
                error = "invalid integer constant \"" +
                        QString::fromLatin1(text.mid(start, i - start)) + "\" in #if";
                return false;
            }
            Token t{Token::Number, digits};
            t.value = v;
            out.append(t);
        } else if (c == '\'') {
            // Character constants: plain or the usual single-letter escapes.
            int start = i++;
            qint64 v = 0;
            if (i < n && text[i] == '\\' && i + 1 < n) {
                char e = text[i + 1];
                v = e == 'n' ? 10 : e == 't' ? 9 : e == 'r' ? 13 : e == '0' ? 0 : e;
                i += 2;
            } else if (i < n) {
                v = (unsigned char)text[i++];
            }
            if (i >= n || text[i] != '\'') {
                error = "invalid character constant in #if";
                return false;
            }
            ++i;
            Token t{Token::Number, text.mid(start, i - start)};
            t.value = v;
            out.append(t);
        } else {
            bool matched = false;
            for (const char* op : twoChar) {
                if (i + 1 < n && text[i] == op[0] && text[i + 1] == op[1]) {
                    out.append({Token::Operator, QByteArray(op, 2)});
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
            if (!QByteArray("+-*/%&|^!~<>()?:,").contains(c)) {
                error = "token \"" + QString(QLatin1Char(c)) + "\" is not valid in #if";
                return false;
            }
            out.append({Token::Operator, QByteArray(1, c)});
            ++i;
        }
    }
    return true;
}

// Replaces "defined" operators and macros until only numbers and operators
// remain. Expansion depth is bounded so self-referring macros terminate.
bool expand(const QList<Token>& in, const MacroTable& macros, QList<Token>& out, int depth,
            QString& error) {
    for (int i = 0; i < in.size(); ++i) {
        if (out.size() > 100000) {
            error = "#if expression too large after macro expansion";
            return false;
        }
        const Token& t = in[i];
        if (t.kind != Token::Identifier) {
            out.append(t);
            continue;
        }
        if (t.text == "defined") {
            int j = i + 1;
            bool paren = j < in.size() && in[j].kind == Token::Operator && in[j].text == "(";
            if (paren) ++j;
            if (j >= in.size() || in[j].kind != Token::Identifier) {
                error = "operator \"defined\" requires an identifier";
                return false;
            }
            Token r{Token::Number, "defined"};
            r.value = macros.contains(in[j].text) ? 1 : 0;
            if (paren) {
                ++j;
                if (j >= in.size() || in[j].text != ")") {
                    error = "missing ')' after \"defined\"";
                    return false;
                }
            }
            out.append(r);
            i = j;
            continue;
        }
        auto it = macros.constFind(t.text);
        if (it != macros.constEnd() && depth < 32) {
            if (it.value().startsWith(kFunctionLikeMacro)) {
                // Not expanded here: the call, arguments and all, reads as 0.
                int j = i + 1;
                if (j < in.size() && in[j].text == "(") {
                    int level = 0;
                    for (; j < in.size(); ++j) {
                        if (in[j].text == "(") ++level;
                        if (in[j].text == ")" && --level == 0) break;
                    }
                    i = j;
                }
                Token zero{Token::Number, t.text};
                out.append(zero);
                continue;
            }
            QList<Token> body;
            if (!tokenize(it.value(), body, error)) return false;
            if (!expand(body, macros, out, depth + 1, error)) return false;
            continue;
        }
        Token zero{Token::Number, t.text};
        zero.value = 0;
        out.append(zero);
    }
    return true;
}

class Parser {
public:
    Parser(const QList<Token>& tokens, QString& error) : m_tokens(tokens), m_error(error) {}

    bool parse(qint64& value) {
        if (!conditional(value)) return false;
        if (m_pos < m_tokens.size())
            return fail("missing binary operator before \"" +
                        QString::fromLatin1(m_tokens[m_pos].text) + "\"");
        return true;
    }

private:
    bool fail(const QString& text) {
        if (m_error.isEmpty()) m_error = text;
        return false;
    }
    bool peek(const char* op) const {
        return m_pos < m_tokens.size() && m_tokens[m_pos].kind == Token::Operator &&
               m_tokens[m_pos].text == op;
    }
    bool accept(const char* op) {
        if (!peek(op)) return false;
        ++m_pos;
        return true;
    }

    bool conditional(qint64& v) {
        if (!binary(0, v)) return false;
        if (!accept("?")) return true;
        qint64 a = 0, b = 0;
        if (!conditional(a)) return false;
        if (!accept(":")) return fail("expected ':' in #if");
        if (!conditional(b)) return false;
        v = v ? a : b;
        return true;
    }

    // Precedence climbing over the binary operators, loosest first.
    bool binary(int level, qint64& v) {
        static const QList<QList<QByteArray>> levels = {{"||"},
                                                        {"&&"},
                                                        {"|"},
                                                        {"^"},
                                                        {"&"},
                                                        {"==", "!="},
                                                        {"<", ">", "<=", ">="},
                                                        {"<<", ">>"},
                                                        {"+", "-"},
                                                        {"*", "/", "%"}};
        if (level == levels.size()) return unary(v);
        if (!binary(level + 1, v)) return false;
        for (;;) {
            if (m_pos >= m_tokens.size() || m_tokens[m_pos].kind != Token::Operator) return true;
            const QByteArray op = m_tokens[m_pos].text;
            if (!levels[level].contains(op)) return true;
            ++m_pos;
            qint64 r = 0;
            if (!binary(level + 1, r)) return false;
            if ((op == "/" || op == "%") && r == 0) return fail("division by zero in #if");
            if (op == "||")
                v = (v || r);
            else if (op == "&&")
                v = (v && r);
            else if (op == "|")
                v |= r;
            else if (op == "^")
                v ^= r;
            else if (op == "&")
                v &= r;
            else if (op == "==")
                v = (v == r);
            else if (op == "!=")
                v = (v != r);
            else if (op == "<")
                v = (v < r);
            else if (op == ">")
                v = (v > r);
            else if (op == "<=")
                v = (v <= r);
            else if (op == ">=")
                v = (v >= r);
            else if (op == "<<")
                v = qint64(quint64(v) << (r & 63));
            else if (op == ">>")
                v = v >> (r & 63);
            else if (op == "+")
                v = qint64(quint64(v) + quint64(r));
            else if (op == "-")
                v = qint64(quint64(v) - quint64(r));
            else if (op == "*")
                v = qint64(quint64(v) * quint64(r));
            else if (op == "/")
                v = (r == -1) ? qint64(0 - quint64(v)) : v / r;
            else if (op == "%")
                v = (r == -1) ? 0 : v % r;
        }
    }

    // Each level of nesting costs a dozen frames (one per precedence level):
    // 100 levels stay far inside the stack even in the sanitizer build, and
    // well above the 63 that C guarantees.
    bool unary(qint64& v) {
        if (++m_depth > 100) return fail("#if expression nested too deeply");
        bool ok = unaryInner(v);
        --m_depth;
        return ok;
    }

    bool unaryInner(qint64& v) {
        if (accept("!")) {
            if (!unary(v)) return false;
            v = !v;
            return true;
        }
        if (accept("~")) {
            if (!unary(v)) return false;
            v = ~v;
            return true;
        }
        if (accept("-")) {
            if (!unary(v)) return false;
            v = qint64(0 - quint64(v));
            return true;
        }
        if (accept("+")) return unary(v);
        if (accept("(")) {
            if (!conditional(v)) return false;
            if (!accept(")")) return fail("missing ')' in #if");
            return true;
        }
        if (m_pos < m_tokens.size() && m_tokens[m_pos].kind == Token::Number) {
            v = m_tokens[m_pos++].value;
            return true;
        }
        if (m_pos >= m_tokens.size()) return fail("#if with no expression");
        return fail("token \"" + QString::fromLatin1(m_tokens[m_pos].text) +
                    "\" is not valid in #if");
    }

    const QList<Token>& m_tokens;
    QString& m_error;
    int m_pos = 0;
    int m_depth = 0;
};

} // namespace

bool evaluateCondition(const QByteArray& expression, const MacroTable& macros, qint64& value,
                       QString& error) {
    QList<Token> raw, tokens;
    if (!tokenize(expression, raw, error)) return false;
    if (!expand(raw, macros, tokens, 0, error)) return false;
    Parser parser(tokens, error);
    return parser.parse(value);
}
