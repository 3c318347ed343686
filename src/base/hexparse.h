#pragma once

#include <cstddef>
#include <cstdint>

// Value of one hexadecimal digit (either case), or -1.
int hexDigitValue(int c);

// Parses exactly `length` hexadecimal digits (no prefix, no sign) into value;
// false when a character is not a hex digit or the value needs more than 64 bits.
bool parseHex(const char* text, size_t length, uint64_t& value);
