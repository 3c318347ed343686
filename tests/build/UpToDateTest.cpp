#include "BuildTestSupport.h"

namespace {

class FileTimesTest : public BuildFixture {};

TEST_F(FileTimesTest, ExistsResolvesAgainstTheDirectory) {
    fs.touch("/p/out/a.o", 50);
    QString resolved;
    QDateTime time;
    EXPECT_TRUE(builds->exists("/p", "out/a.o", resolved, time, &builder, false));
    EXPECT_EQ(resolved, "/p/out/a.o");
    EXPECT_EQ(time.toSecsSinceEpoch(), 50);
    EXPECT_TRUE(builder.lines.isEmpty());

    EXPECT_FALSE(builds->exists("/p", "/abs/b.o", resolved, time, &builder, false));
    EXPECT_EQ(resolved, "/abs/b.o");
    EXPECT_EQ(builder.lines, QStringList{"/abs/b.o does not exist."});
}

TEST_F(FileTimesTest, OnlyAStrictlyLaterDependencyIsNewer) {
    const QDateTime output = QDateTime::fromSecsSinceEpoch(100);
    fs.touch("/p/same.h", 100);
    fs.touch("/p/old.h", 99);
    fs.touch("/p/new.h", 101);
    EXPECT_TRUE(builds->upToDate("/p", "a.o", output, {"same.h", "old.h"}, &builder, false));
    EXPECT_TRUE(builds->upToDate("/p", "a.o", output, {}, &builder, false));
    EXPECT_TRUE(builder.lines.isEmpty());

    EXPECT_FALSE(builds->upToDate("/p", "a.o", output, {"old.h", "new.h"}, &builder, false));
    EXPECT_FALSE(builds->upToDate("/p", "a.o", output, {"inc/a.h", "new.h"}, &builder, false));
    EXPECT_EQ(builder.lines, QStringList({"new.h is newer than a.o.", "inc/a.h does not exist."}));

    builder.lines.clear();
    EXPECT_FALSE(builds->upToDate("/p", "a.o", output, {"new.h"}, &builder, true));
    EXPECT_FALSE(builds->upToDate("/p", "a.o", output, {"inc/a.h"}, &builder, true));
    EXPECT_TRUE(builder.lines.isEmpty());
}

TEST_F(FileTimesTest, StatResultsAreCachedUntilFilesChange) {
    fs.touch("/p/a", 10);
    EXPECT_EQ(builds->statFile("/p/a").seconds, 10);
    fs.touch("/p/a", 20);
    EXPECT_EQ(builds->statFile("/p/a").seconds, 10);
    EXPECT_EQ(fs.stats, 1);
    builds->invalidateFileTimes();
    EXPECT_EQ(builds->statFile("/p/a").seconds, 20);
    EXPECT_TRUE(builds->removeFile("/p/a"));
    EXPECT_FALSE(builds->statFile("/p/a").exists);
}

class CommandUpToDateTest : public BuildFixture {
protected:
    void SetUp() override {
        BuildFixture::SetUp();
        load(R"(
  <configuration Name="Common" c_preprocessor_definitions="TOP"/>
  <project Name="app">
    <configuration Name="Common" project_type="Executable"/>
    <file file_name="main.c">
      <configuration Name="Debug" c_preprocessor_definitions="A" build_quietly="No"/>
    </file>
  </project>)");
    }
    bool check(BuildSystem::BuildAction action, ProjectElement* element, qint64 offset) {
        const QDateTime output = QDateTime::currentDateTime().addSecs(offset);
        return builds->commandUpToDate(element, "Debug", output, action, &builder, false);
    }
};

TEST_F(CommandUpToDateTest, ASettingChangedAfterTheOutputMakesItOutOfDate) {
    // Loading records no change.
    ProjectElement* main = file("main.c");
    EXPECT_TRUE(check(BuildSystem::CompileC, main, -1000));
    EXPECT_TRUE(check(BuildSystem::Link, project("app"), -1000));
    EXPECT_TRUE(builder.lines.isEmpty());
    projects->setProperty(main, builds->buildDebugInformation, "Debug", "No");
    EXPECT_TRUE(check(BuildSystem::CompileC, main, +1000));
    EXPECT_FALSE(check(BuildSystem::CompileC, main, -1000));
    EXPECT_EQ(builder.lines, QStringList{"Include Debug Information property has changed."});
    // Other actions do not look at compiler settings.
    EXPECT_TRUE(check(BuildSystem::Prebuilt, main, -1000));
    EXPECT_TRUE(check(BuildSystem::Stage, main, -1000));
    EXPECT_TRUE(check(BuildSystem::Link, project("app"), -1000));

    builder.lines.clear();
    EXPECT_FALSE(builds->commandUpToDate(main, "Debug", QDateTime::currentDateTime().addSecs(-5),
                                         BuildSystem::Assemble, &builder, true));
    EXPECT_TRUE(builder.lines.isEmpty());
}

TEST_F(CommandUpToDateTest, LinkAndArchiveLists) {
    ProjectElement* app = project("app");
    projects->setProperty(app, builds->linkerMapFile, "Debug", "No");
    EXPECT_FALSE(check(BuildSystem::Link, app, -1000));
    EXPECT_TRUE(check(BuildSystem::Archive, app, -1000));
    projects->setProperty(app, projects->projectTypeProperty(), "Common", "Library");
    EXPECT_FALSE(check(BuildSystem::Archive, app, -1000));
    EXPECT_EQ(builder.lines.last(), "Project Type property has changed.");
}

} // namespace
