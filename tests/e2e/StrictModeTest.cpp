#include "E2E.h"

#include <QDateTime>

#include <gtest/gtest.h>

// SLIPWAY_STRICT=1: failed builds give status 2 and a summary, mistakes in the
// solution and clock skew are warned about, and each project's output starts
// with the directory it works in. Every case also runs without the variable
// (and with another value), where the output must stay as it always was.

namespace {

QByteArray solution(const QByteArray& body) {
    return "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n"
           "  <configuration Name=\"Debug\"/>\n" +
           body + "\n</solution>\n";
}

const QByteArray sensor = R"xml(
  <project Name="sensor">
    <configuration Name="Common" project_type="Staging" project_directory="sensor"/>
    <file file_name="calib.txt"/>
  </project>)xml";

bool has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

class StrictMode : public ::testing::TestWithParam<const char*> {
protected:
    // The parameter is the value of SLIPWAY_STRICT, null for none.
    bool strict() const { return GetParam() && std::string(GetParam()) == "1"; }

    e2e::Result run(const QStringList& options = {}, const QString& file = "s.hzp") {
        box.setEnvironment("SLIPWAY_STRICT", GetParam() ? QString(GetParam()) : QString());
        return box.run(QStringList{"-config", "Debug"} + options + QStringList{file});
    }
    // What standard error must be: the strict text, or nothing at all.
    std::string onlyStrict(const std::string& text) const { return strict() ? text : ""; }

    e2e::Sandbox box;
};

TEST_P(StrictMode, FailedStepsGiveStatusTwoAndASummary) {
    const struct {
        QByteArray body;
        std::string summary;
    } cases[] = {
        // A builtin copy of a missing file: the file names the step.
        {sensor, "slipway: build failed: 1 step failed (sensor: calib.txt)\n"},
        // A project's own command: the step is named by what it does.
        {R"xml(
  <project Name="app">
    <configuration Name="Common" project_type="Combining" combine_output_filepath="all.txt"
        combine_command="/bin/sh -c &quot;exit 3&quot;"/>
    <file file_name="a.txt"/>
  </project>)xml",
         "slipway: build failed: 1 step failed (app: combine)\n"},
    };
    box.write("a.txt", "a\n");
    for (const auto& c : cases) {
        box.write("s.hzp", solution(c.body));
        const e2e::Result r = run();
        EXPECT_EQ(r.status, strict() ? 2 : 0);
        EXPECT_EQ(r.err, onlyStrict(c.summary));
    }
}

TEST_P(StrictMode, SolutionThatCannotBeLoaded) {
    box.write("bad.hzp", "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\">\n");
    for (const QString file : {"missing.hzp", "bad.hzp"}) {
        const e2e::Result r = run({}, file);
        EXPECT_EQ(r.status, strict() ? 2 : 0) << file.toStdString();
        EXPECT_TRUE(has(r.err, "load error: ")) << r.err;
        EXPECT_EQ(has(r.err, "slipway: build failed: the solution could not be loaded\n"), strict())
            << r.err;
    }
}

TEST_P(StrictMode, SuccessIsSummedUpOnlyWithVerboseAndStatusOneKeepsItsMeaning) {
    box.write("s.hzp", solution(sensor));
    box.write("sensor/calib.txt", "c\n");
    e2e::Result r = run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    r = run({"-verbose"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, onlyStrict("slipway: build succeeded\n"));
    r = run({"-project", "nosuch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
}

TEST_P(StrictMode, MistakesInTheSolutionAreWarnedAbout) {
    box.write("s.hzp", solution(R"xml(
  <project Name="app" project_type="Executable">
    <configuration Name="Common" project_type="Libary" c_preprocesor_definitions="X"
        project_dependencies="sensor;sensr"/>
    <file file_name="src/x.c"><configuration Name="Debug" file_type="Cee"/></file>
    <file file_name="y.c"><configuration Name="Common" file_type="C"/></file>
  </project>)xml" + sensor));
    box.write("sensor/calib.txt", "c\n");
    const e2e::Result r = run({"-project", "sensor"});
    EXPECT_EQ(r.status, 0);
    const std::string at = "slipway: warning: " + box.file("s.hzp").toStdString() + ": ";
    EXPECT_EQ(r.err,
              onlyStrict(at +
                         "project 'app': attribute 'project_type' is not read (settings "
                         "belong in a configuration)\n" +
                         at +
                         "project 'app': unknown setting 'c_preprocesor_definitions' in "
                         "configuration 'Common'\n" +
                         at +
                         "project 'app': dependency 'sensr' names no project in "
                         "configuration 'Common'\n" +
                         at +
                         "project 'app': unknown project type 'Libary' in configuration "
                         "'Common'\n" +
                         at + "file 'x.c': unknown file type 'Cee' in configuration 'Debug'\n"));
}

TEST_P(StrictMode, UnexpandedMacroInACommand) {
    box.write("s.hzp", solution(R"xml(
  <project Name="app">
    <configuration Name="Common" project_type="Combining" combine_output_filepath="all.txt"
        combine_command="/bin/sh -c &quot;: &gt; all.txt&quot; -I$(EXTRA_INK)"/>
    <file file_name="a.txt"/>
  </project>)xml"));
    box.write("a.txt", "a\n");
    const e2e::Result r = run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, onlyStrict("slipway: warning: app: combine: macro '$(EXTRA_INK)' is not "
                                "defined and is passed as written: /bin/sh -c : > all.txt "
                                "-I$(EXTRA_INK)\n"));
}

TEST_P(StrictMode, EnteringDirectoryBeforeEachProjectsFirstCommand) {
    box.write("s.hzp", solution(sensor));
    box.write("sensor/calib.txt", "c\n");
    const std::string title = "  Building \"sensor\" in configuration \"Debug\"\n";
    e2e::Result r = run();
    EXPECT_EQ(r.out, title +
                         (strict() ? "slipway: Entering directory '" +
                                         box.file("sensor").toStdString() + "'\n"
                                   : std::string()) +
                         "    Copying calib.txt\n");
    // Nothing to do: no command, no directory.
    r = run();
    EXPECT_EQ(r.out, title);
}

TEST_P(StrictMode, ClockSkewIsWarnedAboutOncePerFile) {
    box.write("s.hzp", solution(sensor));
    box.write("sensor/calib.txt", "c\n");
    box.setTime("sensor/calib.txt", QDateTime::currentSecsSinceEpoch() + 3600);
    const e2e::Result r = run();
    EXPECT_EQ(r.status, 0);
    const std::string warning =
        "slipway: warning: file '" + box.file("sensor/calib.txt").toStdString() + "' has";
    EXPECT_EQ(has(r.err, warning), strict()) << r.err;
    EXPECT_EQ(r.err.find(warning), r.err.rfind(warning));
    EXPECT_EQ(r.err.find("s in the future\n") != std::string::npos, strict()) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Modes, StrictMode, ::testing::Values("1", nullptr, "yes"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param == nullptr            ? "Default"
                                                : std::string(info.param) == "1" ? "Strict"
                                                                                 : "OtherValue");
                         });

} // namespace
