#include "E2E.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

// Whole runs of the real binary on projects that need no toolchain: staging
// (builtin cp and chmod), combining and externally built executables.

namespace {

QByteArray solution(const QByteArray& body,
                    const QByteArray& configurations = "<configuration Name=\"Debug\"/>") {
    return "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n" +
           configurations + body + "\n</solution>\n";
}

void writeScript(const e2e::Sandbox& box, const QString& name, const QByteArray& text) {
    box.write(name, "#!/bin/sh\n" + text);
    QFile::setPermissions(box.file(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool writable(const e2e::Sandbox& box, const QString& name) {
    return QFileInfo(box.file(name)).permissions() & QFile::WriteOwner;
}

const QByteArray stagingProject = R"xml(
  <project Name="st">
    <configuration Name="Common" project_type="Staging"/>
    <file file_name="data/a.txt"/>
    <file file_name="b.txt"><configuration Name="Common" stage_set_readonly="Yes"/></file>
    <file file_name="c.txt"><configuration Name="Common" build_exclude_from_build="Yes"/></file>
  </project>)xml";

class BuildProjectKinds : public ::testing::Test {
protected:
    void SetUp() override {
        box.write("data/a.txt", "alpha\n");
        box.write("b.txt", "beta\n");
        box.write("c.txt", "gamma\n");
    }
    e2e::Result run(const QStringList& options) {
        return box.run(QStringList{"-config", "Debug"} + options + QStringList{"s.hzp"});
    }
    e2e::Sandbox box;
};

TEST_F(BuildProjectKinds, StagingCopiesFilesAndSetsPermissions) {
    box.write("s.hzp", solution(stagingProject));
    e2e::Result r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "  Building \"st\" in configuration \"Debug\"\n"
                     "    Copying a.txt\n"
                     "    Copying b.txt\n");
    EXPECT_EQ(box.read("Debug/data/a.txt"), "alpha\n");
    EXPECT_EQ(box.read("Debug/b.txt"), "beta\n");
    EXPECT_TRUE(writable(box, "Debug/data/a.txt"));
    EXPECT_FALSE(writable(box, "Debug/b.txt"));
    EXPECT_FALSE(box.exists("Debug/c.txt"));

    // Up to date: notes only with -verbose.
    r = run({});
    EXPECT_EQ(r.out, "  Building \"st\" in configuration \"Debug\"\n");
    r = run({"-verbose"});
    EXPECT_EQ(r.out, "  Building \"st\" in configuration \"Debug\"\n"
                     "  'Debug/data/a.txt' is up to date.\n"
                     "  'Debug/b.txt' is up to date.\n");

    // A rebuild copies over the read-only output.
    box.write("b.txt", "beta 2\n");
    r = run({"-rebuild"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(box.read("Debug/b.txt"), "beta 2\n");
    EXPECT_EQ(r.out.find("failed"), std::string::npos) << r.out;
}

TEST_F(BuildProjectKinds, CleanRemovesOutputsAndRunsNothing) {
    box.write("s.hzp", solution(stagingProject));
    run({});
    ASSERT_TRUE(box.exists("Debug/b.txt"));

    e2e::Result r = run({"-clean"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "  Cleaning \"st\" in configuration \"Debug\"\n");
    EXPECT_FALSE(box.exists("Debug/data/a.txt"));
    EXPECT_FALSE(box.exists("Debug/b.txt"));
    EXPECT_TRUE(box.exists("b.txt"));

    run({});
    r = run({"-clean", "-verbose"});
    EXPECT_EQ(r.out, "  Cleaning \"st\" in configuration \"Debug\"\n"
                     "  Remove " +
                         box.file("Debug/data/a.txt").toStdString() +
                         "\n"
                         "  Remove " +
                         box.file("Debug/b.txt").toStdString() + "\n");
}

TEST_F(BuildProjectKinds, CombiningRunsOneCommandOverTheIncludedFiles) {
    writeScript(box, "join.sh", "out=$1; shift; echo \"$@\" > args; cat \"$@\" > \"$out\"\n");
    box.write("s.hzp", solution(R"xml(
  <project Name="comb">
    <configuration Name="Common" project_type="Combining" combine_output_filepath="$(OutDir)/all.txt"
        combine_command="/bin/sh join.sh &quot;$(CombiningOutputFilePath)&quot; $(CombiningRelInputPaths)"/>
    <file file_name="data/a.txt"/>
    <folder Name="f"><file file_name="b.txt"/></folder>
    <file file_name="c.txt"><configuration Name="Common" build_exclude_from_build="Yes"/></file>
  </project>)xml"));
    e2e::Result r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "  Building \"comb\" in configuration \"Debug\"\n"
                     "    Combining comb\n");
    EXPECT_EQ(box.read("args"), "data/a.txt b.txt\n");
    EXPECT_EQ(box.read("Debug/all.txt"), "alpha\nbeta\n");
    EXPECT_TRUE(writable(box, "Debug/all.txt"));

    r = run({"-verbose"});
    EXPECT_EQ(r.out, "  Building \"comb\" in configuration \"Debug\"\n"
                     "  'Debug/all.txt' is up to date\n");
}

TEST_F(BuildProjectKinds, ExternallyBuiltExecutableRunsItsCommands) {
    writeScript(box, "build.sh", "echo build >> log; mkdir -p out; echo x > out/ext.bin\n");
    writeScript(box, "clean.sh", "echo clean >> log; rm -f out/ext.bin\n");
    box.write("s.hzp",
              solution("<project Name=\"ext\"><configuration Name=\"Common\" "
                       "project_type=\"Externally Built Executable\" "
                       "external_build_file_name=\"out/ext.bin\" external_build_command=\"" +
                       box.file("build.sh").toUtf8() + "\" external_clean_command=\"" +
                       box.file("clean.sh").toUtf8() +
                       "\"/><file file_name=\"never.c\"/></project>"));
    e2e::Result r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "  Building \"ext\" in configuration \"Debug\"\n"
                     "    Running Build command ext\n");
    EXPECT_EQ(box.read("log"), "build\n");
    EXPECT_TRUE(box.exists("out/ext.bin"));

    r = run({"-clean"});
    EXPECT_EQ(r.out, "  Cleaning \"ext\" in configuration \"Debug\"\n"
                     "    Running Clean command ext\n");
    EXPECT_EQ(box.read("log"), "build\nclean\n");
    EXPECT_FALSE(box.exists("out/ext.bin"));
}

TEST_F(BuildProjectKinds, DependenciesFirstAndBatchConfigurations) {
    writeScript(box, "join.sh", "out=$1; shift; cat \"$@\" > \"$out\"\n");
    const QByteArray projects = R"xml(
  <project Name="app">
    <configuration Name="Common" project_type="Combining" project_dependencies="lib"
        combine_output_filepath="$(OutDir)/app.txt"
        combine_command="/bin/sh join.sh $(CombiningOutputFilePath) $(CombiningRelInputPaths)"/>
    <file file_name="b.txt"/>
  </project>
  <project Name="lib">
    <configuration Name="Common" project_type="Staging"/>
    <file file_name="data/a.txt"/>
  </project>
  <project Name="off">
    <configuration Name="Common" project_type="Staging" build_exclude_from_build="Yes"/>
    <file file_name="c.txt"/>
  </project>)xml";
    box.write(
        "s.hzp",
        solution(projects,
                 R"xml(<configuration Name="Common" batch_build_configurations="Debug;Release"/>
  <configuration Name="Debug"/><configuration Name="Release"/>)xml"));
    e2e::Result r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "  Building \"lib\" in configuration \"Debug\"\n"
                     "    Copying a.txt\n"
                     "  Building \"app\" in configuration \"Debug\"\n"
                     "    Combining app\n");
    EXPECT_FALSE(box.exists("Debug/c.txt"));

    r = run({"-batch"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "  Building \"lib\" in configuration \"Debug\"\n"
                     "  Building \"lib\" in configuration \"Release\"\n"
                     "    Copying a.txt\n"
                     "  Building \"app\" in configuration \"Debug\"\n"
                     "  Building \"app\" in configuration \"Release\"\n"
                     "    Combining app\n");
    EXPECT_EQ(box.read("Release/app.txt"), "beta\n");
}

TEST_F(BuildProjectKinds, AFailingCommandStopsTheBuildWithStatusZero) {
    box.write("s.hzp", solution(R"xml(
  <project Name="first">
    <configuration Name="Common" project_type="Combining" combine_command="/bin/false"
        combine_output_filepath="$(OutDir)/x"/>
    <file file_name="b.txt"/>
  </project>)xml" + stagingProject));
    e2e::Result r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "  Building \"first\" in configuration \"Debug\"\n"
                     "    Combining first\n");
    EXPECT_FALSE(box.exists("Debug/b.txt"));
}

} // namespace
