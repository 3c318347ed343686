#pragma once

#include <QString>
#include <QStringList>

// The settings that shape the toolchain's command lines. VornBuildSystem maps
// each to the property class that holds it.
enum class VornSetting {
    // compiler and assembler
    BuildQuietly,
    DebugInformation,
    TreatWarningsAsErrors,
    SuppressWarnings,
    PreprocessorDefinitions,
    PreprocessorUndefinitions,
    CAdditionalOptions,
    AsmAdditionalOptions,
    UndefineAllPreprocessorDefinitions,
    OptimizationStrategy,
    RegisterAllocation,
    CodeSection,
    DataSection,
    ZeroedSection,
    ConstSection,
    VectorSection,
    IgnoreIncludes,
    UserIncludeDirectories,
    SystemIncludeDirectories,
    EnforceAnsiChecking,
    DoubleIsFloat,
    UseHardwareMultiplier,
    // linker
    IncludeStandardLibraries,
    UseMultiThreadedLibraries,
    PrintfFmtLevel,
    PrintfFpEnabled,
    PrintfWidthPrecisionSupported,
    ScanfFmtLevel,
    ScanfFpEnabled,
    ScanfCharacterGroupMatching,
    CrossCalling,
    CrossCallMinimumSubroutineSize,
    CrossCallMaximumPasses,
    CrossJumping,
    Peepholes,
    Flattening,
    DeadCode,
    TailMerging,
    JumpThreading,
    JumpChaining,
    CodeMotion,
    BlockLocality,
    CopyPropagation,
    ChecksumSections,
    ChecksumAlgorithm,
    SymbolDefinitions,
    HeapSize,
    LinkerAdditionalOptions,
    KeepSymbols,
    MapFile,
    OutputFormat,
};

// Settings of one element in one configuration, as the command lines see them.
class VornSettings {
public:
    virtual ~VornSettings() = default;
    // The resolved setting, macros left alone.
    virtual QString value(VornSetting setting) const = 0;
    // The resolved setting with the element's macros replaced.
    virtual QString expanded(VornSetting setting) const = 0;
    // The class default of a setting (the platform's constant for section names).
    virtual QString defaultValue(VornSetting setting) const = 0;
    // Any text with the element's macros (toolchain macros included) replaced.
    virtual QString replaceMacros(const QString& text) const = 0;
    // The "Target" property-group value; null when there is none.
    virtual QString targetProcessor() const = 0;
};

enum class VornTool { CCompiler, BasicCompiler, Assembler };

namespace VornCommandLine {

// Program path under the tool-chain root; names begin with "/".
QString program(const QString& root, const char* name);

QStringList compile(const QString& root, VornTool tool, const VornSettings& settings,
                    const QString& source, const QString& outputName);

QStringList archive(const QString& root, const QString& outputName, const QStringList& inputs);

QString printfVariant(const VornSettings& settings);
QString scanfVariant(const VornSettings& settings);

// Everything up to, not including, the placement arguments.
QStringList linkHead(const QString& root, const VornSettings& settings, const QStringList& inputs);
// The arguments after the placement ones.
QStringList linkTail(const VornSettings& settings, const QString& outputName);

// The output name up to its last "." with its directory (relative names stay relative).
QString mapBase(const QString& outputName);
// File name part of a path: the text after the last "/".
QString fileNamePart(const QString& path);

QStringList convert(const QString& root, const QString& outputName, const QString& format);

} // namespace VornCommandLine
