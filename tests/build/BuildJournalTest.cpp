#include "build/BuildJournal.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Records survive the object that wrote them (as after a kill), a torn last
// line is ignored, and the journal is removed once nothing is unfinished.
TEST(BuildJournal, UnfinishedOutputsOutliveTheRunThatStopped) {
    QTemporaryDir dir;
    const QString path = dir.filePath("cache/deps.journal");
    const QString odd = QStringLiteral("a\\b\nc.o");
    {
        BuildJournal run(path);
        run.load();
        EXPECT_TRUE(run.started({"x.o", odd, "y.o"}));
        EXPECT_TRUE(run.finished({"y.o"}));
        // Killed here: no close().
    }
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("f x.o"); // torn: no line feed
    }
    BuildJournal next(path);
    next.load();
    EXPECT_TRUE(next.unfinished("x.o"));
    EXPECT_TRUE(next.unfinished(odd));
    EXPECT_FALSE(next.unfinished("y.o"));
    EXPECT_FALSE(next.unfinished("a\\b"));

    next.finished({"x.o"});
    next.close();
    EXPECT_EQ(BuildJournal::unfinishedIn([&] {
                  QFile file(path);
                  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
              }()),
              QSet<QString>{odd});
    next.finished({odd});
    next.close();
    EXPECT_FALSE(QFile::exists(path));
}

// A run that ends while another still holds the journal leaves it alone.
TEST(BuildJournal, OnlyTheLastRunCompacts) {
    QTemporaryDir dir;
    const QString path = dir.filePath("deps.journal");
    BuildJournal first(path), second(path);
    first.started({"a.o"});
    second.started({"b.o"});
    second.finished({"b.o"});
    second.close();
    EXPECT_TRUE(QFile::exists(path));
    first.finished({"a.o"});
    first.close();
    EXPECT_FALSE(QFile::exists(path));
}
