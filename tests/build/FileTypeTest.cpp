#include "BuildTestSupport.h"

namespace {

class FileTypeTest : public BuildFixture {
protected:
    void SetUp() override {
        BuildFixture::SetUp();
        writeFile("place.xml", "<!DOCTYPE Linker_Placement_File>\n<Root name=\"x\"/>\n");
        writeFile("other.xml", "<Something/>\n");
        writeFile("broken.xml", "<Linker_Placement_File");
        load(R"(
  <project Name="app">
    <configuration Name="Common" project_type="Executable"/>
    <folder Name="f">
      <configuration Name="Common" file_type="Linker Script"/>
      <file file_name="main.C"/>
      <file file_name="lower.c"/>
      <file file_name="x.CPP"/>
      <file file_name="x.cxx"/>
      <file file_name="x.tar.c"/>
      <file file_name="Makefile"/>
      <file file_name="dir.d/noext"/>
      <file file_name="boot.s43"/>
      <file file_name="boot.S"/>
      <file file_name="boot.asm"/>
      <file file_name="prog.bas"/>
      <file file_name="prog.4"/>
      <file file_name="lib.hza"/>
      <file file_name="obj.hzo"/>
      <file file_name="app.hzx"/>
      <file file_name="place.xml"/>
      <file file_name="other.xml"/>
      <file file_name="broken.xml"/>
      <file file_name="missing.xml"/>
      <file file_name="link.c">
        <configuration Name="Common" file_type="Linker Script"/>
      </file>
      <file file_name="debug.c">
        <configuration Name="Debug" file_type="Basic"/>
      </file>
    </folder>
  </project>)");
    }
    QString type(const QString& fileName) {
        ProjectElement* element = file(fileName);
        EXPECT_NE(element, nullptr) << qPrintable(fileName);
        return element ? projects->getFileType(element) : QString("<none>");
    }
};

TEST_F(FileTypeTest, ExtensionsDocumentTypesAndOwnSettings) {
    // XML files go by their document type. Only the file's own "Common" value
    // counts: not its folder's (Linker Script), nor one for a single configuration.
    const QMap<QString, QString> expected{
        {"main.C", "C"},           {"lower.c", "C"},
        {"x.CPP", "C++"},          {"x.cxx", "C++"},
        {"x.tar.c", "C"},          {"Makefile", ""},
        {"dir.d/noext", ""},       {"boot.s43", "Assembly"},
        {"boot.S", "Assembly"},    {"boot.asm", "Assembly"},
        {"prog.bas", "Basic"},     {"prog.4", "Forth"},
        {"lib.hza", "Library"},    {"obj.hzo", "Object file"},
        {"app.hzx", "Executable"}, {"place.xml", "Section Placement"},
        {"other.xml", ""},         {"broken.xml", ""},
        {"missing.xml", ""},       {"link.c", "Linker Script"},
        {"debug.c", "C"},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(type(it.key()), it.value()) << qPrintable(it.key());
}

TEST_F(FileTypeTest, DerivedTypeIsKeptButAnExplicitTypeStillWins) {
    ProjectElement* element = file("lower.c");
    ASSERT_EQ(projects->getFileType(element), "C");
    element->setFileName("lower.bas");
    EXPECT_EQ(projects->getFileType(element), "C");
    projects->setProperty(element, projects->fileTypeProperty(), "Common", "Memory Map");
    EXPECT_EQ(projects->getFileType(element), "Memory Map");
}

} // namespace
