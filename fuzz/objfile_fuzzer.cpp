// Object files: quick and full reads from memory, and the build's own read
// of the recorded dependencies from a file (read lazily, in chunks).

#include "FuzzSupport.h"

#include "base/HByteStream.h"
#include "base/HException.h"
#include "objfile/ObjectDependencies.h"
#include "objfile/VornMSP430Reader.h"

#include <new>

namespace {

void readOnce(const uint8_t* data, size_t size, bool quick, bool keepLoci) {
    HMemoryByteStream stream(data, size);
    VornMSP430Reader reader(stream, keepLoci);
    try {
        VornModule* module = quick ? reader.readFileQuickly(false) : reader.readFile(false);
        (void)module->attribute("dependencies");
        VornReader::release(module);
    } catch (const HException&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::scratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readOnce(data, size, true, false);
    readOnce(data, size, false, false);
    readOnce(data, size, false, true);
    const QString path = fuzz::writeScratch(
        "object.hzo", QByteArray(reinterpret_cast<const char*>(data), int(size)));
    (void)readObjectFileDependencies(path);
    return 0;
}
