#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// Name -> value, ordered by name; names are case-sensitive.
typedef QMap<QString, QString> MacroMap;

// Where an expansion looks names up; null when the name is undefined.
class MacroLookup {
public:
    virtual const QString* find(const QString& name) const = 0;

protected:
    ~MacroLookup() = default;
};

// Expansion of "$(name)" and "$(name:default)" references, the system macros,
// and the user's global macros kept in the environment settings store.
class MacroSystem {
public:
    MacroSystem();

    MacroMap systemMacros() const { return m_system; }
    // Null when the name is not a system macro.
    QString systemMacro(const QString& name) const;
    void setSystemMacro(const QString& name, const QString& value);

    // The user's global macros, over the system macros when includeSystem is set.
    MacroMap globalMacros(bool includeSystem) const;
    // Changes whenever globalMacros(true) may give another map, so callers can
    // keep what they built from it until then.
    quint64 revision() const;
    // Value among the global and system macros; empty when absent.
    QString globalMacro(const QString& name) const;
    // Adds or replaces the macro in the persistent store; an empty value removes it.
    void setGlobalMacro(const QString& name, const QString& value);

    QString replaceMacros(const MacroMap& macros, const QString& text) const;
    // The same as expanding with base overwritten by over, without building
    // that map: the hot path expands file settings over a shared project map.
    // dynamic, when given, is set if the result used Date or Time.
    QString replaceMacros(const MacroMap& over, const MacroMap& base, const QString& text,
                          bool* dynamic = nullptr) const;
    // Names answered by the caller, which can work values out only when asked.
    QString replaceMacros(const MacroLookup& macros, const QString& text,
                          bool* dynamic = nullptr) const;
    // A copy of base with every entry of over set (over wins).
    MacroMap overwriteMacros(const MacroMap& base, const MacroMap& over) const;
    // "name=value" items in name order (names trimmed).
    QStringList stringListFromMacros(const MacroMap& macros) const;
    // Splits each item at its first "="; later items replace earlier ones.
    MacroMap macrosFromStringList(const QStringList& list) const;

    // "\" before every ";" and "\".
    static QString escape(const QString& text);
    // Stored form of a list: escaped items joined by ";".
    static QString stringFromStringList(const QStringList& list);
    // Inverse of stringFromStringList; never yields empty items.
    static QStringList stringListFromString(const QString& text);
    // "Date" and "Time" are computed when expanded; false for other names.
    static bool dynamicMacro(const QString& name, QString& value);

private:
    MacroMap m_system;
    // Global macros parsed from the store, keyed by the store's revision so a
    // write (here or elsewhere) is seen on the next read.
    // The global macros as the settings store holds them now.
    MacroMap storedGlobalMacros() const;
    void refreshGlobalCache() const;
    mutable MacroMap m_globalCache;
    mutable const void* m_cacheStore = nullptr;
    mutable quint64 m_cacheRevision = ~quint64(0);
    mutable quint64 m_revision = 0;
};

extern MacroSystem macroSystem;
