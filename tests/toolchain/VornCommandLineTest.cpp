#include "toolchain/VornCommandLine.h"

#include "QtPrinters.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {

using S = VornSetting;

// Settings held in a map; macros are "expanded" by a fixed substitution so the
// tests can tell raw from expanded reads.
class FakeSettings : public VornSettings {
public:
    QMap<S, QString> values;
    QMap<S, QString> defaults{{S::CodeSection, "CODE"},
                              {S::DataSection, "IDATA0"},
                              {S::ZeroedSection, "UDATA0"},
                              {S::ConstSection, "CONST"},
                              {S::VectorSection, "INTVEC"}};
    QString target;

    QString value(S s) const override { return values.value(s); }
    QString expanded(S s) const override { return replaceMacros(values.value(s)); }
    QString defaultValue(S s) const override { return defaults.value(s); }
    QString replaceMacros(const QString& text) const override {
        return QString(text).replace("$(StudioDir)", "/studio").replace("$(LibExt)", "_sf");
    }
    QString targetProcessor() const override { return target; }
};

// The values a fresh project carries.
FakeSettings defaults() {
    FakeSettings f;
    // clang-format off
    f.values = {{S::BuildQuietly, "Yes"}, {S::DebugInformation, "Yes"},
        {S::TreatWarningsAsErrors, "No"}, {S::SuppressWarnings, "No"},
        {S::UndefineAllPreprocessorDefinitions, "No"}, {S::OptimizationStrategy, "Minimize size"},
        {S::RegisterAllocation, "Locals Only"}, {S::CodeSection, "CODE"},
        {S::DataSection, "IDATA0"}, {S::ZeroedSection, "UDATA0"}, {S::ConstSection, "CONST"},
        {S::VectorSection, "INTVEC"}, {S::IgnoreIncludes, "No"}, {S::UserIncludeDirectories, "."},
        {S::SystemIncludeDirectories, "$(StudioDir)/include"}, {S::EnforceAnsiChecking, "No"},
        {S::DoubleIsFloat, "Yes"}, {S::UseHardwareMultiplier, "No"},
        {S::IncludeStandardLibraries, "Yes"}, {S::UseMultiThreadedLibraries, "No"},
        {S::PrintfFmtLevel, "int"}, {S::PrintfFpEnabled, "No"},
        {S::PrintfWidthPrecisionSupported, "Yes"}, {S::ScanfFmtLevel, "int"},
        {S::ScanfFpEnabled, "No"}, {S::ScanfCharacterGroupMatching, "No"},
        {S::CrossCalling, "None"}, {S::CrossCallMinimumSubroutineSize, "6"},
        {S::CrossCallMaximumPasses, "0"}, {S::CrossJumping, "No"}, {S::Peepholes, "Yes"},
        {S::Flattening, "Yes"}, {S::DeadCode, "Yes"}, {S::TailMerging, "No"},
        {S::JumpThreading, "Yes"}, {S::JumpChaining, "No"}, {S::CodeMotion, "No"},
        {S::BlockLocality, "No"}, {S::CopyPropagation, "No"}, {S::ChecksumAlgorithm, "CRC16"},
        {S::HeapSize, "0"}, {S::MapFile, "Yes"}, {S::OutputFormat, "None"}};
    // clang-format on
    return f;
}

// An expected argument list written as one text; no argument holds a blank.
QStringList args(const QString& text) {
    return text.split(' ');
}

QStringList compileC(const FakeSettings& f) {
    return VornCommandLine::compile("/root", VornTool::CCompiler, f, "src/main.c",
                                    "Debug/main.hzo");
}

QStringList link(const FakeSettings& f, const QString& output = "Debug/app.hzx") {
    return VornCommandLine::linkHead("/root", f, {"Debug/a.hzo", "lib/x.hza"}) +
           VornCommandLine::linkTail(f, output);
}

} // namespace

