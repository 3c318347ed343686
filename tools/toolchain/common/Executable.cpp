#include "common/Executable.h"

#include "common/ObjectIO.h"

#include <QMap>

static const char kImageSection[] = ".image";

QByteArray encodeExecutable(const ExecutableImage& image) {
    QStringList symbols;
    for (const auto& symbol : image.symbols)
        symbols.append(symbol.first + '=' + QString::number(symbol.second, 16));
    ObjectModule module;
    module.attributes.append({QStringLiteral("kind"), QStringLiteral("executable")});
    module.sections.append({QString::fromLatin1(kImageSection), image.bytes});
    module.sections.append({QString::fromLatin1(kLinkSection),
                            encodeFields({{"load_address", QString::number(image.loadAddress, 16)},
                                          {"symbols", symbols.join(';')},
                                          {"inputs", image.inputs.join(';')}})});
    return encodeObject(module);
}

bool decodeExecutable(const QByteArray& data, ExecutableImage& image, QString& error) {
    ObjectModule module;
    if (!decodeObject(data, module, error)) return false;
    if (attributeValue(module, "kind") != "executable") {
        error = "not an executable";
        return false;
    }
    const QMap<QString, QString> fields = decodeFields(sectionData(module, kLinkSection));
    bool ok = false;
    image.loadAddress = fields.value("load_address").toUInt(&ok, 16);
    if (!ok) {
        error = "corrupt executable: no load address";
        return false;
    }
    image.bytes = sectionData(module, kImageSection);
    image.symbols.clear();
    for (const QString& entry : fields.value("symbols").split(';', Qt::SkipEmptyParts)) {
        int eq = int(entry.lastIndexOf('='));
        quint32 address = eq > 0 ? entry.mid(eq + 1).toUInt(&ok, 16) : 0;
        if (eq <= 0 || !ok) {
            error = "corrupt executable symbol table";
            return false;
        }
        image.symbols.append({entry.left(eq), address});
    }
    image.inputs = fields.value("inputs").split(';', Qt::SkipEmptyParts);
    return true;
}
