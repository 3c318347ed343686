#include "project/ProjectSystem.h"

#include "base/Branding.h"
#include "base/OsFiles.h"
#include "project/ProjectTemplates.h"
#include "project/SolutionScanner.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>

// Reading and writing solution files.

static const QString kName = QStringLiteral("Name");
static const QString kFileName = QStringLiteral("file_name");
static const QString kVersion = QStringLiteral("version");
static const QString kTemplateName = QStringLiteral("template_name");

static QString documentTypeName() {
    return QString::fromLatin1(Get_STUDIO_NAME()) + QStringLiteral("_Project_File");
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

// Files may be imported again and again, but a chain of files each importing
// the next twice would multiply without end: a bound far beyond any real
// solution stops it.
static const int kMaxFilesLoaded = 100000;
// Deeper trees, imported solutions included, are not solutions anyone writes;
// refusing them keeps the recursive walks of the tree within the stack.
static const int kMaxDepth = 256;

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
    if (!OsFiles::exists(path) && !baseDir.isEmpty()) path = baseDir + QLatin1Char('/') + fileName;
    const OsFiles::Status info = OsFiles::status(path);
    if (!info.exists) throw SolutionLoadError(path, QStringLiteral(" does not exist"));
    QFile file;
    if (!OsFiles::openRegular(file, path))
        throw SolutionLoadError(path, QStringLiteral(" cannot access"));
    QString absolute = OsFiles::absolutePath(path);
    if (m_loadStack.contains(absolute))
        throw SolutionLoadError(absolute, QStringLiteral(" solution already loaded"));
    if (m_loadStack.isEmpty()) {
        m_filesLoaded = 0;
        m_importDepth = 0;
    }
    if (++m_filesLoaded > kMaxFilesLoaded)
        throw SolutionLoadError(m_loadStack.last(), QStringLiteral(" imports too many solutions"));

    const QByteArray bytes = file.readAll();
    if (ProjectElement* solution = loadInOnePass(bytes, absolute, path)) {
        munge(solution);
        return solution;
    }
    // A first pass checks the whole file before anything is built or imported,
    // so a syntax error anywhere is reported as such.
    QString docType, rootTag;
    bool hasVersion = false;
    int depth = 0, maxDepth = 0;
    {
        QXmlStreamReader reader(bytes);
        reader.setNamespaceProcessing(false); // read names as written, like the DOM
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.tokenType() == QXmlStreamReader::DTD) {
                docType = reader.dtdName().toString();
            } else if (reader.isStartElement()) {
                maxDepth = std::max(maxDepth, ++depth);
                if (rootTag.isEmpty()) {
                    rootTag = reader.name().toString();
                    hasVersion = reader.attributes().hasAttribute(kVersion);
                }
            } else if (reader.isEndElement()) {
                --depth;
            }
        }
        // The document model reports the reader's own message; parsing the
        // file again through it would take minutes and gigabytes on a huge
        // or deeply nested file.
        if (reader.hasError())
            throw SolutionLoadError(absolute, reader.errorString(), int(reader.lineNumber()),
                                    int(reader.columnNumber()));
    }
    if (docType != documentTypeName() ||
        rootTag != ProjectElement::tagName(ProjectElement::Solution))
        throw SolutionLoadError(path, QStringLiteral(" not a solution file"));
    // The document model that upgrades older files takes time in the square
    // of the depth: refuse what the tree would refuse before building it.
    if (!hasVersion && maxDepth > kMaxDepth + 1 - m_importDepth)
        throw SolutionLoadError(path, QStringLiteral(" is nested too deeply"));

    const QString baseDirectory = QFileInfo(absolute).path();
    ProjectElement* solution = nullptr;
    {
        LoadStackEntry entry(m_loadStack, absolute);
        if (hasVersion) {
            QXmlStreamReader reader(bytes);
            reader.setNamespaceProcessing(false); // read names as written, like the DOM
            reader.readNextStartElement();
            solution = buildTree(reader, baseDirectory, path, m_importDepth);
        } else {
            // Older files are rewritten as a document before the tree is built.
            QDomDocument document;
            document.setContent(bytes);
            upgrade(document);
            solution = buildTree(document.documentElement(), baseDirectory, path, m_importDepth);
        }
        solution->setPath(absolute);
    }
    munge(solution);
    return solution;
}

// Building a tree that imports nothing has no effect outside the tree, so such
// a file can be checked and built in one pass: the tree is simply dropped when
// the file turns out to be malformed. Anything out of the ordinary (imports,
// another document type, an older file, a tree too deep, an odd ending)
// returns null and goes the careful way, which words every error.
ProjectElement* ProjectSystem::loadInOnePass(const QByteArray& bytes, const QString& absolute,
                                             const QString& path) {
    // A file cut short (a full disk, an interrupted copy) is sent the careful
    // way at once rather than after building most of a large tree.
    if (bytes.contains("<import") || !bytes.trimmed().endsWith("</solution>")) return nullptr;
    if (m_scanSolutions) {
        ProjectElement* solution =
            scanSolution(bytes, documentTypeName(), m_importDepth, kMaxDepth, m_templateRequests);
        if (solution) {
            solution->setPath(absolute);
            return solution;
        }
    }
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false); // read names as written, like the DOM
    QString docType;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.tokenType() == QXmlStreamReader::DTD)
            docType = reader.dtdName().toString();
        else if (reader.isStartElement())
            break;
    }
    if (reader.hasError() || !reader.isStartElement() || docType != documentTypeName() ||
        reader.name() != ProjectElement::tagName(ProjectElement::Solution) ||
        !reader.attributes().hasAttribute(kVersion))
        return nullptr;

    const qsizetype requests = m_templateRequests.size();
    std::unique_ptr<ProjectElement> solution;
    try {
        LoadStackEntry entry(m_loadStack, absolute);
        solution.reset(buildTree(reader, QFileInfo(absolute).path(), path, m_importDepth));
    } catch (const SolutionLoadError&) {
        solution.reset();
    }
    while (solution && !reader.atEnd())
        reader.readNext(); // what follows the root
    if (!solution || reader.hasError()) {
        m_templateRequests.resize(requests); // they point into the dropped tree
        return nullptr;
    }
    solution->setPath(absolute);
    return solution.release();
}

ProjectElement* ProjectSystem::importElement(const QString& rawName, const QString& baseDir,
                                             int depth) {
    // The imported solution takes the place of the import element.
    const int outer = m_importDepth;
    m_importDepth = depth;
    ProjectElement* imported = nullptr;
    try {
        imported = loadProjectFile(baseDir, expandGlobalMacros(rawName));
    } catch (...) {
        m_importDepth = outer;
        throw;
    }
    m_importDepth = outer;
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
        return importElement(raw, baseDir, depth);
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
    if (tag == QLatin1String("import"))
        return importElement(xml.attribute(kFileName), baseDir, depth);
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
    QFile file;
    if (!OsFiles::open(file, fileName, QIODevice::WriteOnly | QIODevice::Truncate)) return false;
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
