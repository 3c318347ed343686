#include "driver/ArgParse.h"
#include "base/HReporter.h"
#include "driver/SlipwayArgParse.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Reporter output captured in memory.
struct Errors {
    Errors() : stream(open_memstream(&buffer, &size)), report("prog", stream) {}
    ~Errors() {
        std::fclose(stream);
        std::free(buffer);
    }
    std::string text() {
        std::fflush(stream);
        return std::string(buffer, size);
    }
    char* buffer = nullptr;
    size_t size = 0;
    FILE* stream;
    HReporter report;
};

// Records plain arguments and handler calls.
class Recorder : public ArgParse {
public:
    explicit Recorder(HReporter* r) : ArgParse(r) {
        onOptionSetFlag("-f", &flag);
        onOption("-I", AttachedWord, static_cast<Handler>(&Recorder::onRecord));
        onOption("-Ix", AttachedWord, static_cast<Handler>(&Recorder::onRecord));
        onOption("-n", NextWord, static_cast<Handler>(&Recorder::onRecord));
    }
    void onArgument(const char* a) override { seen.push_back(std::string("arg:") + a); }
    void onRecord(const char* option, const char* argument) {
        seen.push_back(std::string(option) + "=" + (argument ? argument : "(null)"));
    }
    void parseWords(std::vector<std::string> words) {
        std::vector<char*> v;
        for (std::string& w : words)
            v.push_back(w.data());
        parse(int(v.size()), v.data());
    }
    bool flag = false;
    std::vector<std::string> seen;
};

std::vector<std::string> split(ArgParse& p, const char* fileName, std::string line) {
    std::vector<char*> words(ArgParse::maxWordsPerLine);
    line.push_back('\0');
    const int n = p.argifyLine(fileName, 7, line.data(), words.data());
    return std::vector<std::string>(words.begin(), words.begin() + n);
}

TEST(ArgParse, OptionKindsAndPlainWords) {
    Errors e;
    Recorder p(&e.report);
    p.parseWords({"-Ixy", "-Iab", "-I", "-f", "file", "-n", "next", "-x", "@", "-n"});
    EXPECT_TRUE(p.flag);
    // The longer of two attached-argument options wins.
    EXPECT_EQ(p.seen, (std::vector<std::string>{"-Ix=y", "-I=ab", "-I=", "arg:file", "-n=next"}));
    EXPECT_EQ(e.text(), "prog: unrecognised option -x\n"
                        "prog: can't open indirect file : No such file or directory\n"
                        "prog: expected argument for option -n\n");
    EXPECT_EQ(e.report.errorCount(), 3);
}

TEST(ArgParse, LineSplitting) {
    Errors e;
    Recorder p(&e.report);
    using V = std::vector<std::string>;
    EXPECT_EQ(split(p, "f", "  a  b\tc  \n"), (V{"a", "b\tc"}));
    EXPECT_EQ(split(p, "f", "\"a b\"c d\"e\" \"\""), (V{"a b", "c", "d\"e\"", ""}));
    EXPECT_EQ(split(p, "f", "   "), V{});
    EXPECT_EQ(split(p, "f", "x\ny"), V{"x"});
    EXPECT_EQ(split(p, "f", "a \"open"), V{});
    EXPECT_EQ(split(p, nullptr, "\"open\nx\""), V{});
    EXPECT_EQ(e.text(), "prog: unterminated string in indirect file f(7)\n"
                        "prog: unterminated string in command line\n");
}

TEST(ArgParse, WordLimitPerLine) {
    Errors e;
    Recorder p(&e.report);
    std::string line;
    for (int i = 0; i < ArgParse::maxWordsPerLine; ++i)
        line += "w ";
    EXPECT_EQ(split(p, "f", line).size(), size_t(ArgParse::maxWordsPerLine));
    EXPECT_EQ(e.report.errorCount(), 0);
    EXPECT_TRUE(split(p, "f", line + "one-more").empty());
    EXPECT_EQ(e.text(), "prog: too many arguments in indirect file f(7)\n");
}

TEST(SlipwayArgParse, BuildFlags) {
    Errors e;
    SlipwayArgParse a(&e.report);
    EXPECT_EQ(a.buildFlags(), 8);
    a.verbose = true;
    EXPECT_EQ(a.buildFlags(), 0);
    a.rebuild = true;
    EXPECT_EQ(a.buildFlags(), 2);
    a.clean = true;
    EXPECT_EQ(a.buildFlags(), 7);
    a.verbose = false;
    EXPECT_EQ(a.buildFlags(), 15);
}

TEST(SlipwayArgParse, Results) {
    Errors e;
    SlipwayArgParse a(&e.report);
    std::vector<std::string> words{"prog", "-show",   "one.hzp", "-project",
                                   "",     "-config", "Debug",   "two.hzp"};
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    a.parseArguments(int(argv.size()), argv.data());
    EXPECT_EQ(a.solutionFile, "two.hzp");
    EXPECT_EQ(a.configuration, "Debug");
    EXPECT_TRUE(a.projectName.isEmpty());
    EXPECT_FALSE(a.projectName.isNull());
    EXPECT_TRUE(a.solutionName.isNull());
    EXPECT_TRUE(a.echo);
}

} // namespace
