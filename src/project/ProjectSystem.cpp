#include "project/ProjectSystem.h"

#include "base/QTx.h"
#include "build/Builder.h"
#include "driver/Branding.h"
#include "macros/MacroSystem.h"
#include "project/ProjectTemplates.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

ProjectSystem* projectSystem = nullptr;

const QString ProjectSystem::Common = QStringLiteral("Common");

static const QString kName = QStringLiteral("Name");
static const QString kFileName = QStringLiteral("file_name");
static const QString kVersion = QStringLiteral("version");
static const QString kHidden = QStringLiteral("hidden");
static const QString kInheritedConfigurations = QStringLiteral("inherited_configurations");
static const QString kTemplateName = QStringLiteral("template_name");

static QString documentTypeName() {
    return QString::fromLatin1(Get_STUDIO_NAME()) + QStringLiteral("_Project_File");
}

QString SolutionLoadError::text() const {
    if (hasPosition)
        return QStringLiteral("%1:%2:%3: %4").arg(fileName).arg(line).arg(column).arg(message);
    return fileName + message;
}

size_t qHash(const ProjectSystem::CacheKey& key, size_t seed) {
    return qHashMulti(seed, key.element, key.cls, key.configuration);
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

// ---- loading ----

void ProjectSystem::onSolutionLoaded(std::function<void()> callback) {
    m_loadedCallbacks.append(std::move(callback));
}

void ProjectSystem::loadSolution(const QString& fileName) {
    closeSolution();
    m_loadStack.clear();
    m_filesLoaded = 0;
    m_projectIds.clear();
    m_templateRequests.clear();
    try {
        m_solution = loadProjectFile(QString(), fileName);
        createTemplatedProjects();
    } catch (...) {
        closeSolution();
        throw;
    }
    m_templateRequests.clear();
    clearModified(m_solution, true, true);
    updateProjectList();
    for (const auto& callback : m_loadedCallbacks)
        callback();
}

static const int kMaxFilesLoaded = 1024;

namespace {
// Keeps the stack of files being loaded right when an import fails.
struct LoadStackEntry {
    QStringList& stack;
    LoadStackEntry(QStringList& s, const QString& path) : stack(s) { stack.append(path); }
    ~LoadStackEntry() { stack.removeLast(); }
};
} // namespace

ProjectElement* ProjectSystem::loadProjectFile(const QString& baseDir, const QString& fileName) {
    QString path = fileName;
    if (!QFileInfo::exists(path) && !baseDir.isEmpty())
        path = baseDir + QLatin1Char('/') + fileName;
    QFileInfo info(path);
    if (!info.exists()) throw SolutionLoadError(path, QStringLiteral(" does not exist"));
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        throw SolutionLoadError(path, QStringLiteral(" cannot access"));
    QString absolute = QDir::cleanPath(info.absoluteFilePath());
    // Repeated imports are allowed, but a chain of files each importing the
    // next twice would otherwise multiply without end.
    if (++m_filesLoaded > kMaxFilesLoaded)
        throw SolutionLoadError(path, QStringLiteral(" imports too many solutions"));
    if (m_loadStack.contains(absolute))
        throw SolutionLoadError(absolute, QStringLiteral(" solution already loaded"));

    const QByteArray bytes = file.readAll();
    // A first pass checks the whole file before anything is built or imported,
    // so a syntax error anywhere is reported as such.
    QString docType, rootTag;
    bool hasVersion = false;
    {
        QXmlStreamReader reader(bytes);
        reader.setNamespaceProcessing(false); // read names as written, like the DOM
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.tokenType() == QXmlStreamReader::DTD) {
                docType = reader.dtdName().toString();
            } else if (reader.isStartElement() && rootTag.isEmpty()) {
                rootTag = reader.name().toString();
                hasVersion = reader.attributes().hasAttribute(kVersion);
            }
        }
        if (reader.hasError()) {
            QDomDocument document;
            QString error;
            int line = 0, column = 0;
            if (!document.setContent(bytes, &error, &line, &column))
                throw SolutionLoadError(absolute, error, line, column);
            throw SolutionLoadError(absolute, reader.errorString(), int(reader.lineNumber()),
                                    int(reader.columnNumber()));
        }
    }
    if (docType != documentTypeName() ||
        rootTag != ProjectElement::tagName(ProjectElement::Solution))
        throw SolutionLoadError(path, QStringLiteral(" not a solution file"));

    const QString baseDirectory = QFileInfo(absolute).path();
    ProjectElement* solution = nullptr;
    {
        LoadStackEntry entry(m_loadStack, absolute);
        if (hasVersion) {
            QXmlStreamReader reader(bytes);
            reader.setNamespaceProcessing(false); // read names as written, like the DOM
            reader.readNextStartElement();
            solution = buildTree(reader, baseDirectory, path, 0);
        } else {
            // Older files are rewritten as a document before the tree is built.
            QDomDocument document;
            document.setContent(bytes);
            upgrade(document);
            solution = buildTree(document.documentElement(), baseDirectory, path, 0);
        }
        solution->setPath(absolute);
    }
    munge(solution);
    return solution;
}

