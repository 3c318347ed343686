#include "macros/MacroSystem.h"

#include "base/Caching.h"
#include "base/EnvironmentSettings.h"

#include <QDate>
#include <QTime>
#include <vector>

MacroSystem macroSystem;

namespace {

// A reference whose inner text holds "$" asks for another pass, and such a
// reference can reproduce itself, cycle or grow forever. Passes stop once a
// pass changes nothing, when a text comes back (a cycle), when the text
// outgrows maxLength, or after maxWork characters scanned in all passes; no
// expansion anyone writes comes near these bounds.
const int maxLength = 1 << 20;
const qint64 maxWork = qint64(1) << 24;

} // namespace

MacroSystem::MacroSystem() {
    m_system.insert("Date", QString());
    m_system.insert("Time", QString());
}

QString MacroSystem::systemMacro(const QString& name) const {
    auto it = m_system.constFind(name);
    return it == m_system.constEnd() ? QString() : it.value();
}

void MacroSystem::setSystemMacro(const QString& name, const QString& value) {
    m_system.insert(name, value);
    ++m_revision;
}

MacroMap MacroSystem::storedGlobalMacros() const {
    return environment ? macrosFromStringList(stringListFromString(environment->globalMacrosText()))
                       : MacroMap();
}

void MacroSystem::refreshGlobalCache() const {
    // The store is read once per revision: expansion maps are built on every
    // hot path, and the store changes only through explicit writes.
    const quint64 revision = environment ? environment->revision() : 0;
    if (revision != m_cacheRevision || environment != m_cacheStore) {
        m_globalCache = storedGlobalMacros();
        m_cacheRevision = revision;
        m_cacheStore = environment;
        ++m_revision;
    }
}

quint64 MacroSystem::revision() const {
    refreshGlobalCache();
    return m_revision;
}

MacroMap MacroSystem::globalMacros(bool includeSystem) const {
    if (!Caching::enabled()) {
        const MacroMap global = storedGlobalMacros();
        return includeSystem ? overwriteMacros(m_system, global) : global;
    }
    refreshGlobalCache();
    if (!includeSystem) return m_globalCache;
    return overwriteMacros(m_system, m_globalCache);
}

QString MacroSystem::globalMacro(const QString& name) const {
    return globalMacros(true).value(name);
}

void MacroSystem::setGlobalMacro(const QString& name, const QString& value) {
    if (!environment) return;
    MacroMap macros = macrosFromStringList(stringListFromString(environment->globalMacrosText()));
    if (value.isEmpty())
        macros.remove(name);
    else
        macros.insert(name, value);
    environment->setGlobalMacrosText(stringFromStringList(stringListFromMacros(macros)));
}

namespace {

// Looks a name up in over, then in base.
struct LayeredMacros : MacroLookup {
    LayeredMacros(const MacroMap& over, const MacroMap& base) : over(over), base(base) {}
    const MacroMap& over;
    const MacroMap& base;
    const QString* find(const QString& name) const override {
        auto it = over.constFind(name);
        if (it != over.constEnd()) return &it.value();
        it = base.constFind(name);
        return it == base.constEnd() ? nullptr : &it.value();
    }
};

// The ")" that closes each "(" (-1 when none does) and the count of "$"
// before each index.
void matchParentheses(const QString& text, std::vector<int>& closing, std::vector<int>& dollars) {
    const int n = text.size();
    closing.assign(n, -1);
    dollars.assign(n + 1, 0);
    std::vector<int> open;
    for (int k = 0; k < n; ++k) {
        const QChar d = text.at(k);
        dollars[k + 1] = dollars[k] + (d == QLatin1Char('$') ? 1 : 0);
        if (d == QLatin1Char('(')) {
            open.push_back(k);
        } else if (d == QLatin1Char(')') && !open.empty()) {
            closing[open.back()] = k;
            open.pop_back();
        }
    }
}

// One scan of the text; sets again when some reference held a "$".
QString expandOnce(const MacroLookup& macros, const QString& text, bool& again, bool* dynamicUsed) {
    QString result;
    result.reserve(text.size());
    const int n = text.size();
    // Set up on the first unterminated reference: each later "$(" would
    // otherwise be scanned to the end again, quadratic in a long text.
    std::vector<int> closing; // index of the ")" matching each "(", or -1
    std::vector<int> dollars; // number of "$" before each index
    int i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('$') || i + 1 >= n || text.at(i + 1) != QLatin1Char('(')) {
            // Copy the plain run up to the next "$" in one go.
            int end = text.indexOf(QLatin1Char('$'), i + 1);
            if (end < 0) end = n;
            result += QStringView(text).mid(i, end - i);
            i = end;
            continue;
        }
        const int innerStart = i + 2;
        int j = innerStart;
        bool hasDollar = false;
        if (closing.empty()) {
            int depth = 1;
            for (; j < n; ++j) {
                const QChar d = text.at(j);
                if (d == QLatin1Char('('))
                    ++depth;
                else if (d == QLatin1Char(')') && --depth == 0)
                    break;
                else if (d == QLatin1Char('$'))
                    hasDollar = true;
            }
            if (j >= n) matchParentheses(text, closing, dollars);
        } else {
            j = closing[i + 1] < 0 ? n : closing[i + 1];
            hasDollar = j < n && dollars[j] > dollars[innerStart];
        }
        if (j >= n) {
            // Unterminated: drop the "$" and go on from the "(" as plain text.
            ++i;
            continue;
        }
        if (hasDollar) again = true;
        // Views into text, not copies: every reference of every expansion passes here.
        const QStringView inner = QStringView(text).mid(innerStart, j - innerStart);
        const int colon = int(inner.indexOf(QLatin1Char(':')));
        const QString name =
            QString::fromRawData(text.constData() + innerStart, colon < 0 ? inner.size() : colon);
        if (const QString* value = macros.find(name)) {
            QString dynamic;
            if (MacroSystem::dynamicMacro(name, dynamic)) {
                result += dynamic;
                if (dynamicUsed) *dynamicUsed = true;
            } else
                result += *value;
        } else if (colon >= 0) {
            result += inner.mid(colon + 1);
        } else {
            result += QStringView(text).mid(i, j + 1 - i);
        }
        i = j + 1;
    }
    return result;
}

} // namespace

