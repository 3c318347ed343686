#include "common/LibraryFile.h"

const char kLibrarySignature[] = "!<hza>\n";

QByteArray encodeLibrary(const QList<LibraryMember>& members) {
    QByteArray out(kLibrarySignature);
    for (const LibraryMember& member : members) {
        out += member.name.toLatin1();
        out += '\n';
        out += QByteArray::number(member.data.size());
        out += '\n';
        out += member.data;
    }
    return out;
}

bool isLibrary(const QByteArray& data) {
    return data.startsWith(kLibrarySignature);
}

bool decodeLibrary(const QByteArray& data, QList<LibraryMember>& members, QString& error) {
    if (!isLibrary(data)) {
        error = "not a library";
        return false;
    }
    qsizetype pos = qsizetype(sizeof(kLibrarySignature) - 1);
    while (pos < data.size()) {
        qsizetype nameEnd = data.indexOf('\n', pos);
        qsizetype sizeEnd = nameEnd < 0 ? -1 : data.indexOf('\n', nameEnd + 1);
        if (sizeEnd < 0) {
            error = "truncated library member header";
            return false;
        }
        bool ok = false;
        qint64 size = data.mid(nameEnd + 1, sizeEnd - nameEnd - 1).toLongLong(&ok);
        if (!ok || size < 0 || size > data.size() - (sizeEnd + 1) || nameEnd == pos) {
            error = "corrupt library member header";
            return false;
        }
        members.append({QString::fromLatin1(data.mid(pos, nameEnd - pos)),
                        data.mid(sizeEnd + 1, qsizetype(size))});
        pos = sizeEnd + 1 + qsizetype(size);
    }
    return true;
}
