#include "SolutionFixture.h"

namespace {

QStringList names(const QList<ProjectElement*>& projects) {
    QStringList list;
    for (ProjectElement* p : projects)
        list << p->name();
    return list;
}

TEST_F(SolutionTest, BuildOrderPutsDependenciesFirst) {
    load("s.hzp", R"x(<solution Name="s" version="1">
  <configuration Name="Debug"/>
  <project Name="gamma"/>
  <project Name="app">
    <configuration Name="Common" project_dependencies="lib;missing;lib"/>
    <configuration Name="Debug" project_dependencies="util"/>
  </project>
  <project Name="lib"><configuration Name="Common" project_dependencies="util"/></project>
  <project Name="util"/>
  <project Name="alpha"/>
  <folder Name="Hidden"><project Name="beta"/></folder>
</solution>)x");
    ProjectElement* s = ps.solutionElement();
    EXPECT_EQ(names(ps.buildOrder(s, "Release")),
              QStringList({"alpha", "util", "lib", "app", "gamma"}));
    EXPECT_EQ(names(ps.buildOrder(project("app"), "Release")), QStringList({"util", "lib", "app"}));
    EXPECT_EQ(names(ps.directlyDependsOn(project("app"), "Release")), QStringList({"lib", "lib"}));
    // Debug's own value comes first, then "Common"'s.
    EXPECT_EQ(names(ps.directlyDependsOn(project("app"), "Debug")),
              QStringList({"util", "lib", "lib"}));
    EXPECT_EQ(names(ps.dependsOn(project("app"), "Debug")), QStringList({"app", "util", "lib"}));
    EXPECT_TRUE(ps.buildOrder(ProjectSystem::findFolder(s, "Hidden"), "Debug").isEmpty());
    // A project inside a folder is not in any map.
    EXPECT_EQ(project("beta"), nullptr);
    EXPECT_EQ(ps.projectNames(), QStringList({"alpha", "app", "gamma", "lib", "util"}));
    EXPECT_NE(ProjectSystem::findByName(s, "beta"), nullptr);
}

TEST_F(SolutionTest, DependencyCyclesTerminateAndAreReported) {
    load("s.hzp", R"x(<solution Name="s" version="1">
  <project Name="a"><configuration Name="Common" project_dependencies="b"/></project>
  <project Name="b"><configuration Name="Common" project_dependencies="c"/></project>
  <project Name="c"><configuration Name="Common" project_dependencies="a"/></project>
  <project Name="d"><configuration Name="Common" project_dependencies="d;a"/></project>
</solution>)x");
    QStringList cycles;
    EXPECT_EQ(names(ps.buildOrder(ps.solutionElement(), "Debug", &cycles)),
              QStringList({"c", "b", "a", "d"}));
    EXPECT_EQ(cycles,
              QStringList({"Dependency cycle: a -> b -> c -> a", "Dependency cycle: d -> d"}));
    EXPECT_EQ(names(ps.dependsOn(project("a"), "Debug")), QStringList({"a", "b", "c"}));
    EXPECT_EQ(ps.dependencyCycle(project("b"), "Debug"), "Dependency cycle: b -> c -> a -> b");
    EXPECT_EQ(ps.dependencyCycle(project("d"), "Debug"), "Dependency cycle: d -> d");

    load("t.hzp", R"x(<solution Name="t" version="1">
  <project Name="x"><configuration Name="Common" project_dependencies="y"/></project>
  <project Name="y"/></solution>)x");
    EXPECT_EQ(ps.dependencyCycle(project("x"), "Debug"), "");
    cycles.clear();
    ps.buildOrder(ps.solutionElement(), "Debug", &cycles);
    EXPECT_TRUE(cycles.isEmpty());
}

TEST_F(SolutionTest, LongChainsAreWalkedWithoutRecursion) {
    // p0 -> p1 -> ... -> p(n-1) -> p0: every walk goes the whole length.
    const int n = 100000;
    QString text = R"x(<solution Name="s" version="1">)x";
    QString cycle = "Dependency cycle: ";
    for (int i = 0; i < n; ++i) {
        text += QString(R"x(<project Name="p%1"><configuration Name="Common" )x"
                        R"x(project_dependencies="p%2"/></project>)x")
                    .arg(i)
                    .arg((i + 1) % n);
        cycle += QString("p%1 -> ").arg(i);
    }
    load("s.hzp", text + "</solution>");
    QStringList cycles;
    const QList<ProjectElement*> order = ps.buildOrder(project("p0"), "Debug", &cycles);
    ASSERT_EQ(order.size(), n);
    EXPECT_EQ(order.first()->name(), QString("p%1").arg(n - 1));
    EXPECT_EQ(order.last()->name(), "p0");
    EXPECT_EQ(cycles, QStringList{cycle + "p0"});
    EXPECT_EQ(ps.dependsOn(project("p0"), "Debug").size(), n);
    EXPECT_EQ(ps.dependencyCycle(project("p0"), "Debug"), cycle + "p0");
}

TEST_F(SolutionTest, ImportedProjectsAreNamedBySolutionKey) {
    write("b.hzp", R"x(<solution Name="B" version="1">
  <project Name="p"/>
  <project Name="q"><configuration Name="Common" project_dependencies="p"/></project>
</solution>)x");
    write("sub/a.hzp", R"x(<solution Name="A" version="1">
  <project Name="lib"/>
  <import file_name="../b.hzp"/>
</solution>)x");
    load("top.hzp", R"x(<solution Name="top" version="1">
  <project Name="app"><configuration Name="Common" project_dependencies="lib(A);q(A,B)"/></project>
  <import file_name="sub/a.hzp"/>
</solution>)x");
    EXPECT_EQ(ps.projectNames(), QStringList({"app", "lib(A)", "p(A,B)", "q(A,B)"}));
    EXPECT_EQ(ps.solutionNames(), QStringList({"A", "A,B", "B", "top"}));
    ProjectElement* a = ps.solutionSolutions().value("A");
    ProjectElement* b = ps.solutionSolutions().value("B");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(ps.solutionSolutions().value("A,B"), b);
    EXPECT_EQ(ps.solutionProjects(a).keys(), QStringList({"lib", "p(B)", "q(B)"}));
    EXPECT_EQ(ps.solutionProjects(nullptr).keys(), ps.projectNames());
    // Plain names are found from inside the imported solution.
    ProjectElement* q = project("q(A,B)");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(ps.findProject(q, "p"), project("p(A,B)"));
    EXPECT_EQ(ps.findProject(q, "app"), project("app")); // through the importing solutions
    EXPECT_EQ(ps.getGlobalProjectName(q), "q(A,B)");
    EXPECT_EQ(names(ps.buildOrder(project("app"), "Debug")), QStringList({"lib", "p", "q", "app"}));
}

TEST_F(SolutionTest, BatchConfigurations) {
    load("s.hzp", R"x(<solution Name="s" version="1">
  <configuration Name="Debug"/>
  <configuration Name="Release"/>
  <configuration Name="Base" hidden=""/>
  <project Name="one"><configuration Name="Common" batch_build_configurations="debug;RELEASE;base;nope;Debug"/></project>
  <project Name="two"><configuration Name="Common" batch_build_configurations="Common"/></project>
  <project Name="three"><configuration Name="Common" batch_build_configurations="Common;Debug"/></project>
</solution>)x");
    EXPECT_EQ(ps.getBatchBuildConfigurations(project("one"), "Debug"),
              QStringList({"Debug", "Release", "Debug"}));
    EXPECT_EQ(ps.getBatchBuildConfigurations(project("two"), "Debug"), QStringList({"Common"}));
    EXPECT_EQ(ps.getBatchBuildConfigurations(project("three"), "Debug"), QStringList({"Debug"}));

    ps.setBatchBuildConfigurations(project("two"), "Common", {"Release", "Debug"});
    EXPECT_EQ(ps.getBatchBuildConfigurations(project("two"), "Debug"),
              QStringList({"Release", "Debug"}));
}

} // namespace
