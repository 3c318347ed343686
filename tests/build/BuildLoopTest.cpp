#include "BuildTestSupport.h"

namespace {

const char* executableSolution = R"(
  <project Name="app">
    <configuration Name="Common" project_type="Executable" linker_map_file="No" linker_output_format="None"
                   property_groups_file_path="" macros="Configuration=Mine;MINE=1"/>
    <folder Name="src">
      <file file_name="main.c"/>
      <file file_name="util.c"/>
      <file file_name="skip.c">
        <configuration Name="Common" build_exclude_from_build="Yes"/>
      </file>
      <file file_name="readme.txt"/>
    </folder>
    <file file_name="prebuilt.hzo"/>
  </project>)";

class ExecutableTest : public BuildFixture {
protected:
    void SetUp() override {
        BuildFixture::SetUp();
        load(executableSolution);
        for (const char* source : {"main.c", "util.c", "skip.c", "prebuilt.hzo"})
            fs.touch(path(source), 100);
    }
    QStringList commandNames() const {
        QStringList names;
        for (const QStringList& command : builder.commands)
            names << command.mid(0, 2).join(' ');
        return names;
    }
};

TEST_F(ExecutableTest, ActionsAndOutputs) {
    ProjectElement* app = project("app");
    ProjectElement* main = file("main.c");
    EXPECT_EQ(builds->buildAction(main, "Debug"), BuildSystem::CompileC);
    EXPECT_EQ(builds->buildAction(file("skip.c"), "Debug"), BuildSystem::Excluded);
    EXPECT_EQ(builds->buildAction(file("readme.txt"), "Debug"), BuildSystem::NoAction);
    EXPECT_EQ(builds->buildAction(file("prebuilt.hzo"), "Debug"), BuildSystem::Prebuilt);
    EXPECT_EQ(builds->buildAction(app, "Debug"), BuildSystem::Link);
    EXPECT_EQ(builds->buildAction(main->parent(), "Debug"), BuildSystem::NoAction);
    EXPECT_EQ(builds->buildAction(solution, "Debug"), BuildSystem::NoAction);

    EXPECT_EQ(builds->output(BuildSystem::CompileC, main, "Debug", false), "Debug/main.hzo");
    EXPECT_EQ(builds->output(BuildSystem::BuildAction(4), main, "Debug", false), "Debug/main.hzo");
    EXPECT_EQ(builds->output(BuildSystem::CompileC, main, "Debug", true), path("Debug/main.hzo"));
    EXPECT_EQ(builds->output(BuildSystem::Prebuilt, file("prebuilt.hzo"), "Debug", false),
              "prebuilt.hzo");
    EXPECT_EQ(builds->output(BuildSystem::Prebuilt, app, "Debug", false), "");
    EXPECT_EQ(builds->output(BuildSystem::Link, app, "Release", false), "Release/app.hzx");
    EXPECT_EQ(builds->output(BuildSystem::Archive, app, "Debug", false), "Debug/app.hza");
    EXPECT_EQ(builds->output(BuildSystem::Stage, main, "Debug", false), "Debug/main.c");
    EXPECT_EQ(builds->output(BuildSystem::Stage, app, "Debug", false), "");
    EXPECT_EQ(builds->output(BuildSystem::Combine, main, "Debug", false), "");
    EXPECT_EQ(builds->output(BuildSystem::BuildAction(9), main, "Debug", false), "");
    EXPECT_EQ(builds->output(BuildSystem::Excluded, main, "Debug", false), "");

    QStringList outputs;
    builds->findOutputs(app->firstChild(), "Debug", outputs, false);
    EXPECT_EQ(outputs, QStringList({"Debug/main.hzo", "Debug/util.hzo", "prebuilt.hzo"}));

    EXPECT_TRUE(builds->mustCompile(main, "Debug"));
    EXPECT_FALSE(builds->mustCompile(file("skip.c"), "Debug"));
    EXPECT_TRUE(builds->canCompile(file("skip.c"), "Debug"));
    EXPECT_FALSE(builds->canCompile(file("prebuilt.hzo"), "Debug"));
    EXPECT_TRUE(builds->canLoad(app, "Debug"));
    EXPECT_FALSE(builds->canLoad(main, "Debug"));
}

