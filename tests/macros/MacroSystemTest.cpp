#include "macros/MacroSystem.h"
#include "base/EnvironmentSettings.h"

#include <QDate>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString expand(const MacroMap& map, const char* text) {
    return macroSystem.replaceMacros(map, QString::fromUtf8(text));
}

TEST(MacroExpansion, ReferencesAndDefaults) {
    MacroMap m{{"InputName", "main"}, {"OBJ", ".hzo"}, {"f(x)", "fx"}};
    EXPECT_EQ(expand(m, "$(InputName)$(OBJ)"), "main.hzo");
    EXPECT_EQ(expand(m, "$$(OBJ)"), "$.hzo");
    EXPECT_EQ(expand(m, "cost $5"), "cost $5");
    EXPECT_EQ(expand(m, "end$"), "end$");
    EXPECT_EQ(expand(m, "$(Undefined)"), "$(Undefined)");
    EXPECT_EQ(expand(m, "$(Undefined:)"), "");
    EXPECT_EQ(expand(m, "$(Undefined:x:y)"), "x:y");
    EXPECT_EQ(expand(m, "$(f(x))"), "fx");
    EXPECT_EQ(expand(m, ""), "");
}

TEST(MacroExpansion, UnterminatedReferenceLosesOnlyItsDollar) {
    MacroMap m{{"c", "C"}};
    EXPECT_EQ(expand(m, "a$("), "a(");
    EXPECT_EQ(expand(m, "a$(b"), "a(b");
    // The reference after an unterminated one is still expanded.
    EXPECT_EQ(expand(m, "a$(b$(c)"), "a(bC");
}

TEST(MacroExpansion, SecondPassOnlyWhenAReferenceHeldDollar) {
    MacroMap m{{"B", "2"}};
    EXPECT_EQ(expand(m, "$(A:$(B))"), "2");
    m.insert("A", "$(B)");
    EXPECT_EQ(expand(m, "$(A)"), "$(B)");
    EXPECT_EQ(expand(m, "$(A) $(C:$(B))"), "2 2");
    // Nested defaults take one pass per level.
    EXPECT_EQ(expand(m, "$(X:$(Y:$(Z:$(B))))"), "2");
}

TEST(MacroExpansion, SelfReproducingReferenceTerminates) {
    // "$(B)" is undefined and has no default, so "$(A$(B))" reproduces itself
    // on every pass: expansion stops when a pass changes nothing.
    MacroMap m;
    EXPECT_EQ(expand(m, "x $(A$(B)) y"), "x $(A$(B)) y");
    // A value that keeps doubling ends at the size bound instead of hanging.
    m.insert("A", "$(C:$(A))$(C:$(A))");
    const QString grown = expand(m, "$(A) $(C:$(A))");
    EXPECT_GT(grown.size(), 1 << 20);
    EXPECT_LT(grown.size(), 1 << 22);
    // One that grows by a character a pass ends at the bound on the work of all
    // passes, long after any real expansion.
    m.insert("G", "$(G:$(x))y");
    const QString slow = expand(m, "$(G:$(x))");
    EXPECT_GT(slow.size(), 1000);
    EXPECT_LT(slow.size(), 1 << 20);
    // Two values that hand the text back and forth end once it repeats.
    m.insert("P", "$(Q:$(x))");
    m.insert("Q", "$(P:$(x))");
    const QString cycled = expand(m, "$(P:$(x))");
    EXPECT_TRUE(cycled == "$(P:$(x))" || cycled == "$(Q:$(x))") << cycled.toStdString();
}

TEST(MacroExpansion, LongChainsExpandFully) {
    // Forty nested defaults: one pass each, far past any small pass count.
    QString text = "end";
    for (int i = 0; i < 40; ++i)
        text = "$(N" + QString::number(i) + ":" + text + ")";
    EXPECT_EQ(macroSystem.replaceMacros(MacroMap{}, text), "end");
}

TEST(MacroExpansion, DateAndTimeAreComputedWhenExpanded) {
    MacroMap m{{"Date", "stale"}, {"Time", ""}};
    const QString date = expand(m, "$(Date)");
    EXPECT_NE(date, "stale");
    EXPECT_TRUE(QRegularExpression("^[1-9][0-9]? [A-Z][a-z]+ [0-9]{4}$").match(date).hasMatch())
        << date.toStdString();
    EXPECT_TRUE(QRegularExpression("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]$")
                    .match(expand(m, "$(Time)"))
                    .hasMatch());
    // Without an entry the default applies as for any other name.
    EXPECT_EQ(expand(MacroMap(), "$(Date:none)"), "none");
    QString value;
    EXPECT_FALSE(MacroSystem::dynamicMacro("Other", value));

    // Callers that keep results are told when one depended on the clock,
    // in the layered form too.
    const MacroMap base{{"Date", ""}, {"Time", ""}, {"A", "x"}, {"T", "$(Time)"}};
    const struct {
        MacroMap over;
        const char* text;
        bool dynamic;
    } cases[] = {{{}, "$(A)/$(B:y)", false},
                 {{}, "$(A)$(Time)", true},
                 {{{"Date", "mine"}}, "$(Date)", true},
                 {{{"Time", "$(A)"}}, "$(Time)", true},
                 {{}, "$(T)", false}}; // one pass: $(Time) is left as text
    for (const auto& c : cases) {
        bool dynamic = false;
        macroSystem.replaceMacros(c.over, base, c.text, &dynamic);
        EXPECT_EQ(dynamic, c.dynamic) << c.text;
    }
}

