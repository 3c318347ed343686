#include "xml/MemoryMap.h"

#include "base/Caching.h"
#include "base/Hint64.h"
#include "base/OsFiles.h"
#include "base/Path.h"
#include "macros/MacroSystem.h"

#include <QFileInfo>
#include <cstring>
#include <memory>
#include <vector>

// ---------------------------------------------------------------- MemoryMapElement

namespace {
const char* const typeNames[] = {"MemorySegment", "Register", "ProgramSection", "Root",
                                 "RegisterGroup", "BitField", "Processor"};
const int typeCount = int(sizeof(typeNames) / sizeof(typeNames[0]));
} // namespace

MemoryMapElement::MemoryMapElement(char* tagName)
    : XMLElement(tagName), m_type(elementTypeFromString(tagName)) {}

MemoryMapElement::~MemoryMapElement() {
    delete m_importOrigin;
}

MemoryMapElement::ElementType MemoryMapElement::elementTypeFromString(const char* tag) {
    if (!tag) return NoType;
    for (int i = 0; i < typeCount; ++i)
        if (std::strcmp(tag, typeNames[i]) == 0) return ElementType(i);
    return NoType;
}

QString MemoryMapElement::elementTypeAsString(ElementType type) {
    if (type < 0 || type >= typeCount) return QString();
    return QString::fromLatin1(typeNames[type]);
}

QString MemoryMapElement::text(const char* attribute) const {
    return attributeString(attribute);
}

QString MemoryMapElement::name() const {
    return text("name");
}

bool MemoryMapElement::hasAddress() const {
    return !addressAsString().isEmpty();
}
QString MemoryMapElement::addressAsString() const {
    return text("start");
}

void MemoryMapElement::updateAddress(uint32_t base) {
    const QString start = addressAsString();
    const QString trimmed = start.trimmed();
    if (trimmed.isEmpty()) {
        m_address = 0;
    } else if (trimmed.startsWith('+')) {
        m_address = base + uint32_t(fromStringTouint64(trimmed.mid(1)));
    } else {
        const int plus = start.indexOf('+', 1);
        if (plus > 0)
            m_address = uint32_t(fromStringTouint64(start.left(plus))) +
                        uint32_t(fromStringTouint64(start.mid(plus + 1)));
        else
            m_address = uint32_t(fromStringTouint64(start));
    }
}

bool MemoryMapElement::hasAddressSymbol() const {
    return hasAttribute("address_symbol");
}
QString MemoryMapElement::addressSymbol() const {
    return text("address_symbol");
}

bool MemoryMapElement::hasSize() const {
    return !sizeAsString().isEmpty();
}
QString MemoryMapElement::sizeAsString() const {
    return text("size");
}

uint32_t MemoryMapElement::size() const {
    if (hasAttribute("size")) return uint32_t(fromStringTouint64(sizeAsString()));
    if (!hasAttribute("register_type")) return 0;
    const QString type = text("register_type");
    if (type == "unsigned char" || type == "signed char") return 1;
    if (type == "unsigned short" || type == "short") return 2;
    if (type == "unsigned int" || type == "int") return 0; // left to the target
    if (type == "unsigned long" || type == "long" || type == "float") return 4;
    return 8;
}

bool MemoryMapElement::hasSizeSymbol() const {
    return hasAttribute("size_symbol");
}
QString MemoryMapElement::sizeSymbol() const {
    return text("size_symbol");
}

QString MemoryMapElement::alignmentAsString() const {
    return text("alignment");
}
uint32_t MemoryMapElement::alignment() const {
    return uint32_t(fromStringTouint64(alignmentAsString()));
}

bool MemoryMapElement::hasRunIn() const {
    return hasAttribute("runin");
}
QString MemoryMapElement::runIn() const {
    return text("runin");
}
bool MemoryMapElement::hasAccessType() const {
    return hasAttribute("access");
}
QString MemoryMapElement::accessType() const {
    return text("access");
}
bool MemoryMapElement::isReadOnly() const {
    return accessType() == "ReadOnly";
}
bool MemoryMapElement::hasEndian() const {
    return hasAttribute("endian");
}
QString MemoryMapElement::endian() const {
    return text("endian");
}
bool MemoryMapElement::hasInputSections() const {
    return hasAttribute("inputsections");
}
QString MemoryMapElement::inputSections() const {
    return text("inputsections");
}
bool MemoryMapElement::hasLoad() const {
    return hasAttribute("load");
}
bool MemoryMapElement::load() const {
    return hasLoad() && text("load") == "Yes";
}

