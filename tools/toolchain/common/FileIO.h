#pragma once

#include <QByteArray>
#include <QString>

// File access for the toolchain programs. Paths travel to the OS as Latin-1,
// exactly as the build hands them over, and no Qt file machinery is started:
// these programs run thousands of times per build.
namespace ToolFiles {

bool readFile(const QString& path, QByteArray& contents, QString& error);
// Writes through a temporary file in the same directory, so a failed run never
// leaves a half-written output behind.
bool writeFile(const QString& path, const QByteArray& contents, QString& error);
bool isRegularFile(const QString& path);
bool isDirectory(const QString& path);
void removeFile(const QString& path);

QString directoryOf(const QString& path); // "" for a bare file name
QString fileNameOf(const QString& path);  // text after the last "/"
QString joinPath(const QString& dir, const QString& name);

} // namespace ToolFiles
