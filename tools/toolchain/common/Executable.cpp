#include "common/Executable.h"

#include "common/ObjectIO.h"

#include <QMap>

QByteArray encodeExecutable(const ExecutableImage& image) {
    QStringList symbols;
    for (const auto& symbol : image.symbols)
        symbols.append(symbol.first + '=' + QString::number(symbol.second, 16));
    ObjectModule module;
    module.attributes = {
        {QStringLiteral("kind"), QStringLiteral("executable")},
        {QStringLiteral("load_address"), QString::number(image.loadAddress, 16)},
        {QStringLiteral("image"), QString::fromLatin1(image.bytes.toHex())},
        {QStringLiteral("symbols"), symbols.join(';')},
        {QStringLiteral("inputs"), image.inputs.join(';')},
    };
    return encodeObject(module);
}

bool decodeExecutable(const QByteArray& data, ExecutableImage& image, QString& error) {
    QMap<QString, QString> attributes;
    if (!decodeObjectAttributes(data, attributes, error)) return false;
    if (attributes.value("kind") != "executable") {
        error = "not an executable";
        return false;
    }
    bool ok = false;
    image.loadAddress = attributes.value("load_address").toUInt(&ok, 16);
    const QString hex = attributes.value("image");
    bool hexOk = hex.size() % 2 == 0;
    for (QChar c : hex)
        hexOk = hexOk && QByteArray("0123456789abcdef").contains(char(c.unicode()));
    if (!ok || !hexOk) {
        error = "corrupt executable image";
        return false;
    }
    image.bytes = QByteArray::fromHex(hex.toLatin1());
    image.symbols.clear();
    for (const QString& entry : attributes.value("symbols").split(';', Qt::SkipEmptyParts)) {
        int eq = int(entry.lastIndexOf('='));
        quint32 address = eq > 0 ? entry.mid(eq + 1).toUInt(&ok, 16) : 0;
        if (eq <= 0 || !ok) {
            error = "corrupt executable symbol table";
            return false;
        }
        image.symbols.append({entry.left(eq), address});
    }
    image.inputs = attributes.value("inputs").split(';', Qt::SkipEmptyParts);
    return true;
}
