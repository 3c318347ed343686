#include "base/Path.h"

#include <gtest/gtest.h>

namespace {
QString folded(const char* text) {
    QString s = QString::fromLatin1(text);
    Path::removeRelativePaths(s);
    return s;
}
} // namespace

TEST(PathTest, FoldsDotAndDotDotComponents) {
    EXPECT_EQ(folded("/a/./b/../c"), "/a/c");
    EXPECT_EQ(folded("a/./b"), "a/b");
    EXPECT_EQ(folded("/x/y/../z"), "/x/z");
    EXPECT_EQ(folded("x/y/.."), "x");
    EXPECT_EQ(folded("a/b/."), "a/b");
    EXPECT_EQ(folded("/a/b/c/../../d"), "/a/d");
    EXPECT_EQ(folded("./a"), "./a");
    EXPECT_EQ(folded("a//b/./c"), "a//b/c");
    EXPECT_EQ(folded("file.c"), "file.c");
}

TEST(PathTest, KeepsDotDotWithoutPreviousComponent) {
    EXPECT_EQ(folded("a/../b"), "a/../b");
    EXPECT_EQ(folded("/../x"), "/../x");
    EXPECT_EQ(folded("../x/./y"), "../x/y");
}

TEST(PathTest, ConstructionAndSetPathNormalise) {
    EXPECT_EQ(Path("/a/./b/../c").canonicalPathQString(), "/a/c");
    EXPECT_EQ(Path(std::string("/p/q/../r")).osPathQString(), "/p/r");
    Path p(QStringLiteral("/u"));
    p.setPath(QStringLiteral("/v/w/./x/.."));
    EXPECT_EQ(p.osPathQString(), "/v/w");
    EXPECT_TRUE(Path().isEmpty());
}

TEST(PathTest, EqualityIsByCanonicalTextAndCaseSensitive) {
    EXPECT_EQ(Path("/x/y/../z"), Path("/x/z"));
    EXPECT_NE(Path("/X/z"), Path("/x/z"));
    Path a("/s/t");
    Path b = a;
    EXPECT_EQ(a, b);
    b.setPath(QStringLiteral("/s/u"));
    EXPECT_NE(a, b);
    EXPECT_EQ(a.osPathQString(), "/s/t") << "changing a copy must not change the original";

    EXPECT_FALSE(Path("/s/./t") < a);
    EXPECT_FALSE(a < Path("/s/./t"));
    EXPECT_TRUE(a < b);
    EXPECT_EQ(qHash(Path("/s/x/../t")), qHash(a));
}

TEST(PathTest, FileInfoFollowsSetPath) {
    Path p(QStringLiteral("/"));
    EXPECT_TRUE(p.fileInfo().isDir());
    p.setPath(QStringLiteral("/nonexistent/really/not/here"));
    EXPECT_FALSE(p.fileInfo().exists());
}
