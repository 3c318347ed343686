#pragma once

#include <QDateTime>
#include <QString>

// File utilities shared by the tool. A namespace, so that other subsystems can
// add their own QTx functions in their own headers.
namespace QTx {

// The eight bytes that start a compressed file.
extern const unsigned char compressedFileHeader[8];

// The installation directory: the canonical parent of the directory holding
// the executable named by argv0 (the current directory when it has no "/").
QString getStudioDir(const char* argv0);

bool removeFile(const QString& path);
// Adds or removes the owner-write bit, leaving every other bit alone.
bool setWriteable(const QString& path, bool writeable);
// Copies contents, times and (umask-filtered) permissions; a destination that
// is a directory receives a file of the source's name.
bool copyFile(const QString& source, const QString& destination);
// Whole-file compression: header, then qCompress data.
bool compress(const QByteArray& data, QByteArray& packed);
bool decompress(const QByteArray& packed, QByteArray& data);
bool compressFile(const QString& source, const QString& destination);
bool decompressFile(const QString& source, const QString& destination);

// "dd/mm/yyyy hh:mm", or "(not available)" for an invalid date or time.
QString friendlyDate(const QDateTime& when);
// The document type declaration's name, else the root element's name; a
// null QString when the file is missing, unreadable or not well-formed XML.
QString xmlDocumentType(const QString& path);

} // namespace QTx
