// A build killed at any moment (SIGKILL to it and to every command it
// started, as a power cut would) is repaired by the next normal build: all
// outputs are then byte for byte those of an uninterrupted build, and a
// further build does nothing. SLIPWAY_KILL_ROUNDS sets the number of kills
// (the soak run asks for thousands).

#include "E2E.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using e2e::copyTree;
using e2e::snapshot;
using e2e::Tree;

// The files each variant changes; the second variant appends a line.
const struct {
    const char* file;
    const char* line;
} variantEdits[] = {
    {"app/main.c", "int variant(void) { return 1; }\n"},
    {"drivers/led.h", "#define LED_VARIANT 1\n"},
    {"package/README.txt", "variant\n"},
};

void setTime(const QString& file, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, AT_SYMLINK_NOFOLLOW);
}

// Switches the sources to a variant whose edits are newer than every other
// file, which all get one old time, so that whole-second times never make an
// edit look as old as an output.
void useVariant(const QString& root, const QString& original, int variant) {
    const time_t now = std::time(nullptr);
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        setTime(it.next(), now - 3);
    for (const auto& edit : variantEdits) {
        QFile in(original + "/" + edit.file);
        QByteArray text = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
        if (variant) text += edit.line;
        QFile out(root + "/" + edit.file);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) out.write(text);
        out.close();
        setTime(out.fileName(), now - 2);
    }
}

// Kills every process still working in root: commands the killed build
// started run in process groups of their own.
void killLeftovers(const QString& root) {
    const QString prefix = QDir(root).canonicalPath() + "/";
    for (int pass = 0; pass < 200; ++pass) {
        bool found = false;
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
            if (pid.toInt() <= 0 || pid.toInt() == int(::getpid())) continue;
            const QString cwd = QFile::symLinkTarget("/proc/" + pid + "/cwd") + "/";
            if (!cwd.startsWith(prefix)) continue;
            ::kill(pid.toInt(), SIGKILL);
            found = true;
        }
        if (!found) return;
        ::usleep(2000);
    }
}

class KillTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = box.file("demo");
        copyTree(QStringLiteral(SLIPWAY_SOURCE_DIR "/examples/demo"), root);
    }

    // Starts a build of the configuration in a process group of its own.
    pid_t start(const char* configuration = "Debug") {
        const QByteArray program = QFile::encodeName(box.program());
        const QByteArray home = QFile::encodeName(box.file("home"));
        const QByteArray config = QFile::encodeName(box.file("config"));
        const QByteArray cache = QFile::encodeName(box.file("cache"));
        const QByteArray directory = QFile::encodeName(root);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            e2e::clearExtensionEnvironment();
            ::setenv("HOME", home.constData(), 1);
            ::setenv("XDG_CONFIG_HOME", config.constData(), 1);
            ::setenv("XDG_CACHE_HOME", cache.constData(), 1);
            if (::chdir(directory.constData()) == 0)
                ::execl(program.constData(), program.constData(), "-config", configuration,
                        "demo.hzp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::setpgid(pid, pid);
        return pid;
    }

    // Starts a build and kills its group after delayMs unless it ended
    // before; answers how long it ran, and whether it was killed.
    qint64 killedBuild(qint64 delayMs, bool* killed = nullptr) {
        QElapsedTimer clock;
        clock.start();
        const pid_t pid = start();
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (clock.elapsed() >= delayMs) {
                ::kill(-pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            ::usleep(500);
        }
        const qint64 ran = clock.elapsed();
        if (killed) *killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        killLeftovers(root);
        return ran;
    }

    e2e::Result build(const QStringList& extra = {}, const QString& configuration = "Debug") {
        return box.run(QStringList{"-config", configuration} + extra + QStringList{"demo.hzp"},
                       root);
    }

    e2e::Sandbox box;
    QString root;
};

} // namespace

