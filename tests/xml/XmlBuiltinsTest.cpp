#include "xml/XmlBuiltins.h"

#include "XmlTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

using XmlBuiltins::mkhdr;
using XmlBuiltins::xmlcp;

namespace {

// Groups, aliases, bit fields, offsets and the untitled form are checked end to end.
TEST(Mkhdr, LooseRegistersAndProgramSections) {
    Scratch dir;
    dir.write("ports.xml", R"xml(<!DOCTYPE Board_Memory_Definition_File>
<Root name="Dev">
  <MemorySegment name="Peripherals" start="0x0" size="0x200">
    <RegisterGroup name="PORT1" start="0x20">
      <Register name="TYPED" start="+0x14" register_type="unsigned char"/>
    </RegisterGroup>
    <Register name="LOOSE" start="0x1F0" size="2"/>
    <ProgramSection name="IGNORED" start="0x100"/>
  </MemorySegment>
</Root>
)xml");
    QString error;
    ASSERT_TRUE(mkhdr(dir.dir(), "ports.xml", "my.ports.h", "Dev", true, error));
    EXPECT_TRUE(error.isEmpty());
    const QByteArray header = dir.read("my.ports.h");
    EXPECT_EQ(header.mid(header.indexOf("#ifndef ")),
              "#ifndef my_h\n"
              "#define my_h\n"
              "\n"
              "#define PORT1_BASE 0x20\n"
              "\n"
              "#define TYPED (*(volatile unsigned *)0x34)\n"
              "#define TYPED_OFFSET 0x14\n"
              "\n"
              "#define LOOSE (*(volatile unsigned short *)0x1F0)\n"
              "#define LOOSE_OFFSET 0x1F0\n"
              "\n"
              "\n"
              "#endif\n");
}

TEST(Mkhdr, DeclarationsAndPreprocessingInTheMap) {
    Scratch dir;
    QDir(dir.dir()).mkpath("sub");
    dir.write("sub/map.xml", "<?xml version=\"1.0\"?>\n<Root><ifdef name=\"platform\">"
                             "<Register name=\"R\" start=\"0x10\" size=\"1\"/></ifdef>"
                             "<Import filename=\"extra.xml\"/></Root>");
    dir.write("sub/extra.xml", "<Root><Register name=\"X\" start=\"2\" size=\"1\"/></Root>");
    QString error;
    ASSERT_TRUE(mkhdr(dir.dir(), "sub/map.xml", "h.h", "", false, error)) << error.toStdString();
    const QByteArray header = dir.read("h.h");
    EXPECT_TRUE(header.contains("#define R (*(volatile unsigned char *)0x10)\n"));
    EXPECT_TRUE(header.contains("#define X (*(volatile unsigned char *)0x2)\n"));
}

TEST(Mkhdr, FailuresAreOneErrorText) {
    Scratch dir;
    QString error;
    EXPECT_FALSE(mkhdr(dir.dir(), "none.xml", "h.h", "", false, error));
    EXPECT_EQ(error, "couldn't read " + dir.path("none.xml"));

    dir.write("bad.xml", "<Root><x></Root>");
    error.clear();
    EXPECT_FALSE(mkhdr(dir.dir(), "bad.xml", "h.h", "", false, error));
    EXPECT_FALSE(error.isEmpty());

    EXPECT_FALSE(QFile::exists(dir.path("h.h")));
}

TEST(Xmlcp, PreprocessesWithMacrosAndIndentsByTwo) {
    Scratch dir;
    dir.write("in.xml", "<r><if chip=\"F449\"><a v=\"$(chip)\"><b/></a></if>"
                        "<ifnot chip=\"F449\"><no/></ifnot></r>");
    dir.write("out.xml", "old");
    QString error;
    ASSERT_TRUE(xmlcp(dir.dir(), "in.xml", "out.xml", "chip=F449", error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(dir.read("out.xml"), "<r>\n  <a v=\"F449\">\n    <b/>\n  </a>\n</r>\n");
}

// The DOM keeps attributes in a hash seeded per process; the copy must list
// them as the source does, whatever the seed (escapes, markup and included
// content included).
TEST(Xmlcp, AttributesKeepTheirSourceOrder) {
    Scratch dir;
    dir.write("in.xml",
              "<?xml version=\"1.0\"?>\n<!DOCTYPE r>\n"
              "<r zeta=\"1\" alpha=\"a&gt;b\" mid=\"&quot;q&quot;\" beta=\"x\" k=\"$(v)\">"
              "<!-- <c z=\"1\" a=\"2\"> --><![CDATA[<d z=\"1\" a=\"2\">]]>"
              "<include filename=\"inc.xml\" no_root=\"1\"/>"
              "<e y=\"1\" x=\"2\" w=\"3\" v=\"4\" u=\"5\" t=\"6\"/></r>");
    dir.write("inc.xml", "<i><f q=\"1\" p=\"2\" o=\"3\" n=\"4\" m=\"5\" l=\"6\"/></i>");
    QString error;
    ASSERT_TRUE(xmlcp(dir.dir(), "in.xml", "out.xml", "v=V", error)) << error.toStdString();
    EXPECT_EQ(dir.read("out.xml").toStdString(),
              "<?xml version='1.0'?>\n<!DOCTYPE r>\n"
              "<r zeta=\"1\" alpha=\"a>b\" mid=\"&quot;q&quot;\" beta=\"x\" k=\"V\">\n"
              "  <!-- <c z=\"1\" a=\"2\"> --><![CDATA[<d z=\"1\" a=\"2\">]]>"
              "<f q=\"1\" p=\"2\" o=\"3\" n=\"4\" m=\"5\" l=\"6\"/>\n"
              "  <e y=\"1\" x=\"2\" w=\"3\" v=\"4\" u=\"5\" t=\"6\"/>\n</r>\n");
}

TEST(Xmlcp, FailuresLeaveTheDestinationAlone) {
    Scratch dir;
    dir.write("out.xml", "precious");
    QString error;
    EXPECT_FALSE(xmlcp(dir.dir(), "missing.xml", "out.xml", "", error));
    EXPECT_EQ(error, "xmlpp failed couldn't read " + dir.path("missing.xml"));
    EXPECT_EQ(dir.read("out.xml"), "precious");

    dir.write("bad.xml", "<r><x></r>");
    error.clear();
    EXPECT_FALSE(xmlcp(dir.dir(), "bad.xml", "out.xml", "", error));
    EXPECT_TRUE(error.startsWith("xmlpp failed ")) << error.toStdString();
    EXPECT_GT(error.size(), QString("xmlpp failed ").size());
    EXPECT_EQ(dir.read("out.xml"), "precious");

    dir.write("good.xml", "<r/>");
    error.clear();
    EXPECT_FALSE(xmlcp(dir.dir(), "good.xml", "no/such/dir/out.xml", "", error));
    EXPECT_EQ(error, "xmlpp can't write " + dir.path("no/such/dir/out.xml"));
}

} // namespace
