#include "E2E.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

// Hostile input: every run ends on its own within a few seconds, without a
// signal, with the documented message or one clear line, and leaves the
// user's files as they were.

namespace {

const char* const librarySolution = R"(<!DOCTYPE Halyard_Project_File>
<solution Name="s" version="1">
  <configuration Name="Debug"/>
  <project Name="lib">
    <configuration Name="Common" project_type="Library" %1/>
    <file file_name="%2"/>
  </project>
</solution>
)";

const int runTimeoutMs = 20000;  // a run past this is a hang: killed, status -1
const qint64 slowMs = 8000;      // what the slowest case may take on a loaded machine
const long maxKiB = 1024 * 1024; // memory: a gigabyte is far past what any case needs

bool isRoot() {
    return ::geteuid() == 0;
}

// The largest resident size any finished child of this process reached.
long childrenPeakKiB() {
    struct rusage usage {};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

int lineCount(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

std::string studioBin(const char* tool) {
    return e2e::builtStudioDir().toStdString() + "/bin/" + tool;
}

const std::string building = "  Building \"lib\" in configuration \"Debug\"\n";

class HostileInput : public ::testing::Test {
protected:
    // Writes the library solution, s.hzp, with these settings and source.
    void solution(const QString& settings, const QString& source = "one.c") {
        box.write("s.hzp", QString::fromLatin1(librarySolution).arg(settings, source).toUtf8());
    }

    // Runs slipway and checks what every hostile run must hold: it ends by
    // itself, within the time and memory bounds, and leaves the solution file
    // untouched.
    e2e::Result run(const QStringList& arguments, const QString& solutionFile = "s.hzp") {
        const QByteArray before = readAll(solutionFile);
        const QDateTime time = QFileInfo(box.file(solutionFile)).lastModified();
        const long peakBefore = childrenPeakKiB();
        QElapsedTimer timer;
        timer.start();
        e2e::Result r = box.run(arguments, QString(), runTimeoutMs);
        const qint64 elapsed = timer.elapsed();
        const std::string what = arguments.join(' ').toStdString();
        EXPECT_NE(r.status, -1) << what << ": crashed or hung";
        EXPECT_LT(elapsed, slowMs) << what;
        const long peak = childrenPeakKiB();
        if (peak > peakBefore) { // this run set a new peak
            EXPECT_LT(peak, maxKiB) << what;
        }
        EXPECT_TRUE(readAll(solutionFile) == before) << what << ": solution file changed";
        EXPECT_EQ(QFileInfo(box.file(solutionFile)).lastModified(), time) << what;
        return r;
    }

    // The whole of a file, named relative to the sandbox or absolute.
    QByteArray readAll(const QString& name) const {
        QFile f(QDir(box.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    e2e::Sandbox box;
};

// A bad XML file is one "load error: bad XML file - " line, status 0.
void expectBadXml(const e2e::Result& r, const std::string& what) {
    EXPECT_EQ(r.status, 0) << what;
    EXPECT_EQ(r.out, "") << what;
    EXPECT_EQ(r.err.rfind("load error: bad XML file - ", 0), 0u) << what << ": " << r.err;
    EXPECT_EQ(lineCount(r.err), 1) << what << ": " << r.err;
}

TEST_F(HostileInput, DamagedAndHugeSolutionFiles) {
    const QByteArray good = QString::fromLatin1(librarySolution).arg("", "one.c").toUtf8();
    const struct {
        const char* name;
        QByteArray contents;
    } damaged[] = {
        {"empty", QByteArray()},
        {"truncated", good.left(good.size() / 2)},
        {"binary", QByteArray("\x7f"
                              "ELF\x02\x01\x01\x00\x00\xff\xfe<solution",
                              20)},
        {"binary-utf",
         QByteArray("<!DOCTYPE Halyard_Project_File>\n<solution Name=\"\xff\xfe\"/>")},
    };
    for (const auto& d : damaged) {
        box.write("damaged.hzp", d.contents);
        expectBadXml(run({"-config", "Debug", "damaged.hzp"}, "damaged.hzp"), d.name);
    }

    // A file cut off where a disk-full save would stop it: 20 MB of small
    // elements, which cost the most per byte.
    const QByteArray head = good.left(good.indexOf("  </project>"));
    auto repeated = [&head](const QByteArray& element, int megabytes) {
        QByteArray text = head;
        text.reserve(megabytes * 1024 * 1024 + element.size());
        while (text.size() < megabytes * 1024 * 1024)
            text += element;
        return text;
    };
    box.write("huge.hzp",
              repeated("    <folder Name=\"f\"><file file_name=\"one.c\"/></folder>\n", 20));
    expectBadXml(run({"-config", "Debug", "huge.hzp"}, "huge.hzp"), "huge, cut off");
    // 50 MB loads and builds.
    box.write("huge.hzp", repeated("    <folder Name=\"" + QByteArray(1000, 'f') +
                                       "\"><file file_name=\"one.c\"/></folder>\n",
                                   50) +
                              "  </project>\n</solution>\n");
    const e2e::Result r = run({"-config", "Debug", "huge.hzp"}, "huge.hzp");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, building + "    Compiling one.c\n");
    EXPECT_EQ(r.err, "hcc: error: cannot open source file one.c: No such file or directory\n");
}

TEST_F(HostileInput, DirectoriesAndDeepNestingAreRefused) {
    QDir(box.path()).mkpath("dir.hzp");
    QDir(box.path()).mkpath("parts");
    box.write("imports.hzp", "<!DOCTYPE Halyard_Project_File>\n"
                             "<solution Name=\"s\" version=\"1\">\n"
                             "  <configuration Name=\"Debug\"/>\n"
                             "  <import file_name=\"parts\"/>\n"
                             "</solution>\n");
    e2e::Result r = run({"-config", "Debug", "dir.hzp"}, "imports.hzp");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "load error: dir.hzp cannot access\n");
    r = run({"-config", "Debug", "imports.hzp"}, "imports.hzp");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "load error: parts cannot access\n");
    EXPECT_EQ(r.out, "");

    // Folders 10,000 deep, in the current format, the older one (rewritten
    // through a document model before loading) and cut off half way.
    QByteArray folders;
    for (int i = 0; i < 10000; ++i)
        folders += "<folder Name=\"f\">";
    folders += "<file file_name=\"one.c\"/>";
    for (int i = 0; i < 10000; ++i)
        folders += "</folder>";
    const QByteArray deep = QString::fromLatin1(librarySolution)
                                .arg("", "one.c")
                                .toUtf8()
                                .replace("  </project>", folders + "\n  </project>");
    QByteArray older = deep;
    older.replace(" version=\"1\"", "");
    box.write("deep.hzp", deep);
    box.write("older.hzp", older);
    box.write("cut.hzp", deep.left(deep.size() / 2));
    for (const char* name : {"deep.hzp", "older.hzp"}) {
        r = run({"-config", "Debug", name}, name);
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.err, "load error: " + std::string(name) + " is nested too deeply\n");
        EXPECT_EQ(r.out, "") << name;
    }
    expectBadXml(run({"-config", "Debug", "cut.hzp"}, "cut.hzp"), "cut");
}

TEST_F(HostileInput, MegabyteValuesFailOnlyTheCommand) {
    box.write("one.c", "int one(void) { return 1; }\n");
    const QString mega(1024 * 1024, QLatin1Char('d'));
    QString unterminated; // "$(" a half million times: each one is expanded
    for (int i = 0; i < 512 * 1024; ++i)
        unterminated += "$(";
    const struct {
        QString settings, source;
    } cases[] = {
        {"build_intermediate_directory=\"" + mega + "\"", "one.c"},
        {"c_preprocessor_definitions=\"" + mega + "\"", "one.c"},
        {"build_intermediate_directory=\"" + unterminated + "\"", "one.c"},
        {"", mega + ".c"},
    };
    // Each gives the compiler an argument past the system's limit, so it
    // cannot be started.
    for (const auto& c : cases) {
        const std::string cannotStart = building + "    Compiling " + c.source.toStdString() +
                                        "\n    can't execute command \"" + studioBin("hcc") +
                                        "\"\n";
        solution(c.settings, c.source);
        const e2e::Result r = run({"-config", "Debug", "s.hzp"});
        EXPECT_EQ(r.status, 0) << c.settings.left(40).toStdString();
        EXPECT_EQ(r.out, cannotStart) << c.settings.left(40).toStdString();
        EXPECT_FALSE(box.exists("Debug/lib.hza"));
    }
}

TEST_F(HostileInput, SelfReferringMacrosStayUnexpanded) {
    box.write("one.c", "int one(void) { return 1; }\n");
    const struct {
        QStringList defines;
        QString settings;
        std::string object; // as passed to the compiler
    } cases[] = {
        {{"-D", "A=$(A)"}, "build_intermediate_directory=\"$(A)\"", "$(A)/one.hzo"},
        {{"-D", "A=$(B)", "-D", "B=$(A)"}, "build_intermediate_directory=\"$(A)\"", "$(B)/one.hzo"},
        {{}, "macros=\"A=$(A)\" build_intermediate_directory=\"$(A)\"", "$(A)/one.hzo"},
        {{}, "macros=\"A=$(B);B=$(A)\" build_intermediate_directory=\"$(X:$(A))\"", "$(B)/one.hzo"},
    };
    for (const auto& c : cases) {
        solution(c.settings);
        QFile::remove(box.settingsFile());
        const e2e::Result r = run(c.defines + QStringList{"-config", "Debug", "-show", "s.hzp"});
        EXPECT_EQ(r.status, 0) << c.object;
        EXPECT_NE(r.out.find(" -o " + c.object + " "), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }

    // A macro that doubles on every pass stops growing at a bound.
    solution("build_intermediate_directory=\"$(A)$($(Z))\"");
    QFile::remove(box.settingsFile());
    const e2e::Result r = run({"-D", "A=$(A)$(A)", "-config", "Debug", "-show", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" -o $(A)$(A)$(A)$(A)"), std::string::npos) << r.out.substr(0, 300);
    EXPECT_LT(r.out.size(), 8u * 1024 * 1024);
}

TEST_F(HostileInput, DependencyCyclesStopTheBuild) {
    box.write("one.c", "int one(void) { return 1; }\n");
    box.write("cycles.hzp", "<!DOCTYPE Halyard_Project_File>\n"
                            "<solution Name=\"s\" version=\"1\">\n"
                            "  <configuration Name=\"Debug\"/>\n"
                            "  <project Name=\"a\">\n"
                            "    <configuration Name=\"Common\" project_type=\"Library\"\n"
                            "                   project_dependencies=\"b\"/>\n"
                            "    <file file_name=\"one.c\"/>\n"
                            "  </project>\n"
                            "  <project Name=\"b\">\n"
                            "    <configuration Name=\"Common\" project_type=\"Library\"\n"
                            "                   project_dependencies=\"a\"/>\n"
                            "  </project>\n"
                            "  <project Name=\"self\">\n"
                            "    <configuration Name=\"Common\" project_type=\"Library\"\n"
                            "                   project_dependencies=\"self\"/>\n"
                            "  </project>\n"
                            "</solution>\n");
    const struct {
        QStringList arguments;
        std::string out;
    } cases[] = {
        {{"-config", "Debug", "cycles.hzp"}, "Dependency cycle: a -> b -> a\n"},
        {{"-config", "Debug", "-project", "b", "cycles.hzp"}, "Dependency cycle: b -> a -> b\n"},
        {{"-config", "Debug", "-project", "self", "cycles.hzp"},
         "Dependency cycle: self -> self\n"},
    };
    for (const auto& c : cases) {
        const e2e::Result r = run(c.arguments, "cycles.hzp");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(box.exists("Debug"));
}

// A chain of 20,000 projects, each depending on the next: the deepest is
// built first and each once.
TEST_F(HostileInput, LongDependencyChainsBuild) {
    const int n = 20000;
    QByteArray text = "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n"
                      "  <configuration Name=\"Debug\"/>\n";
    for (int i = 0; i < n; ++i) {
        text += "  <project Name=\"p" + QByteArray::number(i) +
                "\"><configuration Name=\"Common\" project_type=\"Object file\"";
        if (i + 1 < n) text += " project_dependencies=\"p" + QByteArray::number(i + 1) + "\"";
        text += "/></project>\n";
    }
    box.write("chain.hzp", text + "</solution>\n");
    const e2e::Result r = run({"-config", "Debug", "chain.hzp"}, "chain.hzp");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(lineCount(r.out), n);
    const std::string first = "  Building \"p19999\" in configuration \"Debug\"\n";
    const std::string last = "  Building \"p0\" in configuration \"Debug\"\n";
    EXPECT_EQ(r.out.substr(0, first.size()), first);
    EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), last.size())), last);
}