TEST_F(KillTest, EveryKillIsRepairedByTheNextBuild) {
    const char* asked = std::getenv("SLIPWAY_KILL_ROUNDS");
    const int rounds = asked ? std::atoi(asked) : 100;
    const QString original = QStringLiteral(SLIPWAY_SOURCE_DIR "/examples/demo");

    // The reference of each variant, and how long switching to it takes.
    ASSERT_EQ(build().status, 0);
    Tree reference[2];
    std::string quiet;
    qint64 span = 0;
    for (int variant : {1, 0}) {
        useVariant(root, original, variant);
        span = qMax(span, killedBuild(60000));
        const e2e::Result again = build();
        ASSERT_EQ(again.status, 0) << again.err;
        quiet = again.out;
        reference[variant] = snapshot(root);
    }
    ASSERT_NE(reference[0].value("app/Debug/app-debug.hex"),
              reference[1].value("app/Debug/app-debug.hex"));
    ASSERT_EQ(quiet.find("Compiling"), std::string::npos) << quiet;

    int killed = 0;
    for (int round = 0; round < rounds && !HasFailure(); ++round) {
        const int variant = (round + 1) % 2;
        useVariant(root, original, variant);
        // Kill times step across the build, a little past its usual end.
        const qint64 delay = span * 6 / 5 * round / rounds;
        bool wasKilled = false;
        killedBuild(delay, &wasKilled);
        killed += wasKilled;
        SCOPED_TRACE("round " + std::to_string(round) + ", killed after " + std::to_string(delay) +
                     " ms");
        const e2e::Result repair = build();
        ASSERT_EQ(repair.status, 0) << repair.out << repair.err;
        const Tree now = snapshot(root);
        for (auto it = reference[variant].constBegin(); it != reference[variant].constEnd(); ++it)
            EXPECT_TRUE(now.value(it.key()) == it.value()) << it.key().toStdString() << "\n"
                                                           << repair.out;
        const e2e::Result nothing = build();
        EXPECT_EQ(nothing.out, quiet);
    }
    EXPECT_GE(killed, rounds / 2);
}

// An object whose recorded dependencies cannot be read is remade, however new
// it is, and nothing is remembered for it.
TEST_F(KillTest, UnreadableObjectsAreRebuilt) {
    ASSERT_EQ(build().status, 0);
    const QString object = root + "/drivers/Debug/obj/led.hzo";
    QFile good(object);
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    good.close();
    const struct {
        const char* what;
        QByteArray content;
    } cases[] = {
        {"truncated", bytes.left(bytes.size() / 3)},
        {"zeroed", QByteArray(bytes.size(), '\0')},
        {"not an object", "int led;\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (int round = 0; round < 2; ++round) {
            QFile bad(object);
            ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
            bad.write(c.content);
            bad.close();
            const e2e::Result r = build({"-echo", "-verbose"});
            EXPECT_EQ(e2e::runsOf(r.out, "hcc"), 1) << r.out;
            EXPECT_NE(r.out.find("led.hzo is not a readable object file."), std::string::npos);
        }
        EXPECT_EQ(e2e::runsOf(build({"-echo"}).out, "hcc"), 0);
    }
}

// Two configurations built at once share the combined header, and each
// stages it into its package: nothing is ever cut short or trusted stale. A
// temporary left beside a package by a killed update goes at the next one.
TEST_F(KillTest, ConcurrentConfigurationsStayWhole) {
    const QString original = QStringLiteral(SLIPWAY_SOURCE_DIR "/examples/demo");
    Tree reference[2];
    for (int variant : {1, 0}) {
        useVariant(root, original, variant);
        ASSERT_EQ(build({}, "Debug").status, 0);
        ASSERT_EQ(build({}, "Release").status, 0);
        reference[variant] = snapshot(root);
    }
    const QString stale = root + "/package/Release/firmware.hzq.Ab12Cd";
    {
        QFile temporary(stale);
        ASSERT_TRUE(temporary.open(QIODevice::WriteOnly));
        temporary.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    for (int round = 0; round < 50 && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int variant = (round + 1) % 2;
        useVariant(root, original, variant);
        const pid_t debug = start("Debug"), release = start("Release");
        int status[2] = {-1, -1};
        ::waitpid(debug, &status[0], 0);
        ::waitpid(release, &status[1], 0);
        EXPECT_EQ(status[0], 0);
        EXPECT_EQ(status[1], 0);
        const Tree now = snapshot(root);
        for (auto it = reference[variant].constBegin(); it != reference[variant].constEnd(); ++it)
            EXPECT_TRUE(now.value(it.key()) == it.value()) << it.key().toStdString();
    }
    EXPECT_FALSE(QFile::exists(stale));
}
