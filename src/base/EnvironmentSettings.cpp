#include "base/EnvironmentSettings.h"

#include "base/Branding.h"
#include "base/OsFiles.h"

#include <QSettings>
#include <atomic>

EnvironmentSettings* environment = nullptr;

namespace {

const char globalMacrosKey[] = "Environment/Macros/Global Macros";
const char toolChainRootKey[] = "Environment/Build/Tool Chain Root Directory";

// Shared by all stores so that a revision never repeats, even for a new store.
std::atomic<quint64> revisionCounter{0};

} // namespace

QString EnvironmentSettings::defaultFileName() {
    QString base = OsFiles::environmentPath("XDG_CONFIG_HOME");
    if (base.isEmpty()) base = OsFiles::homeDir() + "/.config";
    return base + "/" + Get_OWNER() + "/" + Get_STUDIO_BRANDING() + ".ini";
}

EnvironmentSettings::EnvironmentSettings() : EnvironmentSettings(defaultFileName()) {}

EnvironmentSettings::EnvironmentSettings(const QString& iniFile)
    : m_settings(new QSettings(OsFiles::qtName(iniFile), QSettings::IniFormat)),
      m_fileName(iniFile), m_revision(++revisionCounter) {}

EnvironmentSettings::~EnvironmentSettings() = default;

void EnvironmentSettings::createEntries(const QString& studioDir) {
    m_studioDir = studioDir;
}

QString EnvironmentSettings::fileName() const {
    return m_fileName;
}

QString EnvironmentSettings::value(const QString& name, const QString& defaultValue) const {
    return m_settings->value(name, defaultValue).toString();
}

void EnvironmentSettings::setValue(const QString& name, const QString& value) {
    // QSettings does not create the directory of a new INI file; once it
    // exists, the name Qt is given may differ (see OsFiles::qtName).
    const qsizetype slash = m_fileName.lastIndexOf(QLatin1Char('/'));
    if (slash > 0 && !OsFiles::isDir(m_fileName.left(slash))) {
        OsFiles::makePath(m_fileName.left(slash));
        m_settings.reset(new QSettings(OsFiles::qtName(m_fileName), QSettings::IniFormat));
    }
    m_settings->setValue(name, value);
    m_settings->sync();
    // A full disk or a read-only directory leaves the file as it was; the
    // value still holds for this run.
    if (m_settings->status() == QSettings::AccessError)
        qWarning("cannot write the settings file %s: the change holds for this run only",
                 OsFiles::osName(m_fileName).constData());
    m_revision = ++revisionCounter;
    if (name == globalMacrosKey) m_macrosLoaded = false;
}

QString EnvironmentSettings::globalMacrosText() const {
    if (!m_macrosLoaded) {
        m_macros = value(globalMacrosKey);
        m_macrosLoaded = true;
    }
    return m_macros;
}

void EnvironmentSettings::setGlobalMacrosText(const QString& text) {
    setValue(globalMacrosKey, text);
}

QString EnvironmentSettings::toolChainRootDirectory() const {
    // Asked for every toolchain command.
    if (!m_rootLoaded) {
        m_root = value(toolChainRootKey, "$(StudioDir)");
        m_rootLoaded = true;
    }
    return m_root;
}

void EnvironmentSettings::setToolChainRootDirectory(const QString& directory) {
    setValue(toolChainRootKey, directory);
}
