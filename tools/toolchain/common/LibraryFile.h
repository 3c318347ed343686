#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Libraries (".hza") as the archiver writes them: a signature line, then per
// member its file name, its size in decimal, each on a line, and its bytes.
struct LibraryMember {
    QString name;
    QByteArray data;
};

extern const char kLibrarySignature[];

QByteArray encodeLibrary(const QList<LibraryMember>& members);
bool isLibrary(const QByteArray& data);
bool decodeLibrary(const QByteArray& data, QList<LibraryMember>& members, QString& error);
