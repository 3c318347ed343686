#include "E2E.h"

#include <QByteArray>
#include <QFileInfo>
#include <QtEndian>

#include <gtest/gtest.h>

// Staging projects that gather their outputs into a compressed package: the
// container and archive bytes, and which runs refresh which members.

namespace {

struct Member {
    std::string name;
    quint32 offset = 0, size = 0, writable = 0, time = 0;
    QByteArray data;
};

quint32 word(const QByteArray& bytes, int at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Unpacks a package, checking the container header and the archive layout
// (magic, count, directory entries, data offsets) on the way.
std::vector<Member> unpack(const QByteArray& package) {
    std::vector<Member> members;
    const QByteArray header("\x7A\xF4\x31\xB2\x01\x00\x00\x00", 8);
    EXPECT_EQ(package.left(8).toHex().toStdString(), header.toHex().toStdString());
    const QByteArray archive = qUncompress(package.mid(8));
    EXPECT_GE(archive.size(), 8);
    if (archive.size() < 8) return members;
    EXPECT_EQ(word(archive, 0), 0x4152C3C8u);
    const int count = int(word(archive, 4));
    EXPECT_GE(archive.size(), 8 + count * 1040);
    if (count < 0 || archive.size() < 8 + count * 1040) return members;
    quint32 next = 8 + quint32(count) * 1040;
    for (int i = 0; i < count; ++i) {
        const int entry = 8 + i * 1040;
        Member m;
        m.name = archive.mid(entry, 1024).constData();
        m.offset = word(archive, entry + 1024);
        m.size = word(archive, entry + 1028);
        m.writable = word(archive, entry + 1032);
        m.time = word(archive, entry + 1036);
        EXPECT_EQ(m.offset, next) << m.name;
        next = m.offset + m.size;
        m.data = archive.mid(int(m.offset), int(m.size));
        members.push_back(m);
    }
    EXPECT_EQ(quint32(archive.size()), next);
    return members;
}

std::vector<std::string> names(const std::vector<Member>& members) {
    std::vector<std::string> result;
    for (const Member& m : members)
        result.push_back(m.name);
    return result;
}

const QByteArray solution = R"xml(<!DOCTYPE Halyard_Project_File>
<solution Name="s" version="1">
  <configuration Name="Debug"/>
  <project Name="st">
    <configuration Name="Common" project_type="Staging" stage_package_filepath="$(OutDir)/fw.hzq"/>
    <file file_name="a.txt"><configuration Name="Common" stage_package_member_name="docs/a"/></file>
    <file file_name="b.bin">
      <configuration Name="Common" stage_package_member_name="b" stage_set_readonly="Yes"/>
    </file>
  </project>
</solution>
)xml";

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        box.write("a.txt", "alpha\n");
        box.write("b.bin", QByteArray("\x00\x01\x02\xff", 4));
        box.setTime("a.txt", 1600000000);
        box.setTime("b.bin", 1600000100);
        box.write("s.hzp", solution);
    }
    e2e::Result build(bool verbose = false) {
        QStringList args{"-config", "Debug", "s.hzp"};
        if (verbose) args.prepend("-verbose");
        return box.run(args);
    }
    std::vector<Member> package() const {
        return unpack(QByteArray::fromStdString(box.read("Debug/fw.hzq")));
    }
    std::string staged(const char* name) const {
        return box.file(QString("Debug/") + name).toStdString();
    }
    std::string pkg() const { return "Debug/fw.hzq"; }
    e2e::Sandbox box;
};

