#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

class HString;

// Writes an object file: records go to the body buffer, string texts to the
// pool buffer; finish() emits the pool record followed by the body.
//
// A minimal object as the toolchain writes it:
//   VornWriter w;
//   w.writeAttribute("dependencies", "main.c;a.h");
//   w.writeEndOfInfo();
//   w.writeSection("CODE");
//   w.writeBytes(payload);
//   w.writeFile(path);
class VornWriter {
public:
    VornWriter() = default;

    void externalizeTag(uint8_t tag);
    // Values below 8 as a single tag, others as LITX with the fewest bytes.
    void externalizeLiteral(uint64_t value);
    // Counted string (offset, length, tag 35); a null text gives the NULL tag.
    void externalizeString(const char* text, size_t length);
    void externalizeString(const char* text);
    // Latin-1; a null QString gives the NULL tag.
    void externalizeString(const QString& text);
    void externalizeString(const HString* text);

    // Information block.
    void writeLibrary(const QString& name);
    void writeAttribute(const QString& key, const QString& value);
    void writeProtected();
    void writeLinkOrderPriority(uint64_t priority); // nothing for the default 10
    void writeEndOfInfo();

    // Contents after the information block: a section made current, and raw
    // bytes appended to it (the full reader returns them per section).
    void writeSection(const QString& name);
    void writeBytes(const QByteArray& bytes);

    QByteArray finish() const;
    // Writes finish() to the file (Latin-1 path); false on any I/O failure.
    bool writeFile(const QString& path) const;

    const std::vector<uint8_t>& body() const { return m_body; }
    const std::vector<uint8_t>& pool() const { return m_pool; }

private:
    static void appendLiteral(std::vector<uint8_t>& out, uint64_t value);

    std::vector<uint8_t> m_body;
    std::vector<uint8_t> m_pool;
};
