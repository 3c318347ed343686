#include "xml/MemoryMap.h"

#include "macros/MacroSystem.h"

#include "XmlTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

XMLElement* el(XMLNode* n) {
    return n && n->isElement() ? static_cast<XMLElement*>(n) : nullptr;
}

QStringList names(const MemoryMap::ElementList& list) {
    QStringList out;
    for (MemoryMapElement* e : list)
        out << e->name();
    return out;
}

MemoryMapElement* named(MemoryMap& map, const QString& name, MemoryMapElement::ElementType type) {
    MemoryMapElement* e = map.getNamedElementOfType(name, type);
    EXPECT_TRUE(e) << name.toStdString();
    return e;
}

const QByteArray device = R"xml(<!DOCTYPE Board_Memory_Definition_File>
<!-- a device -->
<Root name="Dev">
  <MemorySegment name="FLASH" start="0x8000" size="0x8000" access="ReadOnly">
    <ProgramSection name="CODE" start="+0x100" alignment="0x10" load="Yes" inputsections="*(.text)">
      <ProgramSection name="INNER" start="+4"/>
    </ProgramSection>
    <ProgramSection name="CONST" load="No" address_symbol="" runin="RAM"/>
  </MemorySegment>
  <MemorySegment name="RAM" start="0x200" size="512">
    <RegisterGroup name="PORT" start="0x120">
      <Register name="CTL" start="+2" register_type="unsigned short">
        <BitField name="EN" start="3" size="1"/>
      </Register>
      <Register name="FIXED" start="0x120+4" register_type="int"/>
      <Register name="WIDE" start="+6" register_type="double" size="1"/>
      <Register name="ODD" start="+8" register_type="struct x"/>
      <Register name="NONE" start="+10"/>
    </RegisterGroup>
  </MemorySegment>
  <Processor name="cpu" start="0x5000">
    <MemorySegment name="INFO" start="+0x10"/>
  </Processor>
</Root>
)xml";

TEST(MemoryMap, AddressesFollowTheEnclosingSegmentSectionOrGroup) {
    MemoryMap map;
    ASSERT_TRUE(map.loadFromString(device));
    EXPECT_EQ(named(map, "FLASH", MemoryMapElement::MemorySegment)->address(), 0x8000u);
    EXPECT_EQ(named(map, "CODE", MemoryMapElement::ProgramSection)->address(), 0x8100u);
    EXPECT_EQ(named(map, "INNER", MemoryMapElement::ProgramSection)->address(), 0x8104u);
    EXPECT_EQ(named(map, "CONST", MemoryMapElement::ProgramSection)->address(), 0u);
    EXPECT_EQ(named(map, "CTL", MemoryMapElement::Register)->address(), 0x122u);
    EXPECT_EQ(named(map, "FIXED", MemoryMapElement::Register)->address(), 0x124u);
    EXPECT_EQ(named(map, "EN", MemoryMapElement::BitField)->address(), 3u);
    // A processor passes its base on without taking a start of its own.
    EXPECT_EQ(named(map, "INFO", MemoryMapElement::MemorySegment)->address(), 0x10u);

    MemoryMapElement e(XMLNode::mkString("Register"));
    e.setAttribute(QString("start"), QString("+0x10"));
    e.updateAddress(0xFFFFFFF8u);
    EXPECT_EQ(e.address(), 8u); // sums wrap at 32 bits
    e.setAttribute(QString("start"), QString(""));
    e.updateAddress(5);
    EXPECT_EQ(e.address(), 0u);
}

TEST(MemoryMap, SizesComeFromSizeOrRegisterType) {
    MemoryMap map;
    ASSERT_TRUE(map.loadFromString(device));
    EXPECT_EQ(named(map, "CTL", MemoryMapElement::Register)->size(), 2u);
    EXPECT_FALSE(named(map, "CTL", MemoryMapElement::Register)->hasSize());
    EXPECT_EQ(named(map, "FIXED", MemoryMapElement::Register)->size(), 0u);
    EXPECT_EQ(named(map, "WIDE", MemoryMapElement::Register)->size(), 1u);
    EXPECT_EQ(named(map, "ODD", MemoryMapElement::Register)->size(), 8u);
    EXPECT_EQ(named(map, "NONE", MemoryMapElement::Register)->size(), 0u);
    EXPECT_EQ(named(map, "RAM", MemoryMapElement::MemorySegment)->size(), 512u);
    EXPECT_EQ(named(map, "FLASH", MemoryMapElement::MemorySegment)->size(), 0x8000u);
}

