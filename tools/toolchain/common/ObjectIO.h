#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

// What the toolchain puts into an object-format file. The information block
// holds only what the build reads back on every run (kept small: a no-op
// build reads it for each object); everything the linker needs travels in
// sections after it.
struct ObjectModule {
    QList<QPair<QString, QString>> attributes;
    QList<QPair<QString, QByteArray>> sections;
};

// Name of the section with the linker's fields (see encodeFields).
extern const char kLinkSection[];

QByteArray encodeObject(const ObjectModule& module);
// Reads the whole file. False, with a one-line reason, for anything that is
// not a well-formed object file.
bool decodeObject(const QByteArray& data, ObjectModule& module, QString& error);

QByteArray sectionData(const ObjectModule& module, const QString& name);
QString attributeValue(const ObjectModule& module, const QString& key);

// "key=value" lines; values must not contain line feeds.
QByteArray encodeFields(const QList<QPair<QString, QString>>& fields);
QMap<QString, QString> decodeFields(const QByteArray& text);
