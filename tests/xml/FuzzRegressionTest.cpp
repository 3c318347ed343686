// Inputs found by the fuzz targets in fuzz/.

#include "XmlTestSupport.h"
#include "xml/XmlPP.h"
#include "xml/XmlPP2.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class Document : public XMLPP2 {
public:
    void warning(const QString& text) override { warnings << text; }
    QStringList warnings;
};

int countStarting(const QStringList& list, const char* prefix) {
    int n = 0;
    for (const QString& s : list)
        n += s.startsWith(prefix);
    return n;
}

} // namespace

// A file that includes itself three times used to be read 3^16 times before
// the nesting bound stopped it. Now the includes of a document are counted:
// one warning, and the load finishes. Each form runs in a child with an alarm
// so that a regression fails instead of hanging.
TEST(XmlFuzzRegression, FileIncludingItselfSeveralTimes) {
    Scratch s;
    const QString main = s.write("main.xml", "<root><include filename=\"inc.xml\"/></root>");
    s.write("inc.xml", "<inc><include filename=\"inc.xml\"/><include filename=\"inc.xml\"/>"
                       "<include filename=\"inc.xml\"/></inc>");
    const char* tooMany = "XmlPP::processConditionals(): too many includes at ";
    EXPECT_EXIT(
        {
            alarm(20);
            WarningCapture capture;
            XmlPP pp;
            const bool ok =
                pp.load(main, QString(), true) && countStarting(capture.warnings, tooMany) == 1;
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            alarm(20);
            Document doc;
            const bool ok = doc.load(main, QString()) && countStarting(doc.warnings, tooMany) == 1;
            std::_Exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
