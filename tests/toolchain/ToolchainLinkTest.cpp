#include "ToolchainFixture.h"

#include "xml/MemoryMap.h"

namespace {

const char* const memoryMap = R"(<!DOCTYPE Board_Memory_Definition_File>
<Root name="Device">
  <MemorySegment name="RAM" start="0x200" size="0x400" address_symbol="__RAM_start"/>
  <MemorySegment name="FLASH" start="0x4000" size="0x1000" size_symbol="__FLASH_size"/>
</Root>
)";

const char* const placement = R"(<!DOCTYPE Linker_Placement_File>
<Root name="Placement">
  <MemorySegment name="FLASH">
    <ProgramSection name=".fixed" start="0x4000" size="0x100" load="Yes"/>
    <ProgramSection name="CODE" load="Yes"/>
    <ProgramSection name="CONST" load="Yes"/>
  </MemorySegment>
  <MemorySegment name="XRAM">
    <ProgramSection name="FAR"/>
  </MemorySegment>
  <MemorySegment name="RAM">
    <ProgramSection name="IDATA0"/>
    <ProgramSection name="UDATA0"/>
  </MemorySegment>
</Root>
)";

class LinkCommandTest : public ToolchainFixture {
protected:
    // An executable whose memory map and placement files are the given ones
    // (empty: the setting names no file).
    void loadApp(const QString& mapFile, const QString& placementFile,
                 const QString& extra = QString()) {
        load(QStringLiteral(R"(<project Name="app">
          <configuration Name="Common" project_type="Executable" linker_memory_map_file="%1"
             linker_section_placement_file="%2" %3/>
          <file file_name="main.c"/></project>)")
                 .arg(mapFile, placementFile, extra));
    }
    QStringList link() { return commandFor(project("app"), {"Debug/main.hzo", "lib/x.hza"}); }
    static QStringList placementPart(const QStringList& line) {
        const int first = line.indexOf("-Odc") + 2; // -Odc, -Ojt by default
        const int map = line.indexOf("-MDebug/app.map");
        return line.mid(first, (map >= 0 ? map : line.indexOf("-o")) - first);
    }
};

TEST_F(LinkCommandTest, PlacementDocumentOverMemoryMap) {
    writeFile("map.xml", memoryMap);
    writeFile("placement.xml", placement);
    loadApp("map.xml", "$(ProjectDir)/placement.xml");
    const QStringList line = link();
    EXPECT_EQ(line.mid(0, 5), QStringList({studio + "/bin/hld", "Debug/main.hzo", "lib/x.hza",
                                           studio + "/lib/lib_vfprintf_int_sf.hza",
                                           studio + "/lib/lib_vfscanf_int_sf.hza"}));
    // Last segment of the placement first; a segment missing from the map is skipped.
    EXPECT_EQ(placementPart(line),
              QStringList({"-D__RAM_start=512", "-TIDATA0,UDATA0=200-600", "-D__FLASH_size=4096",
                           "-T.fixed=4000", "-G.fixed=L", "-GCODE=L", "-GCONST=L",
                           "-TCODE,CONST=4100-5000"}));
    EXPECT_EQ(line.mid(line.indexOf("-o")), QStringList({"-o", "Debug/app.hzx"}));
    EXPECT_EQ(builder.lines,
              QStringList({"message: section placement file referenced segment XRAM not in "
                           "memory map file",
                           "Linking app.hzx", "<end>"}));
}

TEST_F(LinkCommandTest, MemoryMapWithSectionsPlacesItself) {
    writeFile("map.xml", R"(<!DOCTYPE Board_Memory_Definition_File>
<Root name="Device">
  <MemorySegment name="A" start="0x100" size="0x100">
    <ProgramSection name="a1"/><ProgramSection name="a2" start="+0x80" size="0x100"/>
  </MemorySegment>
  <MemorySegment name="B" start="0x1000" size="0x10"><ProgramSection name="b"/></MemorySegment>
</Root>
)");
    writeFile("placement.xml", placement);
    loadApp("map.xml", "placement.xml");
    EXPECT_EQ(placementPart(link()), QStringList({"-Tb=1000-1010", "-Ta2=180", "-Ta1=100-180"}));
    EXPECT_EQ(builder.lines.first(), "message: section a2 is larger than the segment A");
}

TEST_F(LinkCommandTest, BrokenPlacementAbandonsTheLink) {
    // A missing or unreadable memory map is covered end to end.
    writeFile("map.xml", memoryMap);
    writeFile("broken.xml", "<Root><MemorySegment></Other></Root>");
    loadApp("map.xml", "broken.xml");
    EXPECT_TRUE(link().isEmpty());
    ASSERT_EQ(builder.lines.size(), 1);
    EXPECT_TRUE(builder.lines.first().startsWith("error: Cannot load section placement file: "));
}

TEST_F(LinkCommandTest, NoMapsNoPlacementAndNoConversionByDefault) {
    loadApp("", "");
    EXPECT_EQ(placementPart(link()), QStringList());
    EXPECT_EQ(builder.lines, QStringList({"Linking app.hzx", "<end>"}));
    EXPECT_EQ(commandsFor(project("app")).size(), 1);
    // The executable format itself needs no conversion either.
    loadApp("", "", R"(linker_output_format="hzx")");
    EXPECT_EQ(commandsFor(project("app")).size(), 1);
}

TEST_F(LinkCommandTest, MapFileAndConversionInTheLinkGroup) {
    loadApp(
        "", "",
        R"(linker_map_file="Yes" linker_output_format="hex" link_msp430_workaround_CPU_6_bug="Yes")");
    const QList<QStringList> commands = commandsFor(project("app"), {"Debug/main.hzo"});
    ASSERT_EQ(commands.size(), 2);
    EXPECT_EQ(commands[0].mid(commands[0].size() - 4),
              QStringList({"-MDebug/app.map", "-o", "Debug/app.hzx", "-fcpu6"}));
    EXPECT_EQ(commands[1],
              QStringList({studio + "/bin/hex", "Debug/app.hzx", "-o", "Debug/app", "-Fhex"}));
    const QString out = projects->projectDirectoryPath(project("app")) + "/Debug/app";
    EXPECT_EQ(builder.outputs, QStringList({out + ".hzx", out + ".map", out + ".hex"}));
    EXPECT_EQ(builder.lines, QStringList({"Linking app.hzx", "<end>"}));

    failing = QStringList({studio + "/bin/hld"});
    EXPECT_EQ(commandsFor(project("app")).size(), 1);
    EXPECT_EQ(builder.lines, QStringList({"Linking app.hzx", "<end>"}));
}

TEST_F(LinkCommandTest, ArchiveListsInputsInOrder) {
    load(R"(<project Name="lib"><configuration Name="Common" project_type="Library"/>
      <file file_name="b.c"/><file file_name="a.c"/></project>)");
    EXPECT_EQ(
        commandFor(project("lib"), {"Debug/b.hzo", "Debug/a.hzo"}),
        QStringList({studio + "/bin/har", "-c", "Debug/lib.hza", "Debug/b.hzo", "Debug/a.hzo"}));
    EXPECT_EQ(builder.lines, QStringList({"Archiving lib.hza", "<end>"}));
}

} // namespace