TEST_F(ExecutableTest, ElementMacros) {
    const MacroMap file = builds->macros(this->file("main.c"), "Debug");
    // Project macros cannot override the built-in names (Configuration, IntDir).
    const QMap<QString, QString> expected{
        {"InputName", "main"},       {"InputExt", "c"},          {"InputPath", path("main.c")},
        {"InputDir", dir.path()},    {"RelInputPath", "main.c"}, {"ProjectName", "app"},
        {"ProjectDir", dir.path()},  {"SolutionName", "test"},   {"SolutionExt", "hzp"},
        {"SolutionDir", dir.path()}, {"Platform", "msp430"},     {"PackageExt", "hzq"},
        {"Configuration", "Debug"},  {"IntDir", "Debug"},        {"MINE", "1"},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(file.value(it.key()), it.value()) << qPrintable(it.key());

    const MacroMap folder = builds->macros(this->file("main.c")->parent(), "Debug");
    EXPECT_FALSE(folder.contains("InputName"));
    EXPECT_EQ(folder.value("OutDir"), "Debug");
}

TEST_F(ExecutableTest, CachedMacrosFollowTreeEdits) {
    ProjectElement* main = file("main.c");
    EXPECT_EQ(builds->replaceMacros(main, "Debug", "$(MINE)$(OBJ)"), "1.hzo");
    projects->setProperty(project("app"), projects->macrosProperty(), "Common", "MINE=2");
    EXPECT_EQ(builds->replaceMacros(main, "Debug", "$(MINE)"), "2");
    // An empty intermediate directory is the project directory itself.
    projects->setProperty(project("app"), builds->buildIntermediateDirectory, "Common", "");
    EXPECT_EQ(builds->output(BuildSystem::CompileC, main, "Debug", false), "./main.hzo");
}

TEST_F(ExecutableTest, CachedMapsAreTheFullMaps) {
    // File maps are cached as an overlay on a map shared with the project; the
    // overlay must give what building the whole map gives, own macros included.
    ProjectElement* util = file("util.c");
    projects->setProperty(util, projects->macrosProperty(), "Debug",
                          "MINE=file;InputName=ignored;Extra=$(InputName)");
    projects->setProperty(util, builds->buildIntermediateDirectory, "Common",
                          "$(InputName)_$(MINE)_$(Extra)");
    projects->setProperty(util, builds->buildOutputDirectory, "Common", "$(IntDir)/out");
    // Files share expanded directories only while these use no file entry.
    projects->setProperty(project("app"), builds->buildIntermediateDirectory, "Debug",
                          "obj_$(InputName)");
    for (ProjectElement* e :
         {file("main.c"), util, file("skip.c"), util->parent(), project("app")}) {
        for (const char* configuration : {"Debug", "Release"}) {
            const MacroMap full = builds->macros(e, configuration);
            EXPECT_EQ(builds->cachedMacros(e, configuration), full);
            QString text;
            for (const QString& name : full.keys())
                if (name != "Date" && name != "Time") text += name + "=$(" + name + ") ";
            EXPECT_EQ(builds->replaceMacros(e, configuration, text),
                      macroSystem.replaceMacros(full, text));
        }
    }
    // The project's MINE comes later in the list and wins; a value is expanded
    // once, so Extra's own reference stays as it is.
    EXPECT_EQ(builds->cachedMacros(util, "Debug").value("IntDir"), "util_1_$(InputName)");
    EXPECT_EQ(builds->cachedMacros(util, "Debug").value("OutDir"), "util_1_$(InputName)/out");
    EXPECT_EQ(builds->cachedMacros(util, "Release").value("IntDir"), "util_1_$(Extra)");
    EXPECT_EQ(builds->output(BuildSystem::CompileC, file("skip.c"), "Debug", false),
              "obj_skip/skip.hzo");
}

TEST_F(ExecutableTest, FirstBuildCompilesAndLinksThenEverythingIsUpToDate) {
    EXPECT_EQ(build(solution, Quiet), 1);
    EXPECT_EQ(commandNames(), QStringList({"compile Debug/main.hzo", "compile Debug/util.hzo",
                                           "link Debug/app.hzx"}));
    EXPECT_EQ(builder.commands.last(), QStringList({"link", "Debug/app.hzx", "Debug/main.hzo",
                                                    "Debug/util.hzo", "prebuilt.hzo"}));
    EXPECT_EQ(builder.commands.first().mid(2), QStringList{"main.c"});
    EXPECT_EQ(builder.directories.first(), dir.path());
    EXPECT_EQ(builder.titles.first(), "Building \"app\" in configuration \"Debug\"");
    EXPECT_EQ(builder.lines.first(), "  Building \"app\" in configuration \"Debug\"");
    EXPECT_EQ(builder.indent(), 0);

    builder = RecordingBuilder(&fs);
    EXPECT_EQ(build(solution, Quiet), 0);
    EXPECT_TRUE(builder.commands.isEmpty());
    EXPECT_EQ(builder.lines.size(), 1);

    EXPECT_EQ(build(solution, Verbose), 0);
    EXPECT_TRUE(builder.lines.contains("  'Debug/main.hzo' is up to date"));
    EXPECT_TRUE(builder.lines.contains("  'Debug/app.hzx' is up to date"));
}

TEST_F(ExecutableTest, ANewerSourceRecompilesAndRelinks) {
    build(solution, Quiet);
    fs.touch(path("util.c"), 2000);
    builder = RecordingBuilder(&fs);
    builder.clock = 3000;
    EXPECT_EQ(build(solution, Verbose), 1);
    EXPECT_EQ(commandNames(), QStringList({"compile Debug/util.hzo", "link Debug/app.hzx"}));
    EXPECT_TRUE(builder.lines.contains("  " + path("util.c") + " is newer than Debug/util.hzo."));
}

TEST_F(ExecutableTest, RecordedDependenciesDecideAndAreCached) {
    builds->recordedDependencies[path("Debug/main.hzo")] = QStringList{"main.c", "inc/a.h"};
    build(solution, Quiet);
    builder = RecordingBuilder(&fs);
    build(solution, Verbose);
    EXPECT_TRUE(builder.lines.contains("  inc/a.h does not exist."));
    EXPECT_EQ(commandNames(), QStringList({"compile Debug/main.hzo", "link Debug/app.hzx"}));

    fs.touch(path("inc/a.h"), 100);
    builder = RecordingBuilder(&fs);
    const int reads = builds->dependencyReads;
    EXPECT_EQ(build(solution, Quiet), 0);
    // Read once more, then answered from the cache.
    EXPECT_EQ(builds->dependencyReads, reads + 1);
    EXPECT_EQ(build(solution, Quiet), 0);
    EXPECT_EQ(builds->dependencyReads, reads + 1);
}

TEST_F(ExecutableTest, CleanRemovesOutputsAndRunsNothing) {
    build(solution, Quiet);
    ASSERT_TRUE(fs.has(path("Debug/main.hzo")));
    builder = RecordingBuilder(&fs);
    EXPECT_EQ(build(solution, CleanOnly), 1);
    EXPECT_TRUE(builder.commands.isEmpty());
    EXPECT_FALSE(fs.has(path("Debug/main.hzo")));
    EXPECT_FALSE(fs.has(path("Debug/app.hzx")));
    EXPECT_TRUE(fs.has(path("prebuilt.hzo")));

    build(solution, Quiet);
    fs.readOnly.insert(path("Debug/util.hzo"));
    builder = RecordingBuilder(&fs);
    build(solution, CleanOnly | Quiet);
    EXPECT_EQ(builder.lines.size(), 1);
    builder = RecordingBuilder(&fs);
    build(solution, CleanOnly);
    EXPECT_TRUE(builder.lines.contains("  Cannot remove " + path("Debug/util.hzo")));
}

TEST_F(ExecutableTest, AFailingCommandStopsTheBuild) {
    builder.failing.insert("compile");
    EXPECT_EQ(build(solution, Quiet), 2);
    EXPECT_EQ(builder.commands.size(), 1);
    // The engine closes one more group than it opened when it stops.
    EXPECT_EQ(builder.indent(), -2);
}

TEST_F(ExecutableTest, SideOutputsAndLinkInputFiles) {
    ProjectElement* app = project("app");
    projects->setProperty(app, builds->linkerOutputFormat, "Common", "hex");
    projects->setProperty(app, builds->linkerMapFile, "Common", "Yes");
    projects->setProperty(app, builds->linkerMemoryMapFile, "Common", "maps/$(ProjectName).xml");
    projects->clearModified(solution, true, true);
    fs.touch(path("maps/app.xml"), 100);
    QString map;
    EXPECT_TRUE(builds->useMemoryMapFileForLink(app, "Debug", map));
    EXPECT_EQ(map, path("maps/app.xml"));
    EXPECT_FALSE(builds->useSectionPlacementFileForLink(app, "Debug", map));
    EXPECT_FALSE(builds->useLinkerScriptFileForLink(app, "Debug", map));

    build(solution, Quiet);
    builder = RecordingBuilder(&fs);
    build(solution, Verbose);
    EXPECT_TRUE(builder.lines.contains("  " + path("Debug/app.hex") + " does not exist."));
    EXPECT_EQ(builder.commands.size(), 1);

    fs.touch(path("Debug/app.hex"), 1000);
    builder = RecordingBuilder(&fs);
    build(solution, Verbose);
    EXPECT_TRUE(builder.lines.contains("  " + path("Debug/app.map") + " does not exist."));

    fs.touch(path("Debug/app.map"), 1000);
    builder = RecordingBuilder(&fs);
    EXPECT_EQ(build(solution, Quiet), 0);

    fs.touch(path("maps/app.xml"), 5000);
    builder = RecordingBuilder(&fs);
    build(solution, Verbose);
    EXPECT_TRUE(
        builder.lines.contains("  " + path("maps/app.xml") + " is newer than Debug/app.hzx."));
}

TEST_F(ExecutableTest, PostBuildCommandRunsAfterASuccessfulLink) {
    projects->setProperty(project("app"), builds->linkerPostBuildCommand, "Common",
                          "post $(ProjectName) \"x y\"");
    build(solution, Quiet);
    ASSERT_EQ(builder.commands.size(), 4);
    EXPECT_EQ(builder.commands.last(), QStringList({"post", "app", "x y"}));
    EXPECT_EQ(builder.titles.last(), "Post build command ");

    builder = RecordingBuilder(&fs);
    builder.failing.insert("link");
    build(solution, Quiet | BuildSystem::ForceFlag);
    EXPECT_EQ(builder.commands.last().first(), "link");
}

class SolutionTest : public BuildFixture {
protected:
    void loadProjects(const QString& extra = QString()) {
        load(R"(
  <project Name="app">
    <configuration Name="Common" project_type="Executable" linker_map_file="No" linker_output_format="None"
                   project_dependencies="lib" batch_build_configurations="Debug;Release"/>
    <file file_name="main.c"/>
  </project>
  <project Name="lib">
    <configuration Name="Common" project_type="Library" batch_build_configurations="Release"/>
    <file file_name="l.c"/>
  </project>
  <project Name="off">
    <configuration Name="Common" build_exclude_from_build="Yes"/>
    <file file_name="off.c"/>
  </project>)" + extra,
             R"(<configuration Name="Debug"/><configuration Name="Release"/>)");
        fs.touch(path("main.c"), 100);
        fs.touch(path("l.c"), 100);
        fs.touch(path("off.c"), 100);
    }
};

