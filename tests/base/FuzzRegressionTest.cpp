// Inputs found by the fuzz targets in fuzz/. Some of these only fail in the
// sanitizer build (make test-asan), where undefined behaviour stops the test.

#include "base/HString.h"

#include <gtest/gtest.h>

TEST(BaseFuzzRegression, EmptyTextWithEveryModifier) {
    HString* plain = HString::intern("", 0, HString::AsWritten);
    for (unsigned modifier : {0x00u, 0x01u, 0x10u, 0x21u}) {
        HString* s = HString::intern("", 0, HString::Modifier(modifier));
        EXPECT_EQ(s, plain) << modifier;
        EXPECT_STREQ(s->text(), "");
    }
}
