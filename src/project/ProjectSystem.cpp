#include "project/ProjectSystem.h"

#include "base/Branding.h"
#include "base/OsFiles.h"
#include "base/SettingTexts.h"
#include "macros/MacroSystem.h"
#include "project/ProjectTemplates.h"

#include <QDir>
#include <QFileInfo>

// The project system's core: its property classes, the tree's structure and
// paths, and lookups. Loading and saving, setting resolution, build order and
// editing live in files of their own.

ProjectSystem* projectSystem = nullptr;

const QString ProjectSystem::Common = SettingText::Common;

static const QString kName = QStringLiteral("Name");
static const QString kFileName = QStringLiteral("file_name");
static const QString kVersion = QStringLiteral("version");

QString SolutionLoadError::text() const {
    if (hasPosition)
        return QStringLiteral("%1:%2:%3: %4").arg(fileName).arg(line).arg(column).arg(message);
    return fileName + message;
}

// ---- construction ----

ProjectSystem::ProjectSystem(const QStringList& fileTypes, const QStringList& projectTypes) {
    const QString info = QStringLiteral("(Information)");
    auto add = [this](PropertyClass* c) {
        m_classes.append(c);
        return c;
    };
    auto readOnly = [&](const QString& save, const QString& shortD, const QString& longD) {
        PropertyClass* c = add(new PropertyClass(save, PropertyClass::String, info, shortD, longD));
        c->setReadOnly(true);
        return c;
    };
    m_dateCreated = readOnly("date_created", "Date Created", "The date/time the file was created.");
    m_dateModified =
        readOnly("date_modified", "Date Modified", "The date/time the file was last modified.");
    m_platform = readOnly("platform", "Platform", "Specifies the platform for the project.");
    m_fullPath = readOnly("full_path", "Full Path", "Specifies a full path to the file.");
    m_relativePath = readOnly("relative_path", "Relative Path",
                              "Path of the file relative to the project directory.");
    m_name = readOnly("(Name)", "Name", "Names the item.");
    m_fileName = readOnly("file_name", "File Name", "The name of the file.");
    m_fileType = add(new PropertyClass(
        "file_type", PropertyClass::Enumeration, fileTypes, "Build Options", "File Type",
        "The type of file - if not defined then the extension is used to determined the type."));
    m_fileType->setPerConfiguration(false);
    m_filter = add(new PropertyClass("filter", PropertyClass::StringList, "Folder Options",
                                     "Filter", "Selects a filter."));
    m_filter->setPerConfiguration(false);
    m_projectType = add(new PropertyClass("project_type", PropertyClass::Enumeration, projectTypes,
                                          "Build Options", "Project Type",
                                          "The type of project to build.", "Executable"));
    m_projectType->setPerConfiguration(false);
    m_solutionFileName = readOnly("name", "Solution File Name", "The name of the solution file.");
    m_projectDirectory = add(new PropertyClass(
        "project_directory", PropertyClass::String, "Build Options", "Project Directory",
        "Path of the project directory either absolute or relative to the solution directory."));
    m_projectDirectory->setReadOnly(true);
    m_fullProjectDirectory = readOnly("full_project_directory", "Full Project Directory",
                                      "Specifies a full path to the project directory.");
    m_projectDependencies = add(new PropertyClass(
        "project_dependencies", PropertyClass::StringList, "Project Options",
        "Project Dependencies", "Specifies the projects the current project depends upon."));
    m_macros = add(
        new PropertyClass("macros", PropertyClass::StringList, "Build Options", "Macros",
                          "Specifies macro values for this project element using \"name=value\""));
    m_batchBuildConfigurations = add(new PropertyClass(
        "batch_build_configurations", PropertyClass::StringList, "General Options",
        "Batch Build Configurations", "The set of configurations to batch build."));
    m_batchBuildConfigurations->setPerConfiguration(false);
    m_inheritedConfigurations = add(
        new PropertyClass("inherited_configurations", PropertyClass::StringList, "General Options",
                          "Inherited Configurations",
                          "The list of configurations that are inherited by this configuration."));

    projectSystem = this;
}

ProjectSystem::~ProjectSystem() {
    closeSolution();
    qDeleteAll(m_classes);
    if (projectSystem == this) projectSystem = nullptr;
}

ProjectElement* ProjectSystem::createSolution(const QString& name, const QString& dir) {
    closeSolution();
    auto* s = new ProjectElement(ProjectElement::Solution);
    s->setAttributeQuietly(kName, name);
    s->setAttributeQuietly(kVersion, QStringLiteral("1"));
    s->setPath(dir + QLatin1Char('/') + name + QStringLiteral(".hzp"));
    s->setModified(true);
    m_solution = s;
    updateProjectList();
    return s;
}

ProjectElement* ProjectSystem::createProject(ProjectElement* parent, const QString& name,
                                             const QString& projectType, bool flag) {
    if (!parent) return nullptr;
    auto* p = new ProjectElement(ProjectElement::Project);
    p->setName(name, flag);
    parent->appendChild(p);
    if (!projectType.isEmpty()) setProperty(p, m_projectType, Common, projectType, flag);
    parent->setModified(true);
    updateProjectList();
    return p;
}

QString ProjectSystem::defaultFileLocation(ProjectElement* element) {
    ProjectElement* p = projectContaining(element);
    return projectDirectoryPath(p ? p : element);
}

void ProjectSystem::munge(ProjectElement*) {}

QString ProjectSystem::platform(ProjectElement*) const {
    return QString::fromLatin1(Get_PLATFORM());
}

// ---- structure and paths ----