TEST_F(Package, FirstBuildPacksEveryStagedFile) {
    const e2e::Result r = build();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("adding " + staged("a.txt") + " to " + pkg() + "(docs/a).\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("adding " + staged("b.bin") + " to " + pkg() + "(b).\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("does not exist"), std::string::npos) << r.out;

    const std::vector<Member> members = package();
    ASSERT_EQ(names(members), (std::vector<std::string>{"docs/a", "b"}));
    EXPECT_EQ(members[0].data, QByteArray("alpha\n"));
    EXPECT_EQ(members[1].data, QByteArray("\x00\x01\x02\xff", 4));
    // Times and permissions are those of the staged copies.
    EXPECT_EQ(members[0].time,
              QFileInfo(box.file("Debug/a.txt")).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(members[1].time,
              QFileInfo(box.file("Debug/b.bin")).lastModified().toSecsSinceEpoch());
    EXPECT_EQ(members[0].writable, 1u);
    EXPECT_EQ(members[1].writable, 0u);
    EXPECT_FALSE(box.exists("Debug/fw.hzq.decompressed"));
    EXPECT_FALSE(box.exists("tmp"));
}

TEST_F(Package, UpToDateRunLeavesThePackageAlone) {
    build();
    const std::string before = box.read("Debug/fw.hzq");
    box.setTime("Debug/fw.hzq", 1700000000);

    const e2e::Result r = build(true);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("'Debug/a.txt' is up to date.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("'" + pkg() + "(docs/a)' is up to date.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("'" + pkg() + "(b)' is up to date.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("adding"), std::string::npos) << r.out;
    EXPECT_EQ(box.read("Debug/fw.hzq"), before);
    EXPECT_EQ(QFileInfo(box.file("Debug/fw.hzq")).lastModified().toSecsSinceEpoch(), 1700000000);

    // Without -verbose nothing is said about up-to-date members.
    const e2e::Result quiet = build();
    EXPECT_EQ(quiet.out.find("up to date"), std::string::npos) << quiet.out;
}

TEST_F(Package, ChangedSourceRefreshesOnlyItsMember) {
    build();
    box.write("a.txt", "alpha two\n");
    box.setTime("a.txt", 1900000000);

    const e2e::Result r = build(true);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("adding " + staged("a.txt") + " to " + pkg() + "(docs/a).\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("'" + pkg() + "(b)' is up to date.\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("(b).\n"), std::string::npos) << r.out;

    // The refreshed member moves to the end; the other keeps its bytes.
    const std::vector<Member> members = package();
    ASSERT_EQ(names(members), (std::vector<std::string>{"b", "docs/a"}));
    EXPECT_EQ(members[0].data, QByteArray("\x00\x01\x02\xff", 4));
    EXPECT_EQ(members[1].data, QByteArray("alpha two\n"));
    EXPECT_EQ(members[1].time,
              QFileInfo(box.file("Debug/a.txt")).lastModified().toSecsSinceEpoch());
}

TEST_F(Package, UpToDateCopiesRefillAMissingOrOlderPackage) {
    build();
    // The staged copies stay up to date; only the package is behind.
    box.setTime("Debug/b.bin", 1950000000);
    e2e::Result r = build(true);
    EXPECT_NE(r.out.find("'Debug/b.bin' is up to date.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(staged("b.bin") + " is newer than " + pkg() + "(b).\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("adding " + staged("b.bin") + " to " + pkg() + "(b).\n"),
              std::string::npos)
        << r.out;
    std::vector<Member> members = package();
    ASSERT_EQ(names(members), (std::vector<std::string>{"docs/a", "b"}));
    EXPECT_EQ(members[1].time, 1950000000u);

    QFile::remove(box.file("Debug/fw.hzq"));
    r = build(true);
    EXPECT_NE(r.out.find(pkg() + "(docs/a) does not exist.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(pkg() + "(b) does not exist.\n"), std::string::npos) << r.out;
    members = package();
    EXPECT_EQ(names(members), (std::vector<std::string>{"docs/a", "b"}));
}

TEST_F(Package, CorruptPackageIsRebuiltFromTheStagedFiles) {
    box.write("Debug/fw.hzq", "not a package at all");
    const e2e::Result r = build();
    EXPECT_EQ(r.status, 0);
    const std::vector<Member> members = package();
    EXPECT_EQ(names(members), (std::vector<std::string>{"docs/a", "b"}));
}

} // namespace
