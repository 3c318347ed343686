#pragma once

// The solution model: loading and saving solution files, path questions,
// resolution of settings per configuration, dependencies and build order.

#include "project/ProjectElement.h"
#include "project/Property.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Builder;
class QDomDocument;
class QDomElement;
class QXmlStreamReader;
class ProjectTemplates;

// Thrown for every failure to load a solution file. The message starts with a
// blank and follows the file name directly (" does not exist"); for XML
// syntax errors hasPosition is set and the message is the parser's.
struct SolutionLoadError {
    QString fileName;
    bool hasPosition = false;
    QString message;
    int line = 0;
    int column = 0;

    SolutionLoadError(const QString& file, const QString& msg) : fileName(file), message(msg) {}
    SolutionLoadError(const QString& file, const QString& msg, int l, int c)
        : fileName(file), hasPosition(true), message(msg), line(l), column(c) {}
    // One line as a user would want to read it.
    QString text() const;
};

// Thrown by save() when a solution's file cannot be written.
struct SolutionSaveError {
    ProjectElement* solution;
    explicit SolutionSaveError(ProjectElement* s) : solution(s) {}
};

typedef QMap<QString, ProjectElement*> ProjectMap;

class ProjectSystem {
public:
    static const QString Common; // "Common"

    ProjectSystem(const QStringList& fileTypes, const QStringList& projectTypes);
    virtual ~ProjectSystem();

    // ---- virtual hooks, in slot order ----
    // Closes any open solution and opens a new, empty one named name whose file
    // is dir/name.hzp (written by save()).
    virtual ProjectElement* createSolution(const QString& name, const QString& dir);
    // A new project under parent with the given type in "Common".
    virtual ProjectElement* createProject(ProjectElement* parent, const QString& name,
                                          const QString& projectType, bool flag = false);
    // The settings that apply to an element; the caller owns the list.
    virtual PropertyValueList* applicableSettingsFor(ProjectElement* element,
                                                     const QString& configuration) = 0;
    // Where new files of an element go by default: its project directory.
    virtual QString defaultFileLocation(ProjectElement* element);
    virtual QString getFileType(ProjectElement* element) = 0;
    // Extensions with their leading dot.
    virtual QString objectFileExtension() = 0;
    virtual QString libraryFileExtension() = 0;
    virtual QString executableFileExtension() = 0;
    // Called with every element tree just loaded from a file.
    virtual void munge(ProjectElement* solution);

    // ---- the project-model property classes ----
    PropertyClass* dateCreatedProperty() const { return m_dateCreated; }
    PropertyClass* dateModifiedProperty() const { return m_dateModified; }
    PropertyClass* platformProperty() const { return m_platform; }
    PropertyClass* fullPathProperty() const { return m_fullPath; }
    PropertyClass* relativePathProperty() const { return m_relativePath; }
    PropertyClass* nameProperty() const { return m_name; }
    PropertyClass* fileNameProperty() const { return m_fileName; }
    PropertyClass* fileTypeProperty() const { return m_fileType; }
    PropertyClass* filterProperty() const { return m_filter; }
    PropertyClass* projectTypeProperty() const { return m_projectType; }
    PropertyClass* solutionFileNameProperty() const { return m_solutionFileName; }
    PropertyClass* projectDirectoryProperty() const { return m_projectDirectory; }
    PropertyClass* fullProjectDirectoryProperty() const { return m_fullProjectDirectory; }
    PropertyClass* projectDependenciesProperty() const { return m_projectDependencies; }
    PropertyClass* macrosProperty() const { return m_macros; }
    PropertyClass* batchBuildConfigurationsProperty() const { return m_batchBuildConfigurations; }
    PropertyClass* inheritedConfigurationsProperty() const { return m_inheritedConfigurations; }
    // All of the above, in creation order.
    const PropertyClassList& propertyClasses() const { return m_classes; }
    // "MSP430" for any element.
    QString platform(ProjectElement* element) const;

    // ---- loading, saving ----
    // Closes any open solution, loads fileName and its imports, fills
    // templated projects, clears all change records and builds the project lists.
    void loadSolution(const QString& fileName);
    // Loads one file (and its imports) into a new solution element.
    ProjectElement* loadProjectFile(const QString& baseDir, const QString& fileName);
    // Loads fileName under parent (a solution), stored relative to parent's directory.
    ProjectElement* importSolution(ProjectElement* parent, const QString& fileName);
    void closeSolution();
    // Callbacks run after every loadSolution.
    void onSolutionLoaded(std::function<void()> callback);

