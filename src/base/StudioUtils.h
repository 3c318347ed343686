#pragma once

#include <QByteArray>
#include <QString>

// Small helpers for talking to the OS.
namespace StudioUtils {

// Text handed to the OS is 8-bit Latin-1; text coming back is read the same way.
inline QByteArray toOsText(const QString& text) {
    return text.toLatin1();
}
inline QString fromOsText(const char* text) {
    return QString::fromLatin1(text);
}

// Modification time in whole seconds since the epoch (file times are compared
// in whole seconds); -1 when the file does not exist.
qint64 modificationSeconds(const QString& path);

} // namespace StudioUtils
