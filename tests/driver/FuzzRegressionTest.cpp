// Inputs found by the fuzz targets in fuzz/.

#include "base/HReporter.h"
#include "driver/ArgParse.h"
#include "driver/SlipwayArgParse.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class Plain : public ArgParse {
public:
    explicit Plain(HReporter* r) : ArgParse(r) {}
    void onArgument(const char*) override { ++arguments; }
    int arguments = 0;
};

void write(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

// Files that name themselves, or the next file, more than once: every "@"
// word starts a full descent again, so the reads multiply at each level (3^100
// for "self" below). The reads per command-line word are bounded instead, and
// each "@" word past the bound is refused. Run in a child with an alarm so
// that a regression fails instead of hanging.
TEST(DriverFuzzRegression, IndirectFilesNamedSeveralTimes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(chdir(QFile::encodeName(dir.path()).constData()), 0);
    write("self", "@self x @self\n@self\n");
    // A chain of distinct files, each naming the next twice: 2^10 - 1 reads
    // without ever nesting 100 deep, all of them legal.
    for (int i = 0; i < 9; ++i)
        write(QString("f%1").arg(i), QString("@f%1 @f%1\n").arg(i + 1).toLatin1());
    write("f9", "y\n");

    struct Case {
        const char* file;
        int least, most; // plain words seen
        bool errors;
    } cases[] = {
        {"self", ArgParse::maxIndirectFiles, ArgParse::maxIndirectFiles, true}, // one "x" a file
        {"f0", 1 << 9, 1 << 9, false},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                alarm(10);
                FILE* sink = std::fopen("/dev/null", "w");
                HReporter report("prog", sink);
                Plain p(&report);
                p.parseArgsFromIndirectFile(c.file);
                const bool ok = (report.errorCount() > 0) == c.errors && p.arguments >= c.least &&
                                p.arguments <= c.most && p.indirectDepth() == 0;
                std::fprintf(stderr, "errors %d arguments %d\n", report.errorCount(), p.arguments);
                std::_Exit(ok ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << c.file;
    }
    EXPECT_EQ(chdir("/"), 0);
}

// "-help" inside an indirect file ends the parse by an exception; the file
// must be closed on that path too, or the fuzz target runs out of descriptors.
TEST(DriverFuzzRegression, HelpInsideAnIndirectFileClosesIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(chdir(QFile::encodeName(dir.path()).constData()), 0);
    write("help", "x\n-help\n");
    const auto openFiles = [] {
        int n = 0;
        for (QDirIterator it("/proc/self/fd", QDir::Files | QDir::System); it.hasNext(); it.next())
            ++n;
        return n;
    };
    EXPECT_EXIT(
        {
            ::dup2(::open("/dev/null", O_WRONLY), 2); // the help text
            FILE* sink = std::fopen("/dev/null", "w");
            HReporter report("prog", sink);
            const int before = openFiles();
            bool ended = true;
            for (int i = 0; i < 2000 && ended; ++i) {
                SlipwayArgParse args(&report);
                ended = false;
                try {
                    args.parseArgsFromIndirectFile("help");
                } catch (const DriverExit&) {
                    ended = args.indirectDepth() == 0;
                }
            }
            std::_Exit(ended && openFiles() == before ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(chdir("/"), 0);
}
