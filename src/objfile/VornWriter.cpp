#include "objfile/VornWriter.h"

#include "base/HString.h"
#include "base/OsFiles.h"
#include "objfile/VornTags.h"

#include <QFile>
#include <cstring>

void VornWriter::appendLiteral(std::vector<uint8_t>& out, uint64_t value) {
    if (value < 8) {
        out.push_back(uint8_t(value));
        return;
    }
    unsigned count = 1;
    while (count < 8 && (value >> (8 * count)) != 0)
        ++count;
    out.push_back(VornTag::LITX);
    out.push_back(uint8_t(count));
    for (unsigned i = count; i-- > 0;)
        out.push_back(uint8_t(value >> (8 * i)));
}

void VornWriter::externalizeTag(uint8_t tag) {
    m_body.push_back(tag);
}

void VornWriter::externalizeLiteral(uint64_t value) {
    appendLiteral(m_body, value);
}

void VornWriter::externalizeString(const char* text, size_t length) {
    if (!text) {
        m_body.push_back(VornTag::Null);
        return;
    }
    appendLiteral(m_body, m_pool.size());
    appendLiteral(m_body, length);
    m_body.push_back(VornTag::MkStringCounted);
    m_pool.insert(m_pool.end(), text, text + length);
}

void VornWriter::externalizeString(const char* text) {
    externalizeString(text, text ? std::strlen(text) : 0);
}

void VornWriter::externalizeString(const QString& text) {
    if (text.isNull()) {
        externalizeString(nullptr, 0);
        return;
    }
    const QByteArray bytes = text.toLatin1();
    externalizeString(bytes.constData(), size_t(bytes.size()));
}

void VornWriter::externalizeString(const HString* text) {
    if (!text)
        externalizeString(nullptr, 0);
    else
        externalizeString(text->text(), text->length());
}

void VornWriter::writeLibrary(const QString& name) {
    externalizeString(name);
    externalizeTag(VornTag::Library);
}

void VornWriter::writeAttribute(const QString& key, const QString& value) {
    externalizeString(key);
    externalizeString(value);
    externalizeTag(VornTag::Attribute);
}

void VornWriter::writeProtected() {
    externalizeTag(VornTag::Protected);
}

void VornWriter::writeLinkOrderPriority(uint64_t priority) {
    if (priority == 10) return;
    externalizeLiteral(priority);
    externalizeTag(VornTag::LinkOrderPriority);
}

void VornWriter::writeEndOfInfo() {
    externalizeTag(VornTag::EndOfInfo);
}

void VornWriter::writeSection(const QString& name) {
    externalizeString(name);
    externalizeTag(VornTag::MkSection);
    externalizeTag(VornTag::Section);
}

void VornWriter::writeBytes(const QByteArray& bytes) {
    externalizeString(bytes.constData(), size_t(bytes.size()));
    externalizeTag(VornTag::DefBytes);
}

QByteArray VornWriter::finish() const {
    std::vector<uint8_t> head;
    appendLiteral(head, m_pool.size());
    head.push_back(VornTag::StringPool);
    QByteArray out;
    out.reserve(qsizetype(head.size() + m_pool.size() + m_body.size()));
    out.append(reinterpret_cast<const char*>(head.data()), qsizetype(head.size()));
    out.append(reinterpret_cast<const char*>(m_pool.data()), qsizetype(m_pool.size()));
    out.append(reinterpret_cast<const char*>(m_body.data()), qsizetype(m_body.size()));
    return out;
}

bool VornWriter::writeFile(const QString& path) const {
    QFile file;
    if (!OsFiles::open(file, path, QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray data = finish();
    const bool ok = file.write(data) == data.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}
