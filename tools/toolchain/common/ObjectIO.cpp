#include "common/ObjectIO.h"

#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/HString.h"
#include "objfile/VornMSP430Reader.h"
#include "objfile/VornWriter.h"

#include <new>

QByteArray encodeObject(const ObjectModule& module) {
    VornWriter writer;
    for (const auto& attribute : module.attributes)
        writer.writeAttribute(attribute.first, attribute.second);
    writer.writeEndOfInfo();
    if (!module.section.isEmpty()) {
        writer.writeSection(module.section);
        writer.writeBytes(module.contents);
    }
    return writer.finish();
}

bool decodeObjectAttributes(const QByteArray& data, QMap<QString, QString>& attributes,
                            QString& error) {
    try {
        HMemoryByteStream stream(data.constData(), size_t(data.size()));
        VornMSP430Reader reader(stream, false);
        VornModule* module = reader.readFileQuickly(false);
        for (const auto& attribute : module->attributes) {
            if (attribute.first && attribute.second)
                attributes.insert(attribute.first->toQString(), attribute.second->toQString());
        }
        VornReader::release(module);
        return true;
    } catch (const HException& e) {
        error = QString::fromLatin1(e.what());
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("out of memory");
    }
    return false;
}