TEST_F(SolutionTest, DependenciesFirstAndEachProjectOnce) {
    loadProjects();
    EXPECT_EQ(build(solution, Quiet), 1);
    EXPECT_EQ(builder.titles,
              QStringList({"Building \"lib\" in configuration \"Debug\"", "compile Debug/l.hzo",
                           "archive Debug/lib.hza", "Building \"app\" in configuration \"Debug\"",
                           "compile Debug/main.hzo", "link Debug/app.hzx"}));
    EXPECT_EQ(builder.commands.last(),
              QStringList({"link", "Debug/app.hzx", "Debug/main.hzo", path("Debug/lib.hza")}));
    // A rebuilt library relinking its users is run end to end.
}

TEST_F(SolutionTest, OneProjectWithItsDependencies) {
    loadProjects();
    build(project("app"), Quiet);
    EXPECT_EQ(builder.titles.first(), "Building \"lib\" in configuration \"Debug\"");
    EXPECT_EQ(builder.titles.at(3), "Building \"app\" in configuration \"Debug\"");

    builder = RecordingBuilder(&fs);
    build(project("app"), Quiet | BuildSystem::ForceFlag, "Debug", false);
    EXPECT_EQ(builder.titles.first(), "Building \"app\" in configuration \"Debug\"");
    EXPECT_EQ(builder.commands.size(), 2);
}

