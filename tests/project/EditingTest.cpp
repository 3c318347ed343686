#include "SolutionFixture.h"

#include "macros/MacroSystem.h"

namespace {

TEST(RelativePaths, DirectoriesAndFiles) {
    QString out = "junk";
    EXPECT_TRUE(ProjectSystem::relativeDirPath("/a/b", "/a/c/d", out));
    EXPECT_EQ(out, "../c/d");
    EXPECT_TRUE(ProjectSystem::relativeDirPath("/a/b", "/a/b", out));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(ProjectSystem::relativeDirPath("/a/b/c", "/a", out));
    EXPECT_EQ(out, "../..");
    EXPECT_TRUE(ProjectSystem::relativeDirPath("/a/b", ".", out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(ProjectSystem::relativeDirPath("/x", "/y", out));
    EXPECT_EQ(ProjectSystem::relativeFilePath("/a/b", "/a/c/f.c"), "../c/f.c");
    EXPECT_EQ(ProjectSystem::relativeFilePath("/a/b", "/a/b/f.c"), "f.c");
    EXPECT_EQ(ProjectSystem::relativeFilePath("/x", "/y/f.c"), "/y/f.c");
}

TEST_F(SolutionTest, ProjectDirectoriesAndFilePaths) {
    macroSystem.setSystemMacro("Tools", "/opt/tools");
    load("sln/demo.hzp", R"x(<solution Name="demo" version="1">
  <project Name="plain">
    <file file_name="src/./main.c"/>
    <file file_name="$(Tools)/lib/x.c"/>
  </project>
  <project Name="rel">
    <configuration Name="Common" project_directory="../other//dir/."/>
    <folder Name="F"><file file_name="../shared/a.c"/></folder>
  </project>
  <project Name="abs">
    <configuration Name="Common" project_directory="/opt/abs"/>
    <file file_name="/opt/abs/in/b.c"/>
    <file file_name="/elsewhere/c.c"/>
  </project>
  <file file_name="notes.txt"/>
</solution>)x");
    const QString sln = path("sln");
    ProjectElement* plain = project("plain");
    ProjectElement* rel = project("rel");
    ProjectElement* abs = project("abs");
    EXPECT_EQ(ps.projectDirectoryPath(plain), sln);
    EXPECT_EQ(ps.projectDirectoryPath(rel), path("other/dir"));
    EXPECT_EQ(ps.projectDirectoryPath(abs), "/opt/abs");
    EXPECT_EQ(ps.getProjectDirectory(rel), "../other//dir/.");
    EXPECT_EQ(ps.getProjectDirectory(plain), "");

    QList<ProjectElement*> files = ProjectSystem::sourceFiles(ps.solutionElement());
    ASSERT_EQ(files.size(), 6);
    EXPECT_EQ(files[0]->getPath().osPathQString(), sln + "/src/main.c");
    EXPECT_EQ(files[0]->getRelativePath(), "src/./main.c");
    EXPECT_EQ(files[0]->getProjectDirectory(), sln);
    // File names expand global macros; the name itself keeps the reference.
    EXPECT_EQ(files[1]->getPath().osPathQString(), "/opt/tools/lib/x.c");
    EXPECT_EQ(files[1]->fileName(), "$(Tools)/lib/x.c");
    macroSystem.setSystemMacro("Tools", QString());
    EXPECT_EQ(files[2]->getPath().osPathQString(), path("other/shared/a.c"));
    EXPECT_EQ(files[3]->getRelativePath(), "in/b.c");
    EXPECT_EQ(files[4]->getRelativePath(), "/elsewhere/c.c"); // nothing in common
    EXPECT_EQ(files[5]->getPath().osPathQString(), sln + "/notes.txt");

    EXPECT_EQ(ProjectSystem::findRelativeFile(ps.solutionElement(), "IN/B.C"), files[3]);
    EXPECT_EQ(ProjectSystem::findAbsoluteFile(ps.solutionElement(), path("other/x/../shared/a.c")),
              files[2]);
    EXPECT_TRUE(ProjectSystem::containsFile(rel, path("other/shared/a.c")));
    EXPECT_FALSE(ProjectSystem::containsFile(plain, path("other/shared/a.c")));
    EXPECT_EQ(ProjectSystem::findFile(plain, "src/./main.c"), files[0]);
    EXPECT_EQ(ProjectSystem::findFile(rel, "../shared/a.c"), nullptr); // not a direct child
    EXPECT_EQ(ps.defaultFileLocation(files[2]), path("other/dir"));
}

TEST_F(SolutionTest, FileStatusIsNotCachedAcrossChanges) {
    load("demo.hzp", R"x(<solution Name="demo" version="1">
  <project Name="p"><file file_name="late.c"/></project></solution>)x");
    ProjectElement* f = ProjectSystem::sourceFiles(project("p")).first();
    EXPECT_FALSE(f->getQFileInfo().exists());
    write("late.c", "int x;");
    EXPECT_TRUE(f->getQFileInfo().exists());
}

TEST_F(SolutionTest, AddingFilesAndFolders) {
    load("demo.hzp", R"x(<solution Name="demo" version="1"><project Name="p"/></solution>)x");
    ProjectElement* p = project("p");
    ProjectElement* src = ps.createFolder(p, "Source Files", "c;cpp", true);
    ProjectElement* hdr = ps.createFolder(p, "Headers", "h, hpp");
    EXPECT_EQ(ps.createFolder(p, "Source Files", "ignored"), src);
    EXPECT_EQ(ps.specificSettingFor(src, ps.filterProperty(), "Common"), "c;cpp");

    ProjectElement* c = ps.addFile(p, path("sub/main.C"));
    ProjectElement* h = ps.addFile(p, "inc/main.hpp");
    ProjectElement* other = ps.addFile(p, path("notes.txt"));
    ProjectElement* forced = ps.addFile(hdr, "x.c");
    ProjectElement* macro = ps.addFile(p, "$(StudioDir)/lib/crt0.s");
    EXPECT_EQ(c->parent(), src);
    EXPECT_EQ(c->fileName(), "sub/main.C");
    EXPECT_EQ(h->parent(), hdr);
    EXPECT_EQ(h->getPath().osPathQString(), path("inc/main.hpp"));
    EXPECT_EQ(other->parent(), p);
    EXPECT_EQ(forced->parent(), hdr);
    EXPECT_EQ(macro->fileName(), "$(StudioDir)/lib/crt0.s");
    EXPECT_TRUE(ps.modified());

    macroSystem.setSystemMacro("StudioDir", path("studio"));
    ProjectElement* studioFile = ps.addFile(p, path("studio/targets/a/x.c"));
    ProjectElement* studioTop = ps.addFile(p, path("studio/y.c"));
    macroSystem.setSystemMacro("StudioDir", QString());
    EXPECT_EQ(studioFile->fileName(), "$(StudioDir)/targets/a/x.c");
    EXPECT_EQ(studioTop->fileName(), "$(StudioDir)/y.c");
    EXPECT_EQ(studioFile->getPath().osPathQString(), path("studio/targets/a/x.c"));
}

TEST_F(SolutionTest, ChangeTimesFlagsAndModifiedState) {
    load("demo.hzp", R"x(<solution Name="demo" version="1">
  <project Name="p"><configuration Name="Debug" x="1"/></project></solution>)x");
    ProjectElement* p = project("p");
    ProjectElement* debug = p->getConfigurationElement("Debug");
    EXPECT_FALSE(debug->hasModifiedProperty("x"));
    QDateTime before = QDateTime::currentDateTime().addSecs(-5);
    ps.setProperty(p, "x", "Debug", "2", true);
    QDateTime when;
    ASSERT_TRUE(debug->hasModifiedProperty("x", &when));
    EXPECT_GE(when, before.addSecs(5));
    EXPECT_TRUE(debug->changeFlags().value("x"));
    EXPECT_TRUE(debug->modified());
    EXPECT_FALSE(p->modified());

    bool newer = false;
    EXPECT_TRUE(p->propertyHasChanged("Debug", "x", before, newer));
    EXPECT_TRUE(newer);
    newer = true;
    EXPECT_TRUE(p->propertyHasChanged("Debug", "x", when.addSecs(10), newer));
    EXPECT_FALSE(newer); // still present, so it counts, but is not newer
    EXPECT_FALSE(p->propertyHasChanged("Release", "x", before, newer));
    EXPECT_FALSE(p->propertyHasChanged("Debug", "y", before, newer));

    ps.clearModified(ps.solutionElement(), true, false);
    EXPECT_FALSE(ps.modified());
    EXPECT_TRUE(debug->hasModifiedProperty("x"));
    ps.clearModified(ps.solutionElement(), true, true);
    EXPECT_FALSE(debug->hasModifiedProperty("x"));

    ps.removeProperty(p, "x", "Debug");
    EXPECT_FALSE(debug->hasAttribute("x"));
    EXPECT_TRUE(debug->hasModifiedProperty("x"));
}

TEST_F(SolutionTest, TransactionsCommitOrRollBack) {
    load("demo.hzp", R"x(<solution Name="demo" version="1">
  <project Name="p"><configuration Name="Debug" keep="k" gone="g"/></project></solution>)x");
    PropertyClass keep("keep", PropertyClass::String, "G", "S", "L");
    ProjectElement* p = project("p");
    ProjectElement* debug = p->getConfigurationElement("Debug");

    ps.startTransaction();
    ps.setProperty(p, &keep, "Debug", "changed");
    ps.removeProperty(p, "gone", "Debug");
    EXPECT_EQ(ps.settingFor(p, &keep, "Debug"), "changed");
    EXPECT_FALSE(debug->hasAttribute("gone"));
    EXPECT_EQ(debug->attributes().value("keep"), "k"); // nothing applied yet
    EXPECT_FALSE(debug->modified());
    ps.rollBackTransaction();
    EXPECT_EQ(ps.settingFor(p, &keep, "Debug"), "k");
    EXPECT_TRUE(debug->hasAttribute("gone"));
    EXPECT_FALSE(debug->hasModifiedProperty("keep"));

    ps.startTransaction();
    ps.setProperty(p, &keep, "Debug", "changed");
    ps.removeProperty(p, "gone", "Debug");
    ps.commitTransaction();
    EXPECT_EQ(debug->attributes().value("keep"), "changed");
    EXPECT_FALSE(debug->hasAttribute("gone"));
    EXPECT_TRUE(debug->hasModifiedProperty("keep"));
    EXPECT_TRUE(debug->modified());
}

TEST_F(SolutionTest, RenamingRemovingAndCloning) {
    load("demo.hzp", R"x(<solution Name="demo" version="1">
  <configuration Name="Debug"/>
  <project Name="a"><configuration Name="Debug" v="1"/><file file_name="f.c"/></project>
  <project Name="b"><configuration Name="Common" project_dependencies="a"/></project>
</solution>)x");
    ProjectElement* a = project("a");
    ps.renameElement(a, "renamed");
    EXPECT_EQ(project("a"), nullptr);
    EXPECT_EQ(project("renamed"), a);

    ProjectElement* copy = ps.clone(a);
    EXPECT_EQ(copy->name(), "renamed");
    EXPECT_EQ(ProjectSystem::sourceFiles(copy).size(), 1);
    ASSERT_NE(copy->getConfigurationElement("Debug"), nullptr);
    EXPECT_EQ(copy->getConfigurationElement("Debug")->attribute("v"), "1");
    delete copy;

    ps.removeConfiguration(ps.solutionElement(), "Debug");
    EXPECT_EQ(a->getConfigurationElement("Debug"), nullptr);
    EXPECT_EQ(ps.configurations(nullptr, false, false), QStringList({"Common"}));

    ps.removeElement(a);
    EXPECT_EQ(project("renamed"), nullptr);
    EXPECT_EQ(ps.projectNames(), QStringList({"b"}));
    EXPECT_TRUE(ps.directlyDependsOn(project("b"), "Debug").isEmpty());

    ProjectElement* c = ps.createProject(ps.solutionElement(), "c", "Library");
    EXPECT_EQ(project("c"), c);
    EXPECT_EQ(ps.getProjectType(c), "Library");
}

TEST_F(SolutionTest, SettingsListingAddsInformation) {
    load("demo.hzp", R"x(<solution Name="demo" version="1">
  <project Name="p">
    <configuration Name="Common" project_type="Library"/>
    <folder Name="F"><configuration Name="Common" filter="c"/><file file_name="m.c"/></folder>
  </project></solution>)x");
    ProjectElement* p = project("p");
    PropertyValueList* list = ps.settingsFor(p, "Debug");
    ASSERT_NE(list->find(ps.projectTypeProperty()), nullptr);
    EXPECT_EQ(list->find(ps.projectTypeProperty())->toString(), "Library");
    EXPECT_TRUE(list->find(ps.projectTypeProperty())->readOnly()); // not per configuration
    EXPECT_EQ(list->find(ps.platformProperty())->toString(), "MSP430");
    EXPECT_EQ(list->find(ps.fullProjectDirectoryProperty())->toString(), dir.path());
    delete list;

    ProjectElement* folder = ProjectSystem::findFolder(p, "F");
    list = ps.settingsFor(folder, "Debug");
    PropertyValue* filter = list->find(ps.filterProperty());
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->toString(), "c");
    EXPECT_FALSE(filter->readOnly());
    filter->setValue(QStringLiteral("c;s"));
    EXPECT_EQ(ps.specificSettingFor(folder, ps.filterProperty(), "Common"), "c;s");
    delete list;

    ProjectElement* file = ProjectSystem::sourceFiles(p).first();
    list = ps.settingsFor(file, "Debug");
    EXPECT_EQ(list->find(ps.fullPathProperty())->toString(), path("m.c"));
    EXPECT_EQ(list->find(ps.relativePathProperty())->toString(), "m.c");
    EXPECT_EQ(list->find(ps.dateModifiedProperty())->toString(), "(not available)");
    delete list;
}

} // namespace