// Deeper trees are not solutions anyone writes; refusing them keeps the
// recursive walks of the tree within the stack.
static const int kMaxDepth = 256;

ProjectElement* ProjectSystem::importElement(const QString& rawName, const QString& baseDir) {
    ProjectElement* imported = loadProjectFile(baseDir, expandGlobalMacros(rawName));
    imported->setAttributeQuietly(kFileName, rawName);
    imported->setImported(true);
    return imported;
}

ProjectElement* ProjectSystem::buildTree(QXmlStreamReader& xml, const QString& baseDir,
                                         const QString& file, int depth) {
    if (depth > kMaxDepth) throw SolutionLoadError(file, QStringLiteral(" is nested too deeply"));
    const QStringView tag = xml.name();
    if (tag == QLatin1String("import")) {
        QString raw = xml.attributes().value(kFileName).toString();
        xml.skipCurrentElement();
        return importElement(raw, baseDir);
    }
    ProjectElement::Kind kind;
    if (!ProjectElement::kindFromTag(tag.toString(), &kind)) {
        xml.skipCurrentElement(); // not part of the model
        return nullptr;
    }
    std::unique_ptr<ProjectElement> element(new ProjectElement(kind));
    for (const QXmlStreamAttribute& a : xml.attributes())
        element->setAttributeQuietly(a.qualifiedName().toString(), a.value().toString());
    if (element->hasAttribute(kTemplateName)) m_templateRequests.append(element.get());
    while (xml.readNextStartElement()) {
        ProjectElement* child = buildTree(xml, baseDir, file, depth + 1);
        if (child) element->appendChild(child);
    }
    element->setModified(false);
    return element.release();
}

ProjectElement* ProjectSystem::buildTree(const QDomElement& xml, const QString& baseDir,
                                         const QString& file, int depth) {
    if (depth > kMaxDepth) throw SolutionLoadError(file, QStringLiteral(" is nested too deeply"));
    const QString tag = xml.tagName();
    if (tag == QLatin1String("import")) return importElement(xml.attribute(kFileName), baseDir);
    ProjectElement::Kind kind;
    if (!ProjectElement::kindFromTag(tag, &kind)) return nullptr; // not part of the model
    std::unique_ptr<ProjectElement> element(new ProjectElement(kind));
    QDomNamedNodeMap attributes = xml.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        QDomAttr a = attributes.item(i).toAttr();
        element->setAttributeQuietly(a.name(), a.value());
    }
    if (element->hasAttribute(kTemplateName)) m_templateRequests.append(element.get());
    for (QDomElement c = xml.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        ProjectElement* child = buildTree(c, baseDir, file, depth + 1);
        if (child) element->appendChild(child);
    }
    element->setModified(false);
    return element.release();
}