    ProjectElement* solutionElement() const { return m_solution; }
    bool haveSolution() const { return m_solution != nullptr; }
    // Every solution element by key: the top one and each imported one.
    const ProjectMap& solutionSolutions() const { return m_solutionSolutions; }
    QString solutionFilePath() const;
    QString solutionDirectory() const;
    QString solutionVersion() const;
    bool modified() const;
    // Sorted keys of the top projects map and of solutionSolutions.
    const QStringList& projectNames() const { return m_projectNames; }
    const QStringList& solutionNames() const { return m_solutionNames; }

    // Writes every modified solution; throws SolutionSaveError.
    void save();
    bool saveProjectFile(ProjectElement* solution);
    bool saveProjectFile(ProjectElement* solution, const QString& fileName);
    // The document saveProjectFile writes.
    QDomDocument toDocument(ProjectElement* solution) const;

    void clearModified(ProjectElement* element, bool includeNested, bool clearTimes);

    // ---- structure and paths ----
    static ProjectElement* solutionContaining(ProjectElement* element);
    static ProjectElement* projectContaining(ProjectElement* element);
    static int numProjects(ProjectElement* element);
    // Every file under element, depth first.
    static QList<ProjectElement*> sourceFiles(ProjectElement* element);
    QString getProjectDirectory(ProjectElement* project) const;
    QString getProjectType(ProjectElement* project) const;
    // Absolute, cleaned directory of the project (or any element's own project_directory).
    QString projectDirectoryPath(ProjectElement* element) const;
    static bool relativeDirPath(const QString& fromDir, const QString& toDir, QString& out);
    static QString relativeFilePath(const QString& fromDir, const QString& file);
    // file_name with global macros expanded.
    QString expandGlobalMacros(const QString& text) const;

    // ---- finders ----
    static ProjectElement* findFile(ProjectElement* parent, const QString& fileName);
    static ProjectElement* findRelativeFile(ProjectElement* element, const QString& path);
    static ProjectElement* findAbsoluteFile(ProjectElement* element, const QString& path);
    static bool containsFile(ProjectElement* element, const QString& path);
    static ProjectElement* findFolder(ProjectElement* parent, const QString& name);
    static ProjectElement* findConfiguration(ProjectElement* parent, const QString& name);
    // First element named name, walking element, its subtree and its following siblings.
    static ProjectElement* findByName(ProjectElement* element, const QString& name);

    // ---- settings ----
    QString settingFor(ProjectElement* element, const PropertyClass* cls,
                       const QString& configuration);
    QString specificSettingFor(ProjectElement* element, const PropertyClass* cls,
                               const QString& configuration) const;
    QString configurationUsedFor(ProjectElement* element, const PropertyClass* cls,
                                 const QString& configuration) const;
    QStringList getInheritedConfigurations(ProjectElement* element,
                                           const QString& configuration) const;
    void setInheritedConfigurations(ProjectElement* element, const QString& configuration,
                                    const QStringList& list);
    void updateInheritenceMap(ProjectElement* solution);
    // Buildable configuration names, sorted; an empty element means the open solution.
    QStringList configurations(ProjectElement* element, bool includeCommon,
                               bool includePrivate) const;
    // Applicable settings followed by informational values; the caller owns the list.
    PropertyValueList* settingsFor(ProjectElement* element, const QString& configuration);

    // Whether the setting is unchanged since time; explains on the builder when not.
    bool upToDate(ProjectElement* element, const PropertyClass* cls, const QString& configuration,
                  const QDateTime& time, Builder* builder, bool quiet);
    bool upToDate1(ProjectElement* element, const PropertyClass* cls, const QString& configuration,
                   const QDateTime& time);

    // ---- dependencies and build order ----
    void updateProjectList();
    // The element's own map for a solution; else the top solution's.
    const ProjectMap& solutionProjects(ProjectElement* element) const;
    ProjectElement* findProject(ProjectElement* element, const QString& name) const;
    QString getGlobalProjectName(ProjectElement* project) const;
    QList<ProjectElement*> directlyDependsOn(ProjectElement* project, const QString& configuration);
    // The project first, then everything it depends on, each once.
    QList<ProjectElement*> dependsOn(ProjectElement* project, const QString& configuration);
    void dependsOn(ProjectElement* project, const QString& configuration,
                   QList<ProjectElement*>& list);
    // Dependencies before dependents, each project once. A dependency cycle is
    // broken where it closes; each one found is described in cycles when given.
    QList<ProjectElement*> buildOrder(ProjectElement* element, const QString& configuration,
                                      QStringList* cycles = nullptr);
    // "Dependency cycle: a -> b -> a" when project depends on itself, else empty.
    QString dependencyCycle(ProjectElement* project, const QString& configuration);
    QStringList getBatchBuildConfigurations(ProjectElement* element, const QString& configuration);
    void setBatchBuildConfigurations(ProjectElement* element, const QString& configuration,
                                     const QStringList& list);

