#include "project/ProjectSystem.h"

#include "base/Builder.h"
#include "base/Caching.h"
#include "base/OsFiles.h"
#include "base/Path.h"
#include "base/QTx.h"

// Configurations, resolution of settings, and the change records that tell
// whether a setting changed since an output was made.

static const QString kFileName = QStringLiteral("file_name");
static const QString kHidden = QStringLiteral("hidden");
static const QString kInheritedConfigurations = QStringLiteral("inherited_configurations");

size_t qHash(const ProjectSystem::CacheKey& key, size_t seed) {
    return qHashMulti(Path::quickHash(key.configuration, seed), key.element, key.cls);
}

// ---- settings ----

const QStringList& ProjectSystem::inheritedListFor(ProjectElement* element,
                                                   const QString& configuration) const {
    static const QStringList none;
    for (ProjectElement* s = solutionContaining(element); s; s = solutionContaining(s->parent())) {
        auto it = s->inheritedConfigurations().constFind(configuration);
        if (it != s->inheritedConfigurations().constEnd() && !it->isEmpty()) return *it;
    }
    return none;
}

// The value found nearest to the element, or for lists everything found on the
// way up; found stays false when nothing is stored anywhere.
QString ProjectSystem::resolve(ProjectElement* element, const PropertyClass* cls,
                               const QString& configuration, bool& found) const {
    const QString& name = cls->saveName();
    const bool list = cls->type() == PropertyClass::StringList;
    const bool common = configuration == Common;
    QString value;
    found = false;
    for (ProjectElement* x = element; x; x = x->parent()) {
        if (x->numConfigurationElements() == 0) continue;
        if (x->getProperty(configuration, name, value)) {
            found = true;
            if (!list) return value;
        }
        if (common) continue;
        for (const QString& inherited : inheritedListFor(x, configuration)) {
            if (x->getProperty(inherited, name, value)) {
                found = true;
                if (!list) return value;
            }
        }
        if (x->getProperty(Common, name, value)) {
            found = true;
            if (!list) return value;
        }
    }
    return value;
}

QString ProjectSystem::settingFor(ProjectElement* element, const PropertyClass* cls,
                                  const QString& configuration) {
    if (!cls) return QString();
    if (!element) return cls->defaultValue();
    if (m_cacheRevision != ProjectElement::treeRevision()) {
        m_settingCache.clear();
        m_cacheRevision = ProjectElement::treeRevision();
    }
    // Resolution skips elements that store nothing, so most files resolve
    // exactly as their folder or project does: share that cache entry.
    ProjectElement* holder = element;
    while (holder && holder->numConfigurationElements() == 0)
        holder = holder->parent();
    if (!holder) return cls->defaultValue();
    if (!Caching::enabled()) {
        bool found = false;
        const QString value = resolve(holder, cls, configuration, found);
        return found ? value : cls->defaultValue();
    }
    CacheKey key{holder, cls, configuration};
    auto it = m_settingCache.constFind(key);
    if (it == m_settingCache.constEnd()) {
        CachedSetting setting;
        setting.value = resolve(holder, cls, configuration, setting.found);
        it = m_settingCache.insert(key, setting);
    }
    // The default is read live: it may be changed after values were cached.
    return it->found ? it->value : cls->defaultValue();
}

QString ProjectSystem::specificSettingFor(ProjectElement* element, const PropertyClass* cls,
                                          const QString& configuration) const {
    ProjectElement* c = element && cls ? element->getConfigurationElement(configuration) : nullptr;
    return c ? c->attribute(cls->saveName()) : QString();
}

QString ProjectSystem::configurationUsedFor(ProjectElement* element, const PropertyClass* cls,
                                            const QString& configuration) const {
    if (!element || !cls || element->numConfigurationElements() == 0) return QString();
    auto stores = [&](const QString& c) {
        ProjectElement* ce = element->getConfigurationElement(c);
        return ce && ce->hasAttribute(cls->saveName());
    };
    if (stores(configuration)) return configuration;
    if (configuration != Common)
        for (const QString& inherited : getInheritedConfigurations(element, configuration))
            if (stores(inherited)) return inherited;
    if (stores(Common)) return Common;
    return QString();
}

QStringList ProjectSystem::getInheritedConfigurations(ProjectElement* element,
                                                      const QString& configuration) const {
    ProjectElement* s = solutionContaining(element);
    return s ? s->inheritedConfigurations().value(configuration) : QStringList();
}

void ProjectSystem::setInheritedConfigurations(ProjectElement* element,
                                               const QString& configuration,
                                               const QStringList& list) {
    ProjectElement* s = solutionContaining(element);
    if (!s) return;
    ProjectElement* c = findConfiguration(s, configuration);
    if (!c) c = createConfiguration(s, configuration);
    c->setAttribute(kInheritedConfigurations, list.join(QLatin1Char(';')));
    updateInheritenceMap(s);
}

