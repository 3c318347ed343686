// Strict mode's guarantees about what a build does to the tree: -show stays
// dry, a failed post-build command is retried, a changed command line
// rebuilds; and SLIPWAY_KEEP_GOING. Every case runs with and without
// SLIPWAY_STRICT=1; without it the output stays as it always was.

#include "E2E.h"

#include <QDirIterator>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using e2e::runsOf;

const qint64 past = 1000000000;

bool has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

// An executable with a post-build command and a staged file added to a package.
QByteArray solution(const QByteArray& appSettings, const QByteArray& stageSettings = "") {
    return "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"fw\" version=\"1\">\n"
           "  <configuration Name=\"Debug\"/>\n"
           "  <project Name=\"app\">\n"
           "    <configuration Name=\"Common\" project_type=\"Executable\" "
           "project_directory=\"app\" " +
           appSettings +
           "/>\n"
           "    <file file_name=\"main.c\"/>\n"
           "  </project>\n"
           "  <project Name=\"st\">\n"
           "    <configuration Name=\"Common\" project_type=\"Staging\" "
           "stage_package_filepath=\"pkg.hzp\" " +
           stageSettings +
           "/>\n"
           "    <file file_name=\"in.txt\"/>\n"
           "  </project>\n"
           "</solution>\n";
}

class StrictTracking : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        box.setEnvironment("SLIPWAY_STRICT", strict() ? "1" : QString());
        write("app/main.c", "int main(void) { return 0; }\n");
        write("in.txt", "staged\n");
    }
    bool strict() const { return GetParam(); }
    void write(const QString& name, const QByteArray& text) {
        box.write(name, text);
        box.setTime(name, past);
    }
    e2e::Result build(const QStringList& options = {}) {
        return box.run(QStringList{"-config", "Debug", "-echo"} + options + QStringList{"fw.hzp"});
    }
    // Every file below the sandbox (sources, outputs, cache) with its size and time.
    QStringList snapshot() const {
        QStringList files;
        QDirIterator it(box.path(), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            files << info.filePath() + ' ' + QString::number(info.size()) + ' ' +
                         QString::number(info.lastModified().toMSecsSinceEpoch());
        }
        files.sort();
        return files;
    }

    e2e::Sandbox box;
};