void MemoryMapElement::setImportOrigin(MemoryMapElement* origin) {
    if (origin == m_importOrigin) return;
    delete m_importOrigin;
    m_importOrigin = origin;
}

MemoryMapElement* MemoryMapElement::parentElement() const {
    XMLNode* p = parent();
    return p && p->isElement() ? dynamic_cast<MemoryMapElement*>(p) : nullptr;
}

// ---------------------------------------------------------------- MemoryMap

namespace {
QString expandedName(const QString& fileName) {
    return macroSystem.replaceMacros(macroSystem.globalMacros(true), fileName);
}

MemoryMapElement* asMapElement(XMLNode* node) {
    return node && node->isElement() ? dynamic_cast<MemoryMapElement*>(node) : nullptr;
}

// Invalid for a missing file, as QFileInfo gives it.
QDateTime modificationTime(const QString& path) {
    const OsFiles::Status st = OsFiles::status(path);
    return st.exists ? QDateTime::fromMSecsSinceEpoch(st.modifiedNs / 1000000) : QDateTime();
}

qint64 seconds(const QDateTime& t) {
    return t.isValid() ? t.toSecsSinceEpoch() : 0;
}
} // namespace

MemoryMap::MemoryMap() = default;

MemoryMap::~MemoryMap() = default;

XMLElement* MemoryMap::mkXMLElement(char* tagName) {
    return new MemoryMapElement(tagName);
}

void MemoryMap::warning(const QString& text) {
    qWarning("%s", text.toLocal8Bit().constData());
}

MemoryMapElement* MemoryMap::getRoot() const {
    return asMapElement(root());
}

bool MemoryMap::load(const QString& fileName, const QString& macroText) {
    m_macroText = macroText;
    const QString path = expandedName(fileName);
    if (!XMLPP2::load(path, macroText)) return false;
    m_fileName = fileName;
    m_importDir = OsFiles::directoryOf(path);
    m_lastModified = modificationTime(path);
    m_readOnly = !OsFiles::isWritable(path);
    processImports();
    fixupAddresses(getRoot(), 0);
    return true;
}

bool MemoryMap::loadFromString(const QByteArray& text, const QString& importDir) {
    m_importDir = importDir;
    if (!XMLDocument::loadFromString(text)) return false;
    processImports();
    fixupAddresses(getRoot(), 0);
    return true;
}

QString MemoryMap::importPath(const MemoryMapElement* import) const {
    // The name as given first (from the working directory); a relative name
    // that is no file there is taken from the importing map's directory, which
    // is what a run from another directory needs.
    const QString name = expandedName(import->attributeString("filename"));
    if (m_importDir.isEmpty() || !QFileInfo(name).isRelative() || OsFiles::exists(name))
        return name;
    return m_importDir + "/" + name;
}

void MemoryMap::processImports() {
    XMLElement* r = root();
    if (!r) return;
    XMLNode* prev = nullptr;
    for (XMLNode* node = r->firstChild(); node;) {
        XMLNode* next = node->nextSibling();
        MemoryMapElement* import = asMapElement(node);
        if (import && import->hasTag("Import")) {
            std::unique_ptr<MemoryMap> imported(new MemoryMap);
            if (imported->XMLPP2::load(importPath(import), m_macroText) && imported->getRoot()) {
                MemoryMapElement* importedRoot = imported->getRoot();
                imported->takeRoot();
                XMLTree::unlink(r, prev, import);
                r->reparentChildrenAfter(prev, importedRoot);
                importedRoot->setImportOrigin(import);
                node = importedRoot;
            }
        }
        prev = node;
        node = next;
    }
}

