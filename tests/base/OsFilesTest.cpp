#include "base/OsFiles.h"
#include "base/QTx.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Each name is used as a directory and a file below it; every primitive must
// reach the same bytes, including those that are not UTF-8.
TEST(OsFilesTest, EveryPrimitiveReachesTheSameBytes) {
    QTemporaryDir temp;
    for (const char* bytes : {"plain", "d\xC3\xA9", "d\xE9", "\xFF\x80"}) {
        SCOPED_TRACE(bytes);
        const QString name = QString::fromLatin1(bytes);
        const QString dir = temp.path() + "/" + name + "/" + name;
        const QString file = dir + "/" + name + ".txt";
        ASSERT_TRUE(OsFiles::makePath(dir));
        ASSERT_TRUE(OsFiles::replace(file, "one"));
        EXPECT_EQ(OsFiles::entries(dir), QStringList{name + ".txt"});
        const OsFiles::Status st = OsFiles::status(file);
        EXPECT_TRUE(st.exists && st.isFile && !st.isDir);
        EXPECT_EQ(st.size, 3);

        QFile f;
        ASSERT_TRUE(OsFiles::open(f, file, QIODevice::WriteOnly));
        f.write("two!");
        f.close();
        QByteArray data;
        ASSERT_TRUE(OsFiles::readAll(file, data));
        EXPECT_EQ(data, "two!");
        EXPECT_FALSE(OsFiles::open(f, dir, QIODevice::ReadOnly));

        ASSERT_TRUE(QTx::copyFile(file, dir + "/copy"));
        EXPECT_TRUE(OsFiles::rename(dir + "/copy", dir + "/" + name));
        EXPECT_TRUE(OsFiles::remove(dir + "/" + name));
        EXPECT_FALSE(OsFiles::exists(dir + "/" + name));

        // Qt's classes, where nothing else will do, reach it through qtName
        // (when at least the last component is UTF-8).
        QSettings settings(OsFiles::qtName(dir + "/s.ini"), QSettings::IniFormat);
        settings.setValue("k", "v");
        settings.sync();
        EXPECT_EQ(settings.status(), QSettings::NoError);
        EXPECT_TRUE(OsFiles::exists(dir + "/s.ini"));

        EXPECT_EQ(OsFiles::canonicalPath(dir + "/../" + name), dir);

        // QTemporaryDir could not remove names that are not UTF-8.
        for (const QString& entry : OsFiles::entries(dir))
            OsFiles::remove(dir + "/" + entry);
        ::rmdir(OsFiles::osName(dir).constData());
        ::rmdir(OsFiles::osName(OsFiles::directoryOf(dir)).constData());
    }
}

TEST(OsFilesTest, PathTextWithoutTheDisk) {
    EXPECT_EQ(OsFiles::directoryOf("a/b/c"), "a/b");
    EXPECT_EQ(OsFiles::directoryOf("/c"), "/");
    EXPECT_EQ(OsFiles::directoryOf("c"), ".");
    EXPECT_EQ(OsFiles::fileNameOf("a/b/c.x"), "c.x");
    EXPECT_EQ(OsFiles::absolutePath("/a/./b/../c"), "/a/c");
    EXPECT_EQ(OsFiles::absolutePath("x"), OsFiles::currentDir() + "/x");
}

} // namespace