TEST_F(SolutionTest, BatchBuildsEachListedConfiguration) {
    loadProjects();
    build(solution, Quiet, "Debug", true, true);
    QStringList projectTitles;
    for (const QString& title : builder.titles)
        if (title.startsWith("Building")) projectTitles << title;
    // The dependency is built in the configurations the batch lists for it.
    EXPECT_EQ(projectTitles, QStringList({"Building \"lib\" in configuration \"Release\"",
                                          "Building \"app\" in configuration \"Debug\"",
                                          "Building \"app\" in configuration \"Release\""}));
}

TEST_F(BuildFixture, TitlesNameFilesWithoutANameByTheirFileName) {
    load(R"(
  <project Name="p">
    <configuration Name="Common" macros="SRC=lib/src"/>
    <file file_name="deep/dir/plain.c"/>
    <file file_name="$(SRC)/expanded.c"/>
    <file file_name="named.c" Name="Shown"/>
    <file file_name="blank.c" Name=""/>
  </project>)");
    const QStringList expected{"plain.c", "expanded.c", "Shown", ""};
    QStringList names;
    for (ProjectElement* e = project("p")->firstChild(); e; e = e->nextSibling())
        if (e->isFile()) names << builds->displayName(e, "Debug");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(builds->displayName(project("p"), "Debug"), "p");
}

