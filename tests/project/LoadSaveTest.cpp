#include "SolutionFixture.h"

#include "macros/MacroSystem.h"

#include <QDomDocument>

#include <functional>

namespace {

SolutionLoadError loadError(ProjectSystem& ps, const QString& file) {
    try {
        ps.loadSolution(file);
    } catch (const SolutionLoadError& e) {
        return e;
    }
    ADD_FAILURE() << "no error loading " << file.toStdString();
    return SolutionLoadError(QString(), QString());
}

TEST_F(SolutionTest, LoadsTreeInDocumentOrder) {
    ProjectElement* s = load("demo.hzp", R"x(<solution Name="demo" version="1">
  <configuration Name="Debug" inherited_configurations="Base"/>
  <project Name="app">
    <configuration Name="Common" project_type="Executable"/>
    <folder Name="Source Files">
      <file file_name="main.c"/>
      <file file_name="util.c"/>
    </folder>
    <file file_name="readme.txt"/>
  </project>
</solution>)x");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->kind(), ProjectElement::Solution);
    EXPECT_EQ(s->name(), "demo");
    EXPECT_EQ(ps.solutionVersion(), "1");
    EXPECT_EQ(s->getPath().osPathQString(), path("demo.hzp"));
    ProjectElement* app = project("app");
    ASSERT_NE(app, nullptr);
    QStringList files;
    for (ProjectElement* f : ProjectSystem::sourceFiles(app))
        files << f->fileName();
    EXPECT_EQ(files, QStringList({"main.c", "util.c", "readme.txt"}));
    EXPECT_EQ(ps.getProjectType(app), "Executable");
    EXPECT_FALSE(ps.modified());
    EXPECT_EQ(ps.solutionSolutions().keys(), QStringList({"demo"}));
}

TEST_F(SolutionTest, EveryLoadFailureIsASolutionLoadError) {
    SolutionLoadError missing = loadError(ps, path("nope.hzp"));
    EXPECT_EQ(missing.message, " does not exist");
    EXPECT_FALSE(missing.hasPosition);

    QString bad = write("bad.hzp", "<solution Name=\"x\" version=\"1\">\n<project>\n</solution>");
    SolutionLoadError syntax = loadError(ps, bad);
    EXPECT_TRUE(syntax.hasPosition);
    EXPECT_FALSE(syntax.message.isEmpty());
    EXPECT_EQ(syntax.line, 4);
    EXPECT_EQ(syntax.fileName, bad);

    QString other =
        write("other.hzp", "<!DOCTYPE Other_File>\n<solution Name=\"x\" version=\"1\"/>");
    EXPECT_EQ(loadError(ps, other).message, " not a solution file");
    QString noType = write("notype.hzp", "<?xml version=\"1.0\"?>\n<solution Name=\"x\"/>");
    EXPECT_EQ(loadError(ps, noType).message, " not a solution file");

    QString unreadable = write("locked.hzp", "<solution Name=\"x\" version=\"1\"/>");
    QFile::setPermissions(unreadable, QFileDevice::Permissions());
    if (!QFile(unreadable).open(QIODevice::ReadOnly)) { // root reads anything
        EXPECT_EQ(loadError(ps, unreadable).message, " cannot access");
    }
    EXPECT_EQ(loadError(ps, dir.path()).message, " cannot access");

    QString importsMissing = write(
        "im.hzp", "<solution Name=\"x\" version=\"1\"><import file_name=\"gone.hzp\"/></solution>");
    SolutionLoadError e = loadError(ps, importsMissing);
    EXPECT_EQ(e.message, " does not exist");
    EXPECT_TRUE(e.fileName.endsWith("gone.hzp"));
    EXPECT_FALSE(ps.haveSolution());
}

TEST_F(SolutionTest, ImportCyclesAreRejectedButRepeatedImportsLoad) {
    write("a.hzp", R"x(<solution Name="A" version="1"><import file_name="b.hzp"/></solution>)x");
    write("b.hzp", R"x(<solution Name="B" version="1"><import file_name="a.hzp"/></solution>)x");
    SolutionLoadError e = loadError(ps, path("a.hzp"));
    EXPECT_EQ(e.message, " solution already loaded");
    EXPECT_EQ(e.fileName, path("a.hzp"));

    write("self.hzp",
          R"x(<solution Name="S" version="1"><import file_name="self.hzp"/></solution>)x");
    EXPECT_EQ(loadError(ps, path("self.hzp")).message, " solution already loaded");

    write("lib.hzp", R"x(<solution Name="L" version="1"><project Name="l"/></solution>)x");
    write("mid.hzp",
          R"x(<solution Name="M" version="1"><import file_name="lib.hzp"/></solution>)x");
    load("top.hzp", R"x(<solution Name="T" version="1">
  <import file_name="lib.hzp"/><import file_name="mid.hzp"/></solution>)x");
    EXPECT_EQ(ps.solutionSolutions().keys(), QStringList({"L", "M", "M,L", "T"}));
}

TEST_F(SolutionTest, ImportsExpandGlobalMacrosAndKeepTheirText) {
    macroSystem.setSystemMacro("StudioDir", path("studio"));
    write("studio/targets/lib.hzp",
          R"x(<solution Name="lib" version="1"><project Name="rt"/></solution>)x");
    write("sub/inner.hzp",
          R"x(<solution Name="inner" version="1"><project Name="i"/></solution>)x");
    load("top.hzp", R"x(<solution Name="top" version="1">
  <import file_name="$(StudioDir)/targets/lib.hzp"/>
  <import file_name="sub/inner.hzp"/>
</solution>)x");
    macroSystem.setSystemMacro("StudioDir", QString());
    ASSERT_NE(project("rt(lib)"), nullptr);
    ASSERT_NE(project("i(inner)"), nullptr);
    ProjectElement* lib = ps.solutionSolutions().value("lib");
    EXPECT_TRUE(lib->imported());
    EXPECT_EQ(lib->getPath().osPathQString(), path("studio/targets/lib.hzp"));

    // Imports are written back as they were given, not as loaded trees.
    ps.solutionElement()->setModified(true);
    ps.save();
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(read(path("top.hzp"))));
    QDomElement first = doc.documentElement().firstChildElement();
    EXPECT_EQ(first.tagName(), "import");
    EXPECT_EQ(first.attribute("file_name"), "$(StudioDir)/targets/lib.hzp");
    EXPECT_EQ(first.attributes().count(), 1);
    EXPECT_EQ(first.nextSiblingElement().attribute("file_name"), "sub/inner.hzp");
}

