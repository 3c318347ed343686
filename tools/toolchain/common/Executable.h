#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The linked program as the linker writes it (in the object format, so one
// reader serves both) and as the output converter reads it back.
struct ExecutableImage {
    quint32 loadAddress = 0;
    QByteArray bytes;
    QList<QPair<QString, quint32>> symbols; // public name -> address
    QStringList inputs;
};

QByteArray encodeExecutable(const ExecutableImage& image);
bool decodeExecutable(const QByteArray& data, ExecutableImage& image, QString& error);
