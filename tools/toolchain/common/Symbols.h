#pragma once

#include <QByteArray>
#include <QStringList>

// Public names a source defines, found by a light scan of the preprocessed
// text. This is what the linker lists; it is not a parser.
// Non-static functions and initialised variables; variables declared without
// an initialiser are tentative, and the linker merges equal tentative names.
QStringList cPublicSymbols(const QByteArray& text, QStringList& tentative);
QStringList assemblyPublicSymbols(const QByteArray& text); // names made global
QStringList basicPublicSymbols(const QByteArray& text);    // SUB and FUNCTION names

// Every identifier the text uses outside quotes, minus the given names: what
// the linker may look for in libraries.
QStringList referencedNames(const QByteArray& text, const QStringList& defined);
