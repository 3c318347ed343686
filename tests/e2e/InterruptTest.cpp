// SIGINT, SIGTERM and SIGHUP during a build: the running command is stopped and
// waited for, nothing new starts, the tool ends by the signal, and no
// half-written output or package is left for the next build to trust.

#include "E2E.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A slipway run that the test can signal while it works.
class Running {
public:
    // Starts slipway in the sandbox with default signal actions (the test
    // runner may ignore some), no terminal, and output captured in files.
    // With ownGroup it leads a process group of its own, which the test can
    // signal as a terminal signals its foreground job. With piped, standard
    // output is a pipe, as in "slipway ... | cat".
    Running(const e2e::Sandbox& box, const QStringList& arguments, bool ownGroup,
            bool piped = false)
        : m_box(box) {
        std::vector<QByteArray> words{box.program().toLocal8Bit()};
        for (const QString& a : arguments)
            words.push_back(a.toLocal8Bit());
        QProcessEnvironment env = e2e::cleanEnvironment();
        env.insert("HOME", box.file("home"));
        env.insert("XDG_CONFIG_HOME", box.file("config"));
        env.insert("XDG_CACHE_HOME", box.file("cache"));
        std::vector<QByteArray> entries;
        for (const QString& key : env.keys())
            entries.push_back((key + "=" + env.value(key)).toLocal8Bit());
        std::vector<char*> argv, envp;
        for (QByteArray& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        for (QByteArray& e : entries)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const QByteArray dir = box.path().toLocal8Bit();
        const QByteArray out = box.file("stdout").toLocal8Bit();
        const QByteArray err = box.file("stderr").toLocal8Bit();

        int pipe[2] = {-1, -1};
        if (piped && ::pipe2(pipe, O_CLOEXEC) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            if (ownGroup) ::setpgid(0, 0);
            for (int sig : {SIGINT, SIGTERM})
                ::signal(sig, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            const int in = ::open("/dev/null", O_RDONLY);
            const int o =
                piped ? pipe[1] : ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || o < 0 || e < 0 || ::chdir(dir.constData()) != 0) ::_exit(127);
            ::dup2(in, 0);
            ::dup2(o, 1);
            ::dup2(e, 2);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (ownGroup && m_pid > 0) ::setpgid(m_pid, m_pid); // whichever runs first
        if (piped) {
            ::close(pipe[1]);
            m_pipe = pipe[0];
        }
    }
    ~Running() {
        if (m_pipe >= 0) ::close(m_pipe);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    bool started() const { return m_pid > 0; }
    void signal(int sig, bool group) const { group ? ::killpg(m_pid, sig) : ::kill(m_pid, sig); }

    // The wait status once it ends, or -1 when it is still running after
    // timeoutMs (it is then killed).
    int finish(int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        int status = 0;
        pid_t r;
        while ((r = ::waitpid(m_pid, &status, WNOHANG)) == 0) {
            if (clock.elapsed() > timeoutMs) return -1;
            QThread::msleep(5);
        }
        if (r < 0) return -1;
        m_pid = -1;
        return status;
    }

    std::string out() const { return m_box.read("stdout"); }

    // Whether every writer of the output pipe has closed it within timeoutMs.
    bool pipeClosed(int timeoutMs) const {
        QElapsedTimer clock;
        clock.start();
        char buffer[4096];
        for (;;) {
            struct pollfd ready = {m_pipe, POLLIN, 0};
            const int left = int(timeoutMs - clock.elapsed());
            if (left <= 0 || ::poll(&ready, 1, left) <= 0) return false;
            if (::read(m_pipe, buffer, sizeof buffer) == 0) return true;
        }
    }
    std::string err() const { return m_box.read("stderr"); }

private:
    const e2e::Sandbox& m_box;
    pid_t m_pid = -1;
    int m_pipe = -1;
};

// Polls for what a command does once it is under way.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QThread::usleep(500);
    }
    return true;
}

bool gone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

void writeScript(const e2e::Sandbox& box, const QString& name, const QByteArray& text) {
    box.write(name, "#!/bin/sh\n" + text);
    QFile::setPermissions(box.file(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

const std::string startedLines = "  Building \"one\" in configuration \"Debug\"\n"
                                 "    Combining one\n";

} // namespace

// The combine command writes half its output and, while the file "hang"
// exists, waits (ignoring SIGTERM and SIGINT when told to) until stopped.
TEST(Interrupt, RunningCommandIsStoppedAndItsOutputRebuilt) {
    struct Case {
        int sig;
        bool group;       // as from a terminal: the command gets the signal too
        bool ignoresTerm; // only SIGKILL after the grace period ends it
    } cases[] = {
        {SIGINT, false, false}, {SIGTERM, false, false}, {SIGINT, true, false},
        {SIGTERM, false, true}, {SIGHUP, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "signal " << c.sig << (c.group ? " to the group" : "")
                                          << (c.ignoresTerm ? ", command ignores it" : ""));
        e2e::Sandbox box;
        writeScript(box, "combine.sh",
                    "echo $$ > pid.$2\nprintf half > \"$1\"\n"
                    "if [ -f hang ]; then\n" +
                        QByteArray(c.ignoresTerm ? "  trap '' TERM INT\n" : "") +
                        "  touch started\n  exec sleep 30\nfi\nprintf whole >> \"$1\"\n");
        box.write("a.txt", "a\n");
        box.write("hang", "");
        QByteArray projects;
        for (const char* name : {"one", "two"})
            projects += QByteArray("<project Name=\"") + name +
                        "\"><configuration Name=\"Common\" project_type=\"Combining\" "
                        "combine_output_filepath=\"$(OutDir)/" +
                        name + ".txt\" combine_command=\"" + box.file("combine.sh").toUtf8() +
                        " $(CombiningOutputFilePath) " + name +
                        "\"/><file file_name=\"a.txt\"/></project>\n";
        box.write("s.hzp", "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">"
                           "<configuration Name=\"Debug\"/>\n" +
                               projects + "</solution>\n");

        {
            Running run(box, {"-config", "Debug", "s.hzp"}, c.group);
            ASSERT_TRUE(run.started());
            ASSERT_TRUE(waitUntil([&] { return box.exists("started"); })) << run.err();
            const pid_t command = pid_t(std::stol(box.read("pid.one")));
            run.signal(c.sig, c.group);
            const int status = run.finish(10000);
            ASSERT_NE(status, -1) << "still running";
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << status;
            EXPECT_EQ(run.err(), box.prefix() + "interrupted\n");
            EXPECT_EQ(run.out(), startedLines);
            EXPECT_TRUE(gone(command));
            EXPECT_FALSE(box.exists("Debug/one.txt")) << "half-written output left";
            EXPECT_FALSE(box.exists("pid.two")) << "second project started";
        }

        QFile::remove(box.file("hang"));
        const e2e::Result again = box.run({"-config", "Debug", "s.hzp"});
        EXPECT_EQ(again.status, 0);
        EXPECT_EQ(box.read("Debug/one.txt"), "halfwhole");
        EXPECT_EQ(box.read("Debug/two.txt"), "halfwhole");
    }
}

// Staging leaves a whole package, old or new: a stage command that is
// stopped leaves the package as it was and its half-copied file is removed;
// a package update under way (work of the tool itself) completes, without a
// temporary file beside the package, and the next file is not staged.
TEST(Interrupt, StagingLeavesAWholePackage) {
    e2e::Sandbox box;
    writeScript(box, "stage.sh",
                "if [ -f hang ]; then printf half > \"$1\"; touch started; exec sleep 30; fi\n"
                "cp big.bin \"$1\"\n");
    box.write("s.hzp", R"xml(<!DOCTYPE Halyard_Project_File>
<solution Name="s" version="1">
  <configuration Name="Debug"/>
  <project Name="st">
    <configuration Name="Common" project_type="Staging" stage_package_filepath="$(OutDir)/fw.hzq"/>
    <file file_name="big.bin"><configuration Name="Common" stage_package_member_name="big"
      stage_command="./stage.sh $(StageOutputFilePath)"/></file>
    <file file_name="small.txt"><configuration Name="Common" stage_package_member_name="small"/></file>
  </project>
</solution>
)xml");
    box.write("small.txt", "small\n");
    box.write("big.bin", "old\n");
    box.setTime("big.bin", 1600000000);
    box.setTime("small.txt", 1600000000);
    ASSERT_EQ(box.run({"-config", "Debug", "s.hzp"}).status, 0);
    const std::string oldPackage = box.read("Debug/fw.hzq");
    box.setTime("Debug/big.bin", 1600000000);
    box.setTime("Debug/small.txt", 1600000000);

    // Large and incompressible enough that the update takes a while.
    QByteArray big(12 << 20, '\0');
    quint32 seed = 12345;
    for (char& byte : big) {
        seed = seed * 1664525u + 1013904223u;
        byte = char(seed >> 24);
    }
    box.write("big.bin", big);
    box.write("small.txt", "small 2\n");
    const QDir out(box.file("Debug"));
    const auto files = [&] { return out.entryList(QDir::Files | QDir::Hidden).join(' '); };
    const std::string copying =
        "  Building \"st\" in configuration \"Debug\"\n    Copying big.bin\n";
    const auto interrupt = [&](const std::function<bool()>& when, int sig,
                               const std::string& printed) {
        Running run(box, {"-config", "Debug", "s.hzp"}, false);
        ASSERT_TRUE(waitUntil(when)) << run.out();
        run.signal(sig, false);
        const int status = run.finish(20000);
        ASSERT_NE(status, -1) << "still running";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(run.err(), box.prefix() + "interrupted\n");
        // Nothing more is even looked at: one file's step began, not the other's.
        EXPECT_EQ(run.out(), printed);
        EXPECT_EQ(box.read("Debug/small.txt"), "small\n") << "second file staged after the signal";
    };

    box.write("hang", "");
    interrupt([&] { return box.exists("started"); }, SIGINT, copying);
    EXPECT_EQ(files().toStdString(), "fw.hzq small.txt");
    EXPECT_TRUE(box.read("Debug/fw.hzq") == oldPackage) << "package changed";

    QFile::remove(box.file("hang"));
    interrupt([&] { return !out.entryList({"fw.hzq.*"}, QDir::Files | QDir::Hidden).isEmpty(); },
              SIGTERM,
              copying + "    adding " + box.file("Debug/big.bin").toStdString() +
                  " to Debug/fw.hzq(big).\n");
    EXPECT_EQ(files().toStdString(), "big.bin fw.hzq small.txt");
    QFile package(box.file("Debug/fw.hzq"));
    ASSERT_TRUE(package.open(QIODevice::ReadOnly));
    const QByteArray archive = qUncompress(package.readAll().mid(8));
    // Members in order: small (unchanged), then big, replaced by the new data.
    ASSERT_GE(archive.size(), 8 + 2 * 1040);
    EXPECT_EQ(archive.mid(8, 6), QByteArray("small\0", 6));
    EXPECT_EQ(archive.mid(8 + 1040, 4), QByteArray("big\0", 4));
    EXPECT_TRUE(archive.endsWith(big)) << "package does not hold the whole new member";
}

// A link and its post-build command are one step: stopping the post-build
// command removes the fresh executable, so the next build links and runs it
// again, while the objects compiled before stay. What the command started in
// the background is stopped with it and no longer holds the output open.
TEST(Interrupt, PostBuildCommandIsPartOfTheLink) {
    e2e::Sandbox box;
    box.makeStudio();
    writeScript(box, "post.sh",
                "echo post >> ../post.log\n"
                "if [ -f ../hang ]; then sleep 30 & touch ../started; wait; fi\n");
    box.write("fw.hzp", "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"fw\" version=\"1\">\n"
                        "<configuration Name=\"Debug\"/>\n<project Name=\"app\"><configuration "
                        "Name=\"Common\" project_type=\"Executable\" project_directory=\"app\" "
                        "linker_post_build_command=\"" +
                            box.file("post.sh").toUtf8() +
                            "\"/><file file_name=\"main.c\"/></project>\n</solution>\n");
    box.write("app/main.c", "int main(void) { return 0; }\n");
    box.write("hang", "");
    {
        Running run(box, {"-config", "Debug", "fw.hzp"}, false, true);
        ASSERT_TRUE(waitUntil([&] { return box.exists("started"); })) << run.err();
        run.signal(SIGINT, false);
        const int status = run.finish(10000);
        EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
        EXPECT_TRUE(run.pipeClosed(3000));
    }
    EXPECT_FALSE(box.exists("app/Debug/app.hzx"));
    EXPECT_TRUE(box.exists("app/Debug/main.hzo"));

    QFile::remove(box.file("hang"));
    const e2e::Result again = box.run({"-config", "Debug", "-echo", "fw.hzp"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out.find("/bin/hcc "), std::string::npos) << again.out;
    EXPECT_NE(again.out.find("/bin/hld "), std::string::npos) << again.out;
    EXPECT_TRUE(box.exists("app/Debug/app.hzx"));
    EXPECT_EQ(box.read("post.log"), "post\npost\n");
}

// A first signal lets the tool finish what it is doing itself; when that is
// stuck (here the builtin cp reading a FIFO nobody writes), a second signal
// ends it at once.
TEST(Interrupt, ASecondSignalEndsTheToolAtOnce) {
    e2e::Sandbox box;
    box.write("s.hzp", "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">"
                       "<configuration Name=\"Debug\"/><project Name=\"st\"><configuration "
                       "Name=\"Common\" project_type=\"Staging\"/><file file_name=\"in\"/>"
                       "</project></solution>\n");
    const QByteArray fifo = QFile::encodeName(box.file("in"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    Running run(box, {"-config", "Debug", "s.hzp"}, false);
    int writer = -1; // opens once the copy is reading; held open, never written
    ASSERT_TRUE(
        waitUntil([&] { return (writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK)) >= 0; }));
    run.signal(SIGINT, false);
    EXPECT_EQ(run.finish(300), -1) << "the first signal ended the tool";
    run.signal(SIGINT, false);
    const int status = run.finish(3000);
    EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    ::close(writer);
}
