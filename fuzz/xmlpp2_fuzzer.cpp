// The XML preprocessor over the lightweight documents. Input: the main file,
// "%%", a file it may include as inc.xml, "%%", the macro text.

#include "FuzzSupport.h"

#include "xml/XmlPP2.h"

namespace {

class Document : public XMLPP2 {
public:
    void warning(const QString& text) override { warnings += text.size(); }
    qsizetype warnings = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpGlobals();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> p = fuzz::parts(data, size, 3);
    const QString main = fuzz::writeScratch("main.xml", p[0]);
    fuzz::writeScratch("inc.xml", p[1]);
    Document document;
    if (document.load(main, QString::fromUtf8(p[2]))) (void)document.toByteArray(2);
    return 0;
}
