#include "build/CompilationDatabase.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// What forming a compile command records: progress lines around it.
void form(PlanRecorder& rec, const QString& directory, const QStringList& command,
          const QString& output) {
    rec.init();
    rec.setDirectory(directory);
    rec.beginGroup(nullptr, "Compiling x", false);
    rec.setOutputFiles({output});
    rec.setCommand(command);
    rec.doit();
    rec.endGroup(nullptr);
}

QJsonArray parsed(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json.constData();
    return document.array();
}

} // namespace

// Only what was formed after the mark counts; paths become absolute against
// the command's directory; a repeated command is listed once, in first order.
TEST(CompilationDatabase, ListsFormedCommandsOnceInOrder) {
    PlanRecorder rec;
    CompilationDatabase db;
    form(rec, "/p/lib", {"hcc", "a.c", "-o", "Debug/a.hzo"}, "Debug/a.hzo");
    const size_t mark = rec.size();
    db.addFormed(rec.entries(), mark, "a.c"); // nothing after the mark
    rec.message("b.hzo is up to date");
    form(rec, "/p/lib", {"has", "../src/b.s"}, "/abs/b.hzo");
    db.addFormed(rec.entries(), mark, "../src/b.s");
    db.addFormed(rec.entries(), 0, "a.c");
    db.addFormed(rec.entries(), mark, "../src/b.s");
    rec.init(); // a step whose toolchain forms no command line
    rec.setDirectory("/p/lib");
    db.addFormed(rec.entries(), rec.size() - 2, "c.cpp");

    ASSERT_EQ(db.commands().size(), 2u);
    const CompileCommand& b = db.commands()[0];
    EXPECT_EQ(b.directory, "/p/lib");
    EXPECT_EQ(b.file, "/p/src/b.s");
    EXPECT_EQ(b.output, "/abs/b.hzo");
    EXPECT_EQ(b.arguments, QStringList({"has", "../src/b.s"}));
    EXPECT_EQ(db.commands()[1].file, "/p/lib/a.c");
    EXPECT_EQ(db.commands()[1].arguments.value(0), "hcc");
    EXPECT_EQ(db.commands()[1].output, "/p/lib/Debug/a.hzo");
}

// Quotes, backslashes, control characters and non-ASCII names survive a JSON
// reader; a name's bytes are read as UTF-8 as the OS is handed them.
TEST(CompilationDatabase, JsonKeepsEveryWord) {
    const QString utf8Name = QString::fromLatin1(QByteArray("/src/caf\xc3\xa9.c"));
    CompilationDatabase db;
    db.add({"/src", utf8Name, {"hcc", "-DQ=\"a b\"", "-I\\x", "tab\there", utf8Name}, "/o/x.hzo"});
    const QJsonArray array = parsed(db.json());
    ASSERT_EQ(array.size(), 1);
    const QJsonObject entry = array[0].toObject();
    EXPECT_EQ(entry.keys(), QStringList({"arguments", "directory", "file", "output"}));
    const QString cafe = QString::fromUtf8("/src/caf\xc3\xa9.c");
    EXPECT_EQ(entry["file"].toString(), cafe);
    QStringList words;
    for (const QJsonValue& word : entry["arguments"].toArray())
        words << word.toString();
    EXPECT_EQ(words, QStringList({"hcc", "-DQ=\"a b\"", "-I\\x", "tab\there", cafe}));
    EXPECT_EQ(parsed(CompilationDatabase().json()).size(), 0);
}

// The file is replaced whole, with no temporary left beside it; a path that
// cannot be replaced is refused with a reason.
TEST(CompilationDatabase, WritesAtomicallyOrSaysWhy) {
    QTemporaryDir dir;
    const QString path = dir.filePath("compile_commands.json");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("[ \"an older and much longer database than the new one\" ]\n");
    old.close();

    CompilationDatabase db;
    db.add({"/p", "/p/a.c", {"hcc", "a.c"}, "/p/a.hzo"});
    QString reason;
    ASSERT_TRUE(db.write(path, reason)) << reason.toStdString();
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), db.json());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"compile_commands.json"}));

    EXPECT_FALSE(db.write(dir.path(), reason)); // a directory is not replaced
    EXPECT_FALSE(reason.isEmpty());
}