void ProjectSystem::upgradeElement(QDomElement& e, int depth) {
    if (depth > kMaxDepth) return; // refused when the tree is built
    const QString tag = e.tagName();
    const QString uuid = QStringLiteral("uuid");
    if (tag == QLatin1String("solution")) {
        e.setAttribute(kVersion, QStringLiteral("1"));
        e.removeAttribute(uuid);
    } else if (tag == QLatin1String("configuration")) {
        // Older files nested elements inside configurations.
        QDomNode parent = e.parentNode();
        QDomNode after = e;
        while (!e.firstChild().isNull()) {
            QDomNode moved = e.removeChild(e.firstChild());
            parent.insertAfter(moved, after);
            after = moved;
        }
    } else if (tag == QLatin1String("project")) {
        if (e.hasAttribute(uuid)) m_projectIds.insert(e.attribute(uuid), e.attribute(kName));
        e.removeAttribute(uuid);
    } else if (tag == QLatin1String("folder")) {
        QString filter = e.attribute(QStringLiteral("filter"));
        if (!filter.isEmpty()) {
            QDomElement c = e.ownerDocument().createElement(QStringLiteral("configuration"));
            c.setAttribute(kName, Common);
            c.setAttribute(QStringLiteral("filter"), filter);
            e.appendChild(c);
        }
        e.removeAttribute(QStringLiteral("filter"));
        e.removeAttribute(uuid);
    }
    for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement())
        upgradeElement(c, depth + 1);
}

void ProjectSystem::upgrade(QDomDocument& document) {
    QDomElement root = document.documentElement();
    upgradeElement(root, 0);
    const QString deps = QStringLiteral("project_dependencies");
    for (QDomElement p = root.firstChildElement(QStringLiteral("project")); !p.isNull();
         p = p.nextSiblingElement(QStringLiteral("project"))) {
        for (QDomElement c = p.firstChildElement(QStringLiteral("configuration")); !c.isNull();
             c = c.nextSiblingElement(QStringLiteral("configuration"))) {
            if (!c.hasAttribute(deps)) continue;
            QStringList items = c.attribute(deps).split(QLatin1Char(';'), Qt::SkipEmptyParts);
            for (QString& item : items)
                item = m_projectIds.value(item, item);
            c.setAttribute(deps, items.join(QLatin1Char(';')));
        }
    }
}

ProjectElement* ProjectSystem::importSolution(ProjectElement* parent, const QString& fileName) {
    ProjectElement* owner = solutionContaining(parent);
    if (!owner) return nullptr;
    QString ownerDir = QFileInfo(owner->getPath().osPathQString()).path();
    m_loadStack.clear();
    m_filesLoaded = 0;
    ProjectElement* imported = loadProjectFile(ownerDir, fileName);
    QString absolute = imported->getPath().osPathQString();
    imported->setAttributeQuietly(kFileName, relativeFilePath(ownerDir, absolute));
    imported->setImported(true);
    owner->appendChild(imported);
    owner->setModified(true);
    updateProjectList();
    return imported;
}

void ProjectSystem::closeSolution() {
    delete m_solution;
    m_solution = nullptr;
    m_solutionSolutions.clear();
    m_projectNames.clear();
    m_solutionNames.clear();
    m_templateRequests.clear();
    m_settingCache.clear();
    m_inTransaction = false;
}

ProjectTemplates* ProjectSystem::projectTemplates() {
    if (!m_templates) m_templates.reset(new ProjectTemplates);
    return m_templates.get();
}

void ProjectSystem::setProjectTemplates(ProjectTemplates* templates) {
    m_templates.reset(templates);
}

