#include "BuildTestSupport.h"

#include "build/StepRunner.h"
#include "build/StepScan.h"

namespace {

// A plan as one short line per entry, so decisions compare as lists.
QStringList describe(const StepPlan& plan) {
    QStringList lines;
    for (const StepEntry& e : plan.entries) {
        switch (e.kind) {
        case StepEntry::Message:
            lines << "message " + e.text;
            break;
        case StepEntry::Success:
            lines << "success " + e.text;
            break;
        case StepEntry::BeginGroup:
            lines << "group " + e.text;
            break;
        case StepEntry::EndGroup:
            lines << "end";
            break;
        case StepEntry::Run:
            lines << "run";
            break;
        case StepEntry::SetCommand:
            lines << "command " + e.list.join(' ');
            break;
        case StepEntry::Clean:
            lines << "clean " + e.text;
            break;
        case StepEntry::UpdatePackage:
            lines << "package " + e.list.value(0) + (e.flag ? " !" : "");
            break;
        case StepEntry::RememberDependencies:
            lines << "remember " + e.text;
            break;
        default:
            break; // init, directories and outputs
        }
    }
    return lines;
}

class StepScanTest : public BuildFixture {
protected:
    void SetUp() override {
        BuildFixture::SetUp();
        load(R"(
  <project Name="app">
    <configuration Name="Common" project_type="Executable" linker_map_file="No" linker_output_format="None"
                   linker_post_build_command="post"/>
    <file file_name="main.c"/>
  </project>
  <project Name="pkg">
    <configuration Name="Common" project_type="Staging" stage_output_filepath="out/data.bin"
                   stage_package_filepath="$(ProjectDir)/p.hzq" stage_package_member_name="m/data.bin"/>
    <file file_name="data.bin"/>
  </project>)");
        fs.touch(path("main.c"), 100);
        fs.touch(path("data.bin"), 100);
    }
    StepPlan scan(ProjectElement* element, int flags, bool withBuilder = true) {
        StepContext c;
        c.element = element;
        c.configuration = "Debug";
        c.action = builds->buildAction(element, "Debug");
        c.force = flags & BuildSystem::ForceFlag;
        c.clean = flags & BuildSystem::CleanFlag;
        c.noBuild = flags & BuildSystem::NoBuildFlag;
        c.quiet = flags & BuildSystem::QuietFlag;
        c.builder = withBuilder ? &builder : nullptr;
        c.projectDirectory = dir.path();
        builds->setProjectDirectory(dir.path());
        return scanStep(*builds, c);
    }
};

TEST_F(StepScanTest, CompileDecisions) {
    ProjectElement* main = file("main.c");
    const QString object = path("Debug/main.hzo");
    const QStringList run{"group compile Debug/main.hzo", "command compile Debug/main.hzo main.c",
                          "run", "end", "remember main.c"};

    StepPlan plan = scan(main, Verbose);
    EXPECT_TRUE(plan.built);
    EXPECT_EQ(describe(plan), QStringList{"message Debug/main.hzo does not exist."} + run);
    EXPECT_TRUE(builder.commands.isEmpty()); // deciding runs nothing

    fs.touch(object, 100); // same second as the source: up to date
    builds->invalidateFileTimes();
    plan = scan(main, Verbose);
    EXPECT_FALSE(plan.built);
    EXPECT_EQ(describe(plan), QStringList{"success 'Debug/main.hzo' is up to date"});
    EXPECT_TRUE(describe(scan(main, Quiet)).isEmpty());
    EXPECT_EQ(describe(scan(main, Quiet | BuildSystem::ForceFlag)), run);

    fs.touch(path("main.c"), 101);
    builds->invalidateFileTimes();
    EXPECT_EQ(describe(scan(main, Verbose)).first(),
              "message " + path("main.c") + " is newer than Debug/main.hzo.");

    // Clean removes and, without a build, plans nothing else; nor does a missing builder.
    EXPECT_EQ(describe(scan(main, CleanOnly | Quiet)), QStringList{"clean " + object});
    plan = scan(main, Quiet, false);
    EXPECT_TRUE(plan.built);
    EXPECT_TRUE(plan.entries.empty());
    EXPECT_TRUE(fs.has(object));
}

TEST_F(StepScanTest, LinkAndStagePlans) {
    const StepPlan link = scan(project("app"), Quiet);
    EXPECT_EQ(describe(link).mid(describe(link).indexOf("group Post build command ")),
              QStringList({"group Post build command ", "command post", "run", "end"}));

    ProjectElement* data = file("data.bin");
    EXPECT_EQ(describe(scan(data, Quiet)).mid(0, 1), QStringList{"group Copying data.bin"});
    EXPECT_EQ(describe(scan(data, Quiet)).mid(3),
              QStringList({"command chmod +w " + path("out/data.bin"), "run",
                           "package m/data.bin !", "end"}));
    // An up-to-date copy still refreshes its package member.
    fs.touch(path("out/data.bin"), 100);
    builds->invalidateFileTimes();
    const StepPlan current = scan(data, Verbose);
    EXPECT_FALSE(current.built);
    EXPECT_EQ(describe(current),
              QStringList({"success 'out/data.bin' is up to date.", "package m/data.bin"}));
}

// Fails the build at the named program, as the console builder does.
struct FailingBuilder : RecordingBuilder {
    FailingBuilder(FakeFileSystem* fs, BuildSystem* bs) : RecordingBuilder(fs), bs(bs) {}
    void doit() override {
        RecordingBuilder::doit();
        if (failing.contains(commands.last().value(0))) bs->setFailed();
    }
    BuildSystem* bs;
};

TEST_F(StepScanTest, RunningStopsAfterAFailureButClosesItsGroups) {
    const StepPlan plan = scan(project("app"), Quiet);
    FailingBuilder failing(&fs, builds.get());
    failing.failing.insert("link");
    EXPECT_TRUE(runStep(*builds, plan, &failing));
    EXPECT_EQ(failing.commands.size(), 1);
    EXPECT_EQ(failing.titles, QStringList{"link Debug/app.hzx"});
    EXPECT_EQ(failing.indent(), 0);

    // A stop request ends a step as a failure does.
    builds->setFailed(false);
    builds->requestStop();
    runStep(*builds, plan, &builder);
    EXPECT_TRUE(builder.lines.isEmpty());
    EXPECT_EQ(builder.indent(), 0);
}

} // namespace
