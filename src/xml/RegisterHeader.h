#pragma once

#include <QString>

class QTextStream;
class MemoryMapElement;
class XMLNode;

// Writes the body of a C register header: one macro per register that
// accesses it at its absolute address, plus mask and bit-number macros for
// its bit fields. writeRegister is virtual so a processor-specific writer can
// change the register line.
class RegisterHeaderWriter {
public:
    virtual ~RegisterHeaderWriter();

    // Definitions for the element and each following sibling, recursively.
    void writeRegisters(QTextStream& out, MemoryMapElement* element, bool regBaseOffs);
    virtual void writeRegister(QTextStream& out, MemoryMapElement* reg, bool regBaseOffs);
    void writeBitfields(QTextStream& out, MemoryMapElement* reg);

    // The whole header: banner, include guard named after the header's base
    // name, body. The title line is left out when the title is empty.
    void writeHeader(QTextStream& out, MemoryMapElement* root, const QString& headerFile,
                     const QString& title, bool regBaseOffs);

private:
    void writeNodes(QTextStream& out, XMLNode* first, bool regBaseOffs);
};
