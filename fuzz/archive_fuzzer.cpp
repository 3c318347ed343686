// Package archives. The first byte chooses how the rest becomes a package:
// even, compressed by the harness (so the archive structure is what varies);
// odd, taken as the compressed file itself. The package is then updated
// (member added, or removed) and read directly as an uncompressed archive.

#include "FuzzSupport.h"

#include "base/FileSystem.h"
#include "base/QTx.h"
#include "build/PackageUpdate.h"
#include "objfile/Archive.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::scratchDir();
    fuzz::writeScratch("staged.txt", "staged file\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const QByteArray body(reinterpret_cast<const char*>(data + 1), int(size - 1));
    QByteArray package;
    if (mode & 1) {
        package = body;
    } else {
        package = QByteArray(reinterpret_cast<const char*>(QTx::compressedFileHeader), 8);
        package += qCompress(body);
    }
    const QString path = fuzz::writeScratch("package.hzq", package);
    const QString member = (mode & 2) ? QStringLiteral("staged.txt") : QStringLiteral("other");
    const QString file = (mode & 4) ? QString() : QStringLiteral("staged.txt");
    updatePackage(FileSystem::real(), path, member, file, nullptr, true, mode & 8);

    const QString raw = fuzz::writeScratch("raw.a", body);
    Archive2 archive;
    if (archive.open(raw) == Archive2::Ok) {
        (void)archive.findMember("staged.txt");
        archive.write(fuzz::scratchDir() + "/copy.a");
    }
    archive.close();
    return 0;
}
