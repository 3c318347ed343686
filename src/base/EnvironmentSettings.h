#pragma once

#include <QString>
#include <memory>

class QSettings;

// The per-user settings store shared with the interactive environment: an INI
// file under $XDG_CONFIG_HOME (default ~/.config). Values are read once and
// cached; writes go to the store at once.
class EnvironmentSettings {
public:
    // The store of the current user (path from the environment variables).
    EnvironmentSettings();
    // A store kept in the given INI file.
    explicit EnvironmentSettings(const QString& iniFile);
    ~EnvironmentSettings();

    // Defines the entries and defaults that depend on the installation.
    void createEntries(const QString& studioDir);

    // "Environment/Macros/Global Macros": the stored text of the list of
    // "name=value" items (MacroSystem converts it to and from a list).
    QString globalMacrosText() const;
    void setGlobalMacrosText(const QString& text);

    // "Environment/Build/Tool Chain Root Directory"; "$(StudioDir)" by default.
    QString toolChainRootDirectory() const;
    void setToolChainRootDirectory(const QString& directory);

    // Raw access by setting name ("Environment/...").
    QString value(const QString& name, const QString& defaultValue = QString()) const;
    void setValue(const QString& name, const QString& value);

    // Changes on every write and differs between stores, so readers can cache
    // derived values keyed by it.
    quint64 revision() const { return m_revision; }
    QString fileName() const;
    QString studioDir() const { return m_studioDir; }

    // $XDG_CONFIG_HOME/<owner>/<branding>.ini, with ~/.config when unset.
    static QString defaultFileName();

private:
    std::unique_ptr<QSettings> m_settings;
    QString m_fileName;
    QString m_studioDir;
    quint64 m_revision = 0;
    mutable bool m_macrosLoaded = false;
    mutable QString m_macros;
    mutable bool m_rootLoaded = false;
    mutable QString m_root;
};

// Created by main; null until then (no global macros are seen without it).
extern EnvironmentSettings* environment;
