#include "base/OsFiles.h"
#include "base/QTx.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

// The target changes only by the rename: until then readers see the old
// file, and an abandoned replacement leaves nothing behind.
TEST(OsFilesTest, ReplacementAppearsWholeOrNotAtAll) {
    QTemporaryDir temp;
    const QString file = temp.path() + "/f";
    ASSERT_TRUE(OsFiles::replace(file, "old"));
    const quint64 inode = OsFiles::status(file).inode;
    {
        OsFiles::Replacement abandoned(file);
        ASSERT_TRUE(abandoned.write("never"));
    }
    QByteArray data;
    EXPECT_TRUE(OsFiles::readAll(file, data) && data == "old");
    EXPECT_EQ(OsFiles::entries(temp.path()), QStringList{"f"});

    OsFiles::Replacement next(file);
    ASSERT_TRUE(next.write("new content"));
    EXPECT_TRUE(OsFiles::readAll(file, data) && data == "old");
    const struct timespec times[2] = {{1000, 0}, {2000, 0}};
    ASSERT_TRUE(next.commit(0640, times));
    const OsFiles::Status st = OsFiles::status(file);
    EXPECT_NE(st.inode, inode);
    EXPECT_EQ(st.modifiedSeconds, 2000);
    struct stat bits;
    ASSERT_EQ(::stat(OsFiles::osName(file).constData(), &bits), 0);
    EXPECT_EQ(bits.st_mode & 07777, mode_t(0640));
    EXPECT_TRUE(OsFiles::readAll(file, data) && data == "new content");
    EXPECT_EQ(OsFiles::entries(temp.path()), QStringList{"f"});

    // A name with no room for the temporary's suffix.
    const QString longName = temp.path() + "/" + QString(250, 'n');
    EXPECT_TRUE(OsFiles::replace(longName, "x"));
    EXPECT_EQ(OsFiles::entries(temp.path()).size(), 2);
}

// Only regular files are read, up to the limit; a FIFO is refused at once.
TEST(OsFilesTest, ReadAllTakesOnlyBoundedRegularFiles) {
    QTemporaryDir temp;
    const QString fifo = temp.path() + "/fifo";
    ASSERT_EQ(::mkfifo(OsFiles::osName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(OsFiles::replace(temp.path() + "/ten", "0123456789"));
    QByteArray data;
    EXPECT_FALSE(OsFiles::readAll(fifo, data));
    EXPECT_FALSE(OsFiles::readAll("/dev/zero", data));
    EXPECT_FALSE(OsFiles::readAll(temp.path(), data));
    EXPECT_FALSE(OsFiles::readAll(temp.path() + "/ten", data, 9));
    EXPECT_TRUE(OsFiles::readAll(temp.path() + "/ten", data, 10) && data == "0123456789");
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
