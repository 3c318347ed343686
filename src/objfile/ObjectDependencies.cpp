#include "objfile/ObjectDependencies.h"

#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/HString.h"
#include "objfile/VornMSP430Reader.h"

#include <memory>
#include <new>

QStringList readObjectFileDependenciesOrThrow(const QString& objectFile, FileSystem& files) {
    // Lazy: a quick read stops after the information block, so the rest of
    // the object is never read from disk.
    const std::unique_ptr<HByteStream> stream = files.openInput(objectFile);
    return readObjectDependencies(*stream);
}

QStringList readObjectDependencies(HByteStream& object) {
    VornMSP430Reader reader(object, false);
    VornModule* module = reader.readFileQuickly(false);
    QStringList result;
    if (const HString* value = module->attribute("dependencies"))
        result = value->toQString().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    VornReader::release(module);
    return result;
}

QStringList readObjectFileDependencies(const QString& objectFile, FileSystem& files) {
    try {
        return readObjectFileDependenciesOrThrow(objectFile, files);
    } catch (const HException&) {
        return QStringList();
    } catch (const std::bad_alloc&) {
        return QStringList();
    }
}