TEST_F(SolutionTest, RelativeNamesAreTriedInTheWorkingDirectoryFirst) {
    write("x/shared.hzp", R"x(<solution Name="cwd" version="1"/>)x");
    write("base/x/shared.hzp", R"x(<solution Name="base" version="1"/>)x");
    QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ProjectElement* e = ps.loadProjectFile(path("base"), "x/shared.hzp");
    QDir::setCurrent(old);
    EXPECT_EQ(e->name(), "cwd");
    delete e;
    e = ps.loadProjectFile(path("base"), "x/shared.hzp");
    EXPECT_EQ(e->name(), "base");
    delete e;
}

TEST_F(SolutionTest, UpgradesVersionlessFiles) {
    load("old.hzp", R"x(<solution Name="old" uuid="s1">
  <project Name="app" uuid="{A}">
    <configuration Name="Debug" project_dependencies="{B};;{Z}">
      <folder Name="Src" filter="c;h" uuid="f1"/>
    </configuration>
  </project>
  <project Name="lib" uuid="{B}"/>
</solution>)x");
    ProjectElement* s = ps.solutionElement();
    EXPECT_EQ(s->attribute("version"), "1");
    EXPECT_FALSE(s->hasAttribute("uuid"));
    ProjectElement* app = project("app");
    ASSERT_NE(app, nullptr);
    EXPECT_FALSE(app->hasAttribute("uuid"));
    // The folder has moved out of the configuration, its filter into "Common".
    ProjectElement* folder = ProjectSystem::findFolder(app, "Src");
    ASSERT_NE(folder, nullptr);
    EXPECT_FALSE(folder->hasAttribute("filter"));
    EXPECT_EQ(ps.specificSettingFor(folder, ps.filterProperty(), "Common"), "c;h");
    EXPECT_EQ(ps.specificSettingFor(app, ps.projectDependenciesProperty(), "Debug"), "lib;{Z}");

    // Checked on the written result too.
    ASSERT_TRUE(ps.saveProjectFile(s, path("saved.hzp")));
    QString text = read(path("saved.hzp"));
    EXPECT_TRUE(text.startsWith(
        "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"old\" version=\"1\">\n"));
    EXPECT_FALSE(text.contains("uuid"));
    EXPECT_TRUE(
        text.contains("    <configuration Name=\"Debug\" project_dependencies=\"lib;{Z}\"/>\n"
                      "    <folder Name=\"Src\">\n"
                      "      <configuration Name=\"Common\" filter=\"c;h\"/>\n"
                      "    </folder>\n"))
        << text.toStdString();
}