TEST(MemoryMap, AttributeQueries) {
    MemoryMap map;
    ASSERT_TRUE(map.loadFromString(device));
    EXPECT_STREQ(map.docType(), "Board_Memory_Definition_File");
    MemoryMapElement* code = named(map, "CODE", MemoryMapElement::ProgramSection);
    MemoryMapElement* constant = named(map, "CONST", MemoryMapElement::ProgramSection);
    EXPECT_TRUE(code->load());
    EXPECT_FALSE(constant->load());
    EXPECT_TRUE(constant->hasLoad());
    EXPECT_EQ(code->alignment(), 16u);
    EXPECT_TRUE(constant->hasAddressSymbol()); // present, though empty
    EXPECT_FALSE(code->hasAddressSymbol());
    EXPECT_TRUE(map.getSegment("FLASH")->isReadOnly());
    EXPECT_FALSE(map.getSegment("RAM")->isReadOnly());
    EXPECT_EQ(map.getRoot()->elementType(), MemoryMapElement::Root);
    EXPECT_EQ(MemoryMapElement::elementTypeFromString("Import"), MemoryMapElement::NoType);
}

TEST(MemoryMap, SegmentsAndSectionsInOrderAndReversed) {
    MemoryMap map;
    ASSERT_TRUE(map.loadFromString(device));
    EXPECT_EQ(names(map.getSegments(false)), QStringList({"FLASH", "RAM", "INFO"}));
    EXPECT_EQ(names(map.getSegments(true)), QStringList({"INFO", "RAM", "FLASH"}));
    MemoryMapElement* flash = map.getSegment("FLASH");
    EXPECT_EQ(names(map.getSections(flash, true)), QStringList({"CODE", "CONST"}));
    EXPECT_EQ(names(map.getSections(flash, false)), QStringList({"CONST", "CODE"}));
    EXPECT_EQ(map.getSegment("flash"), nullptr);
    EXPECT_EQ(map.getSegment("CODE"), nullptr);
}

TEST(MemoryMap, ImportsReplaceTheirElementOrStayWhenMissing) {
    Scratch dir;
    dir.write("placement.xml", "<Root name=\"P\"><MemorySegment name=\"IMPORTED\" start=\"0x40\">"
                               "<Import filename=\"nested.xml\"/></MemorySegment></Root>");
    dir.write("nested.xml", "<Root><MemorySegment name=\"NESTED\"/></Root>");
    dir.write("shadow.xml", "<Root><MemorySegment name=\"BESIDE_MAP\"/></Root>");
    dir.write("map.xml", "<Root><MemorySegment name=\"OWN\"/><Import filename=\"placement.xml\"/>"
                         "<Import filename=\"missing.xml\"/><Import filename=\"shadow.xml\"/>"
                         "<MemorySegment name=\"LAST\"/></Root>");
    // A relative name is opened as given first; only a name that is no file
    // there is taken from the importing map's directory.
    Scratch work;
    work.write("shadow.xml", "<Root><MemorySegment name=\"IN_WORKING_DIR\"/></Root>");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.dir()));
    MemoryMap map;
    WarningCapture quiet;
    const bool loaded = map.load(dir.path("map.xml"), QString());
    QDir::setCurrent(before);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(names(map.getSegments(false)),
              QStringList({"OWN", "IMPORTED", "IN_WORKING_DIR", "LAST"}));
    MemoryMapElement* imported = map.getSegment("IMPORTED")->parentElement();
    ASSERT_TRUE(imported && imported->importOrigin());
    EXPECT_EQ(imported->parentElement(), map.getRoot());
    EXPECT_EQ(imported->importOrigin()->attributeString("filename"), "placement.xml");
    EXPECT_EQ(map.getSegment("IMPORTED")->address(), 0x40u);
    // The failed import is still there, between the import and LAST.
    XMLElement* stayed = el(imported->nextSibling());
    ASSERT_TRUE(stayed);
    EXPECT_TRUE(stayed->hasTag("Import"));
}

