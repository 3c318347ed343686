#pragma once

#include <QString>
#include <QStringList>

#include "base/FileSystem.h"

class HByteStream;

// The files an object was built from, as recorded in its "dependencies"
// attribute (";"-separated, empty items dropped), read with a quick read that
// stops after the information block.
//
// The throwing form raises HException for an unopenable, unreadable or bad
// object file; the other form returns an empty list for any failure, so the
// caller falls back to the source file.
QStringList readObjectFileDependencies(const QString& objectFile,
                                       FileSystem& files = FileSystem::real());
QStringList readObjectFileDependenciesOrThrow(const QString& objectFile,
                                              FileSystem& files = FileSystem::real());
// The same from the object's bytes; throws HException.
QStringList readObjectDependencies(HByteStream& object);