TEST(CompileLine, EveryOptionInItsPlace) {
    FakeSettings f = defaults();
    f.values[S::PreprocessorDefinitions] = "A=1;;B;C D";
    f.values[S::PreprocessorUndefinitions] = "U";
    f.values[S::CAdditionalOptions] = "-x;-y\\;z";
    f.values[S::AsmAdditionalOptions] = "-never";
    f.values[S::BuildQuietly] = "No";
    f.target = "MSP430F149";
    f.values[S::TreatWarningsAsErrors] = "Yes";
    f.values[S::SuppressWarnings] = "Yes";
    f.values[S::OptimizationStrategy] = "Maximize speed";
    f.values[S::RegisterAllocation] = "Locals and Globals";
    f.values[S::CodeSection] = "MYCODE";
    f.values[S::UserIncludeDirectories] = "inc;;$(StudioDir)/x";
    f.values[S::EnforceAnsiChecking] = "Yes";
    f.values[S::UseHardwareMultiplier] = "Inline";
    EXPECT_EQ(compileC(f),
              args("/root/bin/hcc -DA=1 -DB") + QStringList{"-DC D"} +
                  args("-UU -x -y;z -V -D__SHEERLINE -D__TARGET_PROCESSOR=MSP430F149 -g -we -w "
                       "-O+9 -Org -Rc,MYCODE -Iinc -I/studio/x -J/studio/include -ansi -msd "
                       "-mmpyinl src/main.c -o Debug/main.hzo"));
}

TEST(CompileLine, SectionNamesAreTrimmedAndComparedWithDefaults) {
    FakeSettings f = defaults();
    f.values[S::DataSection] = " IDATA0 ";
    f.values[S::ZeroedSection] = "  MYZERO ";
    f.values[S::ConstSection] = "   ";
    f.values[S::VectorSection] = "VEC";
    f.values[S::CodeSection] = "";
    EXPECT_EQ(compileC(f).filter("-R"), QStringList({"-Rz,MYZERO", "-Rv,VEC"}));
}

TEST(CompileLine, FallbacksAndSwitchesThatDropOptions) {
    FakeSettings f = defaults();
    f.values[S::OptimizationStrategy] = "whatever";
    f.values[S::UseHardwareMultiplier] = "Yes";
    f.values[S::RegisterAllocation] = "None";
    QStringList line = compileC(f);
    for (const char* option : {"-O+9", "-Or-", "-mmpy"})
        EXPECT_TRUE(line.contains(option)) << option;
    f.values[S::RegisterAllocation] = "All";
    EXPECT_TRUE(compileC(f).filter("-Or").isEmpty());

    f.values[S::IgnoreIncludes] = "Yes";
    f.values[S::UndefineAllPreprocessorDefinitions] = "Yes";
    f.target = "MSP430F149";
    line = compileC(f);
    for (const char* dropped : {"-I", "-J", "__"})
        EXPECT_TRUE(line.filter(dropped).isEmpty()) << dropped;
}

TEST(CompileLine, AssemblerAndBasicCompilerDifferences) {
    FakeSettings f = defaults();
    f.values[S::CAdditionalOptions] = "-c-only";
    f.values[S::AsmAdditionalOptions] = "-a1;-a2";
    f.values[S::EnforceAnsiChecking] = "Yes";
    f.values[S::UseHardwareMultiplier] = "Yes";
    EXPECT_EQ(VornCommandLine::compile("/root", VornTool::Assembler, f, "start.s43", "o/start.hzo"),
              args("/root/bin/has -a1 -a2 -D__SHEERLINE -g -I. -J/studio/include start.s43 -o "
                   "o/start.hzo"));
    EXPECT_EQ(VornCommandLine::compile("/root", VornTool::BasicCompiler, f, "b.bas", "b.hzo"),
              args("/root/bin/hbc -c-only -D__SHEERLINE -g -O-9 -Orl -I. -J/studio/include -msd "
                   "b.bas -o b.hzo"));
}

TEST(LinkLine, DefaultsGiveLibrariesAndStandardOptimisations) {
    EXPECT_EQ(link(defaults()),
              args("/root/bin/hld Debug/a.hzo lib/x.hza /studio/lib/lib_vfprintf_int_sf.hza "
                   "/studio/lib/lib_vfscanf_int_sf.hza -g /studio/lib/libc_sf.hza "
                   "/studio/lib/libm_sf.hza -Oph -Ofl -Odc -Ojt -MDebug/app.map -o Debug/app.hzx"));
}