TEST(MacroLists, StoredTextRoundTrip) {
    const QStringList items{"a;b", "c\\d"};
    const QString text = MacroSystem::stringFromStringList(items);
    EXPECT_EQ(text, "a\\;b;c\\\\d");
    EXPECT_EQ(MacroSystem::stringListFromString(text), items);
    EXPECT_EQ(MacroSystem::stringListFromString(";;x;"), QStringList{"x"});
    EXPECT_EQ(MacroSystem::stringListFromString("a\\"), QStringList{"a\\"});
    // A leading empty item leaves no trace; a later one leaves its separator.
    EXPECT_EQ(MacroSystem::stringFromStringList({"", "x", ""}), "x;");
    EXPECT_TRUE(MacroSystem::stringListFromString("").isEmpty());
}

TEST(MacroLists, MapsFromAndToItems) {
    const MacroMap m = macroSystem.macrosFromStringList({"A=1", "B", "A=x=y", " C =v "});
    EXPECT_EQ(m.value("A"), "x=y");
    EXPECT_TRUE(m.contains("B"));
    EXPECT_EQ(m.value("B"), "");
    EXPECT_EQ(m.value(" C "), "v ");
    EXPECT_EQ(macroSystem.stringListFromMacros(m), (QStringList{"C=v ", "A=x=y", "B="}));

    const MacroMap over =
        macroSystem.overwriteMacros({{"A", "1"}, {"B", "2"}}, {{"B", "3"}, {"C", "4"}});
    EXPECT_EQ(over, (MacroMap{{"A", "1"}, {"B", "3"}, {"C", "4"}}));
}

class GlobalMacros : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<EnvironmentSettings>(dir.filePath("store/env.ini"));
        environment = store.get();
    }
    void TearDown() override { environment = nullptr; }

    QTemporaryDir dir;
    std::unique_ptr<EnvironmentSettings> store;
};

TEST_F(GlobalMacros, SetReplaceRemoveAndPersist) {
    macroSystem.setSystemMacro("StudioDir", "/opt/studio");
    macroSystem.setGlobalMacro("TOOLS", "/t;x");
    macroSystem.setGlobalMacro("LIB", "/l");
    EXPECT_EQ(macroSystem.globalMacros(false), (MacroMap{{"LIB", "/l"}, {"TOOLS", "/t;x"}}));
    macroSystem.setGlobalMacro("TOOLS", "/u");
    EXPECT_EQ(macroSystem.globalMacro("TOOLS"), "/u");
    EXPECT_EQ(macroSystem.globalMacro("StudioDir"), "/opt/studio");
    EXPECT_EQ(macroSystem.globalMacro("Missing"), "");
    macroSystem.setGlobalMacro("TOOLS", "");
    EXPECT_FALSE(macroSystem.globalMacros(true).contains("TOOLS"));

    // A fresh store on the same file sees what was written.
    macroSystem.setGlobalMacro("A", "a;b");
    EnvironmentSettings reopened(dir.filePath("store/env.ini"));
    EXPECT_EQ(reopened.globalMacrosText(), "A=a\\;b;LIB=/l");
    environment = &reopened;
    EXPECT_EQ(macroSystem.globalMacros(false), (MacroMap{{"A", "a;b"}, {"LIB", "/l"}}));
}

TEST_F(GlobalMacros, GlobalsOverrideSystemButNotDynamicValues) {
    macroSystem.setSystemMacro("Platform", "msp430");
    macroSystem.setGlobalMacro("Platform", "other");
    macroSystem.setGlobalMacro("Date", "never");
    const MacroMap m = macroSystem.globalMacros(true);
    EXPECT_EQ(m.value("Platform"), "other");
    EXPECT_EQ(macroSystem.systemMacro("Platform"), "msp430");
    EXPECT_TRUE(macroSystem.systemMacro("Nothing").isNull());
    EXPECT_NE(macroSystem.replaceMacros(m, "$(Date)"), "never");
}

TEST_F(GlobalMacros, RevisionMovesWheneverTheMapMayChange) {
    // Build caches keep maps until the revision moves: it must move on every
    // change of system macros, of the store, or of the store in use.
    quint64 seen = macroSystem.revision();
    auto moved = [&] {
        const quint64 now = macroSystem.revision();
        const bool result = now != seen;
        seen = now;
        return result;
    };
    EXPECT_FALSE(moved());
    macroSystem.setSystemMacro("StudioDir", "/a");
    EXPECT_TRUE(moved());
    macroSystem.setGlobalMacro("G", "1");
    EXPECT_TRUE(moved());
    EXPECT_EQ(macroSystem.globalMacro("G"), "1");
    EXPECT_FALSE(moved());
    EnvironmentSettings other(dir.filePath("store/other.ini"));
    environment = &other;
    EXPECT_TRUE(moved());
    EXPECT_EQ(macroSystem.globalMacro("G"), "");
    environment = store.get();
    EXPECT_TRUE(moved());
}

TEST_F(GlobalMacros, ToolChainRootDefaultsToStudioDir) {
    EXPECT_EQ(store->toolChainRootDirectory(), "$(StudioDir)");
    store->setToolChainRootDirectory("/tc");
    EXPECT_EQ(EnvironmentSettings(dir.filePath("store/env.ini")).toolChainRootDirectory(), "/tc");
}

} // namespace
