// A build that was killed, ran out of disk or met a FIFO or device where a
// file belongs leaves nothing that a later build would trust, and ends.

#include "E2E.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const qint64 past = 1000000000;
const int boundMs = 10000; // a run past this hangs

QByteArray stagingSolution(const QByteArray& output, const QByteArray& command) {
    return "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n"
           "<configuration Name=\"Debug\"/>\n"
           "<project Name=\"st\"><configuration Name=\"Common\" project_type=\"Staging\"/>"
           "<file file_name=\"in.xml\"><configuration Name=\"Common\" stage_output_filepath=\"" +
           output + "\"" + (command.isEmpty() ? "" : " stage_command=\"" + command + "\"") +
           "/></file></project>\n</solution>\n";
}

QByteArray bigXml() {
    QByteArray text = "<Root><MemorySegment name=\"P\" start=\"0\">";
    for (int i = 0; i < 4000; ++i)
        text += "<Register name=\"R" + QByteArray::number(i) + "\" start=\"" +
                QByteArray::number(2 * i) + "\" size=\"2\"/>";
    return text + "</MemorySegment></Root>\n";
}

} // namespace

// Killed while the builtin cp wrote (here by the file size limit): the next
// build copies again instead of trusting a cut-off file.
TEST(CrashSafety, CopyCutShortByACrashIsCopiedAgain) {
    e2e::Sandbox box;
    box.write("s.hzp", stagingSolution("$(OutDir)/in.xml", ""));
    const QByteArray big = bigXml();
    ASSERT_GT(big.size(), 128 * 1024);
    box.write("in.xml", big);
    box.setTime("in.xml", past);

    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const e2e::Result killed = box.run({"-config", "Debug", "s.hzp"}, QString(), boundMs);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(killed.status, -1) << killed.out << killed.err;
    EXPECT_FALSE(box.exists("Debug/in.xml"));

    const e2e::Result again = box.run({"-config", "Debug", "s.hzp"}, QString(), boundMs);
    EXPECT_EQ(again.out, "  Building \"st\" in configuration \"Debug\"\n    Copying in.xml\n");
    EXPECT_TRUE(box.read("Debug/in.xml") == big.toStdString());
}

// On a full disk each builtin that writes fails with its message and leaves
// neither a part of its output nor a temporary.
TEST(CrashSafety, BuiltinsOnAFullDiskLeaveNoPartFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    e2e::Sandbox box;
    const QString disk = box.file("disk");
    QDir().mkpath(disk);
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    box.write("in.xml", bigXml());
    {
        QFile fill(disk + "/fill");
        ASSERT_TRUE(fill.open(QIODevice::WriteOnly));
        while (fill.write(QByteArray(4096, 'x')) > 0 && fill.flush()) {
        }
    }
    const std::string out = (disk + "/out").toStdString();
    const struct {
        QByteArray command;
        std::string error;
    } cases[] = {
        {"", "cp failed"},
        {"xmlcp &quot;$(RelInputPath)&quot; &quot;$(StageOutputFilePath)&quot;",
         "xmlpp can't write " + out},
        {"mkhdr &quot;$(RelInputPath)&quot; &quot;$(StageOutputFilePath)&quot; T",
         "mkhdr can't create " + out},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        box.write("s.hzp", stagingSolution(QFile::encodeName(disk) + "/out", c.command));
        const e2e::Result r = box.run({"-config", "Debug", "s.hzp"}, QString(), boundMs);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find(c.error), std::string::npos) << r.out;
        EXPECT_EQ(QDir(disk).entryList(QDir::Files | QDir::Hidden), QStringList{"fill"});
    }
    ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH);
}

// A FIFO or a device where the tool reads a file of its own is refused at
// once: a solution or import is a load error, a cache is ignored.
TEST(CrashSafety, FifosAndDevicesAreNotRead) {
    e2e::Sandbox box;
    box.makeStudio();
    box.write("s.hzp", "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n"
                       "<configuration Name=\"Debug\"/>\n<project Name=\"lib\"><configuration "
                       "Name=\"Common\" project_type=\"Library\"/><file file_name=\"a.c\"/>"
                       "</project>\n</solution>\n");
    box.write("i.hzp", "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"i\" version=\"1\">\n"
                       "<configuration Name=\"Debug\"/>\n<import file_name=\"pipe.hzp\"/>\n"
                       "</solution>\n");
    box.write("a.c", "int a(void) { return 1; }\n");
    ASSERT_EQ(::mkfifo(QFile::encodeName(box.file("pipe.hzp")).constData(), 0600), 0);
    for (const char* name : {"pipe.hzp", "i.hzp"}) {
        const e2e::Result r = box.run({"-config", "Debug", name}, QString(), boundMs);
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.err, "load error: pipe.hzp cannot access\n");
    }

    const e2e::Result first = box.run({"-config", "Debug", "-echo", "s.hzp"}, QString(), boundMs);
    ASSERT_EQ(e2e::runsOf(first.out, "hcc"), 1) << first.out << first.err;
    const QStringList logs = QDir(box.file("cache/slipway")).entryList(QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const QByteArray log = QFile::encodeName(box.file("cache/slipway/" + logs[0]));
    for (bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "FIFO" : "link to /dev/zero");
        ::unlink(log.constData());
        ASSERT_EQ(fifo ? ::mkfifo(log.constData(), 0600) : ::symlink("/dev/zero", log.constData()),
                  0);
        // Bounded, should a regression read the device to its end; not under
        // the address sanitizer, whose shadow memory needs terabytes of
        // address space (the time bound still holds there).
        struct rlimit old;
        ASSERT_EQ(::getrlimit(RLIMIT_AS, &old), 0);
#ifndef __SANITIZE_ADDRESS__
        struct rlimit bound = old;
        bound.rlim_cur = rlim_t(4) << 30;
        ASSERT_EQ(::setrlimit(RLIMIT_AS, &bound), 0);
#endif
        QElapsedTimer clock;
        clock.start();
        const e2e::Result r = box.run({"-config", "Debug", "-echo", "s.hzp"}, QString(), boundMs);
        ASSERT_EQ(::setrlimit(RLIMIT_AS, &old), 0);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(e2e::runsOf(r.out, "hcc"), 0) << r.out;
        EXPECT_LT(clock.elapsed(), 5000);
    }
}