// The compiler's own one-line message follows the "Compiling" title; the
// library is not archived.
void expectCompileFails(const e2e::Result& r, const std::string& message,
                        const std::string& source = "one.c") {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, building + "    Compiling " + source + "\n");
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(lineCount(r.err), 1) << r.err;
}

TEST_F(HostileInput, UnreadableSources) {
    QDir(box.path()).mkpath("dir.c");
    solution("", "dir.c");
    expectCompileFails(run({"-config", "Debug", "s.hzp"}),
                       "hcc: error: cannot open source file dir.c: not a regular file", "dir.c");
    EXPECT_FALSE(box.exists("Debug/lib.hza"));

    // Mode 000 stops reads only for users other than root.
    box.write("locked.c", "int locked(void) { return 1; }\n");
    QFile::setPermissions(box.file("locked.c"), QFileDevice::Permissions());
    if (QFile(box.file("locked.c")).open(QIODevice::ReadOnly)) return;
    solution("", "locked.c");
    expectCompileFails(run({"-config", "Debug", "s.hzp"}),
                       "hcc: error: cannot open source file locked.c: Permission denied",
                       "locked.c");
}

TEST_F(HostileInput, OutputDirectoryBlockedByAFile) {
    box.write("one.c", "int one(void) { return 1; }\n");
    box.write("blocker", "the user's file\n");
    solution("build_intermediate_directory=\"blocker/obj\"");
    expectCompileFails(run({"-config", "Debug", "s.hzp"}),
                       "hcc: error: cannot write blocker/obj/one.hzo: Not a directory");
    solution("build_output_directory=\"blocker/out\"");
    const e2e::Result r = run({"-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.out, building + "    Compiling one.c\n    Archiving lib.hza\n");
    EXPECT_EQ(r.err, "har: error: cannot write blocker/out/lib.hza: Not a directory\n");
    EXPECT_EQ(box.read("blocker"), "the user's file\n");
}

// Makes a directory unwritable for this process: mode 555, or, for root,
// whom modes do not stop, the immutable flag. Undone on destruction so the
// sandbox can be removed.
class ReadOnlyDirectory {
public:
    explicit ReadOnlyDirectory(const QString& path) : m_path(path.toLocal8Bit()) {
        if (isRoot()) {
            m_done = setImmutable(true);
        } else {
            m_done = ::chmod(m_path.constData(), 0555) == 0;
        }
        // Whatever the means, it must really refuse a new file.
        const QByteArray probe = m_path + "/probe";
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.constData());
            m_works = false;
        }
    }
    ~ReadOnlyDirectory() {
        if (!m_done) return;
        if (isRoot())
            setImmutable(false);
        else
            ::chmod(m_path.constData(), 0755);
    }
    bool works() const { return m_done && m_works; }

private:
    bool setImmutable(bool on) {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return ok;
    }

    QByteArray m_path;
    bool m_done = false;
    bool m_works = true;
};