TEST_F(SolutionTest, SaveKeepsElementsAttributesAndOrder) {
    QString body = R"x(<solution Name="demo" version="1">
  <configuration Name="Release"/>
  <configuration Name="Debug" hidden="Yes" odd="a &amp; b &lt;c&gt; &quot;q&quot;"/>
  <project Name="app">
    <file file_name="z.c"/>
    <folder Name="F">
      <file file_name="b.c">
        <configuration Name="Debug" c_preprocessor_definitions="X=1;Y"/>
      </file>
    </folder>
    <file file_name="a.c" ns:extra="prefixed names are kept"/>
  </project>
  <file file_name="top.txt"/>
</solution>)x";
    load("demo.hzp", body);
    ASSERT_TRUE(ps.saveProjectFile(ps.solutionElement(), path("copy.hzp")));
    TestProjectSystem again;
    again.loadSolution(path("copy.hzp"));
    ASSERT_TRUE(again.saveProjectFile(again.solutionElement(), path("copy2.hzp")));
    QString first = read(path("copy.hzp"));
    EXPECT_EQ(first, read(path("copy2.hzp")));

    QDomDocument original, saved;
    ASSERT_TRUE(original.setContent(body));
    ASSERT_TRUE(saved.setContent(first));
    std::function<void(const QDomElement&, const QDomElement&)> same = [&](const QDomElement& a,
                                                                           const QDomElement& b) {
        ASSERT_EQ(a.tagName(), b.tagName());
        ASSERT_EQ(a.attributes().count(), b.attributes().count()) << a.tagName().toStdString();
        for (int i = 0; i < a.attributes().count(); ++i) {
            QDomAttr attr = a.attributes().item(i).toAttr();
            EXPECT_EQ(b.attribute(attr.name()), attr.value());
        }
        QDomElement ca = a.firstChildElement(), cb = b.firstChildElement();
        for (; !ca.isNull() && !cb.isNull();
             ca = ca.nextSiblingElement(), cb = cb.nextSiblingElement())
            same(ca, cb);
        EXPECT_EQ(ca.isNull(), cb.isNull());
    };
    same(original.documentElement(), saved.documentElement());
    EXPECT_TRUE(first.contains("\n  <project Name=\"app\">\n    <file file_name=\"z.c\"/>\n"));
}

TEST_F(SolutionTest, SaveWritesOnlyModifiedSolutions) {
    write("lib.hzp", R"x(<solution Name="lib" version="1"><project Name="l"/></solution>)x");
    load("top.hzp",
         R"x(<solution Name="top" version="1"><import file_name="lib.hzp"/></solution>)x");
    QString topBefore = read(path("top.hzp"));
    ps.setProperty(project("l(lib)"), "c_preprocessor_definitions", "Debug", "X");
    EXPECT_TRUE(ps.modified());
    ps.save();
    EXPECT_FALSE(ps.modified());
    EXPECT_EQ(read(path("top.hzp")), topBefore);
    QString lib = read(path("lib.hzp"));
    EXPECT_TRUE(lib.contains("c_preprocessor_definitions=\"X\""));
    EXPECT_FALSE(lib.contains("file_name")); // the import's own name stays out of the file
    EXPECT_EQ(ps.solutionSolutions().value("lib")->fileName(), "lib.hzp");

    QFile::setPermissions(path("lib.hzp"), QFileDevice::ReadOwner);
    if (!QFile(path("lib.hzp")).open(QIODevice::Append)) {
        ps.setProperty(project("l(lib)"), "x", "Debug", "1");
        EXPECT_THROW(ps.save(), SolutionSaveError);
    }
}

TEST_F(SolutionTest, LoadingNotifiesAndReplacesTheSolution) {
    int calls = 0;
    ps.onSolutionLoaded([&calls] { ++calls; });
    load("one.hzp", R"x(<solution Name="one" version="1"><project Name="p"/></solution>)x");
    load("two.hzp", R"x(<solution Name="two" version="1"/>)x");
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(project("p"), nullptr);
    EXPECT_EQ(ps.solutionElement()->name(), "two");
    ps.closeSolution();
    EXPECT_FALSE(ps.haveSolution());
    EXPECT_TRUE(ps.solutionProjects(nullptr).isEmpty());
}

