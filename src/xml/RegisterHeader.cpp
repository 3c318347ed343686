#include "xml/RegisterHeader.h"

#include "base/Hint64.h"
#include "xml/MemoryMap.h"

#include <QFileInfo>
#include <QTextStream>

namespace {
QString hex(uint32_t value) {
    return "0x" + QString::number(value, 16).toUpper();
}

MemoryMapElement* asMapElement(XMLNode* node) {
    return node && node->isElement() ? dynamic_cast<MemoryMapElement*>(node) : nullptr;
}
} // namespace

RegisterHeaderWriter::~RegisterHeaderWriter() = default;

void RegisterHeaderWriter::writeRegisters(QTextStream& out, MemoryMapElement* element,
                                          bool regBaseOffs) {
    writeNodes(out, element, regBaseOffs);
}

void RegisterHeaderWriter::writeNodes(QTextStream& out, XMLNode* first, bool regBaseOffs) {
    for (XMLNode* node = first; node; node = node->nextSibling()) {
        MemoryMapElement* e = asMapElement(node);
        if (!e) continue;
        switch (e->elementType()) {
        case MemoryMapElement::MemorySegment:
        case MemoryMapElement::Root:
        case MemoryMapElement::Processor:
            writeNodes(out, e->firstChild(), regBaseOffs);
            break;
        case MemoryMapElement::RegisterGroup:
            if (regBaseOffs && e->hasAddress())
                out << "#define " << e->name() << "_BASE " << hex(e->address()) << "\n\n";
            writeNodes(out, e->firstChild(), regBaseOffs);
            break;
        case MemoryMapElement::Register:
            writeRegister(out, e, regBaseOffs);
            if (e->hasAttribute("aka"))
                out << "#define " << e->attributeString("aka") << " " << e->name() << "\n";
            writeBitfields(out, e);
            out << "\n";
            break;
        default:
            break;
        }
    }
}

void RegisterHeaderWriter::writeRegister(QTextStream& out, MemoryMapElement* reg,
                                         bool regBaseOffs) {
    QString type = "unsigned";
    if (reg->hasAttribute("size")) {
        switch (fromStringTouint64(reg->sizeAsString())) {
        case 1:
            type += " char";
            break;
        case 2:
            type += " short";
            break;
        case 4:
            type += " long";
            break;
        default:
            break;
        }
    }
    out << "#define " << reg->name() << " (*(volatile " << type << " *)" << hex(reg->address())
        << ")\n";
    MemoryMapElement* parent = reg->parentElement();
    if (regBaseOffs && parent && parent->hasAddress())
        out << "#define " << reg->name() << "_OFFSET " << hex(reg->address() - parent->address())
            << "\n";
}

void RegisterHeaderWriter::writeBitfields(QTextStream& out, MemoryMapElement* reg) {
    const bool hasAka = reg->hasAttribute("aka");
    for (XMLNode* node = reg->firstChild(); node; node = node->nextSibling()) {
        MemoryMapElement* field = asMapElement(node);
        if (!field || field->elementType() != MemoryMapElement::BitField) continue;
        const uint32_t width = field->size();
        if (width == 0) continue;
        const uint32_t start = field->address();
        // Widths and positions beyond the register give the bits that fit.
        const uint64_t ones = width >= 64 ? ~uint64_t(0) : (uint64_t(1) << width) - 1;
        const uint32_t mask = start >= 64 ? 0 : uint32_t(ones << start);
        const QString full = reg->name() + "_" + field->name();
        const QString aka = hasAka ? reg->attributeString("aka") + "_" + field->name() : QString();
        const QString maskText = hex(mask);

        out << "#define " << full << "_MASK " << maskText << "\n";
        if (hasAka) out << "#define " << aka << "_MASK " << full << "_MASK\n";
        if (width == 1) {
            out << "#define " << full << " " << maskText << "\n";
            if (hasAka) out << "#define " << aka << " " << full << "\n";
        }
        out << "#define " << full << "_BIT " << start << "\n";
        if (hasAka) out << "#define " << aka << "_BIT " << full << "_BIT\n";
    }
}

void RegisterHeaderWriter::writeHeader(QTextStream& out, MemoryMapElement* root,
                                       const QString& headerFile, const QString& title,
                                       bool regBaseOffs) {
    if (!title.isEmpty())
        out << "// " << title << " register and bit definitions.\n"
            << "//\n";
    out << "// Generated from the target's memory map. You may copy, use and\n"
        << "// distribute this file freely, with or without modification.\n"
        << "//\n"
        << "// This file is provided as is, without warranty of any kind, and\n"
        << "// without any liability for its use.\n"
        << "\n";
    const QString guard = QFileInfo(headerFile).fileName().section('.', 0, 0) + "_h";
    out << "#ifndef " << guard << "\n"
        << "#define " << guard << "\n"
        << "\n";
    writeRegisters(out, root, regBaseOffs);
    out << "\n"
        << "#endif\n";
}