void MemoryMap::fixupAddresses(MemoryMapElement* element, uint32_t base) {
    if (!element) return;
    uint32_t childBase = base;
    if (element->hasAttribute("start")) {
        switch (element->elementType()) {
        case MemoryMapElement::MemorySegment:
        case MemoryMapElement::ProgramSection:
        case MemoryMapElement::RegisterGroup:
            element->updateAddress(base);
            childBase = element->address();
            break;
        case MemoryMapElement::Register:
            element->updateAddress(base);
            break;
        case MemoryMapElement::BitField:
            element->updateAddress(0);
            break;
        default:
            break;
        }
    }
    for (XMLNode* c = element->firstChild(); c; c = c->nextSibling())
        fixupAddresses(asMapElement(c), childBase);
}

void MemoryMap::getElementsOfType(MemoryMapElement* element, MemoryMapElement::ElementType type,
                                  bool prepend, ElementList& list) {
    if (!element) return;
    if (element->elementType() == type) {
        if (prepend)
            list.prepend(element);
        else
            list.append(element);
        return;
    }
    for (XMLNode* c = element->firstChild(); c; c = c->nextSibling())
        getElementsOfType(asMapElement(c), type, prepend, list);
}

MemoryMap::ElementList MemoryMap::getSegments(bool reverse) const {
    ElementList list;
    getElementsOfType(getRoot(), MemoryMapElement::MemorySegment, reverse, list);
    return list;
}

MemoryMap::ElementList MemoryMap::getSections(MemoryMapElement* segment, bool inOrder) const {
    ElementList list;
    if (!segment) return list;
    for (XMLNode* c = segment->firstChild(); c; c = c->nextSibling())
        getElementsOfType(asMapElement(c), MemoryMapElement::ProgramSection, !inOrder, list);
    return list;
}

namespace {
MemoryMapElement* findNamed(MemoryMapElement* element, const QString& name,
                            MemoryMapElement::ElementType type) {
    if (!element) return nullptr;
    if (element->elementType() == type && element->name() == name) return element;
    for (XMLNode* c = element->firstChild(); c; c = c->nextSibling())
        if (MemoryMapElement* found = findNamed(asMapElement(c), name, type)) return found;
    return nullptr;
}
} // namespace

MemoryMapElement* MemoryMap::getNamedElementOfType(const QString& name,
                                                   MemoryMapElement::ElementType type) const {
    return findNamed(getRoot(), name, type);
}

MemoryMapElement* MemoryMap::getSegment(const QString& name) const {
    return getNamedElementOfType(name, MemoryMapElement::MemorySegment);
}

bool MemoryMap::upToDate() const {
    if (modificationTime(expandedName(m_fileName)) != m_lastModified) return false;
    XMLElement* r = root();
    if (!r) return true;
    for (XMLNode* c = r->firstChild(); c; c = c->nextSibling()) {
        const MemoryMapElement* e = asMapElement(c);
        if (!e || !e->importOrigin()) continue;
        const QDateTime imported = modificationTime(importPath(e->importOrigin()));
        if (seconds(imported) > seconds(m_lastModified)) return false;
    }
    return true;
}

// ---------------------------------------------------------------- MemoryMapOpenFiles

namespace {
struct OpenMaps {
    QMap<QString, MemoryMap*> maps;
    std::vector<std::unique_ptr<MemoryMap>> retired;
    ~OpenMaps() { qDeleteAll(maps); }
};
OpenMaps& openMaps() {
    static OpenMaps cache;
    return cache;
}
} // namespace

MemoryMap* MemoryMapOpenFiles::getMemoryMapFile(const QString& fileName) {
    QMap<QString, MemoryMap*>& maps = openMaps().maps;
    const QString key = Path::toOsPath(fileName);
    auto it = maps.find(key);
    if (it != maps.end()) {
        if (Caching::enabled() && (*it)->upToDate()) return *it;
        // The caller of the last lookup may still hold the replaced map.
        openMaps().retired.emplace_back(*it);
        maps.erase(it);
    }
    std::unique_ptr<MemoryMap> map(new MemoryMap);
    if (!map->load(fileName, QString())) return nullptr;
    MemoryMap* loaded = map.release();
    maps.insert(key, loaded);
    return loaded;
}

void MemoryMapOpenFiles::clear() {
    QMap<QString, MemoryMap*>& maps = openMaps().maps;
    qDeleteAll(maps);
    maps.clear();
    openMaps().retired.clear();
}
