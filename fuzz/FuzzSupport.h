#pragma once

// Shared by the fuzz targets: a private scratch directory (also the working
// directory and the settings store's home), the process-wide objects the
// driver creates, and input splitting.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace fuzz {

// Creates the scratch directory, points HOME and XDG_CONFIG_HOME into it and
// makes it the working directory, so nothing outside it is ever written.
inline const QString& scratchDir() {
    static const QString dir = [] {
        QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/slipway-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        if (!made) std::abort();
        const QString path = QString::fromLocal8Bit(made);
        QDir().mkpath(path + "/home/.config");
        setenv("HOME", (path + "/home").toLocal8Bit().constData(), 1);
        setenv("XDG_CONFIG_HOME", (path + "/home/.config").toLocal8Bit().constData(), 1);
        if (chdir(made) != 0) std::abort();
        return path;
    }();
    return dir;
}

// The settings store, project system and build system, set up as the driver
// does; StudioDir is the source tree's installation data.
// quiet drops Qt's warning messages.
void setUpGlobals(bool quiet = false);

inline QString writeScratch(const QString& name, const QByteArray& bytes) {
    const QString path = scratchDir() + "/" + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(bytes);
    return path;
}

// Splits the input at lines holding only "%%": several files or texts from
// one input, readable in the seed corpus.
inline QList<QByteArray> parts(const uint8_t* data, size_t size, int count) {
    QList<QByteArray> result;
    QByteArray rest(reinterpret_cast<const char*>(data), int(size));
    static const QByteArray marker("\n%%\n");
    while (result.size() < count - 1) {
        const int at = rest.indexOf(marker);
        if (at < 0) break;
        result.append(rest.left(at));
        rest = rest.mid(at + marker.size());
    }
    result.append(rest);
    while (result.size() < count)
        result.append(QByteArray());
    return result;
}

} // namespace fuzz