ProjectElement* ProjectSystem::solutionContaining(ProjectElement* element) {
    while (element && !element->isSolution())
        element = element->parent();
    return element;
}

ProjectElement* ProjectSystem::projectContaining(ProjectElement* element) {
    while (element && !element->isProject())
        element = element->parent();
    return element;
}

int ProjectSystem::numProjects(ProjectElement* element) {
    int n = 0;
    for (ProjectElement* c = element ? element->firstChild() : nullptr; c; c = c->nextSibling())
        if (c->isProject()) ++n;
    return n;
}

static void collectFiles(ProjectElement* element, QList<ProjectElement*>& files) {
    for (ProjectElement* c = element->firstChild(); c; c = c->nextSibling()) {
        if (c->isFile()) files.append(c);
        collectFiles(c, files);
    }
}

QList<ProjectElement*> ProjectSystem::sourceFiles(ProjectElement* element) {
    QList<ProjectElement*> files;
    if (element) collectFiles(element, files);
    return files;
}

static QString commonAttribute(ProjectElement* e, const QString& name) {
    ProjectElement* c = e ? e->getConfigurationElement(ProjectSystem::Common) : nullptr;
    return c ? c->attribute(name) : QString();
}

QString ProjectSystem::getProjectDirectory(ProjectElement* project) const {
    return commonAttribute(project, m_projectDirectory->saveName());
}

QString ProjectSystem::getProjectType(ProjectElement* project) const {
    return commonAttribute(project, m_projectType->saveName());
}

QString ProjectSystem::projectDirectoryPath(ProjectElement* element) const {
    QString dir = getProjectDirectory(element);
    if (QDir::isRelativePath(dir)) {
        ProjectElement* s = solutionContaining(element);
        QString base;
        if (s && s->pathKnown())
            base = QFileInfo(s->getPath().osPathQString()).path();
        else
            base = OsFiles::currentDir();
        dir = base + QLatin1Char('/') + dir;
    }
    return QDir::cleanPath(dir);
}

bool ProjectSystem::relativeDirPath(const QString& fromDir, const QString& toDir, QString& out) {
    out.clear();
    if (toDir == QLatin1String(".")) return true;
    QStringList from = OsFiles::absolutePath(fromDir).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList to = OsFiles::absolutePath(toDir).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    int common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common])
        ++common;
    if (common == 0) return false;
    for (int i = common; i < from.size(); ++i)
        out += QStringLiteral("../");
    for (int i = common; i < to.size(); ++i)
        out += to[i] + QLatin1Char('/');
    if (out.endsWith(QLatin1Char('/'))) out.chop(1);
    return true;
}

QString ProjectSystem::relativeFilePath(const QString& fromDir, const QString& file) {
    QFileInfo info(file);
    QString dir;
    if (relativeDirPath(fromDir, info.path(), dir))
        return dir.isEmpty() ? info.fileName() : dir + QLatin1Char('/') + info.fileName();
    return OsFiles::absolutePath(file);
}

QString ProjectSystem::expandGlobalMacros(const QString& text) const {
    if (!text.contains(QLatin1Char('$'))) return text;
    return macroSystem.replaceMacros(macroSystem.globalMacros(true), text);
}

// ---- finders ----

ProjectElement* ProjectSystem::findFile(ProjectElement* parent, const QString& fileName) {
    for (ProjectElement* c = parent ? parent->firstChild() : nullptr; c; c = c->nextSibling())
        if (c->isFile() && c->attribute(kFileName) == fileName) return c;
    return nullptr;
}

static ProjectElement* findInSubtree(ProjectElement* element,
                                     const std::function<bool(ProjectElement*)>& match) {
    if (!element) return nullptr;
    if (match(element)) return element;
    for (ProjectElement* c = element->firstChild(); c; c = c->nextSibling())
        if (ProjectElement* found = findInSubtree(c, match)) return found;
    return nullptr;
}

ProjectElement* ProjectSystem::findRelativeFile(ProjectElement* element, const QString& path) {
    return findInSubtree(element, [&path](ProjectElement* e) {
        return e->isFile() && e->getRelativePath().compare(path, Qt::CaseInsensitive) == 0;
    });
}

ProjectElement* ProjectSystem::findAbsoluteFile(ProjectElement* element, const QString& path) {
    Path wanted(OsFiles::absolutePath(path));
    return findInSubtree(
        element, [&wanted](ProjectElement* e) { return e->isFile() && e->getPath() == wanted; });
}

bool ProjectSystem::containsFile(ProjectElement* element, const QString& path) {
    return findAbsoluteFile(element, path) != nullptr;
}

static ProjectElement* findChild(ProjectElement* parent, ProjectElement::Kind kind,
                                 const QString& name) {
    for (ProjectElement* c = parent ? parent->firstChild() : nullptr; c; c = c->nextSibling())
        if (c->kind() == kind && c->name() == name) return c;
    return nullptr;
}

ProjectElement* ProjectSystem::findFolder(ProjectElement* parent, const QString& name) {
    return findChild(parent, ProjectElement::Folder, name);
}

ProjectElement* ProjectSystem::findConfiguration(ProjectElement* parent, const QString& name) {
    return findChild(parent, ProjectElement::Configuration, name);
}

ProjectElement* ProjectSystem::findByName(ProjectElement* element, const QString& name) {
    for (ProjectElement* x = element; x; x = x->nextSibling()) {
        if (x->hasAttribute(kName) && x->name() == name) return x;
        if (ProjectElement* found = findByName(x->firstChild(), name)) return found;
    }
    return nullptr;
}
