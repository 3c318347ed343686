#include "E2E.h"

#include <gtest/gtest.h>

namespace {

// A staging project: its commands are builtins, so no toolchain is needed.
const QByteArray stagingSolution = "<!DOCTYPE Halyard_Project_File>\n"
                                   "<solution Name=\"s\" version=\"1\">\n"
                                   "  <configuration Name=\"Debug\"/>\n"
                                   "  <project Name=\"st\">\n"
                                   "    <configuration Name=\"Common\" project_type=\"Staging\"/>\n"
                                   "    <file file_name=\"in file.txt\"/>\n"
                                   "  </project>\n"
                                   "</solution>\n";

TEST(DriverBuild, ShowPrintsCommandsAndRunsNothing) {
    e2e::Sandbox box;
    box.write("s.hzp", stagingSolution);
    box.write("in file.txt", "data\n");
    const e2e::Result r = box.run({"-show", "-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // Commands are indented with their group and joined without quoting.
    const std::string copy = "\n    cp in file.txt " + box.file("Debug/in file.txt").toStdString();
    EXPECT_NE(r.out.find(copy + "\n"), std::string::npos) << r.out;
    EXPECT_FALSE(box.exists("Debug/in file.txt"));
}

TEST(DriverBuild, EchoPrintsAndRuns) {
    e2e::Sandbox box;
    box.write("s.hzp", stagingSolution);
    box.write("in file.txt", "data\n");
    const e2e::Result r = box.run({"-echo", "-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    const std::string copy = "cp in file.txt " + box.file("Debug/in file.txt").toStdString();
    EXPECT_NE(r.out.find(copy + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(box.read("Debug/in file.txt"), "data\n");
}

TEST(DriverBuild, FailedBuiltinStillExitsZero) {
    e2e::Sandbox box;
    box.write("s.hzp", stagingSolution);
    // The source is missing: the builtin copy fails, the build stops, status 0.
    const e2e::Result r = box.run({"-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("cp failed\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("chmod"), std::string::npos) << r.out;
}

} // namespace
