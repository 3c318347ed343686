#include "xml/XmlPP.h"
#include "xml/XmlPP2.h"

#include "XmlTestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QTextStream>
#include <functional>

namespace {

class CollectingPP2 : public XMLPP2 {
public:
    CollectingPP2() : XMLPP2(false) {}
    void warning(const QString& text) override { warnings << text; }
    QStringList warnings;
};

struct Result {
    bool loaded = false;
    QString text; // the processed root, compact
    QStringList warnings;
};

// Both preprocessor forms behind one call, so the shared language is tested
// on each. Macro texts used with both stay within their common syntax.
QString compact(const QDomDocument& document) {
    QString text;
    QTextStream out(&text);
    document.documentElement().save(out, -1);
    return text.trimmed();
}

typedef std::function<Result(const QString& file, const QString& macros)> Runner;

Result runDom(const QString& file, const QString& macros) {
    WarningCapture capture;
    XmlPP pp;
    Result r;
    r.loaded = pp.load(file, macros, true);
    r.text = compact(pp.document());
    r.warnings = capture.warnings;
    return r;
}

Result runLight(const QString& file, const QString& macros) {
    CollectingPP2 pp;
    Result r;
    r.loaded = pp.load(file, macros);
    r.text = QString::fromUtf8(pp.toByteArray(0));
    r.warnings = pp.warnings;
    return r;
}

struct Form {
    const char* name;
    Runner run;
    bool dom;
};

void PrintTo(const Form& form, std::ostream* out) {
    *out << form.name;
}

class Preprocessor : public ::testing::TestWithParam<Form> {
protected:
    Result run(const QByteArray& xml, const QString& macros = QString()) {
        return GetParam().run(dir.write("main.xml", xml), macros);
    }
    Scratch dir;
};

TEST_P(Preprocessor, ConditionalsKeepTheirContentInPlaceAndInOrder) {
    const Result r = run("<r><a/><if v=\"x,y\"><b/><c/></if><d/><if v=\",,z\"><e/></if>"
                         "<ifnot v=\"z\"><f/></ifnot><ifnot v=\"x\"><g/></ifnot></r>",
                         "v=x");
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.text, "<r><a/><b/><c/><d/><f/></r>");
    EXPECT_TRUE(r.warnings.isEmpty());
}

TEST_P(Preprocessor, ConditionWithoutExactlyOneAttributeWarnsAndStays) {
    const Result r = run("<r><if a=\"1\" b=\"2\"><ifdef name=\"m\"><x/></ifdef></if>"
                         "<ifnot><y/></ifnot></r>",
                         "m=1");
    EXPECT_EQ(r.warnings,
              QStringList({"XmlPP::processConditionals(): one condition required for <if[not]>",
                           "XmlPP::processConditionals(): one condition required for <if[not]>"}));
    EXPECT_TRUE(r.text.contains("><x/></if>")) << r.text.toStdString();
    EXPECT_TRUE(r.text.endsWith("<ifnot><y/></ifnot></r>")) << r.text.toStdString();
}

TEST_P(Preprocessor, SwitchSelectsFirstMatchingCaseElseLastDefault) {
    const Result r = run("<r>"
                         "<switch name=\"v\"><case value=\"a\"><no/></case>"
                         "<case value=\"b,c\"><yes/></case><case value=\"c\"><no/></case>"
                         "<default><no/></default></switch>"
                         "<switch name=\"v\"><default><d1/></default><case value=\"q\"/>"
                         "<default><d2/></default></switch>"
                         "<switch name=\"v\"><case value=\"q\"><no/></case></switch>"
                         "<z/></r>",
                         "v=c");
    EXPECT_EQ(r.text, "<r><yes/><d2/><z/></r>");
}

TEST_P(Preprocessor, DefinitionsAndMacrosAnswerIfdef) {
    const Result r = run("<r><define name=\"X\" value=\"1\"/><ifdef name=\"X\"><a/></ifdef>"
                         "<ifdef name=\"M\"><b/></ifdef><ifndef name=\"N\"><c/></ifndef>"
                         "<ifndef name=\"M\"><no/></ifndef>"
                         "<define name=\"M\" value=\"fromdef\"/><if M=\"fromdef\"><d/></if>"
                         "<e><expand_definition name=\"X\"/></e></r>",
                         "M=frommacro");
    EXPECT_EQ(r.text, "<r><a/><b/><c/><d/><e>1</e></r>");
}

TEST_P(Preprocessor, DefineWithoutValueWarnsAndIsRemoved) {
    const Result r = run("<r><define name=\"X\"/><ifdef name=\"X\"><no/></ifdef></r>");
    EXPECT_EQ(r.text, "<r/>");
    EXPECT_EQ(r.warnings,
              QStringList("XmlPP::processConditionals(): missing name and/or value in <define>"));
}

