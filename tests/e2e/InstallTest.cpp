// "make install" puts the studio tree under PREFIX/lib/slipway and a launcher
// at PREFIX/bin/slipway; the installed tool must build a solution both by its
// full path and as a bare name found through PATH, from any directory.

#include "E2E.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

struct ProcResult {
    int status = -1;
    QString out;
    QString err;
};

ProcResult runProgram(const QString& program, const QStringList& args, const QString& dir,
                      const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir);
    p.start(program, args);
    ProcResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

bool copyTree(const QString& from, const QString& to) {
    QDir src(from);
    if (!QDir().mkpath(to)) return false;
    for (const QFileInfo& fi :
         src.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString target = to + "/" + fi.fileName();
        if (fi.isDir() ? !copyTree(fi.filePath(), target) : !QFile::copy(fi.filePath(), target))
            return false;
    }
    return true;
}

} // namespace

TEST(Install, InstalledTreeBuildsTheExampleByPathAndThroughPath) {
    e2e::Sandbox box;
    const QString buildDir = QFileInfo(e2e::builtStudioDir()).dir().absolutePath();
    const QString prefix = box.file("prefix");

    QProcessEnvironment env = e2e::cleanEnvironment();
    env.insert("HOME", box.file("home"));
    env.insert("XDG_CONFIG_HOME", box.file("config"));
    env.insert("XDG_CACHE_HOME", box.file("cache"));

    ProcResult install =
        runProgram("cmake", {"--install", buildDir, "--prefix", prefix}, box.path(), env);
    ASSERT_EQ(install.status, 0) << install.out.toStdString() << install.err.toStdString();

    const QString launcher = prefix + "/bin/slipway";
    ASSERT_TRUE(QFileInfo(launcher).isExecutable());
    for (const char* tool : {"slipway", "hcc", "hbc", "has", "hld", "har", "hex"})
        EXPECT_TRUE(QFileInfo(prefix + "/lib/slipway/bin/" + tool).isExecutable()) << tool;
    EXPECT_TRUE(QFileInfo::exists(prefix + "/lib/slipway/targets/MSP430F449.xml"));
    EXPECT_TRUE(QFileInfo::exists(prefix + "/lib/slipway/include/msp430f449.h"));
    EXPECT_TRUE(QFileInfo::exists(prefix + "/lib/slipway/lib/libc_sf.hza"));
    EXPECT_TRUE(QFileInfo::exists(prefix + "/share/man/man1/slipway.1"));

    // By full path, run from the solution's directory.
    const QString work1 = box.file("work1");
    ASSERT_TRUE(copyTree(QString(SLIPWAY_SOURCE_DIR) + "/examples/demo", work1));
    ProcResult first = runProgram(launcher, {"-config", "Debug", "demo.hzp"}, work1, env);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(first.err, QString());
    EXPECT_TRUE(QFileInfo::exists(work1 + "/app/Debug/app.hzx")) << first.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(work1 + "/app/Debug/app.hex"));
    EXPECT_TRUE(QFileInfo::exists(work1 + "/package/Debug/firmware.hzq"));

    // A bare name found through PATH, run from another directory.
    const QString work2 = box.file("work2");
    ASSERT_TRUE(copyTree(QString(SLIPWAY_SOURCE_DIR) + "/examples/demo", work2));
    QProcessEnvironment pathEnv = env;
    pathEnv.insert("PATH", prefix + "/bin:" + env.value("PATH"));
    QDir().mkpath(box.file("elsewhere"));
    ProcResult bare = runProgram("/bin/sh", {"-c", "slipway -config Debug ../work2/demo.hzp"},
                                 box.file("elsewhere"), pathEnv);
    ASSERT_EQ(bare.status, 0) << bare.err.toStdString();
    EXPECT_EQ(bare.err, QString());
    EXPECT_TRUE(QFileInfo::exists(work2 + "/app/Debug/app.hzx")) << bare.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(work2 + "/package/Debug/firmware.hzq"));

    // A second run through the launcher has nothing left to do.
    ProcResult again = runProgram(launcher, {"-config", "Debug", "demo.hzp"}, work1, env);
    ASSERT_EQ(again.status, 0);
    for (const QString& line : again.out.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith("  Building \"")) << line.toStdString();
}
