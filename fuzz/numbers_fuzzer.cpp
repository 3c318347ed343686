// Number texts, hexadecimal digits, interned strings and the pool allocator.

#include "FuzzSupport.h"

#include "base/HString.h"
#include "base/Hint64.h"
#include "base/hexparse.h"
#include "base/pool.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::scratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const uint64_t u = fromStringTouint64(text.c_str());
    const int64_t s = fromStringToint64(text.c_str());
    if (uint64_t(s) != u) __builtin_trap();
    (void)fromStringTouint64(QString::fromLatin1(text.c_str()));
    (void)fromStringToDouble(text.c_str());
    (void)toStringFromDouble(double(s));

    for (int base = 2; base <= 36; ++base) {
        const std::string digits = toStringFromuint64(u, base);
        if (base == 16 && fromStringTouint64(("0x" + digits).c_str()) != u) __builtin_trap();
        if (base == 10 && fromStringTouint64(digits.c_str()) != u) __builtin_trap();
        (void)toStringFromint64(s, base);
    }
    (void)signExtend(int(u % 64), u);

    uint64_t hex = 0;
    if (parseHex(text.data(), text.size(), hex) && size <= 16) {
        char again[32];
        std::snprintf(again, sizeof again, "0x%llx", static_cast<unsigned long long>(hex));
        if (fromStringTouint64(again) != hex) __builtin_trap();
    }
    for (unsigned char c : text)
        (void)hexDigitValue(c);

    // Interned strings live for the process: keep them short.
    const size_t len = size < 12 ? size : 12;
    for (int modifier : {0x00, 0x01, 0x02, 0x11, 0x20}) {
        HString* a = HString::intern(text.data(), len, HString::Modifier(modifier));
        HString* b = HString::intern(text.data(), len, HString::Modifier(modifier));
        if (a != b) __builtin_trap();
    }

    Pool pool;
    for (size_t i = 0; i + 2 <= size && i < 64; i += 2) {
        const size_t n = size_t(data[i]) << (data[i + 1] % 8);
        char* p = static_cast<char*>(pool.allocate(n));
        if (n) {
            p[0] = 1;
            p[n - 1] = 1;
        }
    }
    return 0;
}