TEST_P(Preprocessor, MacrosAreExpandedInAttributesBeforeConditionsAreTested) {
    const Result r =
        run("<r><if v=\"$(Chip)\"><a n=\"$(Chip)-$(Other)\"/></if></r>", "v=F449;Chip=F449");
    EXPECT_EQ(r.text, "<r><a n=\"F449-$(Other)\"/></r>");
}

TEST_P(Preprocessor, IncludesResolveAgainstTheIncludingFile) {
    QDir(dir.dir()).mkpath("sub");
    dir.write("sub/inner.xml", "<inner><include filename=\"leaf.xml\"/></inner>");
    dir.write("sub/leaf.xml", "<leaf v=\"$(M)\"><l1/><l2/></leaf>");
    Result r = run("<r><a/><include filename=\"sub/inner.xml\"/><b/>"
                   "<include filename=\"sub/leaf.xml\" no_root=\"1\"/><c/></r>",
                   "M=m");
    EXPECT_EQ(r.text,
              "<r><a/><inner><leaf v=\"m\"><l1/><l2/></leaf></inner><b/><l1/><l2/><c/></r>");
    EXPECT_TRUE(r.warnings.isEmpty()) << r.warnings.join("|").toStdString();
}

TEST_P(Preprocessor, IncludeMacrosOverrideAndMaySpreadOverLines) {
    dir.write("part.xml",
              "<part a=\"$(A)\" b=\"$(B)\" c=\"[$(C)]\"><if A=\"2\"><two/></if></part>");
    // Line breaks and indentation only lay the list out (the DOM parser has
    // already made blanks of the line feeds); blanks inside an item stay.
    const Result r =
        run("<r><include filename=\"part.xml\" macros=\"A=2;\n      B=3;\r\n\tC=x  y \"/></r>",
            "A=1;B=1");
    EXPECT_EQ(r.text.count("a=\"2\""), 1) << r.text.toStdString();
    EXPECT_EQ(r.text.count("b=\"3\""), 1) << r.text.toStdString();
    EXPECT_EQ(r.text.count("c=\"[x  y]\""), 1) << r.text.toStdString();
    EXPECT_TRUE(r.text.contains("<two/>"));
}

TEST_P(Preprocessor, BrokenIncludesWarnAndProcessingGoesOn) {
    const Result r = run("<r><include/><include filename=\"missing.xml\"/><a/></r>");
    ASSERT_EQ(r.warnings.size(), 2);
    EXPECT_EQ(r.warnings[0], "XmlPP::processConditionals(): missing filename in <include>");
    EXPECT_TRUE(r.warnings[1].contains("missing.xml"));
    EXPECT_TRUE(r.text.endsWith("<a/></r>"));
}

TEST_P(Preprocessor, SelfIncludeIsBounded) {
    const Result r = run("<r><x/><include filename=\"main.xml\"/></r>");
    EXPECT_TRUE(r.loaded);
    ASSERT_FALSE(r.warnings.isEmpty());
    EXPECT_TRUE(r.warnings.last().startsWith(
        "XmlPP::processConditionals(): includes nested too deeply at "));
}

TEST_P(Preprocessor, UnreadableFileFailsTheLoad) {
    EXPECT_FALSE(GetParam().run(dir.path("absent.xml"), QString()).loaded);
}

