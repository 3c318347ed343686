#pragma once

// File helpers shared by the fixtures that write solutions into temp dirs.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace testsupport {

// Writes text to path, creating missing directories; false when it cannot.
inline bool writeFile(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// A solution file named test with the given configurations and children.
inline QString solutionText(const QString& configurations, const QString& body) {
    return QStringLiteral(
               "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"test\" version=\"1\">\n") +
           configurations + body + QStringLiteral("\n</solution>\n");
}

} // namespace testsupport