// Staging, externally built executables and the rest of combining are run end to end.
TEST_F(BuildFixture, CombiningFollowsItsIncludedInputsOnly) {
    load(R"(
  <project Name="comb">
    <configuration Name="Common" project_type="Combining" combine_output_filepath="$(OutDir)/all"
                   combine_command="cat $(CombiningRelInputPaths) -o &quot;$(CombiningOutputFilePath)&quot;"
                   combine_set_readonly="Yes"/>
    <file file_name="a.txt"/>
    <folder Name="g"><file file_name="b.txt"/></folder>
    <file file_name="c.txt"><configuration Name="Common" build_exclude_from_build="Yes"/></file>
  </project>)");
    for (const char* source : {"a.txt", "b.txt", "c.txt"})
        fs.touch(path(source), 100);
    EXPECT_EQ(build(project("comb"), Quiet), 1);
    EXPECT_EQ(builder.commands,
              QList<QStringList>({{"cat", "a.txt", "b.txt", "-o", path("Debug/all")},
                                  {"chmod", "-w", path("Debug/all")}}));
    fs.touch(path("b.txt"), 5000);
    builder = RecordingBuilder(&fs);
    builder.clock = 6000;
    EXPECT_EQ(build(project("comb"), Quiet), 1);
    // An excluded file is no input, so its time does not matter.
    fs.touch(path("c.txt"), 9000);
    builder = RecordingBuilder(&fs);
    EXPECT_EQ(build(project("comb"), Quiet), 0);
}

} // namespace
