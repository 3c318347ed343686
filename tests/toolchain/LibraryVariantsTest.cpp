#include "toolchain/LibraryVariants.h"

#include <gtest/gtest.h>

using namespace LibraryVariants;

TEST(LibraryVariants, LibExtCoversMultiplierWidthAndThreading) {
    EXPECT_EQ(libExt("No", "Yes", "No"), "_sf");
    EXPECT_EQ(libExt("Yes", "Yes", "No"), "_hf");
    EXPECT_EQ(libExt("Inline", "No", "Yes"), "_hd_mt");
    EXPECT_EQ(libExt("No", "No", "Yes"), "_sd_mt");
    // Unknown texts fall to the non-"No" / non-"Yes" branches.
    EXPECT_EQ(libExt("", "maybe", ""), "_hd");
}

TEST(LibraryVariants, PrintfIntegerLevelsTakeWidthSuffix) {
    EXPECT_EQ(printfVariant("No", "Yes", "int", "Yes"), "int");
    EXPECT_EQ(printfVariant("No", "Yes", "long", "Yes"), "long");
    EXPECT_EQ(printfVariant("No", "Yes", "long long", "No"), "long_long_nwp");
    EXPECT_EQ(printfVariant("No", "No", "int", "No"), "int_nwp");
    // An unknown level leaves the variant part empty; only an exact "No" adds _nwp.
    EXPECT_EQ(printfVariant("No", "Yes", "short", "No"), "_nwp");
    EXPECT_EQ(printfVariant("No", "Yes", "short", ""), "");
    EXPECT_EQ(printfVariant("No", "Yes", "int", "no"), "int");
}

TEST(LibraryVariants, PrintfFloatingPointIgnoresWidthSetting) {
    EXPECT_EQ(printfVariant("Yes", "Yes", "int", "No"), "float_long");
    EXPECT_EQ(printfVariant("Yes", "Yes", "long", "No"), "float_long");
    EXPECT_EQ(printfVariant("Yes", "Yes", "long long", "No"), "float_long_long");
    EXPECT_EQ(printfVariant("Yes", "No", "int", "No"), "double_long_long");
    EXPECT_EQ(printfVariant("Yes", "", "nonsense", "Yes"), "double_long_long");
}

TEST(LibraryVariants, ScanfAppendsCharacterClassesToEveryVariant) {
    EXPECT_EQ(scanfVariant("No", "Yes", "int", "No"), "int");
    EXPECT_EQ(scanfVariant("No", "Yes", "long long", "Yes"), "long_long_cc");
    EXPECT_EQ(scanfVariant("Yes", "Yes", "int", "Yes"), "float_long_cc");
    EXPECT_EQ(scanfVariant("Yes", "No", "long", "Yes"), "double_long_long_cc");
    EXPECT_EQ(scanfVariant("No", "Yes", "", "Yes"), "_cc");
    EXPECT_EQ(scanfVariant("No", "Yes", "long", "yes"), "long");
}
