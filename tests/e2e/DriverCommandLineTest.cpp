#include "E2E.h"

#include <gtest/gtest.h>

namespace {

const std::string banner = "Sheerline for MSP430 slipway   Release 1.4\n";
const std::string help = "\n"
                         "Usage: slipway [option] project.hzp\n"
                         "\n"
                         "  -batch           batch build\n"
                         "  -config 'name'   build in 'name' configuration\n"
                         "  -clean           remove output files as build occurs\n"
                         "  -D macro=value   set the value of a macro\n"
                         "  -echo            show command lines as they are executed\n"
                         "  -project 'name'  build 'name' project\n"
                         "  -rebuild         always do the build step\n"
                         "  -show            show command lines but don't execute them\n"
                         "  -solution 'name' build/batch build 'name' solution\n"
                         "  -verbose         show build information\n";

// Banner line, one notice line, a blank line, then the help.
void expectBannerAndHelp(const e2e::Result& r) {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    ASSERT_EQ(r.err.compare(0, banner.size(), banner), 0) << r.err;
    const size_t notice = r.err.find('\n', banner.size());
    ASSERT_NE(notice, std::string::npos);
    EXPECT_GT(notice, banner.size()) << "notice line is empty";
    EXPECT_EQ(r.err.substr(notice + 1), "\n" + help);
}

TEST(DriverCommandLine, BannerAndHelp) {
    e2e::Sandbox box;
    expectBannerAndHelp(box.run({}));
    expectBannerAndHelp(box.run({"-help"}));
    // Help wins wherever parsing reaches it, even with a complete command line.
    expectBannerAndHelp(box.run({"-config", "Debug", "missing.hzp", "-help", "-bogus"}));
}

TEST(DriverCommandLine, ParserErrorsAreReportedInOrderThenFail) {
    e2e::Sandbox box;
    const std::string p = box.prefix();
    e2e::Result r = box.run({"-foo", "-config"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              p + "unrecognised option -foo\n" + p + "expected argument for option -config\n");
    EXPECT_EQ(r.out, "");

    // Parsing goes on after an unknown option; a glued -D is not an option.
    r = box.run({"-DNAME=1", "-x", "s.hzp", "-config", "Debug"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, p + "unrecognised option -DNAME=1\n" + p + "unrecognised option -x\n");
    EXPECT_FALSE(box.exists("config/Halyard Software"));
}

TEST(DriverCommandLine, OptionChecksInOrder) {
    e2e::Sandbox box;
    const std::string p = box.prefix();
    struct Case {
        QStringList args;
        std::string message;
    } cases[] = {
        {{"-batch", "-project", "p", "-config", "Debug", "s.hzp"},
         "-batch and -project are exclusive."},
        {{"-batch", "-project", "", "-solution", "x"}, "-batch and -project are exclusive."},
        {{"-solution", "", "-project", "p", "-config", "Debug", "s.hzp"},
         "-solution and -project are exclusive."},
        {{"-solution", "x", "-project", "p"}, "-solution and -project are exclusive."},
        {{"-config", "Debug"}, ".hzp file must be specified."},
        {{"-config", "Debug", ""}, ".hzp file must be specified."},
        {{"s.hzp"}, "-config must be specified."},
        {{"s.hzp", "-config", ""}, "-config must be specified."},
    };
    for (const Case& c : cases) {
        const e2e::Result r = box.run(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.err, p + c.message + "\n");
        EXPECT_EQ(r.out, "");
    }
}

} // namespace