    // ---- editing ----
    ProjectElement* createFolder(ProjectElement* parent, const QString& name, const QString& filter,
                                 bool flag = false);
    ProjectElement* createConfiguration(ProjectElement* element, const QString& name,
                                        bool flag = false);
    ProjectElement* addFile(ProjectElement* parent, const QString& path, bool flag = false);
    // A detached deep copy.
    ProjectElement* clone(ProjectElement* element) const;
    void renameElement(ProjectElement* element, const QString& name);
    // Detaches and destroys the element.
    void removeElement(ProjectElement* element);
    // Removes the configuration of that name from element and everything under it.
    void removeConfiguration(ProjectElement* element, const QString& name);
    void setProperty(ProjectElement* element, const PropertyClass* cls,
                     const QString& configuration, const QString& value, bool flag = false);
    void setProperty(ProjectElement* element, const QString& saveName, const QString& configuration,
                     const QString& value, bool flag = false);
    void removeProperty(ProjectElement* element, const PropertyClass* cls,
                        const QString& configuration);
    void removeProperty(ProjectElement* element, const QString& saveName,
                        const QString& configuration);

    // Attribute edits are held back until commit; elements created meanwhile
    // (configurations made by setProperty, say) exist at once.
    void startTransaction();
    void commitTransaction();
    void rollBackTransaction();
    bool inTransaction() const { return m_inTransaction; }

    // The installation's templates, read on first use.
    ProjectTemplates* projectTemplates();
    // Replaces them (the project system takes ownership).
    void setProjectTemplates(ProjectTemplates* templates);

    // Elements that asked for a project template while being loaded.
    const QList<ProjectElement*>& templateRequests() const { return m_templateRequests; }
    // Whether plain files are read by the fast scanner (on unless a test
    // compares it with the general reader).
    void setSolutionScanning(bool on) { m_scanSolutions = on; }

protected:
    // Fills every templated project of the tree just loaded.
    virtual void createTemplatedProjects();

private:
    ProjectElement* buildTree(QXmlStreamReader& xml, const QString& baseDir, const QString& file,
                              int depth);
    ProjectElement* buildTree(const QDomElement& xml, const QString& baseDir, const QString& file,
                              int depth);
    ProjectElement* importElement(const QString& rawName, const QString& baseDir, int depth);
    ProjectElement* loadInOnePass(const QByteArray& bytes, const QString& absolute,
                                  const QString& path);
    void upgrade(QDomDocument& document);
    void upgradeElement(QDomElement& element, int depth);
    void fillProjectMap(ProjectMap& map, const QString& prefix, ProjectElement* solution);
    QString resolve(ProjectElement* element, const PropertyClass* cls, const QString& configuration,
                    bool& found) const;
    const QStringList& inheritedListFor(ProjectElement* element,
                                        const QString& configuration) const;
    static void walkTree(ProjectElement* element,
                         const std::function<void(ProjectElement*)>& visit);

    PropertyClass* m_dateCreated;
    PropertyClass* m_dateModified;
    PropertyClass* m_platform;
    PropertyClass* m_fullPath;
    PropertyClass* m_relativePath;
    PropertyClass* m_name;
    PropertyClass* m_fileName;
    PropertyClass* m_fileType;
    PropertyClass* m_filter;
    PropertyClass* m_projectType;
    PropertyClass* m_solutionFileName;
    PropertyClass* m_projectDirectory;
    PropertyClass* m_fullProjectDirectory;
    PropertyClass* m_projectDependencies;
    PropertyClass* m_macros;
    PropertyClass* m_batchBuildConfigurations;
    PropertyClass* m_inheritedConfigurations;
    PropertyClassList m_classes;

    ProjectElement* m_solution = nullptr;
    ProjectMap m_solutionSolutions;
    QStringList m_projectNames;
    QStringList m_solutionNames;
    QStringList m_loadStack;
    int m_filesLoaded = 0;
    int m_importDepth = 0; // where in the whole tree the file being loaded sits
    QMap<QString, QString> m_projectIds;
    QList<ProjectElement*> m_templateRequests;
    bool m_scanSolutions = true;
    QList<std::function<void()>> m_loadedCallbacks;
    bool m_inTransaction = false;
    std::unique_ptr<ProjectTemplates> m_templates;

    // settingFor results while the tree is unchanged.
    struct CacheKey {
        const ProjectElement* element;
        const PropertyClass* cls;
        QString configuration;
        bool operator==(const CacheKey& o) const {
            return element == o.element && cls == o.cls && configuration == o.configuration;
        }
    };
    friend size_t qHash(const CacheKey& key, size_t seed);
    struct CachedSetting {
        bool found = false;
        QString value;
    };
    QHash<CacheKey, CachedSetting> m_settingCache;
    quint64 m_cacheRevision = ~quint64(0);
};

extern ProjectSystem* projectSystem;
