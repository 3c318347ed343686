#include "SolutionFixture.h"

#include "support/QuietBuilder.h"

namespace {

const char* kSolution = R"x(<solution Name="demo" version="1">
  <configuration Name="Common" c_preprocessor_definitions="SOL_COMMON"/>
  <configuration Name="Debug" inherited_configurations="Base;;Extra" c_preprocessor_definitions="C" build_flag="from solution"/>
  <configuration Name="Release"/>
  <configuration Name="Base" hidden="Yes"/>
  <project Name="app">
    <configuration Name="Common" c_preprocessor_definitions="B" build_flag="common" empty_list=""/>
    <configuration Name="Debug" build_single="X" empty_list=""/>
    <configuration Name="Base" build_base="base" build_flag="base"/>
    <folder Name="Src">
      <configuration Name="Common" build_single="Y" build_empty=""/>
      <folder Name="Inner">
        <file file_name="deep.c"/>
      </folder>
      <file file_name="main.c">
        <configuration Name="Debug" c_preprocessor_definitions="A" empty_list="A"/>
      </file>
    </folder>
  </project>
</solution>)x";

class Resolution : public SolutionTest {
protected:
    PropertyClass defs{"c_preprocessor_definitions", PropertyClass::StringList, "G", "S", "L"};
    PropertyClass emptyList{"empty_list", PropertyClass::StringList, "G", "S", "L", "DEFAULT"};
    PropertyClass single{"build_single", PropertyClass::String, "G", "S", "L", "dflt"};
    PropertyClass flag{"build_flag", PropertyClass::String, "G", "S", "L", "dflt"};
    PropertyClass base{"build_base", PropertyClass::String, "G", "S", "L"};
    PropertyClass emptyValue{"build_empty", PropertyClass::String, "G", "S", "L", "dflt"};
    PropertyClass absent{"build_absent", PropertyClass::Boolean, "G", "S", "L"};
    ProjectElement* app = nullptr;
    ProjectElement* src = nullptr;
    ProjectElement* mainC = nullptr;
    ProjectElement* deep = nullptr;

    void SetUp() override {
        load("demo.hzp", kSolution);
        app = project("app");
        ASSERT_NE(app, nullptr);
        src = ProjectSystem::findFolder(app, "Src");
        mainC = ProjectSystem::findFile(src, "main.c");
        deep = ProjectSystem::findFile(ProjectSystem::findFolder(src, "Inner"), "deep.c");
        ASSERT_TRUE(src && mainC && deep);
    }
};

TEST_F(Resolution, ListsAccumulateInnermostFirst) {
    EXPECT_EQ(ps.settingFor(mainC, &defs, "Debug"), "A;B;C;SOL_COMMON");
    EXPECT_EQ(ps.settingFor(mainC, &defs, "Release"), "B;SOL_COMMON");
    EXPECT_EQ(ps.settingFor(mainC, &defs, "Common"), "B;SOL_COMMON");
    // An empty value found after a value adds the separator; found values
    // that are all empty give an empty text, not the default.
    EXPECT_EQ(ps.settingFor(mainC, &emptyList, "Debug"), "A;;");
    EXPECT_EQ(ps.settingFor(deep, &emptyList, "Debug"), "");
    EXPECT_EQ(ps.settingFor(deep, &emptyList, "Release"), "");
    EXPECT_EQ(ps.settingFor(ps.solutionElement(), &emptyList, "Debug"), "DEFAULT");
}

TEST_F(Resolution, SingleValuesTakeTheNearestLevelFirst) {
    // The folder's "Common" beats the project's Debug.
    EXPECT_EQ(ps.settingFor(mainC, &single, "Debug"), "Y");
    EXPECT_EQ(ps.settingFor(app, &single, "Debug"), "X");
    EXPECT_EQ(ps.settingFor(app, &single, "Release"), "dflt");
    // Inherited configurations come before "Common" on the same level...
    EXPECT_EQ(ps.settingFor(mainC, &flag, "Debug"), "base");
    EXPECT_EQ(ps.settingFor(mainC, &base, "Debug"), "base");
    // ...but never for "Common" itself or a configuration without inheritance.
    EXPECT_EQ(ps.settingFor(mainC, &flag, "Common"), "common");
    EXPECT_EQ(ps.settingFor(mainC, &flag, "Release"), "common");
    EXPECT_EQ(ps.settingFor(mainC, &base, "Release"), "");
    EXPECT_EQ(ps.settingFor(ps.solutionElement(), &flag, "Debug"), "from solution");
    // Present but empty stops the search.
    EXPECT_EQ(ps.settingFor(deep, &emptyValue, "Debug"), "");
    EXPECT_EQ(ps.settingFor(deep, &absent, "Debug"), "No");
}

TEST_F(Resolution, SpecificAndUsedConfigurations) {
    EXPECT_EQ(ps.specificSettingFor(mainC, &defs, "Debug"), "A");
    EXPECT_EQ(ps.specificSettingFor(mainC, &defs, "Common"), "");
    EXPECT_EQ(ps.configurationUsedFor(app, &flag, "Debug"), "Base");
    EXPECT_EQ(ps.configurationUsedFor(app, &single, "Debug"), "Debug");
    EXPECT_EQ(ps.configurationUsedFor(app, &flag, "Release"), "Common");
    EXPECT_EQ(ps.configurationUsedFor(app, &base, "Release"), "");
    EXPECT_EQ(ps.configurationUsedFor(deep, &flag, "Debug"), ""); // only the element itself
    EXPECT_EQ(ps.getInheritedConfigurations(mainC, "Debug"), QStringList({"Base", "Extra"}));
}

