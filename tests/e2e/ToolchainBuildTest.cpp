#include "E2E.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

// Times before and after the runs, so file times decide without sleeping.
const qint64 past = 1000000000;
qint64 future() {
    return QDateTime::currentSecsSinceEpoch() + 1000;
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The echoed command lines that run the given tool.
std::vector<std::string> runsOf(const std::string& out, const std::string& tool) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(start, end - start);
        if (line.find("/bin/" + tool + " ") != std::string::npos) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool mentions(const std::vector<std::string>& lines, const std::string& what) {
    for (const std::string& line : lines)
        if (line.find(what) != std::string::npos) return true;
    return false;
}

const char* const librarySolution = R"(<!DOCTYPE Halyard_Project_File>
<solution Name="lib" version="1">
  <configuration Name="Debug"/>
  <project Name="mylib">
    <configuration Name="Common" project_type="Library"/>
    <folder Name="Source Files">
      <file file_name="src/one.c"/>
      <file file_name="src/two.c"/>
      <file file_name="src/three.c"/>
      <file file_name="src/calc.bas"/>
      <file file_name="src/start.s43"/>
    </folder>
  </project>
</solution>
)";

class ToolchainLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        box.makeStudio();
        write("lib.hzp", librarySolution);
        write("inc/shared.h", "#define SCALE 3\n");
        write("src/one.c", "#include \"inc/shared.h\"\nint one(void) { return SCALE; }\n");
        write("src/two.c", "int two(void) { return 2; }\n");
        write("src/three.c", "#include \"inc/shared.h\"\nint three(void) { return SCALE * 3; }\n");
        write("src/calc.bas", "FUNCTION calc()\n  calc = 4\nEND FUNCTION\n");
        write("src/start.s43", "        PUBLIC start\nstart:  RET\n");
    }
    void write(const QString& name, const QByteArray& text) {
        box.write(name, text);
        box.setTime(name, past);
    }
    e2e::Result build() { return box.run({"-config", "Debug", "-echo", "lib.hzp"}); }

    e2e::Sandbox box;
};

TEST_F(ToolchainLibrary, BuildsThenHasNothingToDo) {
    e2e::Result r = build();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(runsOf(r.out, "hcc").size(), 3u) << r.out;
    EXPECT_EQ(runsOf(r.out, "hbc").size(), 1u);
    EXPECT_EQ(runsOf(r.out, "has").size(), 1u);
    const std::vector<std::string> archive = runsOf(r.out, "har");
    ASSERT_EQ(archive.size(), 1u);
    // The objects in project order, after the library name.
    EXPECT_NE(archive[0].find("/bin/har -c Debug/mylib.hza Debug/one.hzo Debug/two.hzo "
                              "Debug/three.hzo Debug/calc.hzo Debug/start.hzo"),
              std::string::npos)
        << archive[0];
    for (const char* file :
         {"Debug/one.hzo", "Debug/calc.hzo", "Debug/start.hzo", "Debug/mylib.hza"})
        EXPECT_TRUE(box.exists(file)) << file;

    r = build();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(count(r.out, "/bin/"), 0) << r.out;
}

TEST_F(ToolchainLibrary, HeaderChangeRebuildsItsIncludersAndTheLibraryOnce) {
    ASSERT_EQ(build().status, 0);
    box.setTime("inc/shared.h", future());
    const e2e::Result r = build();
    const std::vector<std::string> compiles = runsOf(r.out, "hcc");
    ASSERT_EQ(compiles.size(), 2u) << r.out;
    EXPECT_TRUE(mentions(compiles, " src/one.c "));
    EXPECT_TRUE(mentions(compiles, " src/three.c "));
    EXPECT_TRUE(runsOf(r.out, "hbc").empty());
    EXPECT_TRUE(runsOf(r.out, "has").empty());
    EXPECT_EQ(runsOf(r.out, "har").size(), 1u);
}

TEST_F(ToolchainLibrary, UnreadableObjectIsRebuilt) {
    ASSERT_EQ(build().status, 0);
    // An unknown tag first: the recorded header is lost with the rest, so the
    // object is not trusted, however new.
    box.write("Debug/one.hzo", QByteArray("\x1e garbage", 9));
    box.setTime("Debug/one.hzo", future() - 500);
    box.setTime("inc/shared.h", future());
    e2e::Result r = build();
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> compiles = runsOf(r.out, "hcc");
    ASSERT_EQ(compiles.size(), 2u) << r.out;
    EXPECT_TRUE(mentions(compiles, " src/one.c "));
    EXPECT_TRUE(mentions(compiles, " src/three.c "));

    // The remade object is read again: a newer source is seen.
    box.setTime("inc/shared.h", past);
    box.setTime("src/one.c", future());
    r = build();
    compiles = runsOf(r.out, "hcc");
    ASSERT_EQ(compiles.size(), 1u) << r.out;
    EXPECT_TRUE(mentions(compiles, " src/one.c "));
}

