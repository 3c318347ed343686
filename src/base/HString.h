#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>

// Interned string: equal texts (after the modifier's normalisation) give the
// same object, so interned strings compare by identity. Never freed.
class HString {
public:
    // Low four bits: case folding (0 upper, 1 lower, anything else none).
    // High four bits: separator conversion (0x10 "\" -> "/", 0x20 "/" -> "\").
    enum Modifier : unsigned {
        Upper = 0x00,
        Lower = 0x01,
        AsWritten = 0x02,
        ToSlash = 0x10,
        ToBackslash = 0x20
    };
    friend constexpr Modifier operator|(Modifier a, Modifier b) {
        return Modifier(unsigned(a) | unsigned(b));
    }

    static HString* intern(const char* text, size_t length, Modifier modifier = AsWritten);
    static HString* intern(const char* text, Modifier modifier = AsWritten);
    static HString* intern(const std::string& text, Modifier modifier = AsWritten);
    static HString* intern(long number);

    uint32_t hash() const { return m_hash; }
    const char* text() const { return m_text; }
    size_t length() const { return m_length; }
    // The text as Latin-1, the encoding of names on the way to and from the OS.
    QString toQString() const { return QString::fromLatin1(m_text, qsizetype(m_length)); }

    // Introspection of the character store (diagnostics and tests).
    static size_t storeBlockSize();
    static size_t storeBytesLeft();
    static size_t storeBlockCount();

    HString(const HString&) = delete;
    HString& operator=(const HString&) = delete;

private:
    HString(uint32_t hash, const char* text, size_t length, HString* next)
        : m_hash(hash), m_text(text), m_length(length), m_next(next) {}

    uint32_t m_hash;
    const char* m_text;
    size_t m_length;
    HString* m_next;
};
