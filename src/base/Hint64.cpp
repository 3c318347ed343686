#include "base/Hint64.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

uint64_t fromStringTouint64(const char* text) {
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p && std::isspace(*p))
        ++p;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    } else if (*p == '+') {
        ++p;
    }
    uint64_t base = 10;
    if (p[0] == '0' && p[1] == 'x') {
        base = 16;
        p += 2;
    } else if (p[0] == '0' && p[1] == 'b') {
        base = 2;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
        ++p;
    }
    // Every remaining character is taken as a digit, checked or not.
    uint64_t value = 0;
    for (; *p; ++p) {
        int64_t digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (*p >= 'a' && *p <= 'z')
            digit = *p - 'a' + 10;
        else
            digit = int64_t(*p) - 55;
        value = value * base + uint64_t(digit);
    }
    return negative ? ~value + 1 : value;
}

uint64_t fromStringTouint64(const QString& text) {
    return fromStringTouint64(text.toLatin1().constData());
}

int64_t fromStringToint64(const char* text) {
    return int64_t(fromStringTouint64(text));
}

int64_t fromStringToint64(const QString& text) {
    return int64_t(fromStringTouint64(text));
}

namespace {
char conversionBuffer[72];

char* digitsOf(uint64_t value, int base, char* end) {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    if (base < 2 || base > 36) base = 10;
    char* p = end;
    do {
        *--p = digits[value % uint64_t(base)];
        value /= uint64_t(base);
    } while (value);
    return p;
}
} // namespace

const char* toStringFromuint64(uint64_t value, int base) {
    char* end = conversionBuffer + sizeof conversionBuffer - 1;
    *end = '\0';
    return digitsOf(value, base, end);
}

const char* toStringFromint64(int64_t value, int base) {
    char* end = conversionBuffer + sizeof conversionBuffer - 1;
    *end = '\0';
    if (value >= 0) return digitsOf(uint64_t(value), base, end);
    char* p = digitsOf(~uint64_t(value) + 1, base, end);
    *--p = '-';
    return p;
}

double fromStringToDouble(const char* text) {
    return text ? std::strtod(text, nullptr) : 0.0;
}

double fromStringToDouble(const QString& text) {
    return fromStringToDouble(text.toLatin1().constData());
}

QString toStringFromDouble(double value, const char* format) {
    return QString::asprintf(format ? format : "%g", value);
}

int64_t signExtend(int bit, uint64_t value) {
    if (bit < 0 || bit >= 63) return int64_t(value);
    if ((value >> bit) & 1) value |= ~uint64_t(0) << bit;
    return int64_t(value);
}
