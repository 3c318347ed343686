#pragma once

#include <QString>

// Workers of the builtin "xmlcp" and "mkhdr" commands. Relative file names are
// resolved against dir. They never print: a failure sets errorText (which is
// left untouched on success) and the result is false.
namespace XmlBuiltins {

// Preprocesses src with expansion on (macroDefs: "name=value" items in list
// syntax) and writes the result to dst indented by two spaces. An unreadable
// or malformed source leaves dst untouched.
bool xmlcp(const QString& dir, const QString& src, const QString& dst, const QString& macroDefs,
           QString& errorText);

// Writes a C header of register and bit-field definitions for the registers
// of the memory map; regBaseOffs adds _BASE and _OFFSET definitions.
bool mkhdr(const QString& dir, const QString& mapFile, const QString& headerFile,
           const QString& title, bool regBaseOffs, QString& errorText);

} // namespace XmlBuiltins
