// The XML preprocessor over the Qt DOM. Input: the main file, "%%", a file
// it may include as inc.xml, "%%", the macro text. The first byte of the
// macro part chooses expansion.

#include "FuzzSupport.h"

#include "xml/XmlPP.h"

#include <QtGlobal>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpGlobals(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> p = fuzz::parts(data, size, 3);
    const QString main = fuzz::writeScratch("main.xml", p[0]);
    fuzz::writeScratch("inc.xml", p[1]);
    const bool expand = p[2].isEmpty() || (p[2][0] & 1);
    XmlPP pp;
    QString message;
    int line = 0, column = 0;
    if (pp.load(main, QString::fromUtf8(p[2]), expand, &message, &line, &column))
        (void)pp.document().toByteArray(2);
    return 0;
}
