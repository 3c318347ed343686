#include "build/DependencyLog.h"

#include <gtest/gtest.h>

#include "FakeFileSystem.h"

namespace {

FileStat stamp(qint64 size, qint64 modified, qint64 changed, quint64 inode, quint64 device = 7) {
    FileStat st;
    st.exists = true;
    st.seconds = modified / 1000000000;
    st.size = size;
    st.modifiedNs = modified;
    st.changedNs = changed;
    st.inode = inode;
    st.device = device;
    return st;
}

class DependencyLogTest : public ::testing::Test {
protected:
    const QString logPath = "/home/cache/deps";
    FakeFileSystem fs;
};

TEST_F(DependencyLogTest, AnswersOnlyForTheSameVersionOfTheObject) {
    const FileStat a = stamp(276, 1700000000123456789, 1700000000223456789, 42);
    {
        DependencyLog log(logPath, fs);
        EXPECT_FALSE(log.load()); // no log yet
        log.record("/p/Debug/a.hzo", a, {"/p/a.c", "/p/inc/h é.h"});
        log.record("/p/Debug/bad.hzo", stamp(3, 5, 6, 43), {}); // unreadable object: no list
        // A stamp the file system could not give is never cached.
        log.record("/p/Debug/fake.hzo", stamp(1, 1, 1, 0), {"x"});
        EXPECT_TRUE(log.dirty());
        ASSERT_TRUE(log.save());
        EXPECT_FALSE(log.dirty());
    }
    DependencyLog log(logPath, fs);
    ASSERT_TRUE(log.load());
    EXPECT_EQ(log.size(), 2);
    QStringList deps;
    ASSERT_TRUE(log.find("/p/Debug/a.hzo", a, deps));
    EXPECT_EQ(deps, QStringList({"/p/a.c", "/p/inc/h é.h"}));
    ASSERT_TRUE(log.find("/p/Debug/bad.hzo", stamp(3, 5, 6, 43), deps));
    EXPECT_TRUE(deps.isEmpty());
    EXPECT_FALSE(log.find("/p/Debug/fake.hzo", stamp(1, 1, 1, 0), deps));
    EXPECT_FALSE(log.find("/p/Debug/other.hzo", a, deps));

    // Any difference in the stamp means another version of the object.
    const FileStat changed[] = {
        stamp(277, a.modifiedNs, a.changedNs, 42), stamp(276, a.modifiedNs + 1, a.changedNs, 42),
        stamp(276, a.modifiedNs, a.changedNs + 1, 42), stamp(276, a.modifiedNs, a.changedNs, 41),
        stamp(276, a.modifiedNs, a.changedNs, 42, 8)};
    for (const FileStat& st : changed)
        EXPECT_FALSE(log.find("/p/Debug/a.hzo", st, deps));
    FileStat gone = a;
    gone.exists = false;
    EXPECT_FALSE(log.find("/p/Debug/a.hzo", gone, deps));
    // Lookups alone leave nothing to write.
    EXPECT_FALSE(log.dirty());
}

TEST_F(DependencyLogTest, DamagedLogsAreIgnored) {
    {
        DependencyLog log(logPath, fs);
        log.record("/p/a.hzo", stamp(1, 2, 3, 4), {"/p/a.c", "/p/a.h"});
        log.record("/p/b.hzo", stamp(5, 6, 7, 8), {"/p/b.c"});
        ASSERT_TRUE(log.save());
    }
    const QByteArray good = fs.entries.value(logPath).data;
    ASSERT_GT(good.size(), 16);
    // Every truncation, a flipped magic and absurd counts: nothing is believed,
    // nothing crashes, and a fresh log can be written over the damage.
    QList<QByteArray> damaged;
    for (int n = 0; n < good.size(); ++n)
        damaged << good.left(n);
    QByteArray magic = good;
    magic[0] = 'X';
    QByteArray oldFormat = good;
    oldFormat[6] = 'l'; // the previous layout's magic
    oldFormat[7] = '\n';
    damaged << magic << oldFormat << good + QByteArray(1, '\0');
    // Two entries of 56 and 52 bytes end the file, after their count.
    const qsizetype entries = good.size() - 108 - 4;
    // Counts, a length and indexes far beyond the file.
    const qsizetype absurd[] = {8,                // path count
                                12,               // first path's length
                                entries,          // entry count
                                entries + 4 + 40, // first entry's object
                                entries + 4 + 44, // first entry's dependency count
                                good.size() - 4}; // last dependency
    for (qsizetype at : absurd) {
        QByteArray bytes = good;
        for (qsizetype i = at; i < at + 4; ++i)
            bytes[i] = char(0xff);
        damaged << bytes;
    }
    for (const QByteArray& bytes : damaged) {
        fs.write(logPath, bytes, 1);
        DependencyLog log(logPath, fs);
        EXPECT_FALSE(log.load()) << bytes.size();
        EXPECT_EQ(log.size(), 0);
    }
    DependencyLog log(logPath, fs);
    log.record("/p/c.hzo", stamp(1, 1, 1, 1), {"/p/c.c"});
    ASSERT_TRUE(log.save());
    ASSERT_TRUE(log.load());
    EXPECT_EQ(log.size(), 1);
}

TEST_F(DependencyLogTest, SavingKeepsOnlyEntriesThatStillDescribeTheirObject) {
    const QString kept = "/p/Release/kept.hzo";
    const QString rewritten = "/p/Release/rewritten.hzo";
    const QString removed = "/p/Release/removed.hzo";
    for (const QString& path : {kept, rewritten, removed})
        fs.write(path, "object", 10);
    {
        DependencyLog log(logPath, fs);
        for (const QString& path : {kept, rewritten, removed})
            log.record(path, fs.stat(path), {"s.c"});
        ASSERT_TRUE(log.save());
    }
    fs.write(rewritten, "another object", 10);
    ASSERT_TRUE(fs.remove(removed));

    // A later run that builds another configuration records its own object;
    // the untouched entries survive only while they are still true, and one
    // recorded again replaces what was loaded.
    DependencyLog log(logPath, fs);
    ASSERT_TRUE(log.load());
    log.record("/p/Debug/new.hzo", stamp(1, 1, 1, 99), {"n.c"});
    ASSERT_TRUE(log.save());
    log.record(removed, stamp(2, 2, 2, 98), {"t.c", "s.c"});
    EXPECT_EQ(log.size(), 4);
    ASSERT_TRUE(log.save());
    DependencyLog reloaded(logPath, fs);
    ASSERT_TRUE(reloaded.load());
    QStringList deps;
    EXPECT_TRUE(reloaded.find(kept, fs.stat(kept), deps));
    EXPECT_TRUE(reloaded.find("/p/Debug/new.hzo", stamp(1, 1, 1, 99), deps));
    EXPECT_FALSE(reloaded.find(rewritten, fs.stat(rewritten), deps));
    ASSERT_TRUE(reloaded.find(removed, stamp(2, 2, 2, 98), deps));
    EXPECT_EQ(deps, QStringList({"t.c", "s.c"}));
    EXPECT_EQ(reloaded.size(), 3);
}

TEST(DependencyLogPath, OnePerSolution) {
    const QString a = DependencyLog::pathFor("/c", "/w/app/app.hzp");
    EXPECT_TRUE(a.startsWith("/c/deps-"));
    EXPECT_EQ(a, DependencyLog::pathFor("/c", "/w/app/app.hzp"));
    EXPECT_NE(a, DependencyLog::pathFor("/c", "/w/lib/app.hzp"));
}

} // namespace
