#include "base/HException.h"
#include "driver/Driver.h"
#include "driver/SlipwayArgParse.h"
#include "project/ProjectSystem.h"

#include <QTemporaryFile>
#include <cstdio>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

namespace {

// Runs body with standard error sent to a file; returns what it wrote.
std::string stderrOf(const std::function<int()>& body, int& status) {
    QTemporaryFile file;
    EXPECT_TRUE(file.open());
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(file.handle(), 2);
    status = runGuarded(body);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    file.seek(0);
    return file.readAll().toStdString();
}

TEST(DriverHandlers, EachErrorGivesOneLineAndStatusZero) {
    struct Case {
        std::function<int()> body;
        std::string text;
        int status;
    } cases[] = {
        {[]() -> int { throw HException("bad object"); }, "error: bad object\n", 0},
        {[]() -> int { throw SolutionLoadError("a.hzp", " does not exist"); },
         "load error: a.hzp does not exist\n", 0},
        {[]() -> int { throw SolutionLoadError("a.hzp", "unexpected end", 3, 4); },
         "load error: bad XML file - unexpected end\n", 0},
        {[]() -> int { throw std::runtime_error("x"); }, "Internal error detected\n", 0},
        {[]() -> int { throw 42; }, "Internal error detected\n", 0},
        {[]() -> int { throw DriverExit{1}; }, "", 1},
        {[]() { return 1; }, "", 1},
    };
    for (const Case& c : cases) {
        int status = -1;
        EXPECT_EQ(stderrOf(c.body, status), c.text);
        EXPECT_EQ(status, c.status) << c.text;
    }
}

} // namespace
