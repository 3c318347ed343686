#include "xml/XmlBuiltins.h"

#include "base/OsFiles.h"
#include "xml/MemoryMap.h"
#include "xml/RegisterHeader.h"
#include "xml/XmlPP.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

QString absolute(const QString& dir, const QString& path) {
    if (path.isEmpty() || QFileInfo(path).isRelative()) return dir + "/" + path;
    return path;
}

// The lightweight parser reads no declarations, so the serialised form
// leaves out the document's processing instructions.
QByteArray serialise(QDomDocument document) {
    QDomNode node = document.firstChild();
    while (!node.isNull()) {
        QDomNode next = node.nextSibling();
        if (node.isProcessingInstruction()) document.removeChild(node);
        node = next;
    }
    return document.toByteArray(1);
}

} // namespace

namespace XmlBuiltins {

bool xmlcp(const QString& dir, const QString& src, const QString& dst, const QString& macroDefs,
           QString& errorText) {
    const QString source = absolute(dir, src);
    const QString destination = absolute(dir, dst);
    XmlPP pp;
    pp.trackAttributeOrder(); // the same input gives the same bytes
    QString message;
    if (!pp.load(source, macroDefs, true, &message)) {
        errorText = "xmlpp failed " + message;
        return false;
    }
    OsFiles::remove(destination);
    if (!OsFiles::replace(destination, pp.toByteArray(2))) {
        errorText = "xmlpp can't write " + destination;
        return false;
    }
    return true;
}

bool mkhdr(const QString& dir, const QString& mapFile, const QString& headerFile,
           const QString& title, bool regBaseOffs, QString& errorText) {
    const QString mapPath = absolute(dir, mapFile);
    const QString headerPath = absolute(dir, headerFile);

    XmlPP pp;
    QString message;
    if (!pp.load(mapPath, QString(), true, &message)) {
        errorText = message;
        return false;
    }
    MemoryMap map;
    if (!map.loadFromString(serialise(pp.document()), QFileInfo(mapPath).path())) {
        errorText = "mkhdr failed to load " + mapPath;
        return false;
    }

    // Written whole before it appears: a build running at the same time may
    // be copying the header.
    OsFiles::remove(headerPath);
    OsFiles::Replacement file(headerPath);
    QByteArray text;
    if (file.isOpen()) {
        QTextStream out(&text);
        RegisterHeaderWriter().writeHeader(out, map.getRoot(), headerPath, title, regBaseOffs);
    }
    if (!file.write(text) || !file.commit()) {
        errorText = "mkhdr can't create " + headerPath;
        return false;
    }
    return true;
}

} // namespace XmlBuiltins