void ProjectSystem::createTemplatedProjects() {
    const QList<ProjectElement*> requests = m_templateRequests;
    for (ProjectElement* e : requests) {
        QString name = e->attribute(kTemplateName);
        e->removeAttributeQuietly(kTemplateName);
        ProjectTemplateNode* t = projectTemplates()->findTemplate(name);
        if (!t) throw SolutionLoadError(name, QStringLiteral(" project template not found"));
        projectTemplates()->createProjectFromTemplate(solutionContaining(e), e, t);
    }
    if (!requests.isEmpty()) updateProjectList();
}

QString ProjectSystem::solutionFilePath() const {
    return m_solution ? m_solution->getPath().osPathQString() : QString();
}

QString ProjectSystem::solutionDirectory() const {
    return m_solution ? QFileInfo(solutionFilePath()).path() : QString();
}

QString ProjectSystem::solutionVersion() const {
    return m_solution ? m_solution->attribute(kVersion) : QString();
}

bool ProjectSystem::modified() const {
    bool any = false;
    if (m_solution) walkTree(m_solution, [&any](ProjectElement* e) { any = any || e->modified(); });
    return any;
}

void ProjectSystem::walkTree(ProjectElement* element,
                             const std::function<void(ProjectElement*)>& visit) {
    if (!element) return;
    visit(element);
    for (ProjectElement* c = element->firstChild(); c; c = c->nextSibling())
        walkTree(c, visit);
}

void ProjectSystem::clearModified(ProjectElement* element, bool includeNested, bool clearTimes) {
    if (!element) return;
    element->setModified(false);
    for (ProjectElement* c = element->firstChild(); c; c = c->nextSibling()) {
        if (c->isSolution() && !includeNested) continue;
        c->setModified(false);
        if (clearTimes) c->clearChangeTimes();
        clearModified(c, includeNested, clearTimes);
    }
}

// ---- saving ----

static QDomElement toXml(QDomDocument& document, ProjectElement* e, ProjectElement* top) {
    if (e != top && e->isSolution() && e->imported()) {
        QDomElement import = document.createElement(QStringLiteral("import"));
        import.setAttribute(kFileName, e->attribute(kFileName));
        return import;
    }
    QDomElement x = document.createElement(e->getTagName());
    const QMap<QString, QString>& attributes = e->attributes();
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        x.setAttribute(it.key(), it.value());
    for (ProjectElement* c = e->firstChild(); c; c = c->nextSibling())
        x.appendChild(toXml(document, c, top));
    return x;
}

QDomDocument ProjectSystem::toDocument(ProjectElement* solution) const {
    QDomImplementation implementation;
    QDomDocument document(
        implementation.createDocumentType(documentTypeName(), QString(), QString()));
    if (solution) document.appendChild(toXml(document, solution, solution));
    return document;
}

