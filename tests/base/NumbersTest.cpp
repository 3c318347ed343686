#include "base/Hint64.h"
#include "base/hexparse.h"

#include <gtest/gtest.h>

TEST(NumbersTest, ParsesEveryForm) {
    EXPECT_EQ(fromStringTouint64("0x1F"), 31u);
    EXPECT_EQ(fromStringTouint64("0x1f"), 31u);
    EXPECT_EQ(fromStringTouint64("017"), 15u);
    EXPECT_EQ(fromStringTouint64("0b101"), 5u);
    EXPECT_EQ(fromStringTouint64("1234"), 1234u);
    EXPECT_EQ(fromStringTouint64("+9"), 9u);
    EXPECT_EQ(fromStringTouint64(" -1"), ~uint64_t(0));
    EXPECT_EQ(fromStringTouint64("\t\n 0x10"), 16u);
    EXPECT_EQ(fromStringTouint64(""), 0u);
    EXPECT_EQ(fromStringTouint64("0"), 0u);
    EXPECT_EQ(fromStringTouint64("0x"), 0u);
    EXPECT_EQ(fromStringTouint64(QStringLiteral("0xFFFF")), 0xFFFFu);
    EXPECT_EQ(fromStringToint64("-0x10"), -16);
    EXPECT_EQ(fromStringToint64(QStringLiteral("-8")), -8);
    EXPECT_EQ(fromStringTouint64("0xffffffffffffffff"), ~uint64_t(0));
}

TEST(NumbersTest, EveryCharacterCountsAsADigit) {
    EXPECT_EQ(fromStringTouint64("12k"), 140u);
    EXPECT_EQ(fromStringTouint64("12K"), 140u);
    EXPECT_EQ(fromStringTouint64("09"), 9u) << "octal without a digit check";
    EXPECT_EQ(fromStringTouint64("0b12"), 4u);
    // A trailing blank is code 32, digit 32 - 55.
    EXPECT_EQ(fromStringTouint64("1 "), uint64_t(10 - 23));
}

TEST(NumbersTest, FormatsInAnyBase) {
    EXPECT_STREQ(toStringFromuint64(255, 16), "ff");
    EXPECT_STREQ(toStringFromuint64(0, 10), "0");
    EXPECT_STREQ(toStringFromuint64(5, 2), "101");
    EXPECT_STREQ(toStringFromuint64(35, 36), "z");
    EXPECT_STREQ(toStringFromuint64(~uint64_t(0), 2), std::string(64, '1').c_str());
    EXPECT_STREQ(toStringFromint64(-255, 16), "-ff");
    EXPECT_STREQ(toStringFromint64(INT64_MIN, 10), "-9223372036854775808");
    EXPECT_STREQ(toStringFromint64(42, 10), "42");
}

TEST(NumbersTest, DoublesAndSignExtension) {
    EXPECT_DOUBLE_EQ(fromStringToDouble("2.5e3"), 2500.0);
    EXPECT_DOUBLE_EQ(fromStringToDouble(QStringLiteral("-0.25")), -0.25);
    EXPECT_EQ(toStringFromDouble(1.5, "%.3f"), "1.500");

    EXPECT_EQ(signExtend(7, 0x80), -128);
    EXPECT_EQ(signExtend(7, 0x7F), 127);
    EXPECT_EQ(signExtend(15, 0xFFFE), -2);
    EXPECT_EQ(signExtend(3, 0x18), -8) << "bits above the sign bit become ones";
    EXPECT_EQ(signExtend(63, 5), 5);
}

TEST(HexParseTest, DigitsAndOverflow) {
    uint64_t v = 0;
    EXPECT_TRUE(parseHex("Ab09", 4, v));
    EXPECT_EQ(v, 0xAB09u);
    EXPECT_TRUE(parseHex("ffffffffffffffff", 16, v));
    EXPECT_EQ(v, ~uint64_t(0));
    EXPECT_FALSE(parseHex("10000000000000000", 17, v));
    EXPECT_FALSE(parseHex("12g4", 4, v));
    EXPECT_EQ(hexDigitValue('F'), 15);
    EXPECT_EQ(hexDigitValue('/'), -1);
}
