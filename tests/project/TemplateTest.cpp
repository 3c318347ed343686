#include "SolutionFixture.h"

#include "macros/MacroSystem.h"
#include "project/ProjectTemplates.h"

namespace {

const char* kTemplates = R"x(<!DOCTYPE Project_Templates>
<projects>
  <project template_name="exe" type="Executable">
    <configuration name="Debug"/>
    <folder name="Source Files" filter="c;h">
      <file name="$(StudioDir)/src/crt0.s"/>
      <file name="$(Keep)/x.c" expand="NO"/>
      <file name="main.c"/>
    </folder>
    <folder name="System Files" filter="s"/>
    <property name="c_preprocessor_definitions" value="FROM_TEMPLATE"/>
    <property name="build_intermediate_directory" value="$(StudioDir)/obj" configuration="Debug" expand="Yes"/>
    <property name="build_output_directory" value="$(StudioDir)/out"/>
    <property name="existing" value="template"/>
  </project>
  <ifdef name="not_defined"><project template_name="hidden"/></ifdef>
  <configurations name="Debug">
    <property name="inherited_configurations" value="Base"/>
    <property name="build_debug_information" value="Yes"/>
    <property name="differs" value="template"/>
    <property name="same" value="kept"/>
    <property name="skipped" value=""/>
  </configurations>
  <configurations name="Base">
    <property name="inherited_configurations" value="Debug"/>
    <property name="optimize" value="None"/>
  </configurations>
</projects>)x";

TEST_F(SolutionTest, TemplatedProjectsAreFilledWhenLoaded) {
    macroSystem.setSystemMacro("StudioDir", path("studio"));
    write("studio/targets/project_templates.xml", kTemplates);
    load("s.hzp", R"x(<solution Name="s" version="1">
  <configuration Name="Debug" differs="solution" same="kept"/>
  <project Name="app" template_name="exe">
    <configuration Name="Common" existing="mine"/>
    <folder Name="Source Files"><file file_name="main.c"/></folder>
  </project>
</solution>)x");
    macroSystem.setSystemMacro("StudioDir", QString());

    ProjectElement* app = project("app");
    ASSERT_NE(app, nullptr);
    EXPECT_FALSE(app->hasAttribute("template_name"));
    EXPECT_TRUE(ps.templateRequests().isEmpty());
    EXPECT_FALSE(ps.modified());
    EXPECT_EQ(ps.getProjectType(app), "Executable");

    // The existing folder is reused and completed; its main.c is not doubled.
    ProjectElement* src = ProjectSystem::findFolder(app, "Source Files");
    ASSERT_NE(src, nullptr);
    QStringList folders, files;
    for (ProjectElement* c : app->children())
        if (c->isFolder()) folders << c->name();
    for (ProjectElement* f : ProjectSystem::sourceFiles(src))
        files << f->fileName();
    EXPECT_EQ(folders, QStringList({"Source Files", "System Files"}));
    EXPECT_EQ(files, QStringList({"main.c", path("studio/src/crt0.s"), "$(Keep)/x.c"}));
    EXPECT_EQ(ps.specificSettingFor(src, ps.filterProperty(), "Common"), "c;h");

    // Settings kept, expanded or not, are also checked end to end on the compile line.
    ProjectElement* common = app->getConfigurationElement("Common");
    EXPECT_EQ(common->attribute("c_preprocessor_definitions"), "FROM_TEMPLATE");
    EXPECT_EQ(common->attribute("existing"), "mine");
    EXPECT_EQ(app->getConfigurationElement("Debug")->attribute("build_intermediate_directory"),
              path("studio/obj"));

    // Configurations from their templates, with an inheritance loop cut short.
    ProjectElement* debug = ps.solutionElement()->getConfigurationElement("Debug");
    EXPECT_EQ(debug->attribute("inherited_configurations"), "Base");
    EXPECT_EQ(debug->attribute("build_debug_information"), "Yes");
    EXPECT_EQ(debug->attribute("differs"), "solution");
    EXPECT_FALSE(debug->hasAttribute("skipped"));
    EXPECT_EQ(app->getConfigurationElement("Debug")->attribute("differs"), "template");
    EXPECT_FALSE(app->getConfigurationElement("Debug")->hasAttribute("same"));
    ProjectElement* base = ps.solutionElement()->getConfigurationElement("Base");
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->attribute("optimize"), "None");
    EXPECT_EQ(ps.getInheritedConfigurations(app, "Debug"), QStringList({"Base"}));

    ASSERT_TRUE(ps.saveProjectFile(ps.solutionElement(), path("saved.hzp")));
    QString saved = read(path("saved.hzp"));
    EXPECT_FALSE(saved.contains("template_name"));
    EXPECT_TRUE(saved.contains("<folder Name=\"System Files\">"));
}

TEST_F(SolutionTest, TemplateIndexes) {
    ProjectTemplates none(path("missing.xml"));
    EXPECT_EQ(none.findTemplate("exe"), nullptr);

    ProjectTemplates templates(write("t.xml", kTemplates));
    ASSERT_NE(templates.findTemplate("exe"), nullptr);
    EXPECT_EQ(templates.findTemplate("hidden"), nullptr); // left out by the preprocessor
    ASSERT_NE(templates.findConfiguration("Base"), nullptr);
    EXPECT_EQ(templates.findConfiguration("Release"), nullptr);
}

} // namespace
