#include "build/PackageUpdate.h"

#include "FakeFileSystem.h"

#include "support/QuietBuilder.h"
#include "base/QTx.h"
#include "objfile/Archive.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// Records what the package update reports.
class ReportingBuilder : public QuietBuilder {
public:
    void error(const QString& text) override { lines << "error: " + text; }
    void success(const QString& text) override { lines << "success: " + text; }
    void message(const QString& text) override { lines << "message: " + text; }

    QStringList take() { return std::exchange(lines, {}); }
    QStringList lines;
};

class PackageUpdateTest : public ::testing::Test {
protected:
    void update(const QString& member, const QString& file, bool quiet, bool force) {
        updatePackage(fs, package, member, file, &builder, quiet, force);
    }
    QString write(const QString& name, const QByteArray& data, qint64 time = 1600000000,
                  bool writable = true) {
        fs.write("/w/" + name, data, time).writable = writable;
        return "/w/" + name;
    }
    QByteArray packageBytes() const { return fs.entries.value(package).data; }
    // The members of the package, as "name:size:writable:time:data".
    QStringList members() const {
        QByteArray plain;
        Archive2 archive;
        if (!QTx::decompress(packageBytes(), plain) || archive.read(plain, package) != Archive2::Ok)
            return {"<not a package>"};
        QStringList out;
        for (const ArchiveChunk2& c : archive.members())
            out << QString("%1:%2:%3:%4:%5")
                       .arg(c.memberName())
                       .arg(c.size)
                       .arg(c.writable)
                       .arg(c.time)
                       .arg(QString::fromLatin1(plain.mid(c.offset, c.size)));
        return out;
    }

    const QString package = "/w/pkg.hzq";
    FakeFileSystem fs;
    ReportingBuilder builder;
};

} // namespace

TEST_F(PackageUpdateTest, MembersAreAddedRefreshedAndRemoved) {
    const QString a = write("a.txt", "AAA");
    const QString b = write("b.txt", "BB", 1600000000, false);

    update("a", a, false, false);
    EXPECT_EQ(builder.take(), QStringList({"message: " + package + "(a) does not exist.",
                                           "message: adding " + a + " to " + package + "(a)."}));
    EXPECT_EQ(members(), QStringList({"a:3:1:1600000000:AAA"}));
    EXPECT_TRUE(packageBytes().startsWith(QByteArray("\x7A\xF4\x31\xB2\x01\0\0\0", 8)));

    // Unchanged file, force clear: the package is left alone.
    const quint64 inode = fs.entries.value(package).inode;
    update("a", a, false, false);
    EXPECT_EQ(builder.take(), QStringList({"success: '" + package + "(a)' is up to date."}));
    update("a", a, true, false);
    EXPECT_TRUE(builder.take().isEmpty());
    EXPECT_EQ(fs.entries.value(package).inode, inode);

    // Quiet still reports the update itself.
    update("b", b, true, false);
    EXPECT_EQ(builder.take(), QStringList({"message: adding " + b + " to " + package + "(b)."}));

    // A newer file replaces its member, which moves to the end.
    write("a.txt", "AAAA", 1600000005);
    update("a", a, false, false);
    EXPECT_EQ(builder.take(), QStringList({"message: " + a + " is newer than " + package + "(a).",
                                           "message: adding " + a + " to " + package + "(a)."}));
    EXPECT_EQ(members(), QStringList({"b:2:0:1600000000:BB", "a:4:1:1600000005:AAAA"}));

    // Force rewrites even when up to date.
    update("b", b, false, true);
    EXPECT_EQ(builder.take(), QStringList({"message: adding " + b + " to " + package + "(b)."}));
    EXPECT_EQ(members(), QStringList({"a:4:1:1600000005:AAAA", "b:2:0:1600000000:BB"}));

    update("a", QString(), false, true);
    EXPECT_EQ(builder.take(), QStringList({"message: removing " + package + "(a)."}));
    EXPECT_EQ(members(), QStringList({"b:2:0:1600000000:BB"}));
    // Nothing but the package and the sources: no temporaries are left.
    EXPECT_EQ(fs.entries.keys(), QStringList({"/w", a, b, package}));
}

TEST_F(PackageUpdateTest, DamagedPackagesAreEmpty) {
    const QString a = write("a.txt", "AAA");
    QByteArray badArchive;
    ASSERT_TRUE(QTx::compress(QByteArray("\xC8\xC3\x52\x41\x05\x00\x00\x00", 8), badArchive));
    QByteArray pointsPastTheEnd; // one member whose data lies beyond the archive
    QByteArray plain("\xC8\xC3\x52\x41\x01\x00\x00\x00", 8);
    plain += QByteArray(1024, '\0') + QByteArray("\x00\x10\0\0\x05\0\0\0\1\0\0\0\0\0\0\0", 16);
    ASSERT_TRUE(QTx::compress(plain, pointsPastTheEnd));
    for (const QByteArray& damaged : {QByteArray("not a package"), badArchive}) {
        write("pkg.hzq", damaged);
        update("a", a, false, false);
        EXPECT_EQ(builder.take().first(), "message: " + package + "(a) does not exist.");
        EXPECT_EQ(members(), QStringList({"a:3:1:1600000000:AAA"}));
    }
    // A member that cannot be read stops the update and names the package.
    write("pkg.hzq", pointsPastTheEnd);
    update("a", a, true, true);
    EXPECT_EQ(builder.take().last(), "error: FATAL: read error on " + package + ".");
    EXPECT_EQ(packageBytes(), pointsPastTheEnd);
}

TEST_F(PackageUpdateTest, LengthFieldIsOnlyASizeHint) {
    for (const int delta : {-1, 1, 1000000}) {
        fs.remove(package);
        update("a", write("a.txt", "AAA"), false, true);
        QByteArray packed = packageBytes();
        uchar* field = reinterpret_cast<uchar*>(packed.data()) + 8;
        const uint32_t wrong =
            (uint32_t(field[0]) << 24 | field[1] << 16 | field[2] << 8 | field[3]) + delta;
        for (int i = 0; i < 4; ++i)
            field[i] = uchar(wrong >> (24 - 8 * i));
        write("pkg.hzq", packed);

        update("b", write("b.txt", "BB"), false, true);
        EXPECT_EQ(members(), QStringList({"a:3:1:1600000000:AAA", "b:2:1:1600000000:BB"})) << delta;
    }
}

TEST_F(PackageUpdateTest, FailedUpdateKeepsTheOldPackage) {
    update("a", write("a.txt", "AAA"), false, true);
    const QByteArray before = packageBytes();
    builder.take();

    const QString missing = "/w/vanished.txt";
    update("v", missing, false, true);
    EXPECT_EQ(builder.take(), QStringList({"message: adding " + missing + " to " + package + "(v).",
                                           "error: FATAL: read error on " + missing + "."}));
    EXPECT_EQ(packageBytes(), before);

    // A package that cannot be written is named itself, not its temporary.
    updatePackage(fs, "/nodir/pkg.hzq", "a", "/w/a.txt", &builder, true, true);
    EXPECT_EQ(builder.take().last(), "error: FATAL: write error on /nodir/pkg.hzq.");
}
