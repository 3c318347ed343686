#include "E2E.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

// Every example command of the README's usage section and of the manual page
// runs, in the order shown, on a copy of the bundled example, as a user would
// type it into a shell with the installation's bin/ on PATH.

namespace {

QString sourceFile(const QString& relative) {
    QFile f(QStringLiteral(SLIPWAY_SOURCE_DIR "/") + relative);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The indented command lines of the "## Usage" section (up to the next "## ");
// the synopsis with its "[option]" is no example.
QStringList readmeExamples() {
    const QString text = sourceFile("README.md");
    const qsizetype from = text.indexOf("\n## Usage\n");
    const QString section = text.mid(from, text.indexOf("\n## ", from + 1) - from);
    static const QRegularExpression command("^    ((\\w+=\\S+ )*slipway -.*)$",
                                            QRegularExpression::MultilineOption);
    QStringList lines;
    for (auto it = command.globalMatch(section); it.hasNext();)
        lines << it.next().captured(1);
    return lines;
}

// The bold command lines of the EXAMPLES section, roff escapes removed.
QStringList manExamples() {
    const QString text = sourceFile("doc/slipway.1");
    const qsizetype from = text.indexOf("\n.SH EXAMPLES\n");
    const QString section = text.mid(from, text.indexOf("\n.SH ", from + 1) - from);
    QStringList lines;
    for (const QString& line : section.split('\n'))
        if (line.startsWith(".B ")) lines << line.mid(3).replace("\\-", "-");
    return lines;
}

void runExamples(const QStringList& commands) {
    e2e::Sandbox box;
    const QString demo = box.file("demo");
    QProcessEnvironment env = e2e::cleanEnvironment();
    env.insert("HOME", box.file("home"));
    env.insert("XDG_CONFIG_HOME", box.file("config"));
    env.insert("XDG_CACHE_HOME", box.file("cache"));
    // As installed: a launcher on PATH starts the binary by its absolute path,
    // which is what places the studio directory.
    box.write("bin/slipway", "#!/bin/sh\nexec '" + box.program().toUtf8() + "' \"$@\"\n");
    QFile::setPermissions(box.file("bin/slipway"), QFile::ReadOwner | QFile::ExeOwner);
    env.insert("PATH", box.file("bin") + ":" + env.value("PATH"));
    ASSERT_EQ(QProcess::execute("cp", {"-R", SLIPWAY_SOURCE_DIR "/examples/demo", demo}), 0);

    for (const QString& command : commands) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(demo);
        p.start("/bin/sh", {"-c", command});
        ASSERT_TRUE(p.waitForFinished(120000)) << command.toStdString();
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(p.exitCode(), 0) << command.toStdString() << "\n" << out.toStdString();
        EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()), QString()) << command.toStdString();
        for (const char* failure : {"can't find", "load error", "can't execute", "FATAL"})
            EXPECT_FALSE(out.contains(failure)) << command.toStdString() << "\n"
                                                << out.toStdString();
    }
    // No example leaves a macro in the user's own settings store.
    EXPECT_FALSE(box.exists(box.settingsFile().mid(box.path().size() + 1)));
}

TEST(DocExamples, ReadmeUsageCommandsWorkOnTheBundledExample) {
    const QStringList commands = readmeExamples();
    ASSERT_GE(commands.size(), 6) << commands.join('\n').toStdString();
    runExamples(commands);
}

TEST(DocExamples, ManualPageExamplesWorkOnTheBundledExample) {
    const QStringList commands = manExamples();
    ASSERT_GE(commands.size(), 6) << commands.join('\n').toStdString();
    runExamples(commands);
}

} // namespace