void ProjectSystem::updateInheritenceMap(ProjectElement* solution) {
    if (!solution) return;
    QMap<QString, QStringList>& map = solution->inheritedConfigurations();
    map.clear();
    const auto& configurations = solution->configurationElements();
    for (auto it = configurations.constBegin(); it != configurations.constEnd(); ++it)
        if (it.value()->hasAttribute(kInheritedConfigurations))
            map.insert(it.key(), it.value()
                                     ->attribute(kInheritedConfigurations)
                                     .split(QLatin1Char(';'), Qt::SkipEmptyParts));
    ProjectElement::touchTree();
}

QStringList ProjectSystem::configurations(ProjectElement* element, bool includeCommon,
                                          bool includePrivate) const {
    QStringList result;
    if (includeCommon) result.append(Common);
    ProjectElement* s = element ? solutionContaining(element) : m_solution;
    for (; s; s = solutionContaining(s->parent())) {
        const auto& configurations = s->configurationElements();
        for (auto it = configurations.constBegin(); it != configurations.constEnd(); ++it) {
            if (result.contains(it.key())) continue;
            if (it.value()->hasAttribute(kHidden)) {
                if (includePrivate) result.append(it.key());
            } else if (it.key() != Common) {
                result.append(it.key());
            }
        }
    }
    result.sort();
    if (result.isEmpty()) result.append(Common);
    return result;
}

static void appendValue(PropertyValueList* list, PropertyValue* value) {
    if (list->find(value->propertyClass()))
        delete value;
    else
        list->append(value);
}

PropertyValueList* ProjectSystem::settingsFor(ProjectElement* element,
                                              const QString& configuration) {
    PropertyValueList* list = applicableSettingsFor(element, configuration);
    if (!list) list = new PropertyValueList(true);
    if (!element) return list;
    auto fixed = [list](PropertyClass* cls, const QString& value) {
        appendValue(list, new SimplePropertyValue(cls, value));
    };
    auto editable = [list, element](PropertyClass* cls, const QString& configuration) {
        appendValue(list, new ProjectPropertyValue(cls, configuration, element));
    };
    auto fileDates = [&](const QString& path) {
        const OsFiles::Status st = OsFiles::status(path);
        auto local = [&st](qint64 seconds) {
            return st.exists ? QDateTime::fromSecsSinceEpoch(seconds) : QDateTime();
        };
        fixed(m_dateCreated, QTx::friendlyDate(local(st.createdSeconds)));
        fixed(m_dateModified, QTx::friendlyDate(local(st.modifiedSeconds)));
    };
    switch (element->kind()) {
    case ProjectElement::Solution: {
        const QString path = element->getPath().osPathQString();
        fixed(m_name, element->name());
        fixed(m_solutionFileName, path);
        fileDates(path);
        editable(m_macros, configuration);
        break;
    }
    case ProjectElement::Project:
        fixed(m_name, element->name());
        fixed(m_platform, platform(element));
        editable(m_projectType, configuration);
        editable(m_projectDirectory, configuration);
        fixed(m_fullProjectDirectory, projectDirectoryPath(element));
        editable(m_macros, configuration);
        break;
    case ProjectElement::Folder:
        fixed(m_name, element->name());
        editable(m_filter, Common);
        break;
    case ProjectElement::File: {
        const QString path = element->getPath().osPathQString();
        fixed(m_name, OsFiles::fileNameOf(path));
        fixed(m_fullPath, path);
        fixed(m_fileName, element->attribute(kFileName));
        fixed(m_relativePath, element->getRelativePath());
        fileDates(path);
        break;
    }
    case ProjectElement::Configuration:
        break;
    }
    return list;
}

bool ProjectSystem::upToDate1(ProjectElement* element, const PropertyClass* cls,
                              const QString& configuration, const QDateTime& time) {
    if (!element || !cls || ProjectElement::liveChangeRecords() == 0) return true;
    const QString& name = cls->saveName();
    const bool list = cls->type() == PropertyClass::StringList;
    QStringList tests{configuration};
    if (configuration != Common) tests += getInheritedConfigurations(element, configuration);
    tests.append(Common);
    for (ProjectElement* x = element; x; x = x->parent()) {
        if (x->numConfigurationElements() == 0) continue;
        for (const QString& c : tests) {
            bool newer = false;
            if (!x->propertyHasChanged(c, name, time, newer)) continue;
            if (!list || newer) return !newer;
        }
    }
    return true;
}

bool ProjectSystem::upToDate(ProjectElement* element, const PropertyClass* cls,
                             const QString& configuration, const QDateTime& time, Builder* builder,
                             bool quiet) {
    bool result = upToDate1(element, cls, configuration, time);
    if (!result && !quiet && builder && cls)
        builder->message(cls->shortDescription() + QStringLiteral(" property has changed."));
    return result;
}