TEST_F(HostileInput, ReadOnlyOutputs) {
    box.write("one.c", "int one(void) { return 1; }\n");
    box.setTime("one.c", 1000000000);
    solution("");
    box.setTime("s.hzp", 1000000000);
    ASSERT_EQ(run({"-config", "Debug", "s.hzp"}).err, "");

    // A read-only output file is replaced like any other: the tools write a
    // new file and rename it over the old one.
    box.setTime("Debug/one.hzo", 900000000);
    QFile::setPermissions(box.file("Debug/one.hzo"), QFileDevice::ReadOwner);
    e2e::Result r = run({"-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.out, building + "    Compiling one.c\n    Archiving lib.hza\n");
    EXPECT_EQ(r.err, "");
    EXPECT_GT(QFileInfo(box.file("Debug/one.hzo")).lastModified().toSecsSinceEpoch(), 900000000);

    // A read-only directory keeps its outputs.
    const QByteArray object = readAll("Debug/one.hzo");
    const QByteArray library = readAll("Debug/lib.hza");
    ASSERT_FALSE(object.isEmpty());
    box.setTime("Debug/one.hzo", 900000000); // out of date: the source is newer
    const QStringList before = QDir(box.file("Debug")).entryList(QDir::Files);

    ReadOnlyDirectory readOnly(box.file("Debug"));
    if (!readOnly.works()) GTEST_SKIP() << "cannot make a directory read-only here";
    expectCompileFails(run({"-config", "Debug", "s.hzp"}),
                       "hcc: error: cannot write Debug/one.hzo: ");

    // Cleaning reports what it cannot remove, with -verbose only.
    r = run({"-config", "Debug", "-clean", "s.hzp"});
    EXPECT_EQ(r.out, "  Cleaning \"lib\" in configuration \"Debug\"\n");
    r = run({"-config", "Debug", "-clean", "-verbose", "s.hzp"});
    const std::string cannotRemove =
        "  Cannot remove " + QDir(box.file("Debug")).absolutePath().toStdString() + "/";
    EXPECT_EQ(r.out, "  Cleaning \"lib\" in configuration \"Debug\"\n" + cannotRemove +
                         "one.hzo\n" + cannotRemove + "lib.hza\n");
    EXPECT_EQ(r.status, 0);

    EXPECT_EQ(readAll("Debug/one.hzo"), object);
    EXPECT_EQ(readAll("Debug/lib.hza"), library);
    EXPECT_EQ(QDir(box.file("Debug")).entryList(QDir::Files), before); // no temporary left
}

// A 64 KiB file system mounted over a directory, then filled up.
class FullFileSystem {
public:
    explicit FullFileSystem(const QString& path) : m_path(path) {
        QDir().mkpath(path);
        m_mounted =
            ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~FullFileSystem() {
        if (m_mounted) ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    void fill() const {
        QFile fill(m_path + "/fill");
        if (fill.open(QIODevice::WriteOnly))
            while (fill.write(QByteArray(4096, 'x')) > 0 && fill.flush()) {
            }
    }

private:
    QString m_path;
    bool m_mounted = false;
};

TEST_F(HostileInput, FullDiskFailsTheCommand) {
    if (!isRoot()) GTEST_SKIP() << "mounting a small file system needs root";
    // The user's settings and the intermediate directory on one full disk.
    FullFileSystem full(box.file("config"));
    if (!full.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    box.write("one.c", "int one(void) { return 1; }\n");
    solution("build_intermediate_directory=\"" + box.file("config") + "/$(OBJECTS)\"");
    run({"-D", "KEEP=1", "-config", "Debug", "-show", "s.hzp"});
    const QByteArray settings = readAll(box.settingsFile());
    ASSERT_FALSE(settings.isEmpty());
    full.fill();

    // -D is refused by the full disk but holds for this run.
    const e2e::Result r = run({"-D", "OBJECTS=obj", "-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, building + "    Compiling one.c\n");
    EXPECT_EQ(r.err, "cannot write the settings file " + box.settingsFile().toStdString() +
                         ": the change holds for this run only\n"
                         "hcc: error: cannot write " +
                         box.file("config/obj/one.hzo").toStdString() +
                         ": No space left on device\n");
    EXPECT_EQ(readAll(box.settingsFile()), settings);
    EXPECT_EQ(QDir(box.file("config/obj")).entryList(QDir::Files), QStringList());
}

} // namespace