INSTANTIATE_TEST_SUITE_P(BothForms, Preprocessor,
                         ::testing::Values(Form{"Dom", runDom, true},
                                           Form{"Lightweight", runLight, false}),
                         [](const ::testing::TestParamInfo<Form>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------- XmlPP only

TEST(XmlPP, PredefinedNamesSelectThePlatform) {
    Scratch dir;
    XmlPP pp;
    EXPECT_EQ(pp.getdefine("ide"), "Halyard");
    EXPECT_EQ(pp.getdefine("release"), "1.4");
    EXPECT_EQ(pp.getdefine("undefined"), "");
    dir.write("t.xml", "<r><if platform=\"MSP430,MSP430X\"><kept/></if>"
                       "<ifnot platform=\"MSP430\"><dropped/></ifnot>"
                       "<if host=\"UNIX\"><if build=\"RELEASE\"><nested/></if></if></r>");
    ASSERT_TRUE(pp.load(dir.path("t.xml"), QString(), false));
    EXPECT_EQ(compact(pp.document()), "<r><kept/><nested/></r>");
}

TEST(XmlPP, ExpansionOffLeavesAttributesUnlessTheIncludeAsks) {
    Scratch dir;
    dir.write("inc.xml", "<inc v=\"$(M)\"><c w=\"$(M)\"/></inc>");
    dir.write("t.xml", "<r v=\"$(M)\"><include filename=\"inc.xml\"/>"
                       "<include filename=\"inc.xml\" expand_macros=\"yes\" macros=\"M=i\"/></r>");
    XmlPP pp;
    ASSERT_TRUE(pp.load(dir.path("t.xml"), "M=top", false));
    EXPECT_EQ(compact(pp.document()), "<r v=\"$(M)\"><inc v=\"$(M)\"><c w=\"$(M)\"/></inc>"
                                      "<inc v=\"i\"><c w=\"i\"/></inc></r>");
}

TEST(XmlPP, SyntaxErrorsReportPositionAndIncludeWarningIsExact) {
    Scratch dir;
    dir.write("bad.xml", "<a>\n<b></a>");
    XmlPP pp;
    QString message;
    int line = 0, column = 0;
    EXPECT_FALSE(pp.load(dir.path("bad.xml"), QString(), true, &message, &line, &column));
    EXPECT_FALSE(message.isEmpty());
    EXPECT_EQ(line, 2);

    dir.write("t.xml", "<r><include filename=\"bad.xml\"/><include filename=\"none.xml\"/></r>");
    WarningCapture capture;
    XmlPP again;
    ASSERT_TRUE(again.load(dir.path("t.xml"), QString(), true));
    ASSERT_EQ(capture.warnings.size(), 2);
    const QString path = QFileInfo(dir.path("t.xml")).path() + "/bad.xml";
    EXPECT_TRUE(capture.warnings[0].startsWith("XmlPP::processConditionals(): error \""));
    EXPECT_TRUE(capture.warnings[0].contains("\" in include file " + path + " line:2 column:"))
        << capture.warnings[0].toStdString();
    EXPECT_EQ(capture.warnings[1], "XmlPP::processConditionals(): couldn't open include file " +
                                       QFileInfo(dir.path("t.xml")).path() + "/none.xml");
}

TEST(XmlPP, VeryDeepDocumentsAreRefusedQuickly) {
    Scratch dir;
    QByteArray deep = "<r>\n<!-- <a> <b> -->";
    for (int i = 0; i < 100000; ++i)
        deep.append("<a x='>'><b/>");
    dir.write("deep.xml", deep);
    XmlPP pp;
    QString message;
    int line = 0;
    EXPECT_FALSE(pp.load(dir.path("deep.xml"), QString(), true, &message, &line));
    EXPECT_EQ(message, "elements nested too deeply");
    EXPECT_EQ(line, 2);

    // Comfortably deep but well within the bound: accepted.
    QByteArray fine;
    for (int i = 0; i < 1000; ++i)
        fine.append("<a><![CDATA[<x>]]><?pi <y>?><c/>");
    for (int i = 0; i < 1000; ++i)
        fine.append("</a>");
    dir.write("fine.xml", fine);
    EXPECT_TRUE(pp.load(dir.path("fine.xml"), QString(), true, &message));
}

TEST(XmlPP, LoadFromDeviceHasNoMacros) {
    QByteArray xml = "<r><ifdef name=\"M\"><no/></ifdef><ifdef name=\"host\"><yes/></ifdef></r>";
    QBuffer buffer(&xml);
    XmlPP pp;
    ASSERT_TRUE(pp.load(&buffer, true));
    EXPECT_EQ(compact(pp.document()), "<r><yes/></r>");
}

// ---------------------------------------------------------------- XMLPP2 only

TEST(XMLPP2, NoPredefinedNamesAndOneWarningForABrokenInclude) {
    Scratch dir;
    dir.write("bad.xml", "<a>\n<b></c></a>");
    dir.write("t.xml", "<r><ifdef name=\"platform\"><no/></ifdef>"
                       "<include filename=\"bad.xml\"/><include filename=\"none.xml\"/></r>");
    CollectingPP2 pp;
    ASSERT_TRUE(pp.load(dir.path("t.xml"), ";;"));
    EXPECT_EQ(pp.getdefine("platform"), "");
    const QString base = QFileInfo(dir.path("t.xml")).path();
    EXPECT_EQ(pp.warnings,
              QStringList({"XmlPP::processConditionals(): error \"tagName mismatch\" in include "
                           "file " +
                               base + "/bad.xml line:2",
                           "XmlPP::processConditionals(): error \"couldn't read " + base +
                               "/none.xml\" in include file " + base + "/none.xml line:0"}));
    EXPECT_FALSE(pp.toByteArray(0).contains("<no/>"));
}

TEST(XMLPP2, MalformedTopLevelFileFailsWithTheParserError) {
    Scratch dir;
    dir.write("bad.xml", "<a></b>");
    CollectingPP2 pp;
    EXPECT_FALSE(pp.load(dir.path("bad.xml"), QString()));
    EXPECT_STREQ(pp.errorText(), "tagName mismatch");
}

TEST(XMLPP2, ManyRemovedSiblingsProcessQuickly) {
    Scratch dir;
    QByteArray xml = "<r>";
    for (int i = 0; i < 100000; ++i)
        xml.append("<a/><ifdef name=\"none\"><b/></ifdef>");
    xml.append("</r>");
    dir.write("wide.xml", xml);
    CollectingPP2 pp;
    ASSERT_TRUE(pp.load(dir.path("wide.xml"), QString()));
    int children = 0;
    for (XMLNode* c = pp.root()->firstChild(); c; c = c->nextSibling())
        ++children;
    EXPECT_EQ(children, 100000);
}

} // namespace
