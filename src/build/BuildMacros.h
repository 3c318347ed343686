#pragma once

// The per-element macro maps of a build system and the names derived from
// them, cached per (element, configuration) while neither the tree nor the
// macro definitions change. Date and Time are produced at expansion time, so
// a cached map stays correct.

#include <QHash>
#include <QPair>
#include <QString>

#include "base/Caching.h"
#include "base/Path.h"
#include "macros/MacroSystem.h"

class BuildSystem;
class ProjectElement;

class BuildMacros {
public:
    // Output names, kept with the macro maps they came from.
    struct OutputKey {
        ProjectElement* element;
        int action;
        bool absolute;
        QString configuration;
        bool operator==(const OutputKey& o) const {
            return element == o.element && action == o.action && absolute == o.absolute &&
                   configuration == o.configuration;
        }
        friend size_t qHash(const OutputKey& k, size_t seed = 0) {
            return qHashMulti(Path::quickHash(k.configuration, seed), k.element, k.action,
                              k.absolute);
        }
    };

    // The owner's virtual macros and addMacros build the maps.
    explicit BuildMacros(BuildSystem& owner) : m_owner(owner) {}

    // The full map, built afresh.
    MacroMap fresh(ProjectElement* element, const QString& configuration);
    MacroMap cached(ProjectElement* element, const QString& configuration);
    QString replace(ProjectElement* element, const QString& configuration, const QString& text,
                    bool* dynamic);

    const QString* cachedOutput(const OutputKey& key);
    void cacheOutput(const OutputKey& key, const QString& name) {
        if (Caching::enabled()) m_outputs.insert(key, name);
    }
    void clear();

private:
    // An element's map as base overwritten by over. For files over holds only
    // what addMacros adds, and the file's own entries are worked out when an
    // expansion asks for them: most files only ever expand their output name.
    struct Layered {
        MacroMap base;
        MacroMap over;
        bool isFile = false;
        QString path;     // InputPath
        QString relative; // RelInputPath
        QString intDir, outDir;
        int dirsSet = 0; // 1: IntDir known, 2: OutDir too
    };
    class FileLookup;
    // Directories expanded without any file entry, by their unexpanded texts.
    using Dirs = QHash<QPair<QString, QString>, QPair<QString, QString>>;
    struct Common {
        MacroMap map;
        Dirs dirs;
    };
    // What common() depends on besides the global macros.
    struct CommonKey {
        ProjectElement* project;
        ProjectElement* solution;
        QString platform;
        QString configuration;
        QString ownMacros;
        bool operator==(const CommonKey& o) const {
            return project == o.project && solution == o.solution && platform == o.platform &&
                   configuration == o.configuration && ownMacros == o.ownMacros;
        }
        friend size_t qHash(const CommonKey& k, size_t seed = 0) {
            seed = Path::quickHash(k.configuration, seed);
            seed = Path::quickHash(k.platform, seed);
            return qHashMulti(Path::quickHash(k.ownMacros, seed), k.project, k.solution);
        }
    };

    // What cached() and replace() use with the caches off.
    MacroMap uncached(ProjectElement* element, const QString& configuration);
    void checkRevisions();
    const Layered& layered(ProjectElement* element, const QString& configuration);
    // Global, system and own macros with the project and solution entries.
    MacroMap common(ProjectElement* element, const QString& configuration,
                    const QString& ownMacros);
    // Input entries (files), then IntDir and OutDir expanded over base.
    MacroMap own(ProjectElement* element, const QString& configuration, const MacroMap& base);
    // IntDir and OutDir of a file, shared by the files whose directories use no file entry.
    void fileDirs(ProjectElement* element, const QString& configuration, Common& common,
                  Layered& layered);
    // A file's own entries as a map, IntDir and OutDir included.
    static MacroMap fileEntries(const Layered& layered);

    struct MapKey {
        ProjectElement* element;
        QString configuration;
        bool operator==(const MapKey& o) const {
            return element == o.element && configuration == o.configuration;
        }
        friend size_t qHash(const MapKey& k, size_t seed = 0) {
            return qHashMulti(Path::quickHash(k.configuration, seed), k.element);
        }
    };

    BuildSystem& m_owner;
    QHash<MapKey, Layered> m_maps;
    QHash<CommonKey, Common> m_common;
    QHash<OutputKey, QString> m_outputs;
    quint64 m_treeRevision = ~quint64(0);
    quint64 m_macroRevision = ~quint64(0); // macroSystem.revision() the caches were built on
};