TEST_F(ToolchainLibrary, ErrorDirectiveStopsTheBuild) {
    write("src/two.c", "int two(void) { return 2; }\n#error two is not ready\n");
    const e2e::Result r = build();
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("src/two.c:2: error: #error two is not ready"), std::string::npos)
        << r.err;
    const std::vector<std::string> compiles = runsOf(r.out, "hcc");
    ASSERT_EQ(compiles.size(), 2u) << r.out;
    EXPECT_TRUE(mentions(compiles, " src/two.c "));
    EXPECT_FALSE(box.exists("Debug/two.hzo"));
    // Several commands at once, three.c may have started before two.c failed.
    if (qEnvironmentVariableIsEmpty("E2E_JOBS")) {
        EXPECT_FALSE(box.exists("Debug/three.hzo"));
    }
    EXPECT_TRUE(runsOf(r.out, "har").empty());
}

const char* const appSolution = R"(<!DOCTYPE Halyard_Project_File>
<solution Name="app" version="1">
  <configuration Name="Debug"/>
  <project Name="app">
    <configuration Name="Common" project_type="Executable" linker_output_format="hex" %1/>
    <file file_name="main.c"/>
  </project>
</solution>
)";

// Links name run-time libraries under the studio; the sandbox gets its own,
// archived by the stand-in tools from one small object.
void makeRuntimeLibraries(const e2e::Sandbox& box) {
    const QString studio = box.file("studio");
    QFile::remove(studio + "/lib"); // the link to the built tree's directory
    ASSERT_TRUE(QDir().mkpath(studio + "/lib"));
    box.write("rt/rt.c", "int runtime(void) { return 0; }\n");
    auto run = [](const QString& program, const QStringList& arguments) {
        QProcess p;
        p.start(program, arguments);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    };
    ASSERT_TRUE(run(studio + "/bin/hcc", {box.file("rt/rt.c"), "-o", box.file("rt/rt.hzo")}));
    for (const char* lib : {"lib_vfprintf_int_sf", "lib_vfscanf_int_sf", "libc_sf", "libm_sf"})
        ASSERT_TRUE(run(studio + "/bin/har",
                        {"-c", studio + "/lib/" + lib + ".hza", box.file("rt/rt.hzo")}));
}

class ToolchainExecutable : public ::testing::Test {
protected:
    void SetUp() override {
        box.makeStudio();
        makeRuntimeLibraries(box);
        box.write("main.c", "int main(void) { return 0; }\n");
        box.setTime("main.c", past);
    }
    void solution(const QString& settings) {
        box.write("app.hzp", QString::fromLatin1(appSolution).arg(settings).toLatin1());
        box.setTime("app.hzp", past);
    }
    e2e::Result build() { return box.run({"-config", "Debug", "-echo", "app.hzp"}); }

    e2e::Sandbox box;
};

TEST_F(ToolchainExecutable, LinksWithPlacementAndConverts) {
    solution(QString());
    e2e::Result r = build();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<std::string> links = runsOf(r.out, "hld");
    ASSERT_EQ(links.size(), 1u) << r.out;
    // The device map's segments and the default placement's sections.
    EXPECT_TRUE(mentions(links, " -TCODE,CONST,IDATA0_init="));
    EXPECT_TRUE(mentions(links, " -GCODE=L "));
    EXPECT_TRUE(mentions(links, " -MDebug/app.map -o Debug/app.hzx"));
    const std::vector<std::string> converts = runsOf(r.out, "hex");
    ASSERT_EQ(converts.size(), 1u);
    EXPECT_NE(converts[0].find("/bin/hex Debug/app.hzx -o Debug/app -Fhex"), std::string::npos);
    for (const char* file : {"Debug/app.hzx", "Debug/app.map", "Debug/app.hex"})
        EXPECT_TRUE(box.exists(file)) << file;

    r = build();
    EXPECT_EQ(count(r.out, "/bin/"), 0) << r.out;
}

TEST_F(ToolchainExecutable, PlacementWithoutMemoryMapIsAbandoned) {
    solution("linker_memory_map_file=\"\"");
    const e2e::Result r = build();
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("memory map file is required.\n"), std::string::npos) << r.out;
    EXPECT_EQ(runsOf(r.out, "hcc").size(), 1u);
    EXPECT_TRUE(runsOf(r.out, "hld").empty());
    EXPECT_TRUE(runsOf(r.out, "hex").empty());
    EXPECT_FALSE(box.exists("Debug/app.hzx"));
}

TEST_F(ToolchainExecutable, UnreadableMemoryMapIsAbandoned) {
    box.write("board.xml", "<Root><MemorySegment name=\"RAM\"></Other></Root>\n");
    solution("linker_memory_map_file=\"board.xml\"");
    const e2e::Result r = build();
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Cannot load memory map file: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("board.xml\n"), std::string::npos);
    EXPECT_TRUE(runsOf(r.out, "hld").empty());
    EXPECT_FALSE(box.exists("Debug/app.hzx"));
}

} // namespace