TEST_F(Resolution, CachedValuesFollowEdits) {
    EXPECT_EQ(ps.settingFor(mainC, &single, "Debug"), "Y");
    ps.removeProperty(src, &single, "Common");
    EXPECT_EQ(ps.settingFor(mainC, &single, "Debug"), "X");
    ps.setProperty(mainC, &single, "Debug", "Z");
    EXPECT_EQ(ps.settingFor(mainC, &single, "Debug"), "Z");

    EXPECT_EQ(ps.settingFor(app, &flag, "Debug"), "base");
    ps.setInheritedConfigurations(app, "Debug", {});
    EXPECT_EQ(ps.settingFor(app, &flag, "Debug"), "common");

    // A default changed later is seen through the cache.
    EXPECT_EQ(ps.settingFor(app, &absent, "Debug"), "No");
    absent.setDefault("Yes");
    EXPECT_EQ(ps.settingFor(app, &absent, "Debug"), "Yes");
}

TEST_F(Resolution, InheritanceIsLookedUpInImportingSolutions) {
    write("sub.hzp", R"x(<solution Name="sub" version="1">
  <project Name="lib"><configuration Name="Base" build_flag="sub base"/></project>
</solution>)x");
    load("top.hzp", R"x(<solution Name="top" version="1">
  <configuration Name="Debug" inherited_configurations="Base"/>
  <import file_name="sub.hzp"/>
</solution>)x");
    ProjectElement* lib = project("lib(sub)");
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(ps.settingFor(lib, &flag, "Debug"), "sub base");
}

TEST_F(Resolution, ConfigurationsListing) {
    EXPECT_EQ(ps.configurations(nullptr, false, false), QStringList({"Debug", "Release"}));
    EXPECT_EQ(ps.configurations(mainC, false, true), QStringList({"Base", "Debug", "Release"}));
    EXPECT_EQ(ps.configurations(mainC, true, true),
              QStringList({"Base", "Common", "Debug", "Release"}));

    load("bare.hzp", R"x(<solution Name="bare" version="1"><project Name="p"/></solution>)x");
    EXPECT_EQ(ps.configurations(nullptr, false, false), QStringList({"Common"}));

    write("sub.hzp", R"x(<solution Name="sub" version="1">
  <configuration Name="Sub"/><configuration Name="Debug"/></solution>)x");
    load("top.hzp", R"x(<solution Name="top" version="1">
  <configuration Name="Debug"/><import file_name="sub.hzp"/></solution>)x");
    ProjectElement* sub = ps.solutionSolutions().value("sub");
    EXPECT_EQ(ps.configurations(sub, false, false), QStringList({"Debug", "Sub"}));
    EXPECT_EQ(ps.configurations(nullptr, false, false), QStringList({"Debug"}));
}

struct RecordingBuilder : QuietBuilder {
    QStringList messages;
    void error(const QString& text) override { messages << text; }
    void message(const QString& text) override { messages << text; }
};

TEST_F(Resolution, ChangeRecordsDecideSettingsUpToDate) {
    PropertyClass debugInfo("build_debug_information", PropertyClass::Boolean, "G",
                            "Include Debug Information", "L");
    RecordingBuilder builder;
    QDateTime past = QDateTime::currentDateTime().addSecs(-60);
    QDateTime future = QDateTime::currentDateTime().addSecs(60);

    // Nothing is recorded after loading.
    EXPECT_TRUE(ps.upToDate(mainC, &defs, "Debug", past, &builder, false));

    ps.setProperty(app, &debugInfo, "Debug", "Yes");
    EXPECT_TRUE(ps.upToDate(mainC, &debugInfo, "Debug", future, &builder, false));
    EXPECT_TRUE(builder.messages.isEmpty());
    EXPECT_FALSE(ps.upToDate(mainC, &debugInfo, "Debug", past, &builder, true));
    EXPECT_TRUE(builder.messages.isEmpty());
    EXPECT_FALSE(ps.upToDate(mainC, &debugInfo, "Debug", past, &builder, false));
    EXPECT_EQ(builder.messages, QStringList({"Include Debug Information property has changed."}));
    // Same second counts as up to date.
    QDateTime recorded;
    ASSERT_TRUE(app->getConfigurationElement("Debug")->hasModifiedProperty(debugInfo.saveName(),
                                                                           &recorded));
    EXPECT_TRUE(
        ps.upToDate1(mainC, &debugInfo, "Debug", recorded.addMSecs(-recorded.time().msec())));

    // For a plain setting the first record decides; for a list any newer one does.
    ProjectElement* debugConf = app->getConfigurationElement("Debug");
    ProjectElement* commonConf = app->getConfigurationElement("Common");
    QDateTime output = QDateTime::currentDateTime();
    for (PropertyClass* cls : {&defs, &single}) {
        ps.setProperty(app, cls, "Debug", "OLD");
        ps.setProperty(app, cls, "Common", "NEW");
        debugConf->setChangeTime(cls->saveName(), output.addSecs(-100));
        commonConf->setChangeTime(cls->saveName(), output.addSecs(100));
    }
    EXPECT_FALSE(ps.upToDate1(mainC, &defs, "Debug", output));
    EXPECT_TRUE(ps.upToDate1(mainC, &single, "Debug", output));

    // A record whose value has gone no longer decides, and is dropped.
    ps.removeProperty(app, &single, "Debug");
    debugConf->setChangeTime(single.saveName(), output.addSecs(-100));
    EXPECT_FALSE(ps.upToDate1(mainC, &single, "Debug", output));
    EXPECT_FALSE(debugConf->hasModifiedProperty(single.saveName()));
}

} // namespace
