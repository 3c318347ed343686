#include "build/Builtins.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(SplitCommand, QuotesAndBlanks) {
    using Builtins::splitCommand;
    EXPECT_TRUE(splitCommand("").isEmpty());
    EXPECT_TRUE(splitCommand("    ").isEmpty());
    EXPECT_EQ(splitCommand("cp \"a b\" \"c\""), (QStringList{"cp", "a b", "c"}));
    EXPECT_EQ(splitCommand("a\"b c\"d"), QStringList{"ab cd"});
    EXPECT_EQ(splitCommand("x \"\" y"), (QStringList{"x", "y"}));
    EXPECT_EQ(splitCommand("a\tb  c "), (QStringList{"a\tb", "c"}));
    EXPECT_EQ(splitCommand("a \"b c"), (QStringList{"a", "b c"}));
}

TEST(GetAbsPath, RelativeAgainstDirectory) {
    EXPECT_EQ(Builtins::getAbsPath("/d", "x/y"), "/d/x/y");
    EXPECT_EQ(Builtins::getAbsPath("/d", "/abs"), "/abs");
    EXPECT_EQ(Builtins::getAbsPath("/d", ""), "/d/");
}

TEST(Builtins, Dispatch) {
    QString error;
    EXPECT_FALSE(Builtins::builtinCommand("/", {"CP", "a", "b"}, error));
    EXPECT_FALSE(Builtins::builtinCommand("/", {}, error));
    EXPECT_FALSE(Builtins::builtinCommand("/", {"true"}, error));
    EXPECT_TRUE(error.isNull());
    // Missing arguments count as empty: the directory itself cannot be removed.
    EXPECT_TRUE(Builtins::builtinCommand("/nonexistent", {"rm"}, error));
    EXPECT_EQ(error, "rm failed");
}

TEST(Builtins, CopyReplacesReadOnlyDestination) {
    QTemporaryDir dir;
    writeFile(dir.filePath("a.txt"), "new");
    writeFile(dir.filePath("b.txt"), "old");
    QFile::setPermissions(dir.filePath("b.txt"), QFile::ReadOwner);
    QString error;
    EXPECT_TRUE(Builtins::builtinCommand(dir.path(), {"cp", "a.txt", "b.txt"}, error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(readFile(dir.filePath("b.txt")), "new");

    EXPECT_TRUE(Builtins::builtinCommand(dir.path(), {"cp", "missing", "b.txt"}, error));
    EXPECT_EQ(error, "cp failed");
    // The old destination is gone even though the copy failed.
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("b.txt")));
}

TEST(Builtins, ChmodAndRm) {
    QTemporaryDir dir;
    const QString f = dir.filePath("f");
    writeFile(f, "x");
    QString error;
    Builtins::builtinCommand(dir.path(), {"chmod", "-w", "f"}, error);
    EXPECT_FALSE(QFileInfo(f).permission(QFile::WriteOwner));
    Builtins::builtinCommand(dir.path(), {"chmod", "+w", "f"}, error);
    EXPECT_TRUE(QFileInfo(f).permission(QFile::WriteOwner));
    Builtins::builtinCommand(dir.path(), {"chmod", "+rw", "f"}, error);
    EXPECT_FALSE(QFileInfo(f).permission(QFile::WriteOwner));
    EXPECT_TRUE(error.isEmpty());
    Builtins::builtinCommand(dir.path(), {"chmod", "+w", "missing"}, error);
    EXPECT_EQ(error, "chmod failed");

    error.clear();
    Builtins::builtinCommand(dir.path(), {"rm", f}, error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(f));
    Builtins::builtinCommand(dir.path(), {"rm", "f"}, error);
    EXPECT_EQ(error, "rm failed");
}

} // namespace

namespace {

TEST(Builtins, XmlCopyThroughThePreprocessor) {
    QTemporaryDir dir;
    writeFile(dir.filePath("in.xml"), "<!DOCTYPE a><a><b x=\"1\"/></a>\n");
    writeFile(dir.filePath("keep.xml"), "old");
    QString error;
    EXPECT_TRUE(Builtins::builtinCommand(dir.path(), {"xmlcp", "in.xml", "out.xml", "A=1"}, error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(readFile(dir.filePath("out.xml")).contains("<b x=\"1\"/>"));

    EXPECT_TRUE(Builtins::builtinCommand(dir.path(), {"xmlcp", "missing.xml", "keep.xml"}, error));
    EXPECT_TRUE(error.startsWith("xmlpp failed ")) << error.toStdString();
    EXPECT_EQ(readFile(dir.filePath("keep.xml")), "old");
}

TEST(Builtins, RegisterHeaderOptionsMayStandAnywhere) {
    QTemporaryDir dir;
    // The message names the map: the first positional argument, options skipped.
    const QString map = dir.path() + "/map.xml";
    for (const QStringList& command :
         {QStringList{"mkhdr", "-regbaseoffs", "map.xml", "h.h", "T"},
          QStringList{"mkhdr", "map.xml", "-other", "h.h", "-regbaseoffs", "T"},
          QStringList{"mkhdr", "map.xml", "h.h", "T", "-regbaseoffs"}}) {
        QString error;
        EXPECT_TRUE(Builtins::builtinCommand(dir.path(), command, error));
        EXPECT_TRUE(error.endsWith(map)) << error.toStdString();
    }
}

} // namespace
