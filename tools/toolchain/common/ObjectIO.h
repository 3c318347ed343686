#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

// What the stand-in tools put into an object-format file: the information
// block's attributes, and one section of contents after it.
struct ObjectModule {
    QList<QPair<QString, QString>> attributes;
    QString section;
    QByteArray contents;
};

QByteArray encodeObject(const ObjectModule& module);

// Reads the information block only. False, with a one-line reason, for
// anything that is not a well-formed object file.
bool decodeObjectAttributes(const QByteArray& data, QMap<QString, QString>& attributes,
                            QString& error);
