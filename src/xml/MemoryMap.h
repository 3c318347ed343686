#pragma once

#include "xml/XmlPP2.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <cstdint>

// An element of a memory map: its tag gives its type; its attributes describe
// addresses, sizes and placement. Missing attributes read as empty.
class MemoryMapElement : public XMLElement {
public:
    enum ElementType {
        NoType = -1,
        MemorySegment = 0,
        Register = 1,
        ProgramSection = 2,
        Root = 3,
        RegisterGroup = 4,
        BitField = 5,
        Processor = 6,
    };

    explicit MemoryMapElement(char* tagName);
    ~MemoryMapElement() override;

    ElementType elementType() const { return m_type; }
    QString elementTypeAsString() const { return elementTypeAsString(m_type); }
    static QString elementTypeAsString(ElementType type);
    static ElementType elementTypeFromString(const char* tag);

    QString name() const;

    // "start": an absolute number, "+n" relative to the enclosing segment,
    // section or group, or "a+b".
    bool hasAddress() const;
    QString addressAsString() const;
    // Filled by the address fix-up after loading.
    uint32_t address() const { return m_address; }
    void updateAddress(uint32_t base);

    bool hasAddressSymbol() const;
    QString addressSymbol() const;

    bool hasSize() const;
    QString sizeAsString() const;
    // "size" as a number, else from "register_type", else 0.
    uint32_t size() const;
    bool hasSizeSymbol() const;
    QString sizeSymbol() const;

    QString alignmentAsString() const;
    uint32_t alignment() const;

    bool hasRunIn() const;
    QString runIn() const;
    bool hasAccessType() const;
    QString accessType() const;
    bool isReadOnly() const;
    bool hasEndian() const;
    QString endian() const;
    bool hasInputSections() const;
    QString inputSections() const;
    bool hasLoad() const;
    // True only for load="Yes".
    bool load() const;

    // For the root of an imported map: the Import element it replaced (owned).
    MemoryMapElement* importOrigin() const { return m_importOrigin; }
    void setImportOrigin(MemoryMapElement* origin);

    MemoryMapElement* parentElement() const;

private:
    QString text(const char* attribute) const;

    ElementType m_type;
    uint32_t m_address = 0;
    MemoryMapElement* m_importOrigin = nullptr;
};

// A target's memory map: segments, program sections, registers and bit
// fields, loaded through the preprocessor with imports resolved and absolute
// addresses computed.
class MemoryMap : public XMLPP2 {
public:
    typedef QList<MemoryMapElement*> ElementList;

    MemoryMap();
    ~MemoryMap() override;

    XMLElement* mkXMLElement(char* tagName) override;
    void warning(const QString& text) override;

    // The file name is expanded with the global macros. False when the file
    // cannot be read or parsed.
    bool load(const QString& fileName, const QString& macroText);
    // No preprocessing; imports and addresses are processed. Relative import
    // names resolve against importDir (the working directory when empty).
    bool loadFromString(const QByteArray& text, const QString& importDir = QString());

    MemoryMapElement* getRoot() const;
    // Topmost segments in document order (reversed on request).
    ElementList getSegments(bool reverse) const;
    // Topmost sections under the segment, in document order when inOrder.
    ElementList getSections(MemoryMapElement* segment, bool inOrder) const;
    static void getElementsOfType(MemoryMapElement* element, MemoryMapElement::ElementType type,
                                  bool prepend, ElementList& list);
    // Depth first from the root; null when absent.
    MemoryMapElement* getNamedElementOfType(const QString& name,
                                            MemoryMapElement::ElementType type) const;
    MemoryMapElement* getSegment(const QString& name) const;

    // False when the file, or an imported file, changed since loading.
    bool upToDate() const;

    QString fileName() const { return m_fileName; }
    QString macroText() const { return m_macroText; }
    QDateTime lastModified() const { return m_lastModified; }
    bool isReadOnly() const { return m_readOnly; }

    static void fixupAddresses(MemoryMapElement* element, uint32_t base);

private:
    void processImports();
    QString importPath(const MemoryMapElement* import) const;

    QString m_macroText;
    QString m_fileName;
    QString m_importDir;
    QDateTime m_lastModified;
    bool m_readOnly = false;
};

// Process-wide cache of loaded maps, reloaded when a map's file or one of its
// imports changed. The cache owns the maps: callers must not delete them.
class MemoryMapOpenFiles {
public:
    // Null when the file cannot be loaded.
    static MemoryMap* getMemoryMapFile(const QString& fileName);
    static void clear();
};
