#include "common/ObjectIO.h"

#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/HString.h"
#include "objfile/VornMSP430Reader.h"
#include "objfile/VornWriter.h"

#include <new>

const char kLinkSection[] = ".link";

QByteArray encodeObject(const ObjectModule& module) {
    VornWriter writer;
    for (const auto& attribute : module.attributes)
        writer.writeAttribute(attribute.first, attribute.second);
    writer.writeEndOfInfo();
    for (const auto& section : module.sections) {
        writer.writeSection(section.first);
        writer.writeBytes(section.second);
    }
    return writer.finish();
}

bool decodeObject(const QByteArray& data, ObjectModule& module, QString& error) {
    try {
        HMemoryByteStream stream(data.constData(), size_t(data.size()));
        VornMSP430Reader reader(stream, false);
        VornModule* read = reader.readFile(false);
        for (const auto& attribute : read->attributes) {
            if (attribute.first && attribute.second)
                module.attributes.append(
                    {attribute.first->toQString(), attribute.second->toQString()});
        }
        for (const auto& section : read->sections) {
            if (!section.first || !section.second) continue;
            const std::vector<uint8_t> bytes = section.second->data();
            module.sections.append(
                {section.first->toQString(),
                 QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))});
        }
        VornReader::release(read);
        return true;
    } catch (const HException& e) {
        error = QString::fromLatin1(e.what());
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("out of memory");
    }
    return false;
}

QByteArray sectionData(const ObjectModule& module, const QString& name) {
    for (const auto& section : module.sections)
        if (section.first == name) return section.second;
    return QByteArray();
}

QString attributeValue(const ObjectModule& module, const QString& key) {
    for (const auto& attribute : module.attributes)
        if (attribute.first == key) return attribute.second;
    return QString();
}

QByteArray encodeFields(const QList<QPair<QString, QString>>& fields) {
    QByteArray out;
    for (const auto& field : fields)
        out += field.first.toLatin1() + '=' + field.second.toLatin1() + '\n';
    return out;
}

QMap<QString, QString> decodeFields(const QByteArray& text) {
    QMap<QString, QString> fields;
    for (const QByteArray& line : text.split('\n')) {
        qsizetype eq = line.indexOf('=');
        if (eq > 0)
            fields.insert(QString::fromLatin1(line.left(eq)),
                          QString::fromLatin1(line.mid(eq + 1)));
    }
    return fields;
}
