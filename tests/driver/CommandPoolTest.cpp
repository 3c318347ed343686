#include "driver/CommandPool.h"
#include "driver/SlipwayBuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

RunAhead::Command shell(const char* script) {
    RunAhead::Command command;
    command.command = QStringList{"/bin/sh", "-c", script};
    return command;
}

// Everything a command printed, on whichever stream.
std::string printed(const CommandPool::Outcome& o) {
    return (o.output + o.errors).toStdString();
}

class CommandPoolTest : public ::testing::Test {
protected:
    CommandPoolTest() : out(std::tmpfile()), builder(false, false, out) {}
    ~CommandPoolTest() override { std::fclose(out); }
    FILE* out;
    SlipwayBuilder builder;
};

} // namespace

TEST_F(CommandPoolTest, RunsStepsSideBySideAndKeepsEachOnesOutput) {
    CommandPool pool(2, builder);
    int started = 0;
    QTemporaryDir dir;
    const QByteArray flag = QFile::encodeName(dir.filePath("flag"));
    // The first step waits (five seconds at most) for a file the second makes.
    const QByteArray wait = "for i in $(seq 500); do [ -e " + flag +
                            " ] && echo slow && exit 0; sleep 0.01; done; exit 1";
    const int slow = pool.submit({shell(wait.constData())}, [&] { ++started; });
    const QByteArray make = "echo one; touch " + flag;
    const int quick = pool.submit({shell(make.constData()), shell("echo two; echo oops >&2")},
                                  [&] { ++started; });
    EXPECT_EQ(started, 2);

    pool.beginReplay(slow);
    ASSERT_TRUE(pool.succeeded(slow));
    EXPECT_EQ(printed(*pool.nextOutcome()), "slow\n");
    // More doit() calls than commands: reported as never run.
    EXPECT_FALSE(pool.nextOutcome()->ran);
    pool.endReplay();

    pool.beginReplay(quick);
    EXPECT_TRUE(pool.succeeded(quick));
    EXPECT_EQ(printed(*pool.nextOutcome()), "one\n");
    const CommandPool::Outcome* second = pool.nextOutcome();
    EXPECT_EQ(printed(*second), "two\noops\n");
    EXPECT_EQ(second->status, 0);
    pool.endReplay();
    EXPECT_EQ(pool.nextOutcome(), nullptr);
}

TEST_F(CommandPoolTest, AfterAFailureNoStepStartsUntilTheEngineCatchesUp) {
    CommandPool pool(1, builder);
    const int failing = pool.submit({shell("exit 3"), shell("echo never")}, {});
    // One job: this waits for the failing step, then does not start.
    const int after = pool.submit({shell("echo after")}, {});
    EXPECT_TRUE(pool.stopping());
    EXPECT_TRUE(pool.started(failing));
    EXPECT_FALSE(pool.started(after));

    pool.beginReplay(failing);
    EXPECT_FALSE(pool.succeeded(failing));
    EXPECT_EQ(pool.nextOutcome()->status, 3);
    EXPECT_FALSE(pool.nextOutcome()->ran); // its second command never ran
    pool.endReplay();
    pool.beginReplay(after);
    EXPECT_FALSE(pool.succeeded(after));
    pool.endReplay();

    pool.caughtUp();
    EXPECT_FALSE(pool.stopping());
    const int again = pool.submit({shell("echo again")}, {});
    pool.beginReplay(again);
    EXPECT_TRUE(pool.succeeded(again));
    pool.endReplay();

    // A program that cannot be started fails as in turn (status -1).
    const int missing =
        pool.submit({RunAhead::Command{{}, false, {"/nonexistent/tool"}, {}, {}}}, {});
    pool.beginReplay(missing);
    EXPECT_EQ(pool.nextOutcome()->status, -1);
    pool.endReplay();
}

TEST(CommandPoolJobs, ComeFromTheEnvironment) {
    const struct {
        const char* value;
        int jobs; // 0: one per processor, at least one
        bool warned;
    } cases[] = {{nullptr, 1, false}, {"", 1, false},     {"1", 1, false},
                 {"6", 6, false},     {"auto", 0, false}, {"0", 0, false},
                 {"-2", 1, true},     {"2x", 1, true},    {"100000", 256, false}};
    for (const auto& c : cases) {
        if (c.value)
            qputenv("SLIPWAY_JOBS", c.value);
        else
            qunsetenv("SLIPWAY_JOBS");
        QString warning;
        const int jobs = CommandPool::jobsFromEnvironment(warning);
        if (c.jobs)
            EXPECT_EQ(jobs, c.jobs) << (c.value ? c.value : "unset");
        else
            EXPECT_GE(jobs, 1) << c.value;
        EXPECT_EQ(!warning.isEmpty(), c.warned) << warning.toStdString();
    }
    qunsetenv("SLIPWAY_JOBS");
}
