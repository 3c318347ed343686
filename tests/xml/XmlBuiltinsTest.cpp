#include "xml/XmlBuiltins.h"

#include "XmlTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

using XmlBuiltins::mkhdr;
using XmlBuiltins::xmlcp;

namespace {

const QByteArray ports = R"xml(<!DOCTYPE Board_Memory_Definition_File>
<Root name="Dev">
  <MemorySegment name="Peripherals" start="0x0" size="0x200">
    <RegisterGroup name="PORT1" start="0x20">
      <Register name="P1OUT" start="0x21" size="1"/>
      <Register name="CTL" start="+4" size="2" aka="CTL0">
        <BitField name="EN" start="3" size="1"/>
        <BitField name="MODE" start="3" size="2"/>
        <BitField name="GONE" start="5" size="0"/>
      </Register>
      <Register name="BIG" start="+8" size="8"/>
      <Register name="LONG" start="+0x10" size="4"/>
      <Register name="TYPED" start="+0x14" register_type="unsigned char"/>
    </RegisterGroup>
    <Register name="LOOSE" start="0x1F0" size="2"/>
    <ProgramSection name="IGNORED" start="0x100"/>
  </MemorySegment>
</Root>
)xml";

// Lines from the include guard on.
QString body(const QByteArray& header) {
    const int guard = header.indexOf("#ifndef ");
    return guard < 0 ? QString() : QString::fromUtf8(header.mid(guard));
}

TEST(Mkhdr, RegistersBitFieldsAliasesAndOffsets) {
    Scratch dir;
    dir.write("ports.xml", ports);
    QString error;
    ASSERT_TRUE(mkhdr(dir.dir(), "ports.xml", "ports.h", "Dev", true, error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(body(dir.read("ports.h")), "#ifndef ports_h\n"
                                         "#define ports_h\n"
                                         "\n"
                                         "#define PORT1_BASE 0x20\n"
                                         "\n"
                                         "#define P1OUT (*(volatile unsigned char *)0x21)\n"
                                         "#define P1OUT_OFFSET 0x1\n"
                                         "\n"
                                         "#define CTL (*(volatile unsigned short *)0x24)\n"
                                         "#define CTL_OFFSET 0x4\n"
                                         "#define CTL0 CTL\n"
                                         "#define CTL_EN_MASK 0x8\n"
                                         "#define CTL0_EN_MASK CTL_EN_MASK\n"
                                         "#define CTL_EN 0x8\n"
                                         "#define CTL0_EN CTL_EN\n"
                                         "#define CTL_EN_BIT 3\n"
                                         "#define CTL0_EN_BIT CTL_EN_BIT\n"
                                         "#define CTL_MODE_MASK 0x18\n"
                                         "#define CTL0_MODE_MASK CTL_MODE_MASK\n"
                                         "#define CTL_MODE_BIT 3\n"
                                         "#define CTL0_MODE_BIT CTL_MODE_BIT\n"
                                         "\n"
                                         "#define BIG (*(volatile unsigned *)0x28)\n"
                                         "#define BIG_OFFSET 0x8\n"
                                         "\n"
                                         "#define LONG (*(volatile unsigned long *)0x30)\n"
                                         "#define LONG_OFFSET 0x10\n"
                                         "\n"
                                         "#define TYPED (*(volatile unsigned *)0x34)\n"
                                         "#define TYPED_OFFSET 0x14\n"
                                         "\n"
                                         "#define LOOSE (*(volatile unsigned short *)0x1F0)\n"
                                         "#define LOOSE_OFFSET 0x1F0\n"
                                         "\n"
                                         "\n"
                                         "#endif\n");
    const QList<QByteArray> lines = dir.read("ports.h").split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], "// Dev register and bit definitions.");
    EXPECT_EQ(lines[1], "//");
    for (const QByteArray& line : lines.mid(2, lines.indexOf("") - 2))
        EXPECT_TRUE(line == "//" || line.startsWith("// ")) << line.constData();
}

TEST(Mkhdr, WithoutOffsetsOrTitle) {
    Scratch dir;
    dir.write("ports.xml", ports);
    QString error;
    ASSERT_TRUE(mkhdr(dir.dir(), dir.path("ports.xml"), "my.regs.h", "", false, error));
    const QByteArray header = dir.read("my.regs.h");
    EXPECT_FALSE(header.contains("register and bit definitions"));
    EXPECT_FALSE(header.contains("_BASE"));
    EXPECT_FALSE(header.contains("_OFFSET"));
    EXPECT_TRUE(header.startsWith("// "));
    EXPECT_TRUE(body(header).startsWith("#ifndef my_h\n#define my_h\n\n"
                                        "#define P1OUT (*(volatile unsigned char *)0x21)\n\n"));
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

    dir.write("ports.xml", ports);
    error.clear();
    EXPECT_FALSE(mkhdr(dir.dir(), "ports.xml", "missing/h.h", "", false, error));
    EXPECT_EQ(error, "mkhdr can't create " + dir.path("missing/h.h"));
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
