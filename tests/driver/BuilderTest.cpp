#include "driver/Process.h"
#include "driver/SlipwayBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// Captures what a builder prints.
class Capture {
public:
    Capture() { stream = open_memstream(&buffer, &size); }
    ~Capture() {
        std::fclose(stream);
        std::free(buffer);
    }
    std::string text() {
        std::fflush(stream);
        return std::string(buffer, size);
    }
    FILE* stream;

private:
    char* buffer = nullptr;
    size_t size = 0;
};

TEST(SlipwayBuilder, LinesAreIndentedByOpenGroupsAndFiltered) {
    Capture out;
    SlipwayBuilder b(false, false, out.stream);
    b.beginGroup(nullptr, "Building p", false);
    b.beginGroup(nullptr, "Compiling a.c", false);
    b.note(QString::fromUtf8("tab\there\r caf\u00e9\n!"));
    b.endGroup(nullptr);
    b.error("err");
    b.endGroup(nullptr);
    b.message("top");
    // An extra endGroup (as after a stopped build) goes negative: no blanks.
    b.endGroup(nullptr);
    b.success("below");
    b.beginGroup(nullptr, "again", false);
    EXPECT_EQ(out.text(), "  Building p\n"
                          "    Compiling a.c\n"
                          "    tabhere caf!\n"
                          "  err\n"
                          "top\n"
                          "below\n"
                          "again\n");
    EXPECT_EQ(b.indent(), 0);
}

TEST(SlipwayBuilder, ShowEchoesWithoutRunning) {
    QTemporaryDir dir;
    Capture out;
    bool failed = false;
    SlipwayBuilder b(true, true, out.stream);
    b.setFailedFlag(&failed);
    b.beginGroup(nullptr, "g", false);
    b.init();
    b.setDirectory(dir.path());
    b.setCommand({"touch", "made file"});
    b.doit();
    EXPECT_EQ(out.text(), "  g\n  touch made file\n");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("made file")));
    EXPECT_FALSE(failed);
}

TEST(SlipwayBuilder, CommandResultsSetTheFailedFlag) {
    QTemporaryDir dir;
    struct Case {
        QStringList command;
        bool fails;
        const char* printed;
    } cases[] = {
        {{"sh", "-c", "exit 0"}, false, ""},
        {{"sh", "-c", "exit 1"}, true, ""},
        {{"sh", "-c", "exit 200"}, true, ""},
        {{"sh", "-c", "exit 255"}, true, "can't execute command \"sh\"\n"},
        {{"sh", "-c", "kill -9 $$"}, true, "can't execute command \"sh\"\n"},
        {{"no-such-program-here"}, true, "can't execute command \"no-such-program-here\"\n"},
        {{"CP", "a", "b"}, true, "can't execute command \"CP\"\n"},
    };
    for (const Case& c : cases) {
        Capture out;
        bool failed = false;
        SlipwayBuilder b(false, false, out.stream);
        b.setFailedFlag(&failed);
        b.init();
        b.setDirectory(dir.path());
        b.setCommand(c.command);
        b.doit();
        EXPECT_EQ(failed, c.fails) << c.command.join(' ').toStdString();
        EXPECT_EQ(out.text(), c.printed) << c.command.join(' ').toStdString();
    }
}

TEST(SlipwayBuilder, BuiltinsRunInsideAndReportTheirErrors) {
    QTemporaryDir dir;
    QFile f(dir.filePath("src.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("data");
    f.close();

    Capture out;
    bool failed = false;
    SlipwayBuilder b(false, false, out.stream);
    b.setFailedFlag(&failed);
    b.init();
    b.setDirectory(dir.path());
    b.setCommand({"cp", "src.txt", "dst.txt"});
    b.doit();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("dst.txt")));
    EXPECT_FALSE(failed);
    EXPECT_EQ(out.text(), "");

    b.init();
    b.setDirectory(dir.path());
    b.setCommand({"rm", "missing.txt"});
    b.doit();
    EXPECT_TRUE(failed);
    EXPECT_EQ(out.text(), "rm failed\n");
}

TEST(SlipwayBuilder, OutputFilesGetTheirDirectories) {
    QTemporaryDir dir;
    SlipwayBuilder b(false, false);
    b.setOutputFiles({dir.filePath("a/b/c.o"), dir.filePath("top.o")});
    b.setTemporaryFiles({dir.filePath("t/x.tmp")});
    EXPECT_TRUE(QFileInfo(dir.filePath("a/b")).isDir());
    EXPECT_TRUE(QFileInfo(dir.filePath("t")).isDir());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("a/b/c.o")));
}

TEST(SpawnProcess, ExitStatusesAndDirectory) {
    EXPECT_EQ(QTx::spawnProcess({"sh", "-c", "exit 7"}, true, QString(), false), 7);
    EXPECT_EQ(QTx::spawnProcess({"sh", "-c", "exit 128"}, true, QString(), false), -128);
    EXPECT_EQ(QTx::spawnProcess({}, true, QString(), false), -1);

    QTemporaryDir dir;
    // Arguments reach the program unquoted and unsplit.
    EXPECT_EQ(
        QTx::spawnProcess({"sh", "-c", "pwd > \"$1\"", "sh", "out file"}, true, dir.path(), false),
        0);
    QFile f(dir.filePath("out file"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(f.readAll()).trimmed(), QDir(dir.path()).canonicalPath());

    // A directory that does not exist leaves the child where we are.
    EXPECT_EQ(QTx::spawnProcess({"sh", "-c", "test \"$(pwd)\" = \"$1\"", "sh", QDir::currentPath()},
                                true, dir.filePath("missing"), false),
              0);
}

} // namespace