TEST(MemoryMap, LoadPreprocessesWithMacrosAndExpandsTheFileName) {
    Scratch dir;
    dir.write("map.xml", "<Root><if Chip=\"F449\"><MemorySegment name=\"$(Chip)_RAM\"/></if>"
                         "<ifnot Chip=\"F449\"><MemorySegment name=\"OTHER\"/></ifnot></Root>");
    macroSystem.setSystemMacro("MemoryMapTestDir", dir.dir());
    MemoryMap map;
    ASSERT_TRUE(map.load("$(MemoryMapTestDir)/map.xml", "Chip=F449"));
    EXPECT_EQ(names(map.getSegments(false)), QStringList("F449_RAM"));
    EXPECT_EQ(map.fileName(), "$(MemoryMapTestDir)/map.xml");
    EXPECT_TRUE(map.upToDate());

    MemoryMap missing;
    EXPECT_FALSE(missing.load(dir.path("none.xml"), QString()));
    dir.write("bad.xml", "<Root><x></y></Root>");
    EXPECT_FALSE(missing.load(dir.path("bad.xml"), QString()));
}

TEST(MemoryMapOpenFiles, ReloadsWhenTheMapOrAnImportChanges) {
    Scratch dir;
    const QDateTime t0 = QDateTime::currentDateTime().addSecs(-100);
    dir.write("import.xml", "<Root><MemorySegment name=\"A\"/></Root>");
    dir.write("map.xml", "<Root><Import filename=\"import.xml\"/></Root>");
    dir.write("other.xml", "<Root/>");
    dir.setTime("import.xml", t0.addSecs(-50));
    dir.setTime("map.xml", t0);

    const QString path = dir.path("map.xml");
    MemoryMap* first = MemoryMapOpenFiles::getMemoryMapFile(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(names(first->getSegments(false)), QStringList("A"));
    EXPECT_EQ(MemoryMapOpenFiles::getMemoryMapFile(path), first);

    // New content under the old time, and an unrelated file touched: the
    // cached map is still taken.
    dir.write("map.xml",
              "<Root><Import filename=\"import.xml\"/><MemorySegment name=\"B\"/></Root>");
    dir.setTime("map.xml", t0);
    dir.setTime("other.xml", t0.addSecs(30));
    MemoryMap* cached = MemoryMapOpenFiles::getMemoryMapFile(path);
    ASSERT_TRUE(cached);
    EXPECT_EQ(names(cached->getSegments(false)), QStringList("A"));

    // Touching the import brings in both changes.
    dir.write("import.xml", "<Root><MemorySegment name=\"A2\"/></Root>");
    dir.setTime("import.xml", t0.addSecs(10));
    MemoryMap* reloaded = MemoryMapOpenFiles::getMemoryMapFile(path);
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(names(reloaded->getSegments(false)), QStringList({"A2", "B"}));

    // So does a change of the map's own time.
    dir.write("map.xml", "<Root><MemorySegment name=\"C\"/></Root>");
    dir.setTime("map.xml", t0.addSecs(20));
    MemoryMap* again = MemoryMapOpenFiles::getMemoryMapFile(path);
    ASSERT_TRUE(again);
    EXPECT_EQ(names(again->getSegments(false)), QStringList("C"));

    QFile::remove(path);
    EXPECT_EQ(MemoryMapOpenFiles::getMemoryMapFile(path), nullptr);
    EXPECT_EQ(MemoryMapOpenFiles::getMemoryMapFile(dir.path("never.xml")), nullptr);
    WarningCapture capture;
    EXPECT_EQ(MemoryMapOpenFiles::getMemoryMapFile(""), nullptr);
    EXPECT_TRUE(capture.warnings.isEmpty());
}

TEST(MemoryMap, HostileTextNeverCrashes) {
    const char* samples[] = {"",
                             "<Root",
                             "<Root><MemorySegment start=\"+\"/></Root>",
                             "<Root><Register start=\"0x+0x\" size=\"zz\"/></Root>",
                             "<Import filename=\"\"/>",
                             "<Root><Import/></Root>"};
    for (const char* s : samples) {
        MemoryMap map;
        map.loadFromString(QByteArray(s));
        map.getSegments(true);
        map.getSegment("x");
    }
}

} // namespace