static QString escapeXml(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\n':
            out += QLatin1String("&#10;");
            break;
        case '\r':
            out += QLatin1String("&#13;");
            break;
        case '\t':
            out += QLatin1String("&#9;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Two-space indentation, attributes in name order so saved files diff cleanly.
static void writeXml(QString& out, const QDomElement& e, int depth) {
    QString indent(depth * 2, QLatin1Char(' '));
    out += indent + QLatin1Char('<') + e.tagName();
    QDomNamedNodeMap attributes = e.attributes();
    QStringList names;
    for (int i = 0; i < attributes.count(); ++i)
        names.append(attributes.item(i).toAttr().name());
    names.sort();
    for (const QString& n : names)
        out += QLatin1Char(' ') + n + QStringLiteral("=\"") + escapeXml(e.attribute(n)) +
               QLatin1Char('"');
    QDomElement c = e.firstChildElement();
    if (c.isNull()) {
        out += QStringLiteral("/>\n");
        return;
    }
    out += QStringLiteral(">\n");
    for (; !c.isNull(); c = c.nextSiblingElement())
        writeXml(out, c, depth + 1);
    out += indent + QStringLiteral("</") + e.tagName() + QStringLiteral(">\n");
}

bool ProjectSystem::saveProjectFile(ProjectElement* solution, const QString& fileName) {
    if (!solution) return false;
    QDomDocument document = toDocument(solution);
    QString text = QStringLiteral("<!DOCTYPE ") + document.doctype().name() + QStringLiteral(">\n");
    writeXml(text, document.documentElement(), 0);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) return false;
    file.close();
    clearModified(solution, false, false);
    return true;
}

bool ProjectSystem::saveProjectFile(ProjectElement* solution) {
    return solution && saveProjectFile(solution, solution->getPath().osPathQString());
}

void ProjectSystem::save() {
    QList<ProjectElement*> solutions;
    walkTree(m_solution, [&solutions](ProjectElement* e) {
        if (e->isSolution()) solutions.append(e);
    });
    for (ProjectElement* s : solutions) {
        bool own = s->modified();
        std::function<void(ProjectElement*)> ownModified = [&](ProjectElement* e) {
            for (ProjectElement* c = e->firstChild(); c && !own; c = c->nextSibling()) {
                if (c->isSolution()) continue;
                own = c->modified();
                ownModified(c);
            }
        };
        ownModified(s);
        if (!own) continue;
        bool imported = s->imported();
        QString importName = s->attribute(kFileName);
        if (imported) {
            s->removeAttributeQuietly(kFileName);
            s->setImported(false);
        }
        bool ok = saveProjectFile(s);
        if (imported) {
            s->setAttributeQuietly(kFileName, importName);
            s->setImported(true);
        }
        if (!ok) throw SolutionSaveError(s);
    }
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
            base = QDir::currentPath();
        dir = base + QLatin1Char('/') + dir;
    }
    return QDir::cleanPath(dir);
}

