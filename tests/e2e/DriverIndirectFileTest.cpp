#include "E2E.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {

QString storedMacros(const e2e::Sandbox& box) {
    return QSettings(box.settingsFile(), QSettings::IniFormat)
        .value("Environment/Macros/Global Macros")
        .toString();
}

TEST(DriverIndirectFile, WordsQuotesAndComments) {
    e2e::Sandbox box;
    box.write("args", "# -bogus in a comment is ignored\n"
                      "-config \"Release Build\"   -D  \"ONE=a b\" \n"
                      "\n"
                      "   \n"
                      "-D \"TWO=x\"Y=2 s.hzp -D A\"B=1 -D T\tAB=1\n");
    const e2e::Result r = box.run({"@args", "-D", "THREE=3"});
    // Parsing succeeded: what follows is the load of the missing solution.
    EXPECT_EQ(r.err.find(box.prefix()), std::string::npos) << r.err;
    EXPECT_EQ(r.status, 0);
    // The quotes go, the word after a closing quote starts a new word, a
    // quote inside a word stays, and tabs belong to words.
    EXPECT_EQ(storedMacros(box), "A\"B=1;ONE=a b;T\tAB=1;THREE=3;TWO=x");
}

TEST(DriverIndirectFile, OptionCannotTakeItsArgumentFromTheNextLine) {
    e2e::Sandbox box;
    const std::string p = box.prefix();
    box.write("args", "-config\nDebug\n");
    const e2e::Result r = box.run({"@args", "s.hzp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, p + "expected argument for option -config\n");
}

TEST(DriverIndirectFile, Errors) {
    e2e::Sandbox box;
    const std::string p = box.prefix();
    box.write("bad", "-config Debug\n-D \"open\n-D \"X=1\"\n");
    e2e::Result r = box.run({"@missing", "@bad", "@", "s.hzp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, p + "can't open indirect file missing: No such file or directory\n" + p +
                         "unterminated string in indirect file bad(2)\n" + p +
                         "can't open indirect file : No such file or directory\n");
    // The lines around the bad one were still processed.
    EXPECT_EQ(storedMacros(box), "X=1");

    box.write("dir/.keep", "");
    r = box.run({"@dir", "-config", "D", "s.hzp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, p + "can't open indirect file dir: Is a directory\n");
}

TEST(DriverIndirectFile, SelfInclusionStopsOnce) {
    e2e::Sandbox box;
    const std::string p = box.prefix();
    box.write("self", "@self\n-bogus\n");
    const e2e::Result r = box.run({"@self"});
    EXPECT_EQ(r.status, 1);
    std::string expected = p + "too many indirect files\n";
    // Every one of the 100 open files goes on with its next line while unwinding.
    for (int i = 0; i < 100; ++i)
        expected += p + "unrecognised option -bogus\n";
    EXPECT_EQ(r.err, expected);
}

TEST(DriverIndirectFile, RepeatedFilesAndWordsAfterTheNestingLimit) {
    e2e::Sandbox box;
    const std::string p = box.prefix();
    // The same file named a thousand times is read a thousand times.
    box.write("opt", "-D ONE=1\n");
    QByteArray many;
    for (int i = 0; i < 1000; ++i)
        many += "@opt\n";
    box.write("many", many);
    e2e::Result r = box.run({"@many", "-config", "D", "s.hzp"});
    EXPECT_EQ(r.err.find(p), std::string::npos) << r.err;
    EXPECT_EQ(storedMacros(box), "ONE=1");

    // After a refusal at the nesting limit, later "@" words are still read.
    box.write("self", "@self\n");
    box.write("late", "-D LATE=2\n");
    box.write("top", "@self\n@late\n");
    r = box.run({"@top", "-config", "D", "s.hzp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, p + "too many indirect files\n");
    EXPECT_EQ(storedMacros(box), "LATE=2;ONE=1");
}

TEST(DriverIndirectFile, LongLinesAndManyWords) {
    e2e::Sandbox box;
    const std::string p = box.prefix();
    // 300 words on one line: refused as a whole, nothing overruns.
    QByteArray many;
    for (int i = 0; i < 300; ++i)
        many += "x ";
    box.write("many", many + "\n");
    e2e::Result r = box.run({"@many", "s.hzp", "-config", "D"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, p + "too many arguments in indirect file many(1)\n");

    // A line longer than the buffer is read in pieces of 1023 characters,
    // each split on its own: "-bogus" is cut after "-b".
    const QByteArray name(1015, 'L');
    box.write("long", "-D " + name + "=1 -bogus\n");
    r = box.run({"@long"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, p + "unrecognised option -b\n");
    EXPECT_EQ(storedMacros(box), QString(name + "=1"));
}

} // namespace
