#include "base/HString.h"
#include "base/pool.h"

#include <gtest/gtest.h>
#include <string>

TEST(HStringTest, EqualTextsAreTheSameObject) {
    HString* a = HString::intern("dependencies");
    HString* b = HString::intern(std::string("dependencies"));
    HString* c = HString::intern("dependencies-and-more", 12, HString::AsWritten);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    EXPECT_STREQ(a->text(), "dependencies");
    EXPECT_EQ(a->length(), 12u);
    EXPECT_NE(HString::intern("Dependencies"), a);
    EXPECT_EQ(HString::intern(-42L), HString::intern("-42"));
}

TEST(HStringTest, TextsWithZeroBytesAndEmptyText) {
    HString* z1 = HString::intern("a\0b", 3);
    HString* z2 = HString::intern("a\0c", 3);
    EXPECT_NE(z1, z2);
    EXPECT_EQ(z1, HString::intern("a\0b", 3));
    EXPECT_EQ(HString::intern(""), HString::intern("xyz", 0));
    EXPECT_EQ(HString::intern("")->length(), 0u);
}

TEST(HStringTest, ModifiersNormaliseBeforeLookup) {
    EXPECT_EQ(HString::intern("MiXeD", HString::Lower), HString::intern("mixed"));
    EXPECT_EQ(HString::intern("MiXeD", HString::Upper), HString::intern("MIXED"));
    EXPECT_EQ(HString::intern("a\\b/c", HString::ToSlash | HString::AsWritten),
              HString::intern("a/b/c"));
    EXPECT_EQ(HString::intern("A\\b/c", HString::ToBackslash | HString::Lower),
              HString::intern("a\\b\\c"));
}

TEST(HStringTest, LongTextStartsABlockOfLengthPlus4096) {
    HString::intern("prime the store");
    ASSERT_LT(HString::storeBytesLeft(), 5001u);
    const size_t blocks = HString::storeBlockCount();
    HString* s = HString::intern(std::string(5000, 'q'));
    EXPECT_EQ(HString::storeBlockCount(), blocks + 1);
    EXPECT_EQ(HString::storeBlockSize(), 9096u);
    EXPECT_EQ(HString::storeBytesLeft(), 9096u - 5001u);
    EXPECT_EQ(s->text()[5000], '\0');

    // Small texts go into the rest of the same block.
    HString::intern("small text after the long one");
    EXPECT_EQ(HString::storeBlockCount(), blocks + 1);
}

TEST(PoolTest, BlockSizesAndRounding) {
    Pool pool;
    char* a = static_cast<char*>(pool.allocate(1));
    EXPECT_EQ(pool.used(), 8u);
    EXPECT_EQ(pool.capacity(), 8192u);
    char* b = static_cast<char*>(pool.allocate(13));
    EXPECT_EQ(b, a + 8);
    EXPECT_EQ(pool.used(), 24u);

    pool.allocate(8193);
    EXPECT_EQ(pool.capacity(), 8200u);
    EXPECT_EQ(pool.used(), 8200u);
    EXPECT_EQ(pool.blockCount(), 2u);

    // Full head block: the next small request starts a fresh 8192-byte block.
    pool.allocate(16);
    EXPECT_EQ(pool.capacity(), 8192u);
    EXPECT_EQ(pool.used(), 16u);
    EXPECT_EQ(pool.blockCount(), 3u);

    pool.allocate(8192 - 16);
    EXPECT_EQ(pool.blockCount(), 3u) << "an exact fit stays in the block";

    pool.clear();
    EXPECT_EQ(pool.blockCount(), 0u);
    EXPECT_EQ(pool.used(), 0u);
    EXPECT_EQ(pool.capacity(), 0u);
}

namespace {
struct Node : PoolObject {
    long value[3];
};
} // namespace

TEST(PoolTest, PoolObjectsComeFromTheCurrentPool) {
    Pool pool;
    Pool* previous = Pool::currentPool();
    Pool::setCurrentPool(&pool);
    Node* n1 = new Node;
    Node* n2 = new Node;
    Pool::setCurrentPool(previous);
    EXPECT_EQ(pool.used(), 48u);
    EXPECT_EQ(reinterpret_cast<char*>(n2) - reinterpret_cast<char*>(n1), 24);
}
