#include "SolutionFixture.h"

#include "project/PropertyValueGroup.h"

namespace {

const char* kGroups = R"x(<!DOCTYPE Property_Groups>
<propertyGroups>
  <group name="board" group="Target" short="Board" long="The board." default="small">
    <groupEntry name="small">
      <property name="ram_size" value="256"/>
    </groupEntry>
    <groupEntry name="large">
      <property name="ram_size" value="2048"/>
      <property name="board_id" value="L" configuration="Common"/>
    </groupEntry>
  </group>
  <ifdef name="never_defined"><group name="hidden" default="x"/></ifdef>
  <group name="speed" default="slow"><groupEntry name="slow"/></group>
</propertyGroups>)x";

TEST_F(SolutionTest, PropertyGroupsSelectEntries) {
    PropertyValueGroups groups;
    groups.setGroupFile(write("groups.xml", kGroups));
    EXPECT_EQ(groups.getGroupNames(), QStringList({"board", "speed"}));
    PropertyValueGroupClass* board = groups.getGroupClass("board");
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->type(), PropertyClass::Enumeration);
    EXPECT_EQ(board->enumerates(), QStringList({"small", "large"}));
    EXPECT_EQ(board->defaultValue(), "small");
    EXPECT_EQ(board->shortDescription(), "Board");
    EXPECT_EQ(groups.getGroup("speed").attribute("default"), "slow");
    EXPECT_EQ(groups.getGroupValue(nullptr, "Debug", "nope"), nullptr);

    load("s.hzp", R"x(<solution Name="s" version="1"><project Name="p"/></solution>)x");
    ProjectElement* p = project("p");
    std::unique_ptr<PropertyValueGroupValue> v(groups.getGroupValue(p, "Debug", "board"));
    ASSERT_NE(v, nullptr);
    v->setPropertyValue("large");
    EXPECT_EQ(ps.specificSettingFor(p, board, "Debug"), "large");
    EXPECT_EQ(p->getConfigurationElement("Debug")->attribute("ram_size"), "2048");
    EXPECT_EQ(p->getConfigurationElement("Common")->attribute("board_id"), "L");
    EXPECT_EQ(v->toInt(), 1);

    // An unknown entry selects the default one.
    v->setPropertyValue("medium");
    EXPECT_EQ(ps.specificSettingFor(p, board, "Debug"), "small");
    EXPECT_EQ(p->getConfigurationElement("Debug")->attribute("ram_size"), "256");

    v->removeProperty();
    EXPECT_FALSE(p->getConfigurationElement("Debug")->hasAttribute("board"));
    EXPECT_FALSE(p->getConfigurationElement("Debug")->hasAttribute("ram_size"));

    groups.setGroupFile("None");
    EXPECT_TRUE(groups.getGroupNames().isEmpty());
    groups.setGroupFile(path("missing.xml"));
    EXPECT_TRUE(groups.getGroupNames().isEmpty());
    groups.setGroupFile(path("groups.xml")); // kept from the first load
    EXPECT_EQ(groups.getGroupClass("board"), board);
}

} // namespace
