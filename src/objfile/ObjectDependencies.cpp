#include "objfile/ObjectDependencies.h"

#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/HString.h"
#include "base/OsFiles.h"
#include "objfile/VornMSP430Reader.h"

#include <new>

QStringList readObjectFileDependenciesOrThrow(const QString& objectFile) {
    // Lazy: a quick read stops after the information block, so the rest of
    // the object is never read from disk.
    HFileInputByteStream stream(OsFiles::osName(objectFile).toStdString(), true);
    VornMSP430Reader reader(stream, false);
    VornModule* module = reader.readFileQuickly(false);
    QStringList result;
    if (const HString* value = module->attribute("dependencies"))
        result = value->toQString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    VornReader::release(module);
    return result;
}

QStringList readObjectFileDependencies(const QString& objectFile) {
    try {
        return readObjectFileDependenciesOrThrow(objectFile);
    } catch (const HException&) {
        return QStringList();
    } catch (const std::bad_alloc&) {
        return QStringList();
    }
}
