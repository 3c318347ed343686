// Inputs found by the fuzz targets in fuzz/.

#include "macros/MacroSystem.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

// A macro that doubles on every pass and leaves an unclosed reference each
// time, and a reference that asks for pass after pass: the text grows to
// about a million characters, a large part of them unclosed references.
// Each pass must stay linear in the text.
TEST(MacrosFuzzRegression, RunawayExpansionWithUnclosedReferencesEnds) {
    const MacroMap map{{"X", "$(X)$(X)$(Q"}};
    QElapsedTimer timer;
    timer.start();
    const QString result = macroSystem.replaceMacros(map, "$(X) $($(Y))");
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(result.endsWith("$($(Y))"));
    EXPECT_GT(result.size(), 1000);
}
