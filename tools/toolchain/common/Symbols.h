#pragma once

#include <QByteArray>
#include <QStringList>

// Public names a source defines, found by a light scan of the preprocessed
// text. This is what the linker lists; it is not a parser.
QStringList cPublicSymbols(const QByteArray& text);        // non-static functions and variables
QStringList assemblyPublicSymbols(const QByteArray& text); // names made global
QStringList basicPublicSymbols(const QByteArray& text);    // SUB and FUNCTION names
