// SLIPWAY_JOBS: several commands at once, with standard output, standard
// error, exit status and every output file those of a serial build.

#include "E2E.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Two libraries of seven files each (one assembled) and an application that
// links both; the first library's fourth file can be broken.
QByteArray solution() {
    QByteArray projects;
    for (const char* lib : {"alpha", "beta"}) {
        projects += QByteArray("<project Name=\"") + lib +
                    "\"><configuration Name=\"Common\" project_type=\"Library\" "
                    "project_directory=\"" +
                    lib + "\"/>";
        for (int i = 0; i < 6; ++i)
            projects += "<file file_name=\"f" + QByteArray::number(i) + ".c\"/>";
        projects += "<file file_name=\"start.s\"/></project>\n";
    }
    return "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n"
           "<configuration Name=\"Debug\"/>\n" +
           projects +
           "<project Name=\"app\"><configuration Name=\"Common\" project_type=\"Executable\" "
           "project_directory=\"app\" project_dependencies=\"alpha;beta\"/>"
           "<file file_name=\"main.c\"/></project>\n</solution>\n";
}

void writeTree(const e2e::Sandbox& box, bool broken) {
    box.write("s.hzp", solution());
    for (const char* lib : {"alpha", "beta"}) {
        for (int i = 0; i < 6; ++i) {
            const QByteArray name = lib + QByteArray::number(i);
            const bool fails = broken && name == "alpha3";
            box.write(QString("%1/f%2.c").arg(lib).arg(i),
                      fails ? "#error broken\n" : "int " + name + "(void) { return 1; }\n");
        }
        box.write(QString("%1/start.s").arg(lib), "  nop\n");
    }
    box.write("app/main.c", "int main(void) { return 0; }\n");
}

// Runs the same build serially and with four jobs, each in a tree of its
// own, and answers both results with the trees' paths made alike.
struct Pair {
    e2e::Result serial, parallel;
};

Pair buildBoth(const QStringList& arguments, bool broken, bool strict,
               e2e::Sandbox* boxes = nullptr) {
    e2e::Sandbox local[2];
    e2e::Sandbox* box = boxes ? boxes : local;
    e2e::Result results[2];
    for (int i = 0; i < 2; ++i) {
        writeTree(box[i], broken);
        box[i].setEnvironment("SLIPWAY_JOBS", i ? "4" : "1");
        if (strict) box[i].setEnvironment("SLIPWAY_STRICT", "1");
        results[i] = box[i].run(arguments + QStringList{"s.hzp"});
        for (std::string* text : {&results[i].out, &results[i].err}) {
            QString t = QString::fromStdString(*text);
            t.replace(box[i].path(), "ROOT");
            *text = t.toStdString();
        }
    }
    return {results[0], results[1]};
}

void expectSame(const Pair& p) {
    EXPECT_EQ(p.parallel.status, p.serial.status);
    EXPECT_EQ(p.parallel.out, p.serial.out);
    EXPECT_EQ(p.parallel.err, p.serial.err);
}

} // namespace

TEST(ParallelBuild, PrintsWhatASerialBuildPrints) {
    const struct {
        QStringList arguments;
        bool broken;
        bool strict;
    } cases[] = {
        {{"-config", "Debug", "-echo", "-verbose"}, false, false},
        {{"-config", "Debug", "-echo", "-verbose"}, true, false},
        {{"-config", "Debug", "-echo"}, true, true},
        {{"-config", "Debug", "-rebuild", "-verbose"}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString() + (c.broken ? " broken" : "") +
                     (c.strict ? " strict" : ""));
        e2e::Sandbox boxes[2];
        const Pair first = buildBoth(c.arguments, c.broken, c.strict, boxes);
        expectSame(first);
        if (c.broken) {
            // The failure is the one a serial build meets; nothing after it.
            EXPECT_NE(first.serial.out.find("f3.c"), std::string::npos) << first.serial.out;
            EXPECT_EQ(first.serial.out.find("f4.c"), std::string::npos) << first.serial.out;
        }
        // And again on the trees the first builds left.
        e2e::Result again[2];
        for (int i = 0; i < 2; ++i) {
            again[i] = boxes[i].run(c.arguments + QStringList{"s.hzp"});
            QString out = QString::fromStdString(again[i].out);
            again[i].out = out.replace(boxes[i].path(), "ROOT").toStdString();
        }
        EXPECT_EQ(again[1].out, again[0].out);
        EXPECT_EQ(again[1].status, again[0].status);
    }
}

// A parallel build of the bundled example makes the outputs and packages
// of a serial one (in the same place: objects record their sources' paths),
// and leaves nothing to do.
TEST(ParallelBuild, MakesTheOutputsOfASerialBuild) {
    e2e::Sandbox box;
    const QString root = box.file("demo");
    e2e::Tree trees[2];
    for (int i = 0; i < 2; ++i) {
        QDir(root).removeRecursively();
        QDir(box.file("cache")).removeRecursively();
        e2e::copyTree(QStringLiteral(SLIPWAY_SOURCE_DIR "/examples/demo"), root);
        box.setEnvironment("SLIPWAY_JOBS", i ? "auto" : QString());
        for (const char* configuration : {"Debug", "Release"})
            ASSERT_EQ(box.run({"-config", configuration, "demo.hzp"}, root).status, 0);
        trees[i] = e2e::snapshot(root);
    }
    ASSERT_EQ(trees[1].keys(), trees[0].keys());
    for (const QString& file : trees[0].keys())
        EXPECT_TRUE(trees[1][file] == trees[0][file]) << file.toStdString();
    const e2e::Result again = box.run({"-config", "Debug", "-echo", "demo.hzp"}, root);
    EXPECT_EQ(e2e::runsOf(again.out, "hcc"), 0) << again.out;
}

// Commands really overlap, never more than asked; unset, 1 or a value that
// is not a number of jobs runs one at a time.
TEST(ParallelBuild, RunsAtMostTheJobsAsked) {
    const struct {
        const char* jobs;
        int most;
        bool warned;
    } cases[] = {{"3", 3, false}, {nullptr, 1, false}, {"1", 1, false}, {"many", 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.jobs ? c.jobs : "unset");
        e2e::Sandbox box;
        const QString bin = box.makeStudio() + "/bin";
        // The compiler notes how many compilers run while it starts, then
        // takes its time.
        QFile::remove(bin + "/hcc");
        box.write("studio/bin/hcc",
                  "#!/bin/sh\nd=" + box.file("probe").toUtf8() +
                      "\nmkdir -p \"$d\"\ntouch \"$d/run.$$\"\nls \"$d\" | grep -c '^run' >> "
                      "\"$d.counts\"\nsleep 0.3\nrm -f \"$d/run.$$\"\nexec " +
                      QFile::encodeName(e2e::builtStudioDir()) + "/bin/hcc \"$@\"\n");
        QFile::setPermissions(bin + "/hcc", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writeTree(box, false);
        box.setEnvironment("SLIPWAY_JOBS", c.jobs ? QString(c.jobs) : QString());
        const e2e::Result r = box.run({"-config", "Debug", "s.hzp"});
        ASSERT_EQ(r.status, 0) << r.err;
        int most = 0;
        for (const QString& n : QString::fromStdString(box.read("probe.counts")).split('\n'))
            most = std::max(most, n.toInt());
        EXPECT_EQ(most, c.most);
        EXPECT_EQ(r.err.find("SLIPWAY_JOBS") != std::string::npos, c.warned) << r.err;
    }
}
