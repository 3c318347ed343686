#include "E2E.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

// Projects filled from the installation's templates, and the target processor
// chosen through the "Target" property group reaching the compile line.

namespace {

QByteArray solution(const QByteArray& body) {
    return "<!DOCTYPE Halyard_Project_File>\n<solution Name=\"s\" version=\"1\">\n" + body +
           "\n</solution>\n";
}

// The argument vectors of the compiler lines echoed in out, in order.
std::vector<QStringList> compileLines(const std::string& out) {
    std::vector<QStringList> lines;
    for (const QString& line : QString::fromStdString(out).split('\n')) {
        const QStringList args = line.split(' ', Qt::SkipEmptyParts);
        if (!args.isEmpty() && args[0].endsWith("/bin/hcc")) lines.push_back(args);
    }
    return lines;
}

// The argument of the compile line for source starting with prefix, or a null string.
QString option(const QStringList& args, const QString& prefix) {
    for (const QString& a : args)
        if (a.startsWith(prefix)) return a.mid(prefix.size());
    return QString();
}

TEST(Templates, ExecutableTemplateBuildsInItsOwnConfigurations) {
    e2e::Sandbox box;
    box.write("main.c", "int main(void) { return 0; }\n");
    // No configurations in the file: the template brings Debug and Release.
    box.write("s.hzp", solution("<project Name=\"app\" template_name=\"Executable\"/>"));

    e2e::Result r = box.run({"-echo", "-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<QStringList> lines = compileLines(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    EXPECT_TRUE(lines[0].contains("main.c")) << r.out;
    EXPECT_TRUE(lines[0].contains("-DDEBUG")) << r.out;
    EXPECT_TRUE(lines[0].contains("-g")) << r.out;
    EXPECT_EQ(option(lines[0], "-D__TARGET_PROCESSOR="), "MSP430F449") << r.out;
    // The entry's settings were written too: this part has the multiplier.
    EXPECT_TRUE(lines[0].contains("-mmpy")) << r.out;
    EXPECT_TRUE(box.exists("Debug/app.hzx")) << r.out;
    EXPECT_TRUE(box.exists("Debug/app.hex")) << r.out;

    r = box.run({"-echo", "-config", "Release", "s.hzp"});
    lines = compileLines(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    EXPECT_TRUE(lines[0].contains("-DNDEBUG")) << r.out;
    EXPECT_FALSE(lines[0].contains("-g")) << r.out;
    EXPECT_TRUE(box.exists("Release/app.hex")) << r.out;

    // A second Debug run finds everything up to date.
    r = box.run({"-echo", "-config", "Debug", "s.hzp"});
    EXPECT_TRUE(compileLines(r.out).empty()) << r.out;
}

TEST(Templates, UnknownTemplateIsALoadError) {
    e2e::Sandbox box;
    box.write("s.hzp", solution("<configuration Name=\"Debug\"/>"
                                "<project Name=\"app\" template_name=\"Nope\"/>"));
    const e2e::Result r = box.run({"-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "load error: Nope project template not found\n");
}

TEST(Templates, TargetGroupReachesTheCompileLine) {
    e2e::Sandbox box;
    box.write("main.c", "int main(void) { return 0; }\n");
    const QByteArray file = "<file file_name=\"main.c\"/>";
    auto project = [&](const QByteArray& name, const QByteArray& settings) {
        return "<project Name=\"" + name +
               "\"><configuration Name=\"Common\" project_type=\"Executable\" " + settings +
               " build_intermediate_directory=\"" + name + "\"/>" + file + "</project>";
    };
    box.write("s.hzp",
              solution("<configuration Name=\"Debug\"/>"
                       // A stored choice is kept: the template's own entry is not applied.
                       "<project Name=\"tpl\" template_name=\"Executable\">"
                       "<configuration Name=\"Common\" Target=\"MSP430F2274\" "
                       "build_intermediate_directory=\"tpl\"/></project>" +
                       project("chosen", "Target=\"MSP430G2553\"") + project("fallback", "") +
                       project("undefined", "c_undefine_all_preprocessor_definitions=\"Yes\" "
                                            "Target=\"MSP430G2553\"") +
                       project("nogroups", "property_groups_file_path=\"None\" "
                                           "Target=\"MSP430G2553\"") +
                       project("after", "Target=\"MSP430F5438A\"")));
    const e2e::Result r = box.run({"-show", "-config", "Debug", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::vector<QStringList> lines = compileLines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_EQ(option(lines[0], "-D__TARGET_PROCESSOR="), "MSP430F2274") << r.out;
    EXPECT_EQ(option(lines[1], "-D__TARGET_PROCESSOR="), "MSP430G2553") << r.out;
    // Nothing stored: the group's default entry.
    EXPECT_EQ(option(lines[2], "-D__TARGET_PROCESSOR="), "MSP430F449") << r.out;
    EXPECT_TRUE(option(lines[3], "-D__TARGET_PROCESSOR=").isNull()) << r.out;
    EXPECT_FALSE(lines[3].contains("-D__SHEERLINE")) << r.out;
    EXPECT_TRUE(option(lines[4], "-D__TARGET_PROCESSOR=").isNull()) << r.out;
    EXPECT_TRUE(lines[4].contains("-D__SHEERLINE")) << r.out;
    // A project without groups does not leave the next one without them.
    EXPECT_EQ(option(lines[5], "-D__TARGET_PROCESSOR="), "MSP430F5438A") << r.out;
    // -show runs nothing.
    EXPECT_FALSE(box.exists("chosen/main.hzo"));
}

// A private studio whose templates file is the test's own; the other data
// files are the installation's.
QString studioWithTemplates(e2e::Sandbox& box, const QByteArray& templates) {
    const QString studio = box.makeStudio();
    const QString targets = studio + "/targets";
    QFile::remove(targets);
    QDir().mkpath(targets);
    const QDir built(e2e::builtStudioDir() + "/targets");
    for (const QFileInfo& f : built.entryInfoList(QDir::Files))
        if (f.fileName() != "project_templates.xml")
            QFile::link(f.absoluteFilePath(), targets + "/" + f.fileName());
    box.write("studio/targets/project_templates.xml", templates);
    return studio;
}

TEST(Templates, OwnTemplateFillsFoldersSettingsAndConfigurations) {
    e2e::Sandbox box;
    studioWithTemplates(box, R"xml(<!DOCTYPE Project_Templates_File>
<projects>
  <configurations name="Dev">
    <property name="inherited_configurations" value="Base"/>
    <property name="c_preprocessor_definitions" value="DEV"/>
  </configurations>
  <configurations name="Base">
    <property name="c_preprocessor_undefinitions" value="BASE"/>
  </configurations>
  <project template_name="Lib" type="Library">
    <configuration name="Dev"/>
    <property name="c_user_include_directories" value="inc_$(Configuration)" expand="yes"/>
    <property name="c_system_include_directories" value="sys_$(Configuration)"/>
    <property name="build_debug_information" value="No"/>
    <folder name="src" filter="c">
      <file name="$(ProjectName)_a.c"/>
      <file name="given.c"/>
    </folder>
  </project>
</projects>
)xml");
    box.write("s.hzp", solution("<project Name=\"lib\" template_name=\"Lib\">"
                                "<configuration Name=\"Common\" build_debug_information=\"Yes\"/>"
                                "<folder Name=\"src\"><file file_name=\"given.c\"/></folder>"
                                "</project>"));
    const e2e::Result r = box.run({"-show", "-config", "Dev", "s.hzp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::vector<QStringList> lines = compileLines(r.out);
    // The existing folder is completed, its file not doubled; the template's
    // file name is expanded when the project is filled.
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_TRUE(lines[0].contains("given.c")) << r.out;
    EXPECT_TRUE(lines[1].contains("lib_a.c")) << r.out;
    for (const QStringList& args : lines) {
        // Configuration settings, the inherited one's included.
        EXPECT_TRUE(args.contains("-DDEV")) << r.out;
        EXPECT_TRUE(args.contains("-UBASE")) << r.out;
        // Expanded in "Common" when filled, or left for the build to expand.
        EXPECT_TRUE(args.contains("-Iinc_Common")) << r.out;
        EXPECT_TRUE(args.contains("-Jsys_Dev")) << r.out;
        // A setting the project already had is not overwritten.
        EXPECT_TRUE(args.contains("-g")) << r.out;
    }
    EXPECT_NE(r.out.find("har -c Dev/lib.hza Dev/given.hzo Dev/lib_a.hzo\n"), std::string::npos)
        << r.out;
}

} // namespace
