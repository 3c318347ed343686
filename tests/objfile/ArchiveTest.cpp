#include "objfile/Archive.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

namespace {

uint32_t le(const QByteArray& data, int at) {
    const uchar* p = reinterpret_cast<const uchar*>(data.constData()) + at;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class ArchiveTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + "/" + name; }
    QString write(const QString& name, const QByteArray& data, time_t time = 1500000000,
                  mode_t mode = 0644) {
        const QString p = path(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        f.close();
        ::chmod(p.toLatin1().constData(), mode);
        struct utimbuf times = {time, time};
        ::utime(p.toLatin1().constData(), &times);
        return p;
    }
    static QByteArray read(const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(ArchiveTest, WritesMembersAndReadsThemBack) {
    const QString a = write("a.txt", "alpha", 1600000001, 0644);
    const QString b = write("b.bin", QByteArray(3000, 'b'), 1600000002, 0444);
    Archive2 archive;
    ASSERT_EQ(archive.open(nullptr, path("none")), Archive2::Ok);
    archive.addMember(a, "lib/a.txt", 0, 5, true, 1600000001);
    archive.addMember(b, "b.bin", 0, 3000, false, 1600000002);
    ASSERT_EQ(archive.write(path("out.ar")), Archive2::Written);

    // The layout itself is checked byte by byte end to end, through packages.
    const QByteArray raw = read(path("out.ar"));
    ASSERT_EQ(raw.size(), 8 + 2 * 1040 + 5 + 3000);

    Archive2 again;
    ASSERT_EQ(again.open(path("out.ar")), Archive2::Ok);
    ASSERT_EQ(again.count(), 2);
    const ArchiveChunk2* member = again.findMember("b.bin");
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(member->size, 3000u);
    EXPECT_EQ(member->time, 1600000002u);
    EXPECT_EQ(member->source, path("out.ar"));
    EXPECT_EQ(again.findMember("B.bin"), nullptr);

    // Rewriting from the archive itself copies the data at the stored offsets.
    ASSERT_EQ(again.write(path("copy.ar")), Archive2::Written);
    EXPECT_EQ(read(path("copy.ar")), raw);
}

TEST_F(ArchiveTest, CorruptAndMissingArchives) {
    Archive2 archive;
    EXPECT_EQ(archive.open(path("missing.ar")), Archive2::Ok);
    EXPECT_EQ(archive.count(), 0);

    write("short.ar", "\xC8\xC3\x52");
    EXPECT_EQ(archive.open(path("short.ar")), Archive2::BadHeader);
    write("magic.ar", QByteArray("\xC8\xC3\x52\x42\x00\x00\x00\x00", 8));
    EXPECT_EQ(archive.open(path("magic.ar")), Archive2::BadHeader);
    write("negative.ar", QByteArray("\xC8\xC3\x52\x41\xFF\xFF\xFF\xFF", 8));
    EXPECT_EQ(archive.open(path("negative.ar")), Archive2::BadHeader);
    QByteArray oneEntry("\xC8\xC3\x52\x41\x02\x00\x00\x00", 8);
    oneEntry += QByteArray(1040 + 100, 'x');
    write("directory.ar", oneEntry);
    EXPECT_EQ(archive.open(path("directory.ar")), Archive2::ShortDirectory);
    EXPECT_EQ(archive.count(), 0);
    write("empty.ar", QByteArray("\xC8\xC3\x52\x41\x00\x00\x00\x00", 8));
    EXPECT_EQ(archive.open(path("empty.ar")), Archive2::Ok);
}

TEST_F(ArchiveTest, LongNamesAreCutWithoutTerminator) {
    const QString longName(1030, 'n');
    Archive2 archive;
    archive.addMember(write("f", "x"), longName, 0, 1, true, 7);
    EXPECT_EQ(archive.members()[0].memberName(), QString(1024, 'n'));
    ASSERT_EQ(archive.write(path("long.ar")), Archive2::Written);
    const QByteArray raw = read(path("long.ar"));
    EXPECT_EQ(raw.mid(8, 1024), QByteArray(1024, 'n'));
    EXPECT_EQ(le(raw, 8 + 1024), 8u + 1040);
}

TEST_F(ArchiveTest, WriteErrorTexts) {
    Archive2 archive;
    archive.addMember(path("gone"), "gone", 0, 4, true, 0);
    EXPECT_EQ(archive.write(path("out.ar")), Archive2::WriteError);
    EXPECT_EQ(archive.errorText(), "FATAL: read error on " + path("gone") + ".\n");

    Archive2 shortSource;
    shortSource.addMember(write("small", "ab"), "small", 0, 10, true, 0);
    EXPECT_EQ(shortSource.write(path("out2.ar")), Archive2::WriteError);
    EXPECT_EQ(shortSource.errorText(), "FATAL: read error on " + path("small") + ".\n");

    Archive2 nowhere;
    const QString target = path("no/such/dir/x.ar");
    EXPECT_EQ(nowhere.write(target), Archive2::WriteError);
    EXPECT_EQ(nowhere.errorText(), "FATAL: write error on " + target + ".\n");
}
