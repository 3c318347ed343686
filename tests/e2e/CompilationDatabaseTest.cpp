// SLIPWAY_COMPDB: the compilation database lists the command line of every
// compile and assemble step, built in the run or up to date, in build order.
// Every case runs with and without SLIPWAY_STRICT=1.

#include "E2E.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

const qint64 past = 1000000000;

// A library of a C and an assembler file, and an executable using it.
const char* const solution = R"xml(<!DOCTYPE Halyard_Project_File>
<solution Name="fw" version="1">
  <configuration Name="Common" batch_build_configurations="Debug;Release"/>
  <configuration Name="Debug"/><configuration Name="Release"/>
  <project Name="lib">
    <configuration Name="Common" project_type="Library" project_directory="lib"/>
    <file file_name="util.c"/>
    <file file_name="start.s"/>
  </project>
  <project Name="app">
    <configuration Name="Common" project_type="Executable" project_directory="app"
        project_dependencies="lib"/>
    <file file_name="main.c"/>
  </project>
</solution>
)xml";

struct Entry {
    QString directory, file, output, command; // command: the arguments joined by blanks
};

class CompileCommandsFile : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        box.setEnvironment("SLIPWAY_STRICT", GetParam() ? "1" : QString());
        write("fw.hzp", solution);
        write("lib/util.c", "int util(void) { return 1; }\n");
        write("lib/start.s", "  nop\n");
        write("app/main.c", "int main(void) { return 0; }\n");
    }
    void write(const QString& name, const QByteArray& text) {
        box.write(name, text);
        box.setTime(name, past);
    }
    e2e::Result build(const QString& database, const QStringList& options = {}) {
        box.setEnvironment("SLIPWAY_COMPDB", database);
        return box.run(QStringList{"-config", "Debug", "-echo"} + options + QStringList{"fw.hzp"});
    }
    std::vector<Entry> entries(const QString& name = "cc.json") const {
        std::vector<Entry> result;
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(box.read(name)));
        EXPECT_TRUE(document.isArray()) << box.read(name);
        for (const QJsonValue& value : document.array()) {
            const QJsonObject o = value.toObject();
            QStringList words;
            for (const QJsonValue& word : o["arguments"].toArray())
                words << word.toString();
            result.push_back({o["directory"].toString(), o["file"].toString(),
                              o["output"].toString(), words.join(' ')});
        }
        return result;
    }
    // The compiler and assembler lines -echo printed.
    static QStringList compileLines(const std::string& out) {
        QStringList lines;
        for (const QString& line : QString::fromStdString(out).split('\n')) {
            const QString command = line.trimmed();
            if (command.contains("/bin/hcc ") || command.contains("/bin/has ")) lines << command;
        }
        return lines;
    }

    e2e::Sandbox box;
};

TEST_P(CompileCommandsFile, ListsTheCommandsOfBuiltAndUpToDateFiles) {
    // -show runs nothing, but knows every command.
    e2e::Result r = build("cc.json", {"-show"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(box.exists("lib/Debug/util.hzo") || box.exists("app/Debug/main.hzo"));
    const std::string shown = box.read("cc.json");

    r = build("cc.json");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Entry> all = entries();
    const QStringList echoed = compileLines(r.out);
    ASSERT_EQ(echoed.size(), 3) << r.out;
    ASSERT_EQ(all.size(), 3u);
    const char* const files[] = {"lib/util.c", "lib/start.s", "app/main.c"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(all[i].command, echoed[i]);
        EXPECT_EQ(all[i].file, box.file(files[i]));
        EXPECT_EQ(all[i].directory, box.file(QString(files[i]).section('/', 0, 0)));
        EXPECT_TRUE(QFileInfo::exists(all[i].output)) << all[i].output.toStdString();
    }
    EXPECT_EQ(box.read("cc.json"), shown);

    // Nothing to do, or one file rebuilt: the same database.
    r = build("cc.json");
    EXPECT_TRUE(compileLines(r.out).isEmpty()) << r.out;
    EXPECT_EQ(box.read("cc.json"), shown);
    write("lib/util.c", "int util(void) { return 2; }\n");
    box.setTime("lib/Debug/util.hzo", past - 1);
    r = build("cc.json");
    EXPECT_EQ(compileLines(r.out).size(), 1) << r.out;
    EXPECT_EQ(box.read("cc.json"), shown);

    // One command per file and configuration, in build order.
    r = build("batch.json", {"-batch"});
    ASSERT_EQ(r.status, 0) << r.err;
    QStringList outputs;
    for (const Entry& e : entries("batch.json"))
        outputs << e.output.mid(box.path().size());
    EXPECT_EQ(outputs, QStringList({"/lib/Debug/util.hzo", "/lib/Debug/start.hzo",
                                    "/lib/Release/util.hzo", "/lib/Release/start.hzo",
                                    "/app/Debug/main.hzo", "/app/Release/main.hzo"}));

    // A failed build still lists the steps it decided, the failed one too.
    write("lib/util.c", "#error broken\n");
    box.setTime("lib/Debug/util.hzo", past - 1);
    r = build("failed.json");
    const std::vector<Entry> failed = entries("failed.json");
    ASSERT_EQ(failed.size(), 1u) << r.out;
    EXPECT_EQ(failed[0].file, box.file("lib/util.c"));
}

// Set, empty or unwritable: standard output and exit status stay as they are
// without the variable, and only a failed write adds a line on standard error.
TEST_P(CompileCommandsFile, NeverChangesOutputOrStatus) {
    const QStringList clean{"-clean"};
    const e2e::Result plain = build(QString());
    ASSERT_EQ(build(QString(), clean).status, 0);
    const e2e::Result empty = build(QStringLiteral(""));
    ASSERT_EQ(build(QString(), clean).status, 0);
    const e2e::Result unwritable = build("missing/cc.json");
    ASSERT_EQ(build(QString(), clean).status, 0);
    const e2e::Result written = build("cc.json");

    EXPECT_EQ(compileLines(plain.out).size(), 3) << plain.out;
    for (const e2e::Result* r : {&empty, &unwritable, &written}) {
        EXPECT_EQ(r->out, plain.out);
        EXPECT_EQ(r->status, plain.status);
    }
    EXPECT_EQ(empty.err, plain.err);
    EXPECT_EQ(unwritable.err, plain.err + "slipway: can't write compilation database '" +
                                  box.file("missing/cc.json").toStdString() +
                                  "': No such file or directory\n");
}

INSTANTIATE_TEST_SUITE_P(Strict, CompileCommandsFile, ::testing::Bool());

} // namespace
