#include "base/QTx.h"
#include "base/StudioUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

class FileUtilsTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.path() + "/" + name; }

    void write(const QString& file, const QByteArray& data) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static mode_t modeOf(const QString& file) {
        struct stat st;
        return ::stat(file.toLatin1().constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
    }
    static void setTime(const QString& file, time_t t) {
        struct utimbuf times = {t, t};
        ::utime(file.toLatin1().constData(), &times);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(FileUtilsTest, CopyKeepsContentAndTimesAndMasksPermissions) {
    QByteArray big(300000, '\0'); // spans several copy blocks
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    write(path("src"), big);
    ::chmod(path("src").toLatin1().constData(), 0777);
    setTime(path("src"), 1600000000);

    const mode_t old = ::umask(022);
    const bool ok = QTx::copyFile(path("src"), path("dst"));
    ::umask(old);

    ASSERT_TRUE(ok);
    EXPECT_EQ(read(path("dst")), big);
    EXPECT_EQ(StudioUtils::modificationSeconds(path("dst")), 1600000000);
    EXPECT_EQ(modeOf(path("dst")), mode_t(0755));
}

TEST_F(FileUtilsTest, CopyIntoDirectoryAndOverExistingFile) {
    write(path("a.txt"), "new");
    QDir(dir.path()).mkdir("sub");
    ASSERT_TRUE(QTx::copyFile(path("a.txt"), path("sub")));
    EXPECT_EQ(read(path("sub/a.txt")), "new");

    write(path("b.txt"), "a much longer old content");
    ASSERT_TRUE(QTx::copyFile(path("a.txt"), path("b.txt")));
    EXPECT_EQ(read(path("b.txt")), "new") << "destination must be truncated";
}

TEST_F(FileUtilsTest, CopyOfMissingSourceFailsAndCreatesNothing) {
    EXPECT_FALSE(QTx::copyFile(path("missing"), path("dst")));
    EXPECT_FALSE(QFile::exists(path("dst")));
}

TEST_F(FileUtilsTest, SetWriteableTouchesOnlyOwnerWrite) {
    write(path("f"), "x");
    ::chmod(path("f").toLatin1().constData(), 0644);
    ASSERT_TRUE(QTx::setWriteable(path("f"), false));
    EXPECT_EQ(modeOf(path("f")), mode_t(0444));
    ::chmod(path("f").toLatin1().constData(), 0404);
    ASSERT_TRUE(QTx::setWriteable(path("f"), true));
    EXPECT_EQ(modeOf(path("f")), mode_t(0604));
    EXPECT_FALSE(QTx::setWriteable(path("missing"), true));
}

TEST_F(FileUtilsTest, RemoveFile) {
    write(path("f"), "x");
    EXPECT_TRUE(QTx::removeFile(path("f")));
    EXPECT_FALSE(QFile::exists(path("f")));
    EXPECT_FALSE(QTx::removeFile(path("f")));
}

TEST_F(FileUtilsTest, CompressionRoundTripAndLayout) {
    QByteArray data;
    for (int i = 0; i < 5000; ++i)
        data += QByteArray::number(i) + ";";
    write(path("plain"), data);
    ASSERT_TRUE(QTx::compressFile(path("plain"), path("packed")));
    const QByteArray packed = read(path("packed"));
    ASSERT_GT(packed.size(), 12);
    EXPECT_EQ(packed.left(8), QByteArray("\x7A\xF4\x31\xB2\x01\x00\x00\x00", 8));
    // After the header: big-endian uncompressed length, then the zlib stream.
    const uchar* p = reinterpret_cast<const uchar*>(packed.constData()) + 8;
    EXPECT_EQ((p[0] << 24) | (p[1] << 16) | (p[2] << 8) | p[3], data.size());
    EXPECT_EQ(p[4] & 0x0F, 8) << "deflate method in the zlib header";

    ASSERT_TRUE(QTx::decompressFile(path("packed"), path("back")));
    EXPECT_EQ(read(path("back")), data);
}

TEST_F(FileUtilsTest, CompressionRefusals) {
    write(path("empty"), "");
    EXPECT_FALSE(QTx::compressFile(path("empty"), path("out1")));
    EXPECT_FALSE(QTx::compressFile(path("missing"), path("out2")));

    write(path("noheader"), QByteArray("\x7A\xF4\x31\xB2\x02\x00\x00\x00rest", 12));
    EXPECT_FALSE(QTx::decompressFile(path("noheader"), path("out3")));
    EXPECT_FALSE(QFile::exists(path("out3")));

    write(path("short"), QByteArray("\x7A\xF4\x31", 3));
    EXPECT_FALSE(QTx::decompressFile(path("short"), path("out4")));

    write(path("headeronly"), QByteArray("\x7A\xF4\x31\xB2\x01\x00\x00\x00", 8));
    EXPECT_FALSE(QTx::decompressFile(path("headeronly"), path("out5")));
    EXPECT_FALSE(QFile::exists(path("out5")));

    write(path("corrupt"),
          QByteArray("\x7A\xF4\x31\xB2\x01\x00\x00\x00\x00\x00\x00\x10garbage!", 20));
    EXPECT_FALSE(QTx::decompressFile(path("corrupt"), path("out6")));
    EXPECT_FALSE(QFile::exists(path("out6")));
    EXPECT_FALSE(QTx::decompressFile(path("missing"), path("out7")));

    // A huge claimed length is refused without trying to reserve it.
    write(path("huge"), QByteArray("\x7A\xF4\x31\xB2\x01\x00\x00\x00\xFF\xFF\xFF\xF0\x78\x9c", 14));
    EXPECT_FALSE(QTx::decompressFile(path("huge"), path("out8")));
    EXPECT_FALSE(QFile::exists(path("out8")));
}

TEST_F(FileUtilsTest, StudioDirIsParentOfExecutableDirectory) {
    QDir(dir.path()).mkpath("tool/bin");
    QDir(dir.path()).mkpath("elsewhere");
    write(path("tool/bin/slipway"), "");
    const QString canonicalRoot = QFileInfo(dir.path()).canonicalFilePath();
    EXPECT_EQ(QTx::getStudioDir(path("tool/bin/slipway").toLatin1().constData()),
              canonicalRoot + "/tool");

    // A link to the executable in another directory: that directory's parent.
    ASSERT_EQ(::symlink(path("tool/bin/slipway").toLatin1().constData(),
                        path("elsewhere/slipway").toLatin1().constData()),
              0);
    EXPECT_EQ(QTx::getStudioDir(path("elsewhere/slipway").toLatin1().constData()), canonicalRoot);

    // A bare name (found through PATH): the parent of the current directory.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(path("tool/bin")));
    const QString bare = QTx::getStudioDir("slipway");
    ASSERT_TRUE(QDir::setCurrent(path("tool")));
    const QString relative = QTx::getStudioDir("bin/slipway");
    QDir::setCurrent(cwd);
    EXPECT_EQ(bare, canonicalRoot + "/tool");
    EXPECT_EQ(relative, canonicalRoot + "/tool");
}

TEST(FriendlyDateTest, FormatsOrSaysNotAvailable) {
    EXPECT_EQ(QTx::friendlyDate(QDateTime(QDate(2026, 12, 4), QTime(7, 30, 59))),
              "04/12/2026 07:30");
    EXPECT_EQ(QTx::friendlyDate(QDateTime()), "(not available)");
    EXPECT_EQ(QTx::friendlyDate(QDateTime(QDate(2026, 2, 30), QTime(1, 2))), "(not available)");
}

TEST_F(FileUtilsTest, XmlDocumentType) {
    write(path("decl.xml"), "<!DOCTYPE Board_Memory_Definition_File>\n"
                            "<Board_Memory_Definition_File name=\"x\"/>\n");
    write(path("root.xml"), "<Linker_Placement_File><a/></Linker_Placement_File>");
    write(path("bad.xml"), "<open><unclosed></open>");
    EXPECT_EQ(QTx::xmlDocumentType(path("decl.xml")), "Board_Memory_Definition_File");
    EXPECT_EQ(QTx::xmlDocumentType(path("root.xml")), "Linker_Placement_File");
    EXPECT_TRUE(QTx::xmlDocumentType(path("bad.xml")).isNull());
    EXPECT_TRUE(QTx::xmlDocumentType(path("missing.xml")).isNull());
}

TEST_F(FileUtilsTest, ModificationSecondsTruncatesToWholeSeconds) {
    write(path("f"), "x");
    struct timespec times[2] = {{1700000000, 900000000}, {1700000000, 900000000}};
    ::utimensat(AT_FDCWD, path("f").toLatin1().constData(), times, 0);
    EXPECT_EQ(StudioUtils::modificationSeconds(path("f")), 1700000000);
    EXPECT_EQ(StudioUtils::modificationSeconds(path("missing")), -1);
}
