#include "toolchain/VornCommandLine.h"

#include "macros/MacroSystem.h"
#include "toolchain/LibraryVariants.h"

#include <QFileInfo>

namespace {

using S = VornSetting;

bool is(const VornSettings& settings, S setting, const char* text) {
    return settings.value(setting) == QLatin1String(text);
}

// Each non-empty ";"-separated piece becomes prefix + piece; pieces are not trimmed.
void appendSplit(QStringList& args, const QString& prefix, const QString& value) {
    const QStringList pieces = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& piece : pieces)
        args << prefix + piece;
}

void appendCommon(QStringList& args, const VornSettings& settings) {
    if (!is(settings, S::BuildQuietly, "Yes")) args << QStringLiteral("-V");
}

void appendDiagnostics(QStringList& args, const VornSettings& settings) {
    if (is(settings, S::DebugInformation, "Yes")) args << QStringLiteral("-g");
    if (is(settings, S::TreatWarningsAsErrors, "Yes")) args << QStringLiteral("-we");
    if (is(settings, S::SuppressWarnings, "Yes")) args << QStringLiteral("-w");
}

struct SectionOption {
    S setting;
    const char* option;
};

const SectionOption sectionOptions[] = {
    {S::CodeSection, "-Rc,"},  {S::DataSection, "-Rd,"},   {S::ZeroedSection, "-Rz,"},
    {S::ConstSection, "-Rk,"}, {S::VectorSection, "-Rv,"},
};

struct LinkFlag {
    S setting;
    const char* option;
};

const LinkFlag linkOptimizations[] = {
    {S::CrossJumping, "-Oxj"},    {S::Peepholes, "-Oph"},   {S::Flattening, "-Ofl"},
    {S::DeadCode, "-Odc"},        {S::TailMerging, "-Otm"}, {S::JumpThreading, "-Ojt"},
    {S::JumpChaining, "-Ojc"},    {S::CodeMotion, "-Ocm"},  {S::BlockLocality, "-Obl"},
    {S::CopyPropagation, "-Ocp"},
};

QString library(const VornSettings& settings, const QString& stem) {
    return settings.replaceMacros(QStringLiteral("$(StudioDir)/lib/") + stem +
                                  QStringLiteral("$(LibExt)")) +
           QStringLiteral(".hza");
}

} // namespace

