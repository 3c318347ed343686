#include "E2E.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {

// The global macros as the store holds them, read back through the store's own format.
QString storedMacros(const e2e::Sandbox& box) {
    QSettings store(box.settingsFile(), QSettings::IniFormat);
    return store.value("Environment/Macros/Global Macros").toString();
}

TEST(DriverMacros, DefineReplaceRemoveAcrossRuns) {
    e2e::Sandbox box;
    // Each run stops at the missing -config, after "-D" has been carried out.
    box.run({"-D", "TOOLS=/opt/t", "-D", "A=b=c", "s.hzp"});
    EXPECT_EQ(storedMacros(box), "A=b=c;TOOLS=/opt/t");

    box.run({"-D", "TOOLS=/usr/t;x", "s.hzp"});
    EXPECT_EQ(storedMacros(box), "A=b=c;TOOLS=/usr/t\\;x");

    box.run({"-D", "TOOLS", "s.hzp"});
    EXPECT_EQ(storedMacros(box), "A=b=c");
    box.run({"-D", "A=", "-D", "NEVER", "s.hzp"});
    EXPECT_EQ(storedMacros(box), "");
    EXPECT_FALSE(box.exists("home/.config"));
}

TEST(DriverMacros, DefinitionsBeforeAParseErrorStillPersist) {
    e2e::Sandbox box;
    const e2e::Result r = box.run({"-D", "KEEP=1", "-wrong"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(storedMacros(box), "KEEP=1");
}

} // namespace