TEST_P(StrictTracking, ShowRemovesAndWritesNothing) {
    write("fw.hzp", solution(""));
    // A tree never built: nothing to read back from a package either.
    QStringList before = snapshot();
    e2e::Result r = build({"-show"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r.out, "/bin/hld ")) << r.out;
    EXPECT_EQ(has(r.out, "FATAL: read error on "), !strict()) << r.out;
    if (strict()) {
        EXPECT_EQ(snapshot(), before);
    }

    ASSERT_EQ(build().status, 0);
    before = snapshot();
    r = build({"-clean", "-show"});
    const std::string exe = box.file("app/Debug/app.hzx").toStdString();
    // Dry, cleaning names what it would remove; otherwise it removes as ever.
    EXPECT_EQ(has(r.out, "  Remove " + exe + "\n"), strict()) << r.out;
    EXPECT_EQ(box.exists("app/Debug/app.hzx"), strict());
    if (strict()) {
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_P(StrictTracking, FailedPostBuildCommandRelinksUntilItSucceeds) {
    const struct {
        QByteArray command;
        std::string printed; // by the failure
    } cases[] = {
        {"false", ""},
        {"/nonexistent/sign-image", "    can't execute command \"/nonexistent/sign-image\"\n"},
    };
    for (const auto& c : cases) {
        write("fw.hzp", solution("linker_post_build_command=\"" + c.command + "\""));
        for (int round = 0; round < 2; ++round) {
            const e2e::Result r = build();
            EXPECT_EQ(r.status, strict() ? 2 : 0);
            EXPECT_EQ(runsOf(r.out, "hld"), 1) << c.command.constData() << r.out;
            EXPECT_TRUE(has(r.out, "    Post build command \n    " + c.command.toStdString() +
                                       "\n" + c.printed))
                << r.out;
            EXPECT_EQ(has(r.err, "(app: post-build command)"), strict()) << r.err;
        }
    }
    write("fw.hzp", solution("linker_post_build_command=\"true\""));
    EXPECT_EQ(runsOf(build().out, "hld"), 1);
    EXPECT_EQ(runsOf(build().out, "hld"), 0);
}

// A setting that changes a command line rebuilds what that command makes, and
// only in strict mode. The first build is a default one: outputs it made take
// the commands of the next strict build as their own.
TEST_P(StrictTracking, ChangedCommandLineRebuilds) {
    const struct {
        QByteArray app, stage;
        int compiles, links, copies;
    } cases[] = {
        {"c_preprocessor_definitions=\"RATE=9600\"", "", 1, 1, 0},
        {"Target=\"MSP430F149\"", "", 1, 1, 0},
        {"build_debug_information=\"No\"", "", 1, 1, 0},
        {"linker_post_build_command=\"true\"", "", 0, 1, 0},
        {"", "stage_set_readonly=\"Yes\"", 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.app.constData() + std::string(c.stage.constData()));
        // Forget what earlier cases recorded.
        QDir(box.file("cache")).removeRecursively();
        box.setEnvironment("SLIPWAY_STRICT", QString());
        write("fw.hzp", solution(""));
        ASSERT_EQ(build().status, 0);
        box.setEnvironment("SLIPWAY_STRICT", strict() ? "1" : QString());
        e2e::Result r = build();
        EXPECT_EQ(runsOf(r.out, "hcc") + runsOf(r.out, "hld"), 0) << r.out;

        box.write("fw.hzp", solution(c.app, c.stage));
        r = build({"-verbose"});
        EXPECT_EQ(runsOf(r.out, "hcc"), strict() ? c.compiles : 0) << r.out;
        EXPECT_EQ(runsOf(r.out, "hld"), strict() ? c.links : 0);
        EXPECT_EQ(has(r.out, "Copying in.txt"), strict() && c.copies) << r.out;
        EXPECT_EQ(has(r.out, " is out of date: command line changed.\n"), strict()) << r.out;
        r = build();
        EXPECT_EQ(runsOf(r.out, "hcc") + runsOf(r.out, "hld") + has(r.out, "Copying"), 0) << r.out;
    }
}

// SLIPWAY_KEEP_GOING=1: after a failure the projects that do not depend on a
// failed one are still built, and the run still fails. Without it the build
// stops at the first failure.
TEST_P(StrictTracking, KeepGoingBuildsWhatDoesNotDependOnAFailure) {
    auto failing = [](const char* name) {
        return QByteArray("  <project Name=\"") + name +
               "\"><configuration Name=\"Common\" project_type=\"Combining\" "
               "combine_output_filepath=\"" +
               name +
               ".out\" combine_command=\"false\"/>"
               "<file file_name=\"in.txt\"/></project>\n";
    };
    auto staging = [](const char* name, const char* dependency) {
        return QByteArray("  <project Name=\"") + name +
               "\"><configuration Name=\"Common\" project_type=\"Staging\" "
               "project_dependencies=\"" +
               dependency + "\"/><file file_name=\"" + name + ".txt\"/></project>\n";
    };
    write("fw.hzp", "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"fw\" version=\"1\">\n"
                    "  <configuration Name=\"Debug\"/>\n" +
                        failing("bad") + staging("dep", "bad") + staging("top", "dep") +
                        failing("bad2") + staging("good", "") + "</solution>\n");
    for (const char* name : {"dep.txt", "top.txt", "good.txt"})
        write(name, "x\n");
    for (const bool keepGoing : {false, true}) {
        QDir(box.file("Debug")).removeRecursively();
        box.setEnvironment("SLIPWAY_KEEP_GOING", keepGoing ? "1" : QString());
        const e2e::Result r = build();
        EXPECT_EQ(r.status, strict() ? 2 : 0);
        EXPECT_EQ(has(r.out, "Copying good.txt"), keepGoing) << r.out;
        EXPECT_FALSE(has(r.out, "Copying dep.txt") || has(r.out, "Copying top.txt")) << r.out;
        EXPECT_EQ(has(r.out, "Not building \"dep\": project \"bad\" failed\n"), keepGoing);
        EXPECT_EQ(has(r.out, "Not building \"top\": project \"dep\" failed\n"), keepGoing);
        const std::string summary = keepGoing ? "2 steps failed (bad: combine; bad2: combine)"
                                              : "1 step failed (bad: combine)";
        EXPECT_EQ(r.err, strict() ? "slipway: build failed: " + summary + "\n" : "") << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, StrictTracking, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Strict" : "Default");
                         });

} // namespace
