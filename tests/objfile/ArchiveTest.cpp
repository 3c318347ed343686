#include "objfile/Archive.h"
#include "base/Builder.h"
#include "base/QTx.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

namespace {

// Records what the package update reports.
class RecordingBuilder : public Builder {
public:
    void beginGroup(ProjectElement*, const QString&, bool) override {}
    void endGroup(ProjectElement*) override {}
    void init() override {}
    void setDirectory(const QString&) override {}
    void setCommand(const QStringList&) override {}
    void setEnvironment(const QStringList&) override {}
    void setOutputFiles(const QStringList&) override {}
    void setTemporaryFiles(const QStringList&) override {}
    void doit() override {}
    void error(const QString& text) override { lines << "error: " + text; }
    void success(const QString& text) override { lines << "success: " + text; }
    void message(const QString& text) override { lines << "message: " + text; }

    QStringList take() {
        QStringList out = lines;
        lines.clear();
        return out;
    }
    QStringList lines;
};

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
    // The members of a compressed package, as "name:size:writable:time:data".
    QStringList packageMembers(const QString& package) {
        const QString plain = path("inspect.plain");
        QFile::remove(plain);
        if (!QTx::decompressFile(package, plain)) return {"<not a package>"};
        const QByteArray data = read(plain);
        Archive2 archive;
        EXPECT_EQ(archive.open(plain), Archive2::Ok);
        QStringList out;
        for (const ArchiveChunk2& c : archive.members())
            out << QString("%1:%2:%3:%4:%5")
                       .arg(c.memberName())
                       .arg(c.size)
                       .arg(c.writable)
                       .arg(c.time)
                       .arg(QString::fromLatin1(data.mid(c.offset, c.size)));
        archive.close();
        QFile::remove(plain);
        return out;
    }

    QTemporaryDir dir;
    RecordingBuilder builder;
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

TEST_F(ArchiveTest, PackageUpdates) {
    const QString package = path("pkg.hzq");
    const QString a = write("a.txt", "AAA", 1600000000, 0644);
    const QString b = write("b.txt", "BB", 1600000000, 0444);

    // First additions, up-to-date notes and newer files are also run end to end.
    addToRemoveFromArchive(package, "a", a, &builder, false, false);
    EXPECT_EQ(packageMembers(package), QStringList({"a:3:1:1600000000:AAA"}));
    builder.take();

    // Unchanged file, force clear: the package is left alone.
    const QByteArray before = read(package);
    addToRemoveFromArchive(package, "a", a, &builder, false, false);
    EXPECT_EQ(builder.take(), QStringList({"success: '" + package + "(a)' is up to date."}));
    EXPECT_EQ(read(package), before);
    addToRemoveFromArchive(package, "a", a, &builder, true, false);
    EXPECT_TRUE(builder.take().isEmpty());

    // Quiet still reports the update itself.
    addToRemoveFromArchive(package, "b", b, &builder, true, false);
    EXPECT_EQ(builder.take(), QStringList({"message: adding " + b + " to " + package + "(b)."}));

    // A newer file replaces its member, which moves to the end.
    write("a.txt", "AAAA", 1600000005, 0644);
    addToRemoveFromArchive(package, "a", a, &builder, false, false);
    EXPECT_EQ(builder.take(), QStringList({"message: " + a + " is newer than " + package + "(a).",
                                           "message: adding " + a + " to " + package + "(a)."}));
    EXPECT_EQ(packageMembers(package),
              QStringList({"b:2:0:1600000000:BB", "a:4:1:1600000005:AAAA"}));

    // Force rewrites even when up to date.
    addToRemoveFromArchive(package, "b", b, &builder, false, true);
    EXPECT_EQ(builder.take(), QStringList({"message: adding " + b + " to " + package + "(b)."}));
    EXPECT_EQ(packageMembers(package),
              QStringList({"a:4:1:1600000005:AAAA", "b:2:0:1600000000:BB"}));

    addToRemoveFromArchive(package, "a", QString(), &builder, false, true);
    EXPECT_EQ(builder.take(), QStringList({"message: removing " + package + "(a)."}));
    EXPECT_EQ(packageMembers(package), QStringList({"b:2:0:1600000000:BB"}));

    // Only the package and the two sources are left in the directory.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
              QStringList({"a.txt", "b.txt", "pkg.hzq"}));
}

TEST_F(ArchiveTest, CorruptPackageIsTreatedAsEmpty) {
    // A file that is no container at all is covered end to end; a container
    // holding a bad archive counts as empty too.
    const QString package = path("pkg.hzq");
    const QString a = write("a.txt", "AAA");
    const QString bad = write("bad.plain", QByteArray("\xC8\xC3\x52\x41\x05\x00\x00\x00", 8));
    ASSERT_TRUE(QTx::compressFile(bad, package));
    addToRemoveFromArchive(package, "a", a, &builder, false, false);
    EXPECT_EQ(builder.take().first(), "message: " + package + "(a) does not exist.");
    EXPECT_EQ(packageMembers(package), QStringList({"a:3:1:1500000000:AAA"}));
}

TEST_F(ArchiveTest, LengthFieldIsOnlyASizeHint) {
    for (const int delta : {-1, 1, 1000000}) {
        const QString package = path("pkg.hzq");
        QFile::remove(package);
        addToRemoveFromArchive(package, "a", write("a.txt", "AAA"), nullptr, false, true);
        QByteArray packed = read(package);
        uchar* field = reinterpret_cast<uchar*>(packed.data()) + 8;
        const uint32_t length =
            uint32_t(field[0]) << 24 | field[1] << 16 | field[2] << 8 | field[3];
        const uint32_t wrong = length + uint32_t(delta);
        for (int i = 0; i < 4; ++i)
            field[i] = uchar(wrong >> (24 - 8 * i));
        write("pkg.hzq", packed);

        addToRemoveFromArchive(package, "b", write("b.txt", "BB"), nullptr, false, true);
        EXPECT_EQ(packageMembers(package),
                  QStringList({"a:3:1:1500000000:AAA", "b:2:1:1500000000:BB"}))
            << delta;
    }
}

TEST_F(ArchiveTest, FailedUpdateKeepsTheOldPackage) {
    const QString package = path("pkg.hzq");
    addToRemoveFromArchive(package, "a", write("a.txt", "AAA"), nullptr, false, true);
    const QByteArray before = read(package);
    ASSERT_FALSE(before.isEmpty());

    const QString missing = path("vanished.txt");
    addToRemoveFromArchive(package, "v", missing, &builder, false, true);
    EXPECT_EQ(builder.take(), QStringList({"message: adding " + missing + " to " + package + "(v).",
                                           "error: FATAL: read error on " + missing + "."}));
    EXPECT_EQ(read(package), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
              QStringList({"a.txt", "pkg.hzq"}));

    // A package that cannot be written is named itself, not its temporary.
    const QString nowhere = path("nodir/pkg.hzq");
    addToRemoveFromArchive(nowhere, "a", path("a.txt"), &builder, true, true);
    EXPECT_EQ(builder.take().last(), "error: FATAL: write error on " + nowhere + ".");
}