// Files that import nothing are checked and built in one pass; anything else
// in two. A trailing comment sends a file the two-pass way, so each text
// below must load, or fail, the same either way.
TEST_F(SolutionTest, OnePassAndTwoPassLoadsAgree) {
    QString deep;
    for (int i = 0; i < 300; ++i)
        deep += "<folder Name=\"f\">";
    QString deepEnd;
    for (int i = 0; i < 300; ++i)
        deepEnd += "</folder>";
    const QString texts[] = {
        R"x(<solution Name="s" version="1"><configuration Name="Debug" c_defines="A"/>
  <project Name="p"><folder Name="src"><file file_name="a.c"/></folder><file file_name="b.c"/>
  </project><unknown/><project Name="q"/></solution>)x",
        "<solution Name=\"s\" version=\"1\">\n<project Name=\"p\">\n</folder>\n</solution>",
        "<solution Name=\"s\" version=\"1\"><project Name=\"p\" a=\"1\" a=\"2\"/></solution>",
        "<solution Name=\"s\" version=\"1\"><project Name=\"p\">" + deep + deepEnd +
            "</project></solution>",
        // Too deep, and malformed further on: the syntax error is what counts.
        "<solution Name=\"s\" version=\"1\"><project Name=\"p\">" + deep + deepEnd +
            "</project><project></solution>",
        // A template request in a tree that turns out to be malformed.
        "<solution Name=\"s\" version=\"1\"><project Name=\"p\" template_name=\"none\"/>"
        "<project Name=\"q\"></solution>",
        "<solution Name=\"s\" version=\"1\"><project Name=\"p\" "
        "template_name=\"none\"/></solution>",
    };
    auto outcome = [&](const QString& file) {
        try {
            ps.loadSolution(file);
        } catch (const SolutionLoadError& e) {
            return QStringList{e.fileName == file ? "FILE" : e.fileName, e.message,
                               QString::number(e.line), QString::number(e.column)};
        }
        QStringList tree;
        std::function<void(ProjectElement*, int)> walk = [&](ProjectElement* e, int depth) {
            tree << QString(depth, ' ') + ProjectElement::tagName(e->kind()) + " " + e->name() +
                        " " + e->fileName();
            for (ProjectElement* c = e->firstChild(); c; c = c->nextSibling())
                walk(c, depth + 1);
        };
        walk(ps.solutionElement(), 0);
        return tree;
    };
    int n = 0;
    for (const QString& text : texts) {
        const QString name = QString("t%1.hzp").arg(n++);
        const QStringList onePass = outcome(write(name, text));
        EXPECT_EQ(onePass, outcome(write(name, text + "\n<!-- two passes -->\n"))) << n;
        EXPECT_FALSE(onePass.isEmpty());
    }
}

TEST_F(SolutionTest, UnknownTemplateFailsTheLoad) {
    QString file = write("t.hzp", R"x(<solution Name="t" version="1">
  <project Name="p" template_name="no such template"/></solution>)x");
    SolutionLoadError e = loadError(ps, file);
    EXPECT_EQ(e.fileName, "no such template");
    EXPECT_EQ(e.message, " project template not found");
    EXPECT_FALSE(ps.haveSolution());
}

} // namespace

namespace {

class MungingProjectSystem : public TestProjectSystem {
public:
    QStringList munged;
    void munge(ProjectElement* solution) override {
        // Imports are munged before the file that imports them is finished.
        munged << solution->name() + ":" + QString::number(numProjects(solution));
    }
};

TEST_F(SolutionTest, MungeSeesEveryTreeJustLoaded) {
    write("lib.hzp", R"x(<solution Name="lib" version="1"><project Name="l"/></solution>)x");
    QString top = write("top.hzp", R"x(<solution Name="top" version="1">
  <project Name="a"/><project Name="b"/><import file_name="lib.hzp"/></solution>)x");
    ps.closeSolution();
    MungingProjectSystem munging;
    munging.loadSolution(top);
    EXPECT_EQ(munging.munged, QStringList({"lib:1", "top:2"}));
}

} // namespace

