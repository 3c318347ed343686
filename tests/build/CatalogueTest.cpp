#include "BuildTestSupport.h"

namespace {

QStringList saveNames(const PropertyClassList& list) {
    QStringList names;
    for (PropertyClass* cls : list)
        names << cls->saveName();
    return names;
}

QStringList saveNames(const PropertyValueList& list) {
    QStringList names;
    for (PropertyValue* value : list)
        names << value->propertyClass()->saveName();
    return names;
}

class CatalogueTest : public BuildFixture {};

TEST_F(CatalogueTest, RegistryKeepsTheLaterOfTwoClassesWithOneSaveName) {
    PropertyClass* registered = builds->findPropertyClass("build_output_file_name");
    ASSERT_EQ(registered, builds->buildOutputFileNameLibrary);
    EXPECT_EQ(registered->defaultValue(), "$(OutDir)/$(ProjectName)$(LIB)");
    EXPECT_EQ(builds->buildOutputFileNameExecutable->defaultValue(),
              "$(OutDir)/$(ProjectName)$(EXE)");
    // The build action is a class of its own but never looked up by name.
    EXPECT_EQ(builds->findPropertyClass("build_action"), nullptr);
    EXPECT_NE(builds->buildActionClass, nullptr);
    EXPECT_EQ(builds->findPropertyClass("no_such_setting"), nullptr);
    EXPECT_EQ(builds->findPropertyClass("stage_command"), builds->stageCommand);
}

TEST_F(CatalogueTest, EnumerationsLeftToTheToolchainAndTheDriver) {
    // The toolchain layer fills the output formats in; this layer leaves them empty.
    EXPECT_TRUE(builds->linkerOutputFormat->enumerates().isEmpty());
    EXPECT_EQ(builds->externalLoadFileType->enumerates(), QStringList{"Detect"});

    TestBuildSystem withTypes(QStringList{"hex", "bin"});
    EXPECT_EQ(withTypes.externalLoadFileType->enumerates(), QStringList({"Detect", "hex", "bin"}));
    EXPECT_EQ(standardBuildSystem, &withTypes);
    EXPECT_EQ(buildSystem, &withTypes);
}

TEST_F(CatalogueTest, CompilerAndLinkerListsOfThisLayer) {
    PropertyClassList c;
    projects->appendCCompilerProperties(&c);
    ASSERT_EQ(c.size(), 17);
    EXPECT_EQ(c.first(), builds->cAdditionalOptions);
    EXPECT_EQ(c.last(), builds->defaultVectorSection);

    // Unique entries: appending the compiler settings again changes nothing.
    projects->appendAssemblerProperties(&c);
    EXPECT_EQ(c.size(), 18);
    EXPECT_EQ(c.last(), builds->asmAdditionalOptions);

    PropertyClassList linker;
    projects->appendLinkerProperties(&linker);
    ASSERT_EQ(linker.size(), 17);
    EXPECT_EQ(linker.first(), builds->linkerMemoryMapFile);
    EXPECT_EQ(linker.last(), builds->linkerKeepSymbols);

    PropertyClassList forth;
    projects->appendForthCompilerProperties(&forth);
    EXPECT_EQ(saveNames(forth), QStringList({"build_debug_information", "build_quietly"}));
}

TEST_F(CatalogueTest, ProjectListsByProjectType) {
    auto listFor = [&](const QString& type) {
        PropertyClassList list;
        projects->appendProjectProperties(&list, type);
        return list;
    };
    const PropertyClassList executable = listFor("Executable");
    EXPECT_EQ(executable.first(), builds->buildOutputDirectory);
    EXPECT_EQ(executable.last(), builds->buildOutputFileNameExecutable);
    EXPECT_EQ(listFor("Library").last(), builds->buildOutputFileNameLibrary);
    EXPECT_FALSE(listFor("Library").contains(builds->linkerMapFile));
    EXPECT_FALSE(listFor("Object file").contains(builds->buildIntermediateDirectory));

    EXPECT_EQ(
        saveNames(listFor("Staging")),
        QStringList({"build_output_directory", "stage_command", "stage_output_filepath",
                     "stage_package_filepath", "stage_package_member_name", "stage_set_readonly"}));
    EXPECT_EQ(saveNames(listFor("Combining")),
              QStringList({"build_output_directory", "combine_command", "combine_output_filepath",
                           "combine_set_readonly"}));
    EXPECT_EQ(listFor("Externally Built Executable").size(), 10);
    EXPECT_TRUE(listFor("Rocket").isEmpty());
}

class RecordingTool : public Tool {
public:
    explicit RecordingTool(PropertyClass* cls) : m_cls(cls) {}
    void appendProperties(PropertyClassList* list, ProjectElement* element) override {
        elements << element;
        list->append(m_cls);
    }
    QList<ProjectElement*> elements;

private:
    PropertyClass* m_cls;
};

class ApplicableSettingsTest : public BuildFixture {
protected:
    void SetUp() override {
        BuildFixture::SetUp();
        writeFile("map.xml", "<!DOCTYPE Board_Memory_Definition_File>\n"
                             "<Board_Memory_Definition_File/>\n");
        load(R"(
  <project Name="app">
    <configuration Name="Common" project_type="Executable" property_groups_file_path=""/>
    <folder Name="src">
      <file file_name="main.c"/>
      <file file_name="start.s43"/>
      <file file_name="notes.txt"/>
      <file file_name="map.xml"/>
    </folder>
  </project>
  <project Name="stage">
    <configuration Name="Common" project_type="Staging"/>
    <folder Name="data"><file file_name="a.bin"/></folder>
  </project>
  <project Name="comb">
    <configuration Name="Common" project_type="Combining"/>
    <folder Name="parts"><file file_name="b.txt"/></folder>
  </project>)");
    }
    QStringList settings(ProjectElement* element) {
        std::unique_ptr<PropertyValueList> list(projects->applicableSettingsFor(element, "Debug"));
        return saveNames(*list);
    }
};

TEST_F(ApplicableSettingsTest, FilesByTypeAndProject) {
    // The file type, the tool's settings, then the output name and the exclusion.
    const QStringList c = settings(file("main.c"));
    ASSERT_EQ(c.size(), 20);
    EXPECT_EQ(c.first(), "file_type");
    EXPECT_EQ(c.mid(18), QStringList({"build_object_file_name", "build_exclude_from_build"}));
    const QStringList assembly = settings(file("start.s43"));
    EXPECT_EQ(assembly.at(1), "asm_additional_options");
    EXPECT_EQ(assembly.size(), 1 + 16 + 2);
    for (const char* untooled : {"notes.txt", "map.xml"})
        EXPECT_EQ(settings(file(untooled)), QStringList({"file_type", "build_exclude_from_build"}));

    EXPECT_EQ(
        settings(file("a.bin")),
        QStringList({"stage_output_filepath", "stage_package_filepath", "stage_package_member_name",
                     "stage_command", "build_exclude_from_build", "stage_set_readonly"}));
}

TEST_F(ApplicableSettingsTest, FoldersProjectsSolutionAndConfigurations) {
    ProjectElement* src = ProjectSystem::findByName(solution, "src");
    const QStringList folder = settings(src);
    EXPECT_EQ(folder.first(), "build_output_directory");
    EXPECT_EQ(folder.mid(folder.size() - 2),
              QStringList({"build_intermediate_directory", "build_exclude_from_build"}));

    EXPECT_EQ(settings(ProjectSystem::findByName(solution, "parts")),
              QStringList{"build_exclude_from_build"});
    EXPECT_EQ(settings(ProjectSystem::findByName(solution, "data")).last(),
              "build_exclude_from_build");
    EXPECT_EQ(settings(ProjectSystem::findByName(solution, "data")).at(1), "stage_command");

    const QStringList app = settings(project("app"));
    EXPECT_EQ(app.mid(app.size() - 2),
              QStringList({"build_output_file_name", "build_exclude_from_build"}));
    EXPECT_EQ(settings(project("comb")).at(3), "combine_set_readonly");

    const QStringList top = settings(solution);
    EXPECT_EQ(top.first(), "build_output_directory");
    EXPECT_EQ(top.last(), "stage_set_readonly");

    EXPECT_TRUE(settings(solution->getConfigurationElement("Debug")).isEmpty());
}

TEST_F(ApplicableSettingsTest, RegisteredToolsComeFirst) {
    RecordingTool tool(builds->buildActionClass);
    toolDatabase->registerTool("probe", &tool);
    const QStringList list = settings(file("notes.txt"));
    toolDatabase->clear();
    EXPECT_EQ(list, QStringList({"build_action", "file_type", "build_exclude_from_build"}));
    ASSERT_EQ(tool.elements.size(), 1);
    EXPECT_EQ(tool.elements.first(), file("notes.txt"));
}

} // namespace

