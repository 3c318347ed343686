#include "E2E.h"

#include <gtest/gtest.h>

// The xmlcp and mkhdr builtins reached through a staging project's command.

namespace {

QByteArray solution(const QByteArray& files) {
    return "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n"
           "<configuration Name=\"Debug\"/>\n"
           "<project Name=\"st\"><configuration Name=\"Common\" project_type=\"Staging\"/>" +
           files + "</project>\n</solution>\n";
}

QByteArray stagedFile(const QByteArray& name, const QByteArray& output, const QByteArray& command) {
    return "<file file_name=\"" + name + "\"><configuration Name=\"Common\" " +
           "stage_output_filepath=\"$(OutDir)/" + output + "\" stage_command=\"" + command +
           "\"/></file>";
}

TEST(XmlCommands, StagingRunsXmlcpAndMkhdr) {
    e2e::Sandbox box;
    box.write("map.xml", "<Root><MemorySegment name=\"P\" start=\"0\">"
                         "<RegisterGroup name=\"PORT\" start=\"0x20\">"
                         "<Register name=\"P1OUT\" start=\"+1\" size=\"1\">"
                         "<BitField name=\"B0\" start=\"0\" size=\"1\"/></Register>"
                         "</RegisterGroup></MemorySegment></Root>");
    // Attributes come out in source order, whatever this process's hash seed.
    box.write("in.xml",
              "<r><if chip=\"F449\"><kept f=\"1\" e=\"2\" d=\"3\" c=\"4\" b=\"5\" a=\"6\"/>"
              "</if><ifnot chip=\"F449\"><no/></ifnot></r>");
    box.write("s.hzp", solution(stagedFile("map.xml", "regs.h",
                                           "mkhdr &quot;$(RelInputPath)&quot; -regbaseoffs "
                                           "&quot;$(StageOutputFilePath)&quot; Dev") +
                                stagedFile("in.xml", "out.xml",
                                           "xmlcp &quot;$(RelInputPath)&quot; "
                                           "&quot;$(StageOutputFilePath)&quot; chip=F449")));
    const e2e::Result r = box.run({"-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string header = box.read("Debug/regs.h");
    EXPECT_NE(header.find("// Dev register and bit definitions.\n"), std::string::npos) << header;
    EXPECT_NE(header.find("#ifndef regs_h\n#define regs_h\n\n#define PORT_BASE 0x20\n\n"
                          "#define P1OUT (*(volatile unsigned char *)0x21)\n"
                          "#define P1OUT_OFFSET 0x1\n"
                          "#define P1OUT_B0_MASK 0x1\n"),
              std::string::npos)
        << header;
    EXPECT_EQ(box.read("Debug/out.xml"),
              "<r>\n  <kept f=\"1\" e=\"2\" d=\"3\" c=\"4\" b=\"5\" a=\"6\"/>\n</r>\n");
}

TEST(XmlCommands, AFailingXmlcpIsReportedAndStopsTheBuild) {
    e2e::Sandbox box;
    box.write("later.xml", "<r/>");
    const QByteArray copy = "xmlcp &quot;$(RelInputPath)&quot; &quot;$(StageOutputFilePath)&quot;";
    box.write("s.hzp", solution(stagedFile("gone.xml", "out.xml", copy) +
                                stagedFile("later.xml", "later.out", copy)));
    const e2e::Result r = box.run({"-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("xmlpp failed couldn't read " + box.path().toStdString() + "/gone.xml"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(box.exists("Debug/out.xml"));
    EXPECT_FALSE(box.exists("Debug/later.out"));
}

} // namespace