namespace {

TEST_F(SolutionTest, ManyRepeatedImportsLoadAndRunawayOnesAreBounded) {
    // 40 parts that share 26 libraries: 1,081 loads.
    QString top = R"x(<solution Name="top" version="1">)x";
    for (int i = 0; i < 40; ++i) {
        QString part = QString(R"x(<solution Name="part%1" version="1">)x").arg(i);
        for (int j = 0; j < 26; ++j)
            part += QString(R"x(<import file_name="lib%1.hzp"/>)x").arg(j);
        write(QString("part%1.hzp").arg(i), part + "</solution>");
        top += QString(R"x(<import file_name="part%1.hzp"/>)x").arg(i);
    }
    for (int j = 0; j < 26; ++j)
        write(QString("lib%1.hzp").arg(j),
              QString(R"x(<solution Name="lib%1" version="1"><project Name="l"/></solution>)x")
                  .arg(j));
    load("top.hzp", top + "</solution>");
    EXPECT_EQ(project("l(part39,lib25)")->name(), "l");

    // Files each importing the next twice: 2^19 loads. The load past the bound
    // is of i18, which imports nothing; the error names its importer.
    write("i18.hzp", R"x(<solution Name="leaf" version="1"/>)x");
    for (int i = 17; i >= 0; --i)
        write(QString("i%1.hzp").arg(i), QString(R"x(<solution Name="s%1" version="1">
  <import file_name="i%2.hzp"/><import file_name="i%2.hzp"/></solution>)x")
                                             .arg(i)
                                             .arg(i + 1));
    const SolutionLoadError error = loadError(ps, path("i0.hzp"));
    EXPECT_EQ(error.message, " imports too many solutions");
    EXPECT_EQ(error.fileName, path("i17.hzp"));

    // A long chain of nested imports is refused where the whole tree gets too
    // deep (each import one level), naming the importing file.
    for (int i = 0; i < 2000; ++i)
        write(QString("n%1.hzp").arg(i),
              QString(
                  R"x(<solution Name="n%1" version="1"><import file_name="n%2.hzp"/></solution>)x")
                  .arg(i)
                  .arg(i + 1));
    const SolutionLoadError deep = loadError(ps, path("n0.hzp"));
    EXPECT_EQ(deep.message, " is nested too deeply");
    EXPECT_EQ(deep.fileName, path("n256.hzp"));
}

TEST_F(SolutionTest, ImportingIntoAnOpenSolution) {
    write("parts/extra.hzp",
          R"x(<solution Name="extra" version="1"><project Name="x"/></solution>)x");
    load("top.hzp", R"x(<solution Name="top" version="1"/>)x");
    ProjectElement* imported = ps.importSolution(ps.solutionElement(), path("parts/extra.hzp"));
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->fileName(), "parts/extra.hzp");
    EXPECT_TRUE(imported->imported());
    EXPECT_NE(project("x(extra)"), nullptr);
    EXPECT_TRUE(ps.modified());
    ps.save();
    EXPECT_TRUE(read(path("top.hzp")).contains("<import file_name=\"parts/extra.hzp\"/>"));
}

} // namespace

namespace {

// Damaged files either load or fail with a load error; nothing else.
TEST_F(SolutionTest, DamagedFilesLoadOrFailCleanly) {
    write("lib.hzp", R"x(<solution Name="lib" version="1"><project Name="l"/></solution>)x");
    const QByteArray good = R"x(<!DOCTYPE Halyard_Project_File>
<solution Name="s">
  <configuration Name="Debug" inherited_configurations="Debug;Base"/>
  <project Name="a" uuid="1"><configuration Name="Common" project_dependencies="1;a"/>
    <folder Name="F" filter="c"><file file_name="$(X:$(Y))/a.c"/></folder></project>
  <import file_name="lib.hzp"/>
</solution>)x";
    quint32 seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    const QByteArray noise = "<>/=\"&;$()!- \n\xff";
    for (int round = 0; round < 150; ++round) {
        QByteArray damaged = good;
        for (int edits = 1 + next() % 4; edits > 0 && !damaged.isEmpty(); --edits) {
            int at = int(next() % damaged.size());
            switch (next() % 3) {
            case 0:
                damaged[at] = noise[int(next() % noise.size())];
                break;
            case 1:
                damaged.remove(at, 1 + int(next() % 8));
                break;
            default:
                damaged.truncate(at);
            }
        }
        QString file = path("damaged.hzp");
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(damaged);
        f.close();
        try {
            ps.loadSolution(file);
            ps.buildOrder(ps.solutionElement(), "Debug");
            for (ProjectElement* e : ProjectSystem::sourceFiles(ps.solutionElement()))
                e->getPath();
        } catch (const SolutionLoadError&) {
        }
    }
}

} // namespace