namespace {

class PropertyGroupSettingsTest : public BuildFixture {};

TEST_F(PropertyGroupSettingsTest, GroupValuesFollowExecutablesAndTheSolution) {
    writeFile("groups.xml",
              "<!DOCTYPE Property_Groups_File>\n<propertyGroups>\n"
              "  <group name=\"Board\" group=\"Target Options\" short=\"Board\" long=\"b\" "
              "default=\"A\">\n"
              "    <groupEntry name=\"A\"><property name=\"build_quietly\" value=\"No\"/>"
              "</groupEntry>\n"
              "  </group>\n</propertyGroups>\n");
    load(R"(
  <configuration Name="Common" property_groups_file_path="$(SolutionDir)/groups.xml"/>
  <project Name="app"><configuration Name="Common" project_type="Executable"/></project>
  <project Name="lib"><configuration Name="Common" project_type="Library"/></project>
  <project Name="none">
    <configuration Name="Common" project_type="Executable" property_groups_file_path=""/>
  </project>)");
    auto names = [&](ProjectElement* element) {
        std::unique_ptr<PropertyValueList> list(projects->applicableSettingsFor(element, "Debug"));
        return saveNames(*list);
    };
    EXPECT_EQ(names(project("app")).last(), "Board");
    EXPECT_EQ(names(project("app")).count("Board"), 1);
    EXPECT_EQ(names(solution).last(), "Board");
    EXPECT_EQ(names(project("lib")).last(), "build_exclude_from_build");
    EXPECT_EQ(names(project("none")).last(), "build_exclude_from_build");
}

} // namespace
