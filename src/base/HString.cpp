#include "base/HString.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr size_t BucketCount = 1024;
constexpr size_t BlockExtra = 4096;

constexpr uint32_t mix(uint32_t x) {
    x += 0x9E3779B9u;
    x = (x ^ (x >> 16)) * 0x85EBCA6Bu;
    x = (x ^ (x >> 13)) * 0xC2B2AE35u;
    return x ^ (x >> 16);
}

constexpr std::array<uint32_t, 256> makeScatter() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i)
        table[i] = mix(i);
    return table;
}

constexpr std::array<uint32_t, 256> scatter = makeScatter();

struct InternTable {
    HString* buckets[BucketCount] = {};
    char* block = nullptr; // next free byte of the current block
    char* limit = nullptr;
    size_t blockSize = 0;
    size_t blockCount = 0;
};

InternTable& table() {
    static InternTable* instance = new InternTable; // interned strings live forever
    return *instance;
}

} // namespace

HString* HString::intern(const char* text, size_t length, Modifier modifier) {
    if (!text) text = "";
    std::vector<char> copy;
    if (modifier != AsWritten) {
        copy.assign(text, text + length);
        for (char& c : copy) {
            const unsigned char u = static_cast<unsigned char>(c);
            switch (modifier & 0x0F) {
            case Upper:
                c = char(std::toupper(u));
                break;
            case Lower:
                c = char(std::tolower(u));
                break;
            default:
                break;
            }
            if ((modifier & 0xF0) == ToSlash && c == '\\')
                c = '/';
            else if ((modifier & 0xF0) == ToBackslash && c == '/')
                c = '\\';
        }
        // An empty vector has no data pointer; memcpy and memcmp need one.
        text = copy.empty() ? "" : copy.data();
    }

    uint32_t h = 0;
    for (size_t i = 0; i < length; ++i)
        h = 2 * h + scatter[static_cast<unsigned char>(text[i])];

    InternTable& t = table();
    HString*& bucket = t.buckets[h % BucketCount];
    for (HString* s = bucket; s; s = s->m_next)
        if (s->m_length == length && std::memcmp(s->m_text, text, length) == 0) return s;

    if (size_t(t.limit - t.block) <= length + 1) {
        // The rest of the old block is abandoned.
        t.blockSize = length + BlockExtra;
        t.block = new char[t.blockSize];
        t.limit = t.block + t.blockSize;
        ++t.blockCount;
    }
    char* stored = t.block;
    std::memcpy(stored, text, length);
    stored[length] = '\0';
    t.block += length + 1;

    bucket = new HString(h, stored, length, bucket);
    return bucket;
}

HString* HString::intern(const char* text, Modifier modifier) {
    return intern(text, text ? std::strlen(text) : 0, modifier);
}

HString* HString::intern(const std::string& text, Modifier modifier) {
    return intern(text.data(), text.size(), modifier);
}

HString* HString::intern(long number) {
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%ld", number);
    return intern(buffer, size_t(n), AsWritten);
}

size_t HString::storeBlockSize() {
    return table().blockSize;
}
size_t HString::storeBytesLeft() {
    return size_t(table().limit - table().block);
}
size_t HString::storeBlockCount() {
    return table().blockCount;
}
