#include "common/Preprocessor.h"

#include "common/FileIO.h"

#include "base/OsFiles.h"

#include <QDir>

namespace {

const int kMaxIncludeDepth = 200;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}
bool isIdentStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isIdentChar(char c) {
    return isIdentStart(c) || (c >= '0' && c <= '9');
}

// Removes comments from one physical line; a block comment may carry over to
// the next line through inBlock. Quoted text is copied untouched.
QByteArray stripComments(const char* p, const char* end, bool& inBlock) {
    QByteArray out;
    out.reserve(end - p);
    while (p < end) {
        if (inBlock) {
            if (p + 1 < end && p[0] == '*' && p[1] == '/') {
                inBlock = false;
                out += ' ';
                p += 2;
            } else {
                ++p;
            }
            continue;
        }
        char c = *p;
        if (c == '"' || c == '\'') {
            const char* start = p++;
            while (p < end && *p != c)
                p += (*p == '\\' && p + 1 < end) ? 2 : 1;
            if (p < end) ++p;
            out.append(start, p - start);
        } else if (c == '/' && p + 1 < end && p[1] == '/') {
            break;
        } else if (c == '/' && p + 1 < end && p[1] == '*') {
            inBlock = true;
            p += 2;
        } else {
            out += c;
            ++p;
        }
    }
    return out;
}

QByteArray firstIdentifier(const QByteArray& text, int* end = nullptr) {
    int i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    int start = i;
    if (i < text.size() && isIdentStart(text[i]))
        while (i < text.size() && isIdentChar(text[i]))
            ++i;
    if (end) *end = i;
    return text.mid(start, i - start);
}

} // namespace

Preprocessor::Preprocessor(Diagnostics& diagnostics, const QStringList& userDirs,
                           const QStringList& systemDirs)
    : m_diagnostics(diagnostics), m_userDirs(userDirs), m_systemDirs(systemDirs),
      m_workingDir(OsFiles::currentDir()) {}

void Preprocessor::define(const QByteArray& name, const QByteArray& value) {
    m_macros.insert(name, value);
}

void Preprocessor::undefine(const QByteArray& name) {
    m_macros.remove(name);
}

QString Preprocessor::identity(const QString& path) const {
    return path.startsWith('/') ? QDir::cleanPath(path)
                                : QDir::cleanPath(m_workingDir + '/' + path);
}

bool Preprocessor::run(const QString& source) {
    QByteArray contents;
    QString error;
    if (!ToolFiles::readFile(source, contents, error)) {
        m_diagnostics.error("cannot open source file " + error);
        return false;
    }
    m_files.append(source);
    m_seen.insert(identity(source));
    return processFile(source, contents, 0) && !m_diagnostics.failed();
}

bool Preprocessor::processFile(const QString& path, const QByteArray& contents, int depth) {
    QList<Condition> conditions;
    bool inBlock = false;
    QByteArray logical;
    int logicalStart = 0;
    int lineNo = 0;
    const char* p = contents.constData();
    const char* end = p + contents.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = nl ? nl : end;
        ++lineNo;
        QByteArray line = stripComments(p, lineEnd, inBlock);
        p = nl ? nl + 1 : end;

        while (!line.isEmpty() && isSpace(line.back()))
            line.chop(1);
        if (logical.isEmpty()) logicalStart = lineNo;
        if (line.endsWith('\\')) {
            line.chop(1);
            logical += line;
            if (p < end) continue;
        } else {
            logical += line;
        }

        int i = 0;
        while (i < logical.size() && isSpace(logical[i]))
            ++i;
        if (i < logical.size() && logical[i] == '#') {
            if (!directive(path, logicalStart, logical.mid(i + 1), conditions, depth)) return false;
        } else if (conditions.isEmpty() || conditions.back().active) {
            m_text += logical;
            m_text += '\n';
        }
        logical.clear();
    }
    if (!conditions.isEmpty()) {
        m_diagnostics.sourceError(path, conditions.back().line,
                                  "unterminated conditional directive");
    }
    return true;
}

