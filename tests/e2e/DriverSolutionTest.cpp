#include "E2E.h"

#include <gtest/gtest.h>

namespace {

// Two top projects out of name order, one nested solution with its own
// project, and a hidden configuration that cannot be built.
void writeSolution(const e2e::Sandbox& box) {
    box.write("top.hzp", "<!DOCTYPE Halyard_Project_File>\n"
                         "<solution Name=\"top\" version=\"1\">\n"
                         "  <configuration Name=\"Debug\"/>\n"
                         "  <configuration Name=\"Release\"/>\n"
                         "  <configuration Name=\"Base\" hidden=\"Yes\"/>\n"
                         "  <project Name=\"zeta\">\n"
                         "    <configuration Name=\"Common\" project_type=\"Executable\"/>\n"
                         "  </project>\n"
                         "  <project Name=\"alpha\">\n"
                         "    <configuration Name=\"Common\" project_type=\"Library\"/>\n"
                         "  </project>\n"
                         "  <import file_name=\"sub/sub.hzp\"/>\n"
                         "</solution>\n");
    box.write("sub/sub.hzp", "<!DOCTYPE Halyard_Project_File>\n"
                             "<solution Name=\"sub\" version=\"1\">\n"
                             "  <configuration Name=\"Debug\"/>\n"
                             "  <project Name=\"inner\">\n"
                             "    <configuration Name=\"Common\" project_type=\"Library\"/>\n"
                             "  </project>\n"
                             "</solution>\n");
}

TEST(DriverSolution, UnknownNamesListTheValidOnes) {
    e2e::Sandbox box;
    writeSolution(box);
    e2e::Result r = box.run({"-config", "Debug", "-project", "nope", "top.hzp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "can't find project 'nope' supported projects:\n"
                     "alpha\ninner(sub)\nzeta\n");
    EXPECT_EQ(r.err, "");

    r = box.run({"-config", "Debug", "-solution", "nope", "top.hzp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "can't find solution 'nope' supported solutions:\nsub\ntop\n");

    r = box.run({"-config", "Base", "top.hzp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "can't find configuration 'Base' supported configurations:\n"
                     "Debug\nRelease\n");
}

TEST(DriverSolution, KnownNamesBuildAndExitZero) {
    e2e::Sandbox box;
    writeSolution(box);
    for (const QStringList& args :
         {QStringList{"-config", "Debug", "top.hzp"},
          QStringList{"-config", "Debug", "-project", "alpha", "top.hzp"},
          QStringList{"-config", "Debug", "-solution", "sub", "top.hzp"}}) {
        const e2e::Result r = box.run(args);
        EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << "\n" << r.err;
        EXPECT_EQ(r.out.find("can't find"), std::string::npos) << r.out;
    }
}

TEST(DriverSolution, LoadErrorsAreReportedAndExitZero) {
    e2e::Sandbox box;
    e2e::Result r = box.run({"-config", "Debug", "nothere.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "load error: nothere.hzp does not exist\n");
    EXPECT_EQ(r.out, "");

    box.write("bad.hzp", "<solution Name=\"x\"><project></solution>\n");
    r = box.run({"-config", "Debug", "bad.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.rfind("load error: bad XML file - ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

} // namespace