QString MacroSystem::replaceMacros(const MacroMap& macros, const QString& text) const {
    static const MacroMap none;
    return replaceMacros(none, macros, text);
}

QString MacroSystem::replaceMacros(const MacroMap& over, const MacroMap& base, const QString& text,
                                   bool* dynamic) const {
    return replaceMacros(LayeredMacros(over, base), text, dynamic);
}

QString MacroSystem::replaceMacros(const MacroLookup& macros, const QString& text,
                                   bool* dynamic) const {
    if (text.isEmpty()) return QString();
    // Most texts hold no reference at all.
    if (!text.contains(QLatin1String("$("))) return text;
    QString current = text;
    // Cycles are found by comparing with one earlier text, kept at every
    // power-of-two pass: within about twice the passes the cycle takes.
    QString kept = text;
    qint64 work = 0;
    for (qint64 pass = 1;; ++pass) {
        bool again = false;
        QString next = expandOnce(macros, current, again, dynamic);
        work += next.size();
        if (!again || next == current || next == kept || next.size() > maxLength || work > maxWork)
            return next;
        if ((pass & (pass - 1)) == 0) kept = next;
        current = std::move(next);
    }
}

MacroMap MacroSystem::overwriteMacros(const MacroMap& base, const MacroMap& over) const {
    MacroMap result = base;
    for (auto it = over.constBegin(); it != over.constEnd(); ++it)
        result.insert(it.key(), it.value());
    return result;
}

QStringList MacroSystem::stringListFromMacros(const MacroMap& macros) const {
    QStringList list;
    list.reserve(macros.size());
    for (auto it = macros.constBegin(); it != macros.constEnd(); ++it)
        list.append(it.key().trimmed() + QLatin1Char('=') + it.value());
    return list;
}

MacroMap MacroSystem::macrosFromStringList(const QStringList& list) const {
    MacroMap macros;
    for (const QString& item : list) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq < 0)
            macros.insert(item, QString(""));
        else
            macros.insert(item.left(eq), item.mid(eq + 1));
    }
    return macros;
}

QString MacroSystem::escape(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char(';') || c == QLatin1Char('\\')) result += QLatin1Char('\\');
        result += c;
    }
    return result;
}

QString MacroSystem::stringFromStringList(const QStringList& list) {
    QString result;
    for (const QString& item : list) {
        if (!result.isEmpty()) result += QLatin1Char(';');
        result += escape(item);
    }
    return result;
}

QStringList MacroSystem::stringListFromString(const QString& text) {
    QStringList list;
    QString item;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < n) {
            item += text.at(++i);
        } else if (c == QLatin1Char(';')) {
            if (!item.isEmpty()) list.append(item);
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.isEmpty()) list.append(item);
    return list;
}

bool MacroSystem::dynamicMacro(const QString& name, QString& value) {
    if (name == QLatin1String("Date")) {
        value = QDate::currentDate().toString(QStringLiteral("d MMMM yyyy"));
        return true;
    }
    if (name == QLatin1String("Time")) {
        value = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
        return true;
    }
    return false;
}
