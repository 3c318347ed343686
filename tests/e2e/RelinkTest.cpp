// When an executable is linked again: a missing map file, a recompiled
// source and a rebuilt library each relink it; nothing else does.

#include "E2E.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using e2e::runsOf;

const qint64 past = 1000000000;

class Relink : public ::testing::Test {
protected:
    void SetUp() override {
        box.makeStudio();
        write("fw.hzp", R"(<!DOCTYPE Halyard_Project_File>
<solution Name="fw" version="1">
  <configuration Name="Debug"/>
  <project Name="app">
    <configuration Name="Common" project_type="Executable" project_directory="app" project_dependencies="lib"/>
    <file file_name="main.c"/>
    <file file_name="other.c"/>
  </project>
  <project Name="lib">
    <configuration Name="Common" project_type="Library" project_directory="lib"/>
    <file file_name="l.c"/>
  </project>
</solution>
)");
        write("app/main.c", "int main(void) { return 0; }\n");
        write("app/other.c", "int other(void) { return 1; }\n");
        write("lib/l.c", "int lib_value(void) { return 2; }\n");
        first = build();
    }
    void write(const QString& name, const QByteArray& text) {
        box.write(name, text);
        box.setTime(name, past);
    }
    // Makes a source newer than its object without waiting for the clock.
    void makeStale(const QString& source, const QString& object) {
        box.setTime(object, past + 50);
        box.setTime(source, past + 100);
    }
    e2e::Result build() { return box.run({"-config", "Debug", "-echo", "fw.hzp"}); }

    e2e::Sandbox box;
    e2e::Result first;
};

TEST_F(Relink, FirstBuildLinksOnceAndSecondDoesNothing) {
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_EQ(runsOf(first.out, "hcc"), 3) << first.out;
    EXPECT_EQ(runsOf(first.out, "har"), 1);
    EXPECT_EQ(runsOf(first.out, "hld"), 1);
    ASSERT_TRUE(box.exists("app/Debug/app.hzx"));
    ASSERT_TRUE(box.exists("app/Debug/app.map"));
    // The library is built before the executable that depends on it.
    EXPECT_LT(first.out.find("/bin/har "), first.out.find("/bin/hld "));

    const e2e::Result again = build();
    EXPECT_EQ(runsOf(again.out, "hcc") + runsOf(again.out, "har") + runsOf(again.out, "hld"), 0)
        << again.out;
}

TEST_F(Relink, MissingMapFileRelinksOnly) {
    ASSERT_TRUE(QFile::remove(box.file("app/Debug/app.map")));
    const e2e::Result r = build();
    EXPECT_EQ(runsOf(r.out, "hcc"), 0) << r.out;
    EXPECT_EQ(runsOf(r.out, "har"), 0);
    EXPECT_EQ(runsOf(r.out, "hld"), 1);
    EXPECT_TRUE(box.exists("app/Debug/app.map"));

    const e2e::Result verbose = box.run({"-config", "Debug", "-verbose", "fw.hzp"});
    EXPECT_NE(verbose.out.find("'Debug/app.hzx' is up to date"), std::string::npos) << verbose.out;
}

TEST_F(Relink, RecompiledSourceRelinks) {
    makeStale("app/other.c", "app/Debug/other.hzo");
    const e2e::Result r = build();
    EXPECT_EQ(runsOf(r.out, "hcc"), 1) << r.out;
    EXPECT_NE(r.out.find("other.c -o Debug/other.hzo"), std::string::npos);
    EXPECT_EQ(runsOf(r.out, "har"), 0);
    EXPECT_EQ(runsOf(r.out, "hld"), 1);
}

TEST_F(Relink, RebuiltLibraryRelinksTheExecutable) {
    makeStale("lib/l.c", "lib/Debug/l.hzo");
    const e2e::Result r = build();
    EXPECT_EQ(runsOf(r.out, "hcc"), 1) << r.out;
    EXPECT_EQ(runsOf(r.out, "har"), 1);
    EXPECT_EQ(runsOf(r.out, "hld"), 1);

    // A library that is up to date and was not rebuilt leaves the link alone.
    const e2e::Result again = build();
    EXPECT_EQ(runsOf(again.out, "hld"), 0) << again.out;
}

} // namespace
