#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/HReporter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>

namespace {
std::string messageOf(const std::string& path) {
    try {
        HFileInputByteStream stream(path);
    } catch (const HException& e) {
        return e.message();
    }
    return "no exception";
}
} // namespace

TEST(ByteStreamTest, ReadsWholeFileOrLazily) {
    QTemporaryDir dir;
    const QString name = dir.path() + "/data.bin";
    QByteArray content(100000, '\0');
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i % 251);
    {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const std::string path = name.toStdString();

    HFileInputByteStream whole(path);
    ASSERT_EQ(whole.size(), size_t(content.size()));
    EXPECT_EQ(memcmp(whole.data(), content.constData(), whole.size()), 0);

    HFileInputByteStream lazy(path, true);
    EXPECT_EQ(lazy.size(), size_t(content.size()));
    ASSERT_TRUE(lazy.ensure(10));
    EXPECT_EQ(lazy.data()[9], 9);
    ASSERT_TRUE(lazy.ensure(99999 + 1));
    EXPECT_EQ(lazy.data()[99999], char(99999 % 251));
    EXPECT_FALSE(lazy.ensure(100001));
}

TEST(ByteStreamTest, FailureMessages) {
    QTemporaryDir dir;
    const std::string missing = (dir.path() + "/nothing.hzo").toStdString();
    EXPECT_EQ(messageOf(missing), "can't open file " + missing);
    EXPECT_EQ(messageOf(dir.path().toStdString()), "can't read file " + dir.path().toStdString());
}

TEST(ReporterTest, WritesProgramNameAndCounts) {
    FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    HReporter report("./slipway", out);
    report.error("unrecognised option -foo");
    report.error(QStringLiteral("expected argument for option -config"));
    EXPECT_EQ(report.errorCount(), 2);
    std::rewind(out);
    char buffer[256] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, n), "./slipway: unrecognised option -foo\n"
                                      "./slipway: expected argument for option -config\n");
}
