#include "base/hexparse.h"

int hexDigitValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parseHex(const char* text, size_t length, uint64_t& value) {
    uint64_t result = 0;
    for (size_t i = 0; i < length; ++i) {
        const int digit = hexDigitValue(static_cast<unsigned char>(text[i]));
        if (digit < 0 || (result >> 60) != 0) return false;
        result = (result << 4) | uint64_t(digit);
    }
    value = result;
    return true;
}