bool Preprocessor::directive(const QString& path, int line, const QByteArray& text,
                             QList<Condition>& conditions, int depth) {
    int afterName = 0;
    const QByteArray name = firstIdentifier(text, &afterName);
    const QByteArray rest = text.mid(afterName).trimmed();
    const bool active = conditions.isEmpty() || conditions.back().active;

    auto evaluate = [&](const QByteArray& expression) {
        qint64 value = 0;
        QString error;
        if (!evaluateCondition(expression, m_macros, value, error)) {
            m_diagnostics.sourceError(path, line, error);
            return false;
        }
        return value != 0;
    };

    if (name == "if" || name == "ifdef" || name == "ifndef") {
        bool value = false;
        if (active) {
            if (name == "if") {
                value = evaluate(rest);
            } else {
                QByteArray macro = firstIdentifier(rest);
                if (macro.isEmpty())
                    m_diagnostics.sourceError(path, line,
                                              "no macro name given in #" +
                                                  QString::fromLatin1(name) + " directive");
                value = m_macros.contains(macro) == (name == "ifdef");
            }
        }
        conditions.append({active, value, active && value, false, line});
        return true;
    }
    if (name == "elif" || name == "else") {
        if (conditions.isEmpty()) {
            m_diagnostics.sourceError(path, line, "#" + QString::fromLatin1(name) + " without #if");
            return true;
        }
        Condition& c = conditions.back();
        if (c.seenElse) {
            m_diagnostics.sourceError(path, line, "#" + QString::fromLatin1(name) + " after #else");
            return true;
        }
        if (name == "else") {
            c.seenElse = true;
            c.active = c.parentActive && !c.taken;
            c.taken = true;
        } else {
            c.active = c.parentActive && !c.taken && evaluate(rest);
            c.taken = c.taken || c.active;
        }
        return true;
    }
    if (name == "endif") {
        if (conditions.isEmpty())
            m_diagnostics.sourceError(path, line, "#endif without #if");
        else
            conditions.removeLast();
        return true;
    }
    if (!active) return true;

    if (name == "include") return include(path, line, rest, depth);
    if (name == "define") {
        int nameEnd = 0;
        QByteArray macro = firstIdentifier(rest, &nameEnd);
        if (macro.isEmpty()) {
            m_diagnostics.sourceError(path, line, "macro names must be identifiers");
            return true;
        }
        if (nameEnd < rest.size() && rest[nameEnd] == '(')
            m_macros.insert(macro, QByteArray(1, kFunctionLikeMacro) + rest.mid(nameEnd));
        else
            m_macros.insert(macro, rest.mid(nameEnd).trimmed());
        return true;
    }
    if (name == "undef") {
        m_macros.remove(firstIdentifier(rest));
        return true;
    }
    if (name == "error") {
        m_diagnostics.sourceError(path, line, "#error " + QString::fromLatin1(rest));
        return true;
    }
    if (name == "warning") {
        m_diagnostics.sourceWarning(path, line, "#warning " + QString::fromLatin1(rest));
        return true;
    }
    // #pragma, #line and anything else do not concern the build.
    return true;
}

bool Preprocessor::include(const QString& path, int line, const QByteArray& operand, int depth) {
    QByteArray target = operand;
    // "#include MACRO" names the file through an object-like macro.
    for (int guard = 0; guard < 32 && !target.isEmpty() && isIdentStart(target[0]); ++guard) {
        auto it = m_macros.constFind(firstIdentifier(target));
        if (it == m_macros.constEnd() || it.value().startsWith(kFunctionLikeMacro)) break;
        target = it.value().trimmed();
    }
    bool angled = target.startsWith('<');
    int close = -1;
    if (target.startsWith('"'))
        close = int(target.indexOf('"', 1));
    else if (angled)
        close = int(target.indexOf('>', 1));
    if (close <= 1) {
        m_diagnostics.sourceError(path, line, "#include expects \"FILENAME\" or <FILENAME>");
        return false;
    }
    const QString name = QString::fromLatin1(target.mid(1, close - 1));
    const QString found = resolve(name, angled, path);
    if (found.isEmpty()) {
        m_diagnostics.sourceError(path, line,
                                  "cannot find include file " +
                                      (angled ? '<' + name + '>' : '"' + name + '"'));
        return false;
    }
    const QString key = identity(found);
    if (m_seen.contains(key)) return true;
    m_seen.insert(key);
    m_files.append(found);

    if (depth + 1 > kMaxIncludeDepth) {
        m_diagnostics.sourceError(path, line, "#include nested too deeply");
        return false;
    }
    QByteArray contents;
    QString error;
    if (!ToolFiles::readFile(found, contents, error)) {
        m_diagnostics.sourceError(path, line, "cannot read include file " + error);
        return false;
    }
    return processFile(found, contents, depth + 1);
}

QString Preprocessor::resolve(const QString& name, bool angled, const QString& includer) const {
    if (name.startsWith('/'))
        return ToolFiles::isRegularFile(name) ? QDir::cleanPath(name) : QString();
    if (!angled) {
        QString candidate = ToolFiles::joinPath(ToolFiles::directoryOf(includer), name);
        if (ToolFiles::isRegularFile(candidate)) return candidate;
        for (const QString& dir : m_userDirs) {
            candidate = ToolFiles::joinPath(dir, name);
            if (ToolFiles::isRegularFile(candidate)) return candidate;
        }
    }
    for (const QString& dir : m_systemDirs) {
        QString candidate = ToolFiles::joinPath(dir, name);
        if (ToolFiles::isRegularFile(candidate)) return candidate;
    }
    return QString();
}