bool ProjectSystem::relativeDirPath(const QString& fromDir, const QString& toDir, QString& out) {
    out.clear();
    if (toDir == QLatin1String(".")) return true;
    QStringList from =
        QDir::cleanPath(QDir(fromDir).absolutePath()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList to =
        QDir::cleanPath(QDir(toDir).absolutePath()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
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
    return info.absoluteFilePath();
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
    Path wanted(QFileInfo(path).absoluteFilePath());
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
    CacheKey key{element, cls, configuration};
    auto it = m_settingCache.constFind(key);
    if (it == m_settingCache.constEnd()) {
        CachedSetting setting;
        setting.value = resolve(element, cls, configuration, setting.found);
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
    auto fileDates = [&](const QFileInfo& info) {
        QDateTime created = info.birthTime();
        if (!created.isValid()) created = info.metadataChangeTime();
        fixed(m_dateCreated, QTx::friendlyDate(created));
        fixed(m_dateModified, QTx::friendlyDate(info.lastModified()));
    };
    switch (element->kind()) {
    case ProjectElement::Solution: {
        QFileInfo info(element->getPath().osPathQString());
        fixed(m_name, element->name());
        fixed(m_solutionFileName, info.filePath());
        fileDates(info);
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
        QFileInfo info = element->getQFileInfo();
        fixed(m_name, info.fileName());
        fixed(m_fullPath, element->getPath().osPathQString());
        fixed(m_fileName, element->attribute(kFileName));
        fixed(m_relativePath, element->getRelativePath());
        fileDates(info);
        break;
    }
    case ProjectElement::Configuration:
        break;
    }
    return list;
}

bool ProjectSystem::upToDate1(ProjectElement* element, const PropertyClass* cls,
                              const QString& configuration, const QDateTime& time) {
    if (!element || !cls) return true;
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

// ---- dependencies and build order ----

void ProjectSystem::fillProjectMap(ProjectMap& map, const QString& prefix,
                                   ProjectElement* solution) {
    for (ProjectElement* c = solution->firstChild(); c; c = c->nextSibling()) {
        if (c->isProject()) {
            map.insert(prefix.isEmpty() ? c->name()
                                        : c->name() + QLatin1Char('(') + prefix + QLatin1Char(')'),
                       c);
        } else if (c->isSolution()) {
            QString key = prefix.isEmpty() ? c->name() : prefix + QLatin1Char(',') + c->name();
            m_solutionSolutions.insert(key, c);
            fillProjectMap(map, key, c);
            c->projects().clear();
            fillProjectMap(c->projects(), QString(), c);
            updateInheritenceMap(c);
        }
    }
}

void ProjectSystem::updateProjectList() {
    m_solutionSolutions.clear();
    m_projectNames.clear();
    m_solutionNames.clear();
    if (!m_solution) return;
    m_solution->projects().clear();
    fillProjectMap(m_solution->projects(), QString(), m_solution);
    m_solutionSolutions.insert(m_solution->name(), m_solution);
    updateInheritenceMap(m_solution);
    m_projectNames = m_solution->projects().keys();
    m_solutionNames = m_solutionSolutions.keys();
}

const ProjectMap& ProjectSystem::solutionProjects(ProjectElement* element) const {
    static const ProjectMap none;
    if (element && element->isSolution()) return element->projects();
    return m_solution ? m_solution->projects() : none;
}

ProjectElement* ProjectSystem::findProject(ProjectElement* element, const QString& name) const {
    ProjectElement* s = element ? solutionContaining(element) : m_solution;
    for (; s; s = solutionContaining(s->parent())) {
        auto it = s->projects().constFind(name);
        if (it != s->projects().constEnd()) return *it;
    }
    return nullptr;
}

QString ProjectSystem::getGlobalProjectName(ProjectElement* project) const {
    if (!m_solution || !project) return QString();
    return m_solution->projects().key(project);
}

QList<ProjectElement*> ProjectSystem::directlyDependsOn(ProjectElement* project,
                                                        const QString& configuration) {
    QList<ProjectElement*> result;
    if (!project) return result;
    const QStringList names = settingFor(project, m_projectDependencies, configuration)
                                  .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& name : names)
        if (ProjectElement* p = findProject(project, name)) result.append(p);
    return result;
}

void ProjectSystem::dependsOn(ProjectElement* project, const QString& configuration,
                              QList<ProjectElement*>& list) {
    if (!project || list.contains(project)) return;
    list.append(project);
    for (ProjectElement* p : directlyDependsOn(project, configuration))
        dependsOn(p, configuration, list);
}

QList<ProjectElement*> ProjectSystem::dependsOn(ProjectElement* project,
                                                const QString& configuration) {
    QList<ProjectElement*> list;
    dependsOn(project, configuration, list);
    return list;
}

static QString displayName(ProjectSystem* ps, ProjectElement* p) {
    QString name = ps->getGlobalProjectName(p);
    return name.isEmpty() ? p->name() : name;
}

static QString cycleText(ProjectSystem* ps, const QList<ProjectElement*>& path) {
    QStringList names;
    for (ProjectElement* p : path)
        names.append(displayName(ps, p));
    return QStringLiteral("dependency cycle: ") + names.join(QStringLiteral(" -> "));
}

void ProjectSystem::buildOrderStep(ProjectElement* project, const QString& configuration,
                                   QList<ProjectElement*>& list, QList<ProjectElement*>& placing,
                                   QStringList* cycles) {
    if (list.contains(project)) return;
    int open = placing.indexOf(project);
    if (open >= 0) {
        // Already being placed further up: the cycle closes here and is cut.
        if (cycles) {
            QList<ProjectElement*> path = placing.mid(open);
            path.append(project);
            cycles->append(cycleText(this, path));
        }
        return;
    }
    placing.append(project);
    for (ProjectElement* p : directlyDependsOn(project, configuration))
        buildOrderStep(p, configuration, list, placing, cycles);
    placing.removeLast();
    list.append(project);
}

QList<ProjectElement*> ProjectSystem::buildOrder(ProjectElement* element,
                                                 const QString& configuration,
                                                 QStringList* cycles) {
    QList<ProjectElement*> list;
    QList<ProjectElement*> placing;
    if (!element) return list;
    if (element->isProject()) {
        buildOrderStep(element, configuration, list, placing, cycles);
    } else if (element->isSolution()) {
        for (ProjectElement* p : element->projects())
            buildOrderStep(p, configuration, list, placing, cycles);
    }
    return list;
}

QString ProjectSystem::dependencyCycle(ProjectElement* project, const QString& configuration) {
    if (!project) return QString();
    QList<ProjectElement*> path;
    QSet<ProjectElement*> visited;
    std::function<bool(ProjectElement*)> search = [&](ProjectElement* p) {
        path.append(p);
        for (ProjectElement* d : directlyDependsOn(p, configuration)) {
            if (d == project) {
                path.append(d);
                return true;
            }
            if (!visited.contains(d)) {
                visited.insert(d);
                if (search(d)) return true;
            }
        }
        path.removeLast();
        return false;
    };
    return search(project) ? cycleText(this, path) : QString();
}

QStringList ProjectSystem::getBatchBuildConfigurations(ProjectElement* element,
                                                       const QString& configuration) {
    const QStringList batch = settingFor(element, m_batchBuildConfigurations, configuration)
                                  .split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const bool includeCommon = batch.size() == 1 && batch.first() == Common;
    const QStringList candidates = configurations(element, includeCommon, false);
    QStringList result;
    for (const QString& name : batch) {
        for (const QString& c : candidates) {
            if (c.compare(name, Qt::CaseInsensitive) == 0) {
                result.append(c);
                break;
            }
        }
    }
    return result;
}

void ProjectSystem::setBatchBuildConfigurations(ProjectElement* element,
                                                const QString& configuration,
                                                const QStringList& list) {
    setProperty(element, m_batchBuildConfigurations, configuration, list.join(QLatin1Char(';')));
}

// ---- editing ----

ProjectElement* ProjectSystem::createConfiguration(ProjectElement* element, const QString& name,
                                                   bool flag) {
    if (!element) return nullptr;
    if (ProjectElement* existing = element->getConfigurationElement(name)) return existing;
    auto* c = new ProjectElement(ProjectElement::Configuration);
    c->setAttribute(kName, name, flag);
    element->appendChild(c);
    element->setModified(true);
    return c;
}

ProjectElement* ProjectSystem::createFolder(ProjectElement* parent, const QString& name,
                                            const QString& filter, bool flag) {
    if (!parent) return nullptr;
    if (ProjectElement* existing = findFolder(parent, name)) return existing;
    auto* folder = new ProjectElement(ProjectElement::Folder);
    folder->setName(name, flag);
    parent->appendChild(folder);
    ProjectElement* common = createConfiguration(folder, Common, flag);
    common->setAttribute(m_filter->saveName(), filter, flag);
    parent->setModified(true);
    return folder;
}

ProjectElement* ProjectSystem::addFile(ProjectElement* parent, const QString& path, bool flag) {
    if (!parent) return nullptr;
    ProjectElement* target = parent;
    if (!parent->isFolder()) {
        QString base = QFileInfo(path).fileName();
        int dot = base.indexOf(QLatin1Char('.'));
        QString extension = dot < 0 ? QString() : base.mid(dot + 1).toLower();
        for (ProjectElement* c = parent->firstChild(); c && target == parent;
             c = c->nextSibling()) {
            if (!c->isFolder()) continue;
            QString filter = c->attribute(m_filter->saveName());
            if (filter.isEmpty()) filter = settingFor(c, m_filter, Common);
            static const QRegularExpression separators(QStringLiteral("[,;]"));
            const QStringList filters = filter.split(separators, Qt::SkipEmptyParts);
            for (const QString& f : filters)
                if (f.trimmed().toLower() == extension) target = c;
        }
    }
    auto* file = new ProjectElement(ProjectElement::File);
    target->appendChild(file);
    if (path.contains(QLatin1Char('$')))
        file->setFileName(path, flag);
    else
        file->setFile(path, flag);
    target->setModified(true);
    return file;
}

static ProjectElement* cloneTree(ProjectElement* e) {
    auto* copy = new ProjectElement(e->kind());
    const auto& attributes = e->attributes();
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        copy->setAttributeQuietly(it.key(), it.value());
    copy->setImported(e->imported());
    if (e->isSolution() && e->pathKnown()) copy->setPath(e->getPath().osPathQString());
    for (ProjectElement* c = e->firstChild(); c; c = c->nextSibling())
        copy->appendChild(cloneTree(c));
    copy->setModified(true);
    return copy;
}

ProjectElement* ProjectSystem::clone(ProjectElement* element) const {
    return element ? cloneTree(element) : nullptr;
}

void ProjectSystem::renameElement(ProjectElement* element, const QString& name) {
    if (!element) return;
    element->setName(name);
    updateProjectList();
}

void ProjectSystem::removeElement(ProjectElement* element) {
    if (!element) return;
    if (element == m_solution) {
        closeSolution();
        return;
    }
    m_templateRequests.removeAll(element);
    if (ProjectElement* parent = element->parent()) {
        parent->removeChild(element);
        parent->setModified(true);
    }
    delete element;
    updateProjectList();
}

void ProjectSystem::removeConfiguration(ProjectElement* element, const QString& name) {
    if (!element) return;
    QList<ProjectElement*> doomed;
    walkTree(element, [&](ProjectElement* e) {
        if (e->isConfiguration() && e->name() == name && e->parent()) doomed.append(e);
    });
    for (ProjectElement* c : doomed) {
        ProjectElement* parent = c->parent();
        parent->removeChild(c);
        parent->setModified(true);
        delete c;
        if (parent->isSolution()) updateInheritenceMap(parent);
    }
}

void ProjectSystem::setProperty(ProjectElement* element, const QString& saveName,
                                const QString& configuration, const QString& value, bool flag) {
    if (!element) return;
    ProjectElement* c = element->getConfigurationElement(configuration);
    if (!c) c = createConfiguration(element, configuration, flag);
    c->setAttribute(saveName, value, flag);
    if (saveName == kInheritedConfigurations && element->isSolution())
        updateInheritenceMap(element);
}

void ProjectSystem::setProperty(ProjectElement* element, const PropertyClass* cls,
                                const QString& configuration, const QString& value, bool flag) {
    if (cls) setProperty(element, cls->saveName(), configuration, value, flag);
}

void ProjectSystem::removeProperty(ProjectElement* element, const QString& saveName,
                                   const QString& configuration) {
    ProjectElement* c = element ? element->getConfigurationElement(configuration) : nullptr;
    if (!c || !c->hasAttribute(saveName)) return;
    c->removeAttribute(saveName);
    if (saveName == kInheritedConfigurations && element->isSolution())
        updateInheritenceMap(element);
}

void ProjectSystem::removeProperty(ProjectElement* element, const PropertyClass* cls,
                                   const QString& configuration) {
    if (cls) removeProperty(element, cls->saveName(), configuration);
}

void ProjectSystem::startTransaction() {
    m_inTransaction = true;
    walkTree(m_solution, [](ProjectElement* e) { e->startTransaction(); });
}

void ProjectSystem::commitTransaction() {
    m_inTransaction = false;
    walkTree(m_solution, [](ProjectElement* e) { e->commitTransaction(); });
    updateProjectList();
}

void ProjectSystem::rollBackTransaction() {
    m_inTransaction = false;
    walkTree(m_solution, [](ProjectElement* e) { e->rollBackTransaction(); });
    updateProjectList();
}
