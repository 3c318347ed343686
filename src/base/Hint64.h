#pragma once

#include <QString>
#include <cstdint>

// Number texts as used for addresses and sizes: optional blanks and sign, then
// "0x" hexadecimal, "0b" binary, a leading "0" octal, otherwise decimal. Never
// fails: every character after the prefix counts as a digit.
uint64_t fromStringTouint64(const char* text);
uint64_t fromStringTouint64(const QString& text);
int64_t fromStringToint64(const char* text);
int64_t fromStringToint64(const QString& text);

// Digits in the base (2 to 36, lower case, no prefix). The result lives in a
// static buffer that the next call overwrites.
const char* toStringFromuint64(uint64_t value, int base = 10);
const char* toStringFromint64(int64_t value, int base = 10);

double fromStringToDouble(const char* text);
double fromStringToDouble(const QString& text);
// printf-style format with one double conversion, e.g. "%g".
QString toStringFromDouble(double value, const char* format = "%g");

// Copies bit `bit` of the value into every bit above it.
int64_t signExtend(int bit, uint64_t value);
