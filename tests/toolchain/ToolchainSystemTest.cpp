#include "ToolchainFixture.h"

#include "base/EnvironmentSettings.h"

namespace {

QStringList saveNames(const PropertyClassList& list) {
    QStringList names;
    for (PropertyClass* cls : list)
        names << cls->saveName();
    return names;
}

class CatalogueTest : public ToolchainFixture {};

TEST_F(CatalogueTest, ToolchainClassesAreRegisteredAndFillTheOutputFormats) {
    EXPECT_EQ(builds->findPropertyClass("msp430_insn_set"), builds->msp430InsnSet);
    EXPECT_EQ(builds->findPropertyClass("link_msp430_workaround_CPU_6_bug"),
              builds->linkMsp430WorkaroundCpu6Bug);
    EXPECT_EQ(builds->linkerOutputFormat->enumerates(),
              QStringList({"None", "hex", "lst", "srec", "bin", "tek", "txt"}));
    EXPECT_EQ(vornBuildSystem, builds.get());
}

TEST_F(CatalogueTest, ApplicableListsOfTheToolchainLayers) {
    PropertyClassList linker;
    projects->appendLinkerProperties(&linker);
    ASSERT_EQ(linker.size(), 37);
    EXPECT_EQ(saveNames(linker).mid(35),
              QStringList({"msp430_debug_interface", "link_msp430_workaround_CPU_6_bug"}));
    EXPECT_FALSE(linker.contains(builds->msp430InsnSet));

    PropertyClassList c;
    projects->appendCCompilerProperties(&c);
    ASSERT_EQ(c.size(), 19);
    EXPECT_EQ(saveNames(c).mid(12, 5),
              QStringList({"default_code_section", "default_data_section", "default_zeroed_section",
                           "default_const_section", "default_vector_section"}));
    EXPECT_EQ(saveNames(c).mid(17),
              QStringList({"compiler_optimization_strategy", "optimize_register_allocation"}));

    PropertyClassList basic;
    projects->appendBasicCompilerProperties(&basic);
    EXPECT_EQ(basic, c);

    PropertyClassList assembler;
    projects->appendAssemblerProperties(&assembler);
    EXPECT_EQ(assembler.size(), 16);

    PropertyClassList archiver;
    projects->appendArchiverProperties(&archiver);
    EXPECT_EQ(saveNames(archiver),
              QStringList({"double_is_float", "build_use_hardware_multiplier"}));
}

TEST_F(CatalogueTest, ExtensionsAndFileTypes) {
    load(R"(<project Name="app"><configuration Name="Common" project_type="Executable"/>
      <file file_name="a.s43"/><file file_name="b.hzo"/><file file_name="c.hza"/>
      <file file_name="d.hzx"/><file file_name="e.s"/></project>)");
    EXPECT_EQ(projects->assemblyCodeFileExtension(), ".s43");
    EXPECT_EQ(projects->getFileType(file("a.s43")), "Assembly");
    EXPECT_EQ(projects->getFileType(file("b.hzo")), "Object file");
    EXPECT_EQ(projects->getFileType(file("c.hza")), "Library");
    EXPECT_EQ(projects->getFileType(file("d.hzx")), "Executable");
    EXPECT_EQ(projects->getFileType(file("e.s")), "Assembly");
    // The extension macros show in every output name of the end-to-end builds.
}

class CompileCommandTest : public ToolchainFixture {
protected:
    void SetUp() override {
        ToolchainFixture::SetUp();
        load(R"(<project Name="app"><configuration Name="Common" project_type="Executable"/>
          <folder Name="src">
            <file file_name="src/main.c"/>
            <file file_name="src/fast.c">
              <configuration Name="Debug" msp430_insn_set="MSP430X"/></file>
            <file file_name="src/bare.c">
              <configuration Name="Common" c_undefine_all_preprocessor_definitions="Yes"/></file>
            <file file_name="src/start.s43">
              <configuration Name="Debug" msp430_insn_set="MSP430X"/></file>
            <file file_name="src/prog.bas">
              <configuration Name="Debug" msp430_insn_set="MSP430X"/></file>
            <file file_name="src/obj.cpp"/>
          </folder></project>)");
    }
};

TEST_F(CompileCommandTest, DefaultCompileLine) {
    EXPECT_EQ(commandFor(file("src/main.c")),
              QStringList({studio + "/bin/hcc", "-D__SHEERLINE", "-g", "-O-9", "-Orl", "-I.",
                           "-J" + studio + "/include", "-msd", "src/main.c", "-o", "Debug/main.hzo",
                           "-D__SHEERLINE_MSP430"}));
    EXPECT_EQ(builder.directory, projects->projectDirectoryPath(project("app")));
    EXPECT_EQ(builder.lines, QStringList({"Compiling main.c", "<end>"}));
    EXPECT_EQ(builder.outputs,
              QStringList({projects->projectDirectoryPath(project("app")) + "/Debug/main.hzo"}));
}

TEST_F(CompileCommandTest, ProcessorOptionsByToolAndInstructionSet) {
    EXPECT_EQ(
        commandFor(file("src/fast.c")).mid(8),
        QStringList({"src/fast.c", "-o", "Debug/fast.hzo", "-mcpux", "-D__SHEERLINE_MSP430"}));
    const QStringList assembly = commandFor(file("src/start.s43"));
    EXPECT_EQ(assembly.first(), studio + "/bin/has");
    EXPECT_FALSE(assembly.contains("-mcpux"));
    EXPECT_EQ(assembly.last(), "-D__SHEERLINE_MSP430");
    const QStringList basic = commandFor(file("src/prog.bas"));
    EXPECT_EQ(basic.first(), studio + "/bin/hbc");
    EXPECT_EQ(basic.last(), "Debug/prog.hzo");
    EXPECT_TRUE(commandFor(file("src/bare.c")).filter("SHEERLINE").isEmpty());
}

TEST_F(CompileCommandTest, ToolChainRootFromUserSettings) {
    EnvironmentSettings settings(path("settings.ini"));
    settings.setToolChainRootDirectory("$(StudioDir)/../cross");
    environment = &settings;
    const QStringList line = commandFor(file("src/main.c"));
    environment = nullptr;
    EXPECT_EQ(line.first(), studio + "/../cross/bin/hcc");
}

TEST_F(CompileCommandTest, UnsupportedLanguagePreparesButRunsNothing) {
    EXPECT_TRUE(commandsFor(file("src/obj.cpp")).isEmpty());
    EXPECT_EQ(builder.inits, 1);
    EXPECT_FALSE(builder.directory.isEmpty());
    EXPECT_TRUE(builder.lines.isEmpty());
}

TEST_F(CompileCommandTest, SettingChangesOutdateOnlyTheStepsTheyShape) {
    const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
    const QDateTime after = QDateTime::currentDateTime().addSecs(60);
    ProjectElement* c = file("src/main.c");
    ProjectElement* s = file("src/start.s43");
    ProjectElement* app = project("app");
    auto upToDate = [&](ProjectElement* e, BuildSystem::BuildAction a, const QDateTime& t) {
        return builds->commandUpToDate(e, "Debug", t, a, &builder, true);
    };
    EXPECT_TRUE(upToDate(c, BuildSystem::CompileC, before));

    app->getConfigurationElement("Common")->setAttribute("msp430_insn_set", "MSP430X");
    EXPECT_FALSE(upToDate(c, BuildSystem::CompileC, before));
    EXPECT_TRUE(upToDate(c, BuildSystem::CompileC, after));
    EXPECT_TRUE(upToDate(s, BuildSystem::Assemble, before));
    EXPECT_TRUE(upToDate(app, BuildSystem::Link, before));

    app->getConfigurationElement("Common")->setAttribute("link_msp430_workaround_CPU_6_bug", "Yes");
    EXPECT_FALSE(upToDate(app, BuildSystem::Link, before));
    EXPECT_TRUE(upToDate(app, BuildSystem::Archive, before));
    EXPECT_TRUE(upToDate(s, BuildSystem::Assemble, before));

    app->getConfigurationElement("Common")->setAttribute("optimize_register_allocation", "None");
    builder = RecordingBuilder();
    EXPECT_FALSE(
        builds->commandUpToDate(c, "Debug", before, BuildSystem::CompileBasic, &builder, false));
    EXPECT_EQ(builder.lines, QStringList({"message: Register Allocation property has changed."}));
}

TEST_F(CompileCommandTest, LibraryVariantMacroOnlyOnProjects) {
    ProjectElement* app = project("app");
    EXPECT_EQ(builds->macros(app, "Debug").value("LibExt"), "_sf");
    EXPECT_FALSE(builds->macros(file("src/main.c"), "Debug").contains("LibExt"));
    ProjectElement* common = app->getConfigurationElement("Common");
    common->setAttribute("build_use_hardware_multiplier", "Inline");
    common->setAttribute("double_is_float", "No");
    common->setAttribute("link_use_multi_threaded_libraries", "Yes");
    builds->clearCaches();
    EXPECT_EQ(builds->macros(app, "Debug").value("LibExt"), "_hd_mt");
    common->setAttribute("linker_printf_fp_enabled", "Yes");
    common->setAttribute("linker_scanf_character_group_matching_enabled", "Yes");
    EXPECT_EQ(builds->getPrintfVariant(app, "Debug"), "double_long_long");
    EXPECT_EQ(builds->getScanfVariant(app, "Debug"), "int_cc");
}

} // namespace
