// Archiver: "har -c library object..." writes a library of the objects, in
// the order given.
#include "common/Diagnostics.h"
#include "common/FileIO.h"
#include "common/LibraryFile.h"
#include "common/ObjectIO.h"

int main(int argc, char** argv) {
    Diagnostics diagnostics("har");
    QString library;
    QStringList members;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLatin1(argv[i]);
        if (arg == "-c") {
            if (i + 1 >= argc) {
                diagnostics.error("missing library name after '-c'");
                return 1;
            }
            library = QString::fromLatin1(argv[++i]);
        } else if (arg.startsWith('-') && arg.size() > 1) {
            // Other options do not change the library.
        } else {
            members.append(arg);
        }
    }
    if (library.isEmpty()) {
        diagnostics.error("no library named (use -c library)");
        return 1;
    }

    QList<LibraryMember> contents;
    for (const QString& member : members) {
        QByteArray data;
        QString error;
        ObjectModule object;
        if (!ToolFiles::readFile(member, data, error)) {
            diagnostics.error("cannot open " + error);
            continue;
        }
        if (isLibrary(data) || !decodeObject(data, object, error)) {
            diagnostics.error(member + ": not an object file" +
                              (error.isEmpty() ? "" : " (" + error + ")"));
            continue;
        }
        contents.append({ToolFiles::fileNameOf(member), data});
    }
    if (diagnostics.failed()) {
        ToolFiles::removeFile(library); // never leave an out-of-date library behind
        return 1;
    }

    QString error;
    if (!ToolFiles::writeFile(library, encodeLibrary(contents), error)) {
        diagnostics.error(error);
        return 1;
    }
    return 0;
}
