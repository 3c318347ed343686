// The dependencies recorded in objects are remembered between runs: the
// remembered list must always be the one the object holds now.

#include "E2E.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const qint64 past = 1000000000;

int compiles(const std::string& out) {
    return e2e::runsOf(out, "hcc");
}

class DependencyLog : public ::testing::Test {
protected:
    void SetUp() override {
        box.makeStudio();
        write("fw.hzp", R"(<!DOCTYPE Halyard_Project_File>
<solution Name="fw" version="1">
  <configuration Name="Debug"/>
  <project Name="lib">
    <configuration Name="Common" project_type="Library"/>
    <file file_name="a.c"/>
    <file file_name="b.c"/>
  </project>
</solution>
)");
        write("h1.h", "#define ONE 1\n");
        write("h2.h", "#define TWO 2\n");
        write("a.c", "#include \"h1.h\"\nint a(void) { return ONE; }\n");
        write("b.c", "#include \"h2.h\"\nint b(void) { return TWO; }\n");
        const e2e::Result first = build();
        ASSERT_EQ(compiles(first.out), 2) << first.out << first.err;
    }
    void write(const QString& name, const QByteArray& text) {
        box.write(name, text);
        box.setTime(name, past);
    }
    // Makes a file newer than a.c's object without waiting for the clock.
    void newerThanObjectA(const QString& name) {
        for (const char* input : {"a.c", "h1.h", "h2.h"})
            box.setTime(input, past);
        box.setTime("Debug/a.hzo", past + 50);
        box.setTime(name, past + 100);
    }
    QStringList logs() const {
        return QDir(box.file("cache/slipway")).entryList({"deps-*"}, QDir::Files);
    }
    e2e::Result build() { return box.run({"-config", "Debug", "-echo", "fw.hzp"}); }

    e2e::Sandbox box;
};

TEST_F(DependencyLog, RememberedListsFollowTheObjects) {
    // Objects are remembered as soon as they are made, with their own list:
    // a header newer than the untouched object still rebuilds it.
    ASSERT_EQ(logs().size(), 1);
    EXPECT_EQ(compiles(build().out), 0);
    const qint64 made = QFileInfo(box.file("Debug/a.hzo")).lastModified().toSecsSinceEpoch();
    box.setTime("h1.h", made + 100);
    EXPECT_EQ(compiles(build().out), 1);
    box.setTime("h1.h", past);

    // The remembered list still names the header.
    newerThanObjectA("h1.h");
    EXPECT_EQ(compiles(build().out), 1);
    EXPECT_EQ(compiles(build().out), 0);

    // The source now includes the other header: the new object's list counts.
    write("a.c", "#include \"h2.h\"\nint a(void) { return TWO; }\n");
    newerThanObjectA("a.c");
    EXPECT_EQ(compiles(build().out), 1);
    newerThanObjectA("h1.h");
    EXPECT_EQ(compiles(build().out), 0);
    newerThanObjectA("h2.h");
    EXPECT_EQ(compiles(build().out), 1);

    // An object replaced behind slipway's back, its time put back as it was,
    // is read again: b's object names b.c, which is newer.
    const qint64 objectTime = QFileInfo(box.file("Debug/a.hzo")).lastModified().toSecsSinceEpoch();
    box.setTime("b.c", objectTime + 100);
    ASSERT_TRUE(QFile::remove(box.file("Debug/a.hzo")));
    ASSERT_TRUE(QFile::copy(box.file("Debug/b.hzo"), box.file("Debug/a.hzo")));
    box.setTime("Debug/a.hzo", objectTime);
    box.setTime("Debug/b.hzo", objectTime + 200);
    const e2e::Result r = build();
    EXPECT_EQ(compiles(r.out), 1) << r.out;
    EXPECT_NE(r.out.find("a.c -o Debug/a.hzo"), std::string::npos) << r.out;
}

TEST_F(DependencyLog, ADamagedLogIsReplaced) {
    ASSERT_EQ(logs().size(), 1);
    const QString log = box.file("cache/slipway/" + logs().first());
    box.write("cache/slipway/" + logs().first(), QByteArray("garbage\0\xff\xff", 10));
    const e2e::Result r = build();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(compiles(r.out), 0) << r.out << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(6) == "SWDEPS");

    // A log that cannot be written leaves the build alone.
    QFile::remove(log);
    QDir().mkpath(log); // a directory where the log should be
    const e2e::Result blocked = build();
    EXPECT_EQ(blocked.status, 0);
    EXPECT_EQ(compiles(blocked.out), 0);
    EXPECT_TRUE(blocked.err.empty()) << blocked.err;
}

TEST_F(DependencyLog, OnlyTheExactSwitchTurnsItOff) {
    // SLIPWAY_NO_CACHE=1 neither reads nor writes the log, and the build
    // still sees what the objects record.
    ASSERT_TRUE(QDir(box.file("cache/slipway")).removeRecursively());
    box.setEnvironment("SLIPWAY_NO_CACHE", "1");
    newerThanObjectA("h1.h");
    EXPECT_EQ(compiles(build().out), 1);
    EXPECT_EQ(compiles(build().out), 0);
    EXPECT_TRUE(logs().isEmpty());

    box.setEnvironment("SLIPWAY_NO_CACHE", "yes");
    EXPECT_EQ(compiles(build().out), 0);
    EXPECT_EQ(logs().size(), 1);
}

} // namespace
