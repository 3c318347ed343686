// Names with bytes above 0x7F, valid UTF-8 or not, reach the disk, the tools
// and the messages as the very bytes the user gave.

#include "E2E.h"

#include "base/OsFiles.h"
#include "driver/Process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using e2e::runsOf;

// The harness passes names through Qt, which would re-encode them: run the
// program with byte strings instead (QStrings here hold one char per byte).
e2e::Result runIn(const e2e::Sandbox& box, const QString& directory, const QStringList& args) {
    const QString out = box.file("stdout"), err = box.file("stderr");
    std::vector<QByteArray> words{OsFiles::osName(box.program())};
    for (const QString& a : args)
        words.push_back(OsFiles::osName(a));
    std::vector<char*> argv;
    for (QByteArray& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const QByteArray dir = OsFiles::osName(directory), home = OsFiles::osName(box.file("home"));
    const QByteArray config = OsFiles::osName(box.file("config"));
    const QByteArray cache = OsFiles::osName(box.file("cache"));
    const QByteArray outName = OsFiles::osName(out), errName = OsFiles::osName(err);
    const pid_t pid = ::fork();
    if (pid == 0) {
        e2e::clearExtensionEnvironment();
        ::setenv("HOME", home.constData(), 1);
        ::setenv("XDG_CONFIG_HOME", config.constData(), 1);
        ::setenv("XDG_CACHE_HOME", cache.constData(), 1);
        ::dup2(::open(outName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(errName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        if (::chdir(dir.constData()) == 0) ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    e2e::Result r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QByteArray text;
    if (OsFiles::readAll(out, text)) r.out = text.toStdString();
    if (OsFiles::readAll(err, text)) r.err = text.toStdString();
    return r;
}

void put(const QString& path, const QByteArray& contents) {
    ASSERT_TRUE(OsFiles::makePath(OsFiles::directoryOf(path)));
    ASSERT_TRUE(OsFiles::replace(path, contents));
}

class Encoding : public ::testing::TestWithParam<const char*> {};

TEST_P(Encoding, NonAsciiNamesBuildRebuildNothingAndClean) {
    e2e::Sandbox box;
    box.makeStudio();
    const QByteArray n = GetParam();
    const QString name = QString::fromLatin1(n);
    const QString root = box.path() + "/" + name;
    // Declared as Latin-1, so the parser gives back one char per byte of the names.
    put(root + "/app.hzp", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                           "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n"
                           "  <configuration Name=\"Debug\" build_intermediate_directory=\"o" +
                               n + "\" build_output_directory=\"x" + n +
                               "\"/>\n"
                               "  <project Name=\"app\">\n"
                               "    <configuration Name=\"Common\" project_type=\"Executable\"/>\n"
                               "    <file file_name=\"" +
                               n +
                               ".c\"/>\n  </project>\n  <project Name=\"st\">\n"
                               "    <configuration Name=\"Common\" project_type=\"Staging\"/>\n"
                               "    <file file_name=\"" +
                               n + ".txt\"/>\n  </project>\n</solution>\n");
    put(root + "/" + name + ".c", "#include \"" + n + ".h\"\nint main(void) { return V; }\n");
    put(root + "/" + name + ".h", "#define V 0\n");
    put(root + "/" + name + ".txt", "staged\n");
    const QStringList build{"-config", "Debug", "-echo", "app.hzp"};

    e2e::Result r = runIn(box, root, build);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(runsOf(r.out, "hcc"), 1) << r.out;
    EXPECT_EQ(runsOf(r.out, "hld"), 1);
    const QStringList outputs{"/o" + name + "/" + name + ".hzo", "/x" + name + "/app.hzx",
                              "/x" + name + "/" + name + ".txt"};
    for (const QString& output : outputs)
        EXPECT_TRUE(OsFiles::exists(root + output)) << output.toStdString();

    r = runIn(box, root, build);
    EXPECT_EQ(r.out.find("/bin/"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("cp "), std::string::npos) << r.out;

    // The header is a recorded dependency under its own name.
    ASSERT_EQ(
        ::utimensat(AT_FDCWD, OsFiles::osName(root + "/" + name + ".h").constData(), nullptr, 0),
        0);
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, OsFiles::osName(root + outputs[0]).constData(), old, 0);
    r = runIn(box, root, build);
    EXPECT_EQ(runsOf(r.out, "hcc"), 1) << r.out;

    r = runIn(box, root, {"-config", "Debug", "-clean", "app.hzp"});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const QString& output : outputs)
        EXPECT_FALSE(OsFiles::exists(root + output)) << output.toStdString();

    // Messages carry the names as given.
    r = runIn(box, root, {"-config", "Debug", "-project", name, "app.hzp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "can't find project '" + n.toStdString() + "' supported projects:\napp\nst\n");
    r = runIn(box, box.path(), {"-config", "Debug", name + "/none.hzp"});
    EXPECT_EQ(r.err, "load error: " + n.toStdString() + "/none.hzp does not exist\n");
    // Qt could not remove names that are not UTF-8.
    QTx::spawnProcess({"rm", "-rf", root}, true, QString(), false);
}

INSTANTIATE_TEST_SUITE_P(Names, Encoding, ::testing::Values("d\xC3\xA9", "d\xE9"));

} // namespace
