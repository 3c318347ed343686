#include "build/BuildFiles.h"

#include "FakeFileSystem.h"

#include <gtest/gtest.h>

namespace {

TEST(BuildFiles, DirectoriesAreMadeOutermostFirstWithoutTheDisk) {
    FakeFileSystem fs;
    fs.write("/p/old/a.o", "x", 5);
    BuildFiles files;
    files.setFileSystem(&fs);
    EXPECT_FALSE(files.stat("/p/old/new").exists);
    files.makeDirs("/p/old/new/deeper/../deep");
    EXPECT_TRUE(fs.isDir("/p/old/new/deep"));
    EXPECT_FALSE(fs.has("/p/old/new/deeper"));
    // What was stat'ed before is seen as made.
    EXPECT_TRUE(files.stat("/p/old/new").isDir);
    files.makeDirs("/");
    files.makeDirs("/p/old/a.o/sub"); // a file in the way: nothing is made
    EXPECT_FALSE(fs.has("/p/old/a.o/sub"));
    EXPECT_EQ(fs.entries.keys(),
              QStringList({"/p", "/p/old", "/p/old/a.o", "/p/old/new", "/p/old/new/deep"}));
}

} // namespace