TEST(LinkLine, EveryOptionInItsPlace) {
    FakeSettings f = defaults();
    f.values[S::BuildQuietly] = "No";
    f.values[S::DebugInformation] = "No";
    f.values[S::TreatWarningsAsErrors] = "Yes";
    f.values[S::SuppressWarnings] = "Yes";
    f.values[S::IncludeStandardLibraries] = "No";
    f.values[S::CrossCalling] = "Maximum";
    f.values[S::CrossCallMinimumSubroutineSize] = "12";
    f.values[S::CrossCallMaximumPasses] = "3";
    for (S s : {S::CrossJumping, S::TailMerging, S::JumpChaining, S::CodeMotion, S::BlockLocality,
                S::CopyPropagation})
        f.values[s] = "Yes";
    for (S s : {S::Peepholes, S::Flattening, S::DeadCode, S::JumpThreading})
        f.values[s] = "No";
    f.values[S::ChecksumSections] = "CODE;CONST";
    f.values[S::ChecksumAlgorithm] = "CRC32";
    f.values[S::SymbolDefinitions] = "X=1;;Y";
    f.values[S::HeapSize] = "256";
    f.values[S::LinkerAdditionalOptions] = "-q;-r";
    f.values[S::KeepSymbols] = "main;isr";
    f.values[S::PrintfFmtLevel] = "long";
    f.values[S::ScanfCharacterGroupMatching] = "Yes";
    EXPECT_EQ(link(f), args("/root/bin/hld Debug/a.hzo lib/x.hza "
                            "/studio/lib/lib_vfprintf_long_sf.hza "
                            "/studio/lib/lib_vfscanf_int_cc_sf.hza -V -we -w -Oxcx=12 -Oxcp=3 "
                            "-Oxj -Otm -Ojc -Ocm -Obl -Ocp -HCODE,CONST=crc32 -DX=1 -DY "
                            "-Dheap_size=256 -q -r -Kmain -Kisr -MDebug/app.map -o Debug/app.hzx"));
}

TEST(LinkLine, CrossCallingAndHeapConditions) {
    FakeSettings f = defaults();
    f.values[S::CrossCalling] = "Standard";
    EXPECT_TRUE(link(f).contains("-Oxc=6"));
    EXPECT_TRUE(link(f).filter("-Oxcp").isEmpty());
    f.values[S::CrossCalling] = "None";
    f.values[S::CrossCallMaximumPasses] = "3";
    EXPECT_TRUE(link(f).contains("-Oxcp=3"));
    EXPECT_TRUE(link(f).filter("-Oxc=").isEmpty());
    for (const char* heap : {"0", "", "x12", "00"}) {
        f.values[S::HeapSize] = heap;
        EXPECT_TRUE(link(f).filter("heap").isEmpty()) << heap;
    }
}

TEST(LinkLine, MapAndConversionNamesKeepTheOutputDirectory) {
    EXPECT_EQ(VornCommandLine::mapBase("Debug/app.v1.hzx"), "Debug/app.v1");
    EXPECT_EQ(VornCommandLine::mapBase("/abs/out/app"), "/abs/out/app");
    EXPECT_EQ(VornCommandLine::mapBase("app.hzx"), "./app");
    EXPECT_EQ(VornCommandLine::fileNamePart("Debug/sub/app.hzx"), "app.hzx");
    EXPECT_EQ(VornCommandLine::fileNamePart("app.hzx"), "app.hzx");
    EXPECT_EQ(VornCommandLine::convert("/root", "Debug/app.hzx", "hex"),
              args("/root/bin/hex Debug/app.hzx -o Debug/app -Fhex"));
    EXPECT_EQ(VornCommandLine::archive("/root", "Debug/lib.hza", {"b.hzo", "a.hzo"}),
              args("/root/bin/har -c Debug/lib.hza b.hzo a.hzo"));
}