namespace VornCommandLine {

QString program(const QString& root, const char* name) {
    return root + QLatin1String(name);
}

QStringList compile(const QString& root, VornTool tool, const VornSettings& settings,
                    const QString& source, const QString& outputName) {
    const bool compiler = tool != VornTool::Assembler;
    const bool cCompiler = tool == VornTool::CCompiler;
    QStringList args;
    args << program(root, tool == VornTool::CCompiler       ? "/bin/hcc"
                          : tool == VornTool::BasicCompiler ? "/bin/hbc"
                                                            : "/bin/has");
    appendSplit(args, QStringLiteral("-D"), settings.value(S::PreprocessorDefinitions));
    appendSplit(args, QStringLiteral("-U"), settings.value(S::PreprocessorUndefinitions));
    const QString extra =
        settings.value(compiler ? S::CAdditionalOptions : S::AsmAdditionalOptions);
    if (!extra.isEmpty()) args << MacroSystem::stringListFromString(extra);
    appendCommon(args, settings);
    if (is(settings, S::UndefineAllPreprocessorDefinitions, "No")) {
        args << QStringLiteral("-D__SHEERLINE");
        const QString target = settings.targetProcessor();
        if (!target.isNull()) args << QStringLiteral("-D__TARGET_PROCESSOR=") + target;
    }
    appendDiagnostics(args, settings);
    if (compiler) {
        args << (is(settings, S::OptimizationStrategy, "Minimize size") ? QStringLiteral("-O-9")
                                                                        : QStringLiteral("-O+9"));
        const QString regs = settings.value(S::RegisterAllocation);
        if (regs == QLatin1String("None"))
            args << QStringLiteral("-Or-");
        else if (regs == QLatin1String("Locals Only"))
            args << QStringLiteral("-Orl");
        else if (regs == QLatin1String("Locals and Globals"))
            args << QStringLiteral("-Org");
    }
    for (const SectionOption& section : sectionOptions) {
        const QString name = settings.value(section.setting).trimmed();
        if (!name.isEmpty() && name != settings.defaultValue(section.setting))
            args << QLatin1String(section.option) + name;
    }
    if (is(settings, S::IgnoreIncludes, "No")) {
        appendSplit(args, QStringLiteral("-I"), settings.expanded(S::UserIncludeDirectories));
        appendSplit(args, QStringLiteral("-J"), settings.expanded(S::SystemIncludeDirectories));
    }
    if (cCompiler && is(settings, S::EnforceAnsiChecking, "Yes")) args << QStringLiteral("-ansi");
    if (compiler && is(settings, S::DoubleIsFloat, "Yes")) args << QStringLiteral("-msd");
    if (cCompiler) {
        const QString mpy = settings.value(S::UseHardwareMultiplier);
        if (mpy == QLatin1String("Yes"))
            args << QStringLiteral("-mmpy");
        else if (mpy == QLatin1String("Inline"))
            args << QStringLiteral("-mmpyinl");
    }
    args << source << QStringLiteral("-o") << outputName;
    return args;
}

QStringList archive(const QString& root, const QString& outputName, const QStringList& inputs) {
    QStringList args;
    args << program(root, "/bin/har") << QStringLiteral("-c") << outputName << inputs;
    return args;
}

QString printfVariant(const VornSettings& settings) {
    return LibraryVariants::printfVariant(
        settings.value(S::PrintfFpEnabled), settings.value(S::DoubleIsFloat),
        settings.value(S::PrintfFmtLevel), settings.value(S::PrintfWidthPrecisionSupported));
}

QString scanfVariant(const VornSettings& settings) {
    return LibraryVariants::scanfVariant(
        settings.value(S::ScanfFpEnabled), settings.value(S::DoubleIsFloat),
        settings.value(S::ScanfFmtLevel), settings.value(S::ScanfCharacterGroupMatching));
}

QStringList linkHead(const QString& root, const VornSettings& settings, const QStringList& inputs) {
    QStringList args;
    args << program(root, "/bin/hld") << inputs;
    args << library(settings, QStringLiteral("lib_vfprintf_") + printfVariant(settings));
    args << library(settings, QStringLiteral("lib_vfscanf_") + scanfVariant(settings));
    appendCommon(args, settings);
    appendDiagnostics(args, settings);
    if (is(settings, S::IncludeStandardLibraries, "Yes")) {
        args << library(settings, QStringLiteral("libc"));
        args << library(settings, QStringLiteral("libm"));
    }
    const QString crossCalling = settings.value(S::CrossCalling);
    if (crossCalling == QLatin1String("Standard"))
        args << QStringLiteral("-Oxc=") + settings.value(S::CrossCallMinimumSubroutineSize);
    else if (crossCalling == QLatin1String("Maximum"))
        args << QStringLiteral("-Oxcx=") + settings.value(S::CrossCallMinimumSubroutineSize);
    const QString passes = settings.value(S::CrossCallMaximumPasses);
    if (passes != QLatin1String("0")) args << QStringLiteral("-Oxcp=") + passes;
    for (const LinkFlag& flag : linkOptimizations)
        if (is(settings, flag.setting, "Yes")) args << QLatin1String(flag.option);
    const QString checksum = settings.value(S::ChecksumSections);
    if (!checksum.isEmpty())
        args << QStringLiteral("-H") +
                    QString(checksum).replace(QLatin1Char(';'), QLatin1Char(',')) +
                    QLatin1Char('=') + settings.value(S::ChecksumAlgorithm).toLower();
    appendSplit(args, QStringLiteral("-D"), settings.value(S::SymbolDefinitions));
    const QString heap = settings.value(S::HeapSize);
    bool ok = false;
    const qlonglong heapSize = heap.toLongLong(&ok, 10);
    if (ok && heapSize != 0) args << QStringLiteral("-Dheap_size=") + heap;
    const QString extra = settings.value(S::LinkerAdditionalOptions);
    if (!extra.isEmpty()) args << MacroSystem::stringListFromString(extra);
    return args;
}

QStringList linkTail(const VornSettings& settings, const QString& outputName) {
    QStringList args;
    appendSplit(args, QStringLiteral("-K"), settings.value(S::KeepSymbols));
    if (is(settings, S::MapFile, "Yes"))
        args << QStringLiteral("-M") + mapBase(outputName) + QStringLiteral(".map");
    args << QStringLiteral("-o") << outputName;
    return args;
}

QString mapBase(const QString& outputName) {
    const QFileInfo info(outputName);
    return info.path() + QLatin1Char('/') + info.completeBaseName();
}

QString fileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QStringList convert(const QString& root, const QString& outputName, const QString& format) {
    QStringList args;
    args << program(root, "/bin/hex") << outputName << QStringLiteral("-o") << mapBase(outputName)
         << QStringLiteral("-F") + format;
    return args;
}

} // namespace VornCommandLine
