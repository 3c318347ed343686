#include "toolchain/VornBuildSystem.h"

#include "base/Builder.h"
#include "base/EnvironmentSettings.h"
#include "build/PropertyCatalogue.h"
#include "objfile/ObjectDependencies.h"
#include "project/ProjectElement.h"
#include "project/ProjectSystem.h"
#include "project/PropertyValueGroup.h"
#include "toolchain/LibraryVariants.h"
#include "toolchain/MemoryMapPlacement.h"
#include "xml/MemoryMap.h"

#include <QFileInfo>

#include <memory>

VornBuildSystem* vornBuildSystem = nullptr;

namespace {

using Row = CatalogueRow<VornBuildSystem>;
using V = VornBuildSystem;
constexpr PropertyClass::Type Bool = PropertyClass::Boolean;
constexpr PropertyClass::Type Enum = PropertyClass::Enumeration;
constexpr PropertyClass::Type Range = PropertyClass::IntegerRange;
constexpr PropertyClass::Type List = PropertyClass::StringList;
const char* const codeGen = "Code Generation Options";
const char* const linker = "Linker Options";
const char* const jumpSaving =
    "Always reduces code size at the expense of a single jump instruction.";

const Row catalogue[] = {
    {&V::compilerOptimizationStrategy, "compiler_optimization_strategy", codeGen,
     "Optimization Strategy", Enum, "Minimize size", "Minimize size|Maximize speed",
     "Minimize code size or maximize execution speed (positive values)."},
    {&V::linkerStackSize, "linker_stack_size", linker, "Stack Size", Range, "0", nullptr,
     "The number of bytes to allocate for the application's stack.", 2, 32768},
    {&V::linkerHeapSize, "linker_heap_size", linker, "Heap Size", Range, "0", nullptr,
     "The number of bytes to allocate for the application's heap.", 2, 32768},
    {&V::linkerChecksumSections, "linker_checksum_sections", linker, "Checksum Sections", List, "",
     nullptr, "The list of sections to checksum using the set checksum algorithm."},
    {&V::linkerChecksumAlgorithm, "linker_checksum_algorithm", linker, "Checksum Algorithm", Enum,
     "CRC16", "CRC16|CRC32|Sum|Xor", "The algorithm used to checksum sections."},
    {&V::doubleIsFloat, "double_is_float", codeGen, "Treat 'double' as 'float'", Bool, "Yes",
     nullptr, "Forces the compiler to make 'double' equivalent to 'float'."},
    {&V::optimizeCrossCalling, "optimize_cross_calling", codeGen, "Code Factoring Optimization",
     Enum, "None", "None|Standard|Maximum",
     "Reduces code size at the expense of execution speed by factoring common code sequences "
     "into subroutines."},
    {&V::linkerCrossCallMinimumSubroutineSize, "linker_cross_call_minimum_subroutine_size", codeGen,
     "Code Factoring Subroutine Size", Range, "6", nullptr,
     "The minimum size of subroutine created by code factoring.", 6, 128},
    {&V::linkerCrossCallMaximumPasses, "linker_cross_call_maximum_passes", codeGen,
     "Code Factoring Passes", Range, "0", nullptr,
     "The maximum number of passes to perform when code factoring (0=unlimited).", 0, 255},
    {&V::optimizeCrossJumping, "optimize_cross_jumping", codeGen, "Cross Jumping Optimization",
     Bool, "No", nullptr, jumpSaving},
    {&V::optimizeTailMerging, "optimize_tail_merging", codeGen, "Tail Merging Optimization", Bool,
     "No", nullptr, jumpSaving},
    {&V::optimizeDeadCode, "optimize_dead_code", codeGen, "Dead Code Elimination", Bool, "Yes",
     nullptr, "Remove code that is not referenced by the application."},
    {&V::optimizeFlattening, "optimize_flattening", codeGen, "Flattening Optimization", Bool, "Yes",
     nullptr, "Subroutines that are just a call followed by a return are flattened into a jump."},
    {&V::optimizePeepholes, "optimize_peepholes", codeGen, "Peephole Optimization", Bool, "Yes",
     nullptr, "Find instruction sequences that can be replaced with faster, smaller code."},
    {&V::optimizeJumpThreading, "optimize_jump_threading", codeGen, "Jump Threading Optimization",
     Bool, "Yes", nullptr, "Follow jump chains and retarget jumps to jump instructions."},
    {&V::optimizeJumpChaining, "optimize_jump_chaining", codeGen, "Jump Chaining Optimization",
     Bool, "No", nullptr, "Reduce spand-dependent jump sizes by chaining jumps together."},
    {&V::optimizeCodeMotion, "optimize_code_motion", codeGen, "Code Motion Optimization", Bool,
     "No", nullptr, "Rearrange code to reduce the number of jump instructions."},
    {&V::optimizeBlockLocality, "optimize_block_locality", codeGen,
     "Block Localization Optimization", Bool, "No", nullptr,
     "Reduce spand-dependent jumps by rearranging basic blocks to improve their locality."},
    {&V::optimizeCopyPropagation, "optimize_copy_propagation", codeGen,
     "Copy Propagation Optimization", Bool, "No", nullptr,
     "Tries to eliminate copy instructions and reduce code size."},
    {&V::optimizeRegisterAllocation, "optimize_register_allocation", codeGen, "Register Allocation",
     Enum, "Locals Only", "None|Locals Only|Locals and Globals",
     "Whether to allocate registers to locals or locals and global addresses."},
    {&V::buildUseHardwareMultiplier, "build_use_hardware_multiplier", codeGen,
     "Use Hardware Multiplier", Enum, "No", "No|Yes|Inline",
     "Enables code generation for the hardware multiplier."},
};

// Where each setting of the command lines lives, whichever layer created it.
struct SettingSlot {
    VornSetting setting;
    PropertyClass* VornBuildSystem::*member;
};

using S = VornSetting;
const SettingSlot settingSlots[] = {
    {S::BuildQuietly, &V::buildQuietly},
    {S::DebugInformation, &V::buildDebugInformation},
    {S::TreatWarningsAsErrors, &V::buildTreatWarningsAsErrors},
    {S::SuppressWarnings, &V::buildSuppressWarnings},
    {S::PreprocessorDefinitions, &V::cPreprocessorDefinitions},
    {S::PreprocessorUndefinitions, &V::cPreprocessorUndefinitions},
    {S::CAdditionalOptions, &V::cAdditionalOptions},
    {S::AsmAdditionalOptions, &V::asmAdditionalOptions},
    {S::UndefineAllPreprocessorDefinitions, &V::cUndefineAllPreprocessorDefinitions},
    {S::OptimizationStrategy, &V::compilerOptimizationStrategy},
    {S::RegisterAllocation, &V::optimizeRegisterAllocation},
    {S::CodeSection, &V::defaultCodeSection},
    {S::DataSection, &V::defaultDataSection},
    {S::ZeroedSection, &V::defaultZeroedSection},
    {S::ConstSection, &V::defaultConstSection},
    {S::VectorSection, &V::defaultVectorSection},
    {S::IgnoreIncludes, &V::cIgnoreIncludes},
    {S::UserIncludeDirectories, &V::cUserIncludeDirectories},
    {S::SystemIncludeDirectories, &V::cSystemIncludeDirectories},
    {S::EnforceAnsiChecking, &V::cEnforceAnsiChecking},
    {S::DoubleIsFloat, &V::doubleIsFloat},
    {S::UseHardwareMultiplier, &V::buildUseHardwareMultiplier},
    {S::IncludeStandardLibraries, &V::linkIncludeStandardLibraries},
    {S::UseMultiThreadedLibraries, &V::linkUseMultiThreadedLibraries},
    {S::PrintfFmtLevel, &V::linkerPrintfFmtLevel},
    {S::PrintfFpEnabled, &V::linkerPrintfFpEnabled},
    {S::PrintfWidthPrecisionSupported, &V::linkerPrintfWidthPrecisionSupported},
    {S::ScanfFmtLevel, &V::linkerScanfFmtLevel},
    {S::ScanfFpEnabled, &V::linkerScanfFpEnabled},
    {S::ScanfCharacterGroupMatching, &V::linkerScanfCharacterGroupMatchingEnabled},
    {S::CrossCalling, &V::optimizeCrossCalling},
    {S::CrossCallMinimumSubroutineSize, &V::linkerCrossCallMinimumSubroutineSize},
    {S::CrossCallMaximumPasses, &V::linkerCrossCallMaximumPasses},
    {S::CrossJumping, &V::optimizeCrossJumping},
    {S::Peepholes, &V::optimizePeepholes},
    {S::Flattening, &V::optimizeFlattening},
    {S::DeadCode, &V::optimizeDeadCode},
    {S::TailMerging, &V::optimizeTailMerging},
    {S::JumpThreading, &V::optimizeJumpThreading},
    {S::JumpChaining, &V::optimizeJumpChaining},
    {S::CodeMotion, &V::optimizeCodeMotion},
    {S::BlockLocality, &V::optimizeBlockLocality},
    {S::CopyPropagation, &V::optimizeCopyPropagation},
    {S::ChecksumSections, &V::linkerChecksumSections},
    {S::ChecksumAlgorithm, &V::linkerChecksumAlgorithm},
    {S::SymbolDefinitions, &V::linkSymbolDefinitions},
    {S::HeapSize, &V::linkerHeapSize},
    {S::LinkerAdditionalOptions, &V::linkerAdditionalOptions},
    {S::KeepSymbols, &V::linkerKeepSymbols},
    {S::MapFile, &V::linkerMapFile},
    {S::OutputFormat, &V::linkerOutputFormat},
};

// The settings of one element in one configuration, read on demand.
class ElementSettings : public VornSettings {
public:
    ElementSettings(VornBuildSystem* bs, ProjectElement* element, const QString& configuration)
        : m_bs(bs), m_element(element), m_configuration(configuration) {}

    QString value(VornSetting setting) const override {
        return projectSystem->settingFor(m_element, m_bs->settingClass(setting), m_configuration);
    }
    QString expanded(VornSetting setting) const override {
        return m_bs->settingForExpanded(m_element, m_bs->settingClass(setting), m_configuration);
    }
    QString defaultValue(VornSetting setting) const override {
        return m_bs->settingClass(setting)->defaultValue();
    }
    QString replaceMacros(const QString& text) const override {
        return m_bs->replaceMacros(m_element, m_configuration, text);
    }
    QString targetProcessor() const override {
        return m_bs->targetProcessor(m_element, m_configuration);
    }

private:
    VornBuildSystem* m_bs;
    ProjectElement* m_element;
    QString m_configuration;
};

bool isYes(const QString& value) {
    return value == QLatin1String("Yes");
}

} // namespace

VornBuildSystem::VornBuildSystem(const QStringList& loadFileTypes)
    : StandardBuildSystem(loadFileTypes) {
    vornBuildSystem = this;
    createCatalogue(this, catalogue);
    linkerOutputFormat->setEnumerates(
        QStringList{"None", "hex", "lst", "srec", "bin", "tek", "txt"});
    linkerOutputFormat->setDefault(QStringLiteral("None"));

    int count = 0;
    for (const SettingSlot& slot : settingSlots)
        count = qMax(count, int(slot.setting) + 1);
    m_settingClasses.fill(nullptr, count);
    for (const SettingSlot& slot : settingSlots)
        m_settingClasses[int(slot.setting)] = this->*slot.member;
}

VornBuildSystem::~VornBuildSystem() {
    if (vornBuildSystem == this) vornBuildSystem = nullptr;
}

MacroMap VornBuildSystem::macros(ProjectElement* element, const QString& configuration) {
    MacroMap map = BuildSystem::macros(element, configuration);
    if (element && element->isProject()) {
        map.insert(
            QStringLiteral("LibExt"),
            LibraryVariants::libExt(
                projectSystem->settingFor(element, buildUseHardwareMultiplier, configuration),
                projectSystem->settingFor(element, doubleIsFloat, configuration),
                projectSystem->settingFor(element, linkUseMultiThreadedLibraries, configuration)));
    }
    return map;
}

QString VornBuildSystem::getPrintfVariant(ProjectElement* element, const QString& configuration) {
    return VornCommandLine::printfVariant(ElementSettings(this, element, configuration));
}

QString VornBuildSystem::getScanfVariant(ProjectElement* element, const QString& configuration) {
    return VornCommandLine::scanfVariant(ElementSettings(this, element, configuration));
}

QString VornBuildSystem::getObjectFileExtension() const {
    return QStringLiteral(".hzo");
}
QString VornBuildSystem::getExecutableFileExtension() const {
    return QStringLiteral(".hzx");
}
QString VornBuildSystem::getLibraryFileExtension() const {
    return QStringLiteral(".hza");
}

QString VornBuildSystem::toolChainRoot() const {
    const QString root =
        environment ? environment->toolChainRootDirectory() : QStringLiteral("$(StudioDir)");
    return macroSystem.replaceMacros(macroSystem.systemMacros(), root);
}

QString VornBuildSystem::targetProcessor(ProjectElement* element, const QString& configuration) {
    if (!propertyValueGroups) return QString();
    const std::unique_ptr<PropertyValueGroupValue> value(
        propertyValueGroups->getGroupValue(element, configuration, QStringLiteral("Target")));
    if (!value) return QString();
    const QString text = value->propertyValue();
    return text.isNull() ? QString(QLatin1String("")) : text;
}

QStringList VornBuildSystem::getObjectFileDependencies(const QString&, const QString&,
                                                       const QString& objectFilePath) {
    return readObjectFileDependenciesOrThrow(objectFilePath, *fileSystem());
}

void VornBuildSystem::createCommandFor(ProjectElement* element, const QString& configuration,
                                       BuildAction action, const QString& outputName,
                                       const QString& resolvedOutputPath, const QStringList& inputs,
                                       Builder* builder, bool, bool) {
    const QString root = toolChainRoot();
    builder->init();
    ProjectElement* project = ProjectSystem::projectContaining(element);
    builder->setDirectory(projectSystem->projectDirectoryPath(project ? project : element));
    switch (action) {
    case CompileC:
    case CompileBasic:
    case Assemble:
        compileCommand(element, configuration, action, root, outputName, resolvedOutputPath, inputs,
                       builder);
        break;
    case Archive:
        archiveCommand(element, root, outputName, resolvedOutputPath, inputs, builder);
        break;
    case Link:
        linkCommand(element, configuration, root, outputName, resolvedOutputPath, inputs, builder);
        break;
    default:
        break;
    }
}

void VornBuildSystem::compileCommand(ProjectElement* element, const QString& configuration,
                                     BuildAction action, const QString& root,
                                     const QString& outputName, const QString& resolvedOutputPath,
                                     const QStringList& inputs, Builder* builder) {
    const VornTool tool = action == CompileC       ? VornTool::CCompiler
                          : action == CompileBasic ? VornTool::BasicCompiler
                                                   : VornTool::Assembler;
    QStringList args = VornCommandLine::compile(
        root, tool, ElementSettings(this, element, configuration), inputs.value(0), outputName);
    if (!appendBuildOptions(element, configuration, action, args, builder)) return;
    const QString verb =
        action == Assemble ? QStringLiteral("Assembling ") : QStringLiteral("Compiling ");
    builder->beginGroup(element, verb + displayName(element, configuration), false);
    builder->setOutputFiles(QStringList{resolvedOutputPath});
    builder->setCommand(args);
    builder->doit();
    builder->endGroup(element);
}

void VornBuildSystem::archiveCommand(ProjectElement* element, const QString& root,
                                     const QString& outputName, const QString& resolvedOutputPath,
                                     const QStringList& inputs, Builder* builder) {
    builder->beginGroup(
        element, QStringLiteral("Archiving ") + VornCommandLine::fileNamePart(outputName), false);
    builder->setOutputFiles(QStringList{resolvedOutputPath});
    builder->setCommand(VornCommandLine::archive(root, outputName, inputs));
    builder->doit();
    builder->endGroup(element);
}

void VornBuildSystem::linkCommand(ProjectElement* project, const QString& configuration,
                                  const QString& root, const QString& outputName,
                                  const QString& resolvedOutputPath, const QStringList& inputs,
                                  Builder* builder) {
    const ElementSettings settings(this, project, configuration);
    QStringList args = VornCommandLine::linkHead(root, settings, inputs);
    if (!placementArguments(project, configuration, builder, args)) return;
    args << VornCommandLine::linkTail(settings, outputName);
    if (!appendBuildOptions(project, configuration, Link, args, builder)) return;

    builder->beginGroup(
        project, QStringLiteral("Linking ") + VornCommandLine::fileNamePart(outputName), false);
    builder->setOutputFiles(QStringList{resolvedOutputPath});
    builder->setCommand(args);
    builder->doit();
    if (!failed() && !stopRequested()) {
        const QString sideBase =
            QFileInfo(resolvedOutputPath).path() + QLatin1Char('/') +
            QFileInfo(VornCommandLine::fileNamePart(outputName)).completeBaseName();
        if (isYes(settings.value(VornSetting::MapFile)))
            builder->setOutputFiles(QStringList{sideBase + QStringLiteral(".map")});
        const QString format = settings.value(VornSetting::OutputFormat);
        if (format != QLatin1String("None") && format != QLatin1String("hzx")) {
            builder->setCommand(VornCommandLine::convert(root, outputName, format));
            builder->setOutputFiles(QStringList{sideBase + QLatin1Char('.') + format});
            builder->doit();
        }
    }
    builder->endGroup(project);
}

bool VornBuildSystem::placementArguments(ProjectElement* project, const QString& configuration,
                                         Builder* builder, QStringList& arguments) {
    QString placementPath;
    MemoryMap* placement = nullptr;
    if (useSectionPlacementFileForLink(project, configuration, placementPath)) {
        placement = MemoryMapOpenFiles::getMemoryMapFile(placementPath);
        if (!placement) {
            builder->error(QStringLiteral("Cannot load section placement file: ") + placementPath);
            return false;
        }
    }
    QString mapPath;
    MemoryMap* memoryMap = nullptr;
    if (useMemoryMapFileForLink(project, configuration, mapPath)) {
        memoryMap = MemoryMapOpenFiles::getMemoryMapFile(mapPath);
        if (!memoryMap) {
            builder->error(QStringLiteral("Cannot load memory map file: ") + mapPath);
            return false;
        }
        if (LinkPlacement::hasOwnPlacement(*memoryMap)) placement = nullptr;
    }
    if (placement && !memoryMap) {
        builder->error(QStringLiteral("memory map file is required."));
        return false;
    }
    if (!memoryMap) return true;
    const LinkPlacement::Result result =
        LinkPlacement::place(LinkPlacement::requestsFor(*memoryMap, placement));
    for (const QString& message : result.messages)
        builder->message(message);
    arguments << result.arguments;
    return true;
}

bool VornBuildSystem::settingsUpToDate(ProjectElement* element, const QString& configuration,
                                       const QDateTime& outputTime, PropertyClass* const* classes,
                                       int count, Builder* builder, bool quiet) {
    for (int i = 0; i < count; ++i)
        if (!projectSystem->upToDate(element, classes[i], configuration, outputTime, builder,
                                     quiet))
            return false;
    return true;
}

bool VornBuildSystem::commandUpToDate(ProjectElement* element, const QString& configuration,
                                      const QDateTime& outputTime, BuildAction action,
                                      Builder* builder, bool quiet) {
    if (!StandardBuildSystem::commandUpToDate(element, configuration, outputTime, action, builder,
                                              quiet))
        return false;
    if (action == CompileC || action == CompileBasic) {
        PropertyClass* const classes[] = {doubleIsFloat, compilerOptimizationStrategy,
                                          optimizeRegisterAllocation, buildUseHardwareMultiplier};
        return settingsUpToDate(element, configuration, outputTime, classes, 4, builder, quiet);
    }
    if (action == Link) {
        PropertyClass* const classes[] = {linkerStackSize,
                                          linkerHeapSize,
                                          linkerOutputFormat,
                                          linkerChecksumSections,
                                          linkerChecksumAlgorithm,
                                          optimizeCrossCalling,
                                          linkerCrossCallMinimumSubroutineSize,
                                          linkerCrossCallMaximumPasses,
                                          optimizeCrossJumping,
                                          optimizeTailMerging,
                                          optimizePeepholes,
                                          optimizeJumpThreading,
                                          optimizeJumpChaining,
                                          optimizeFlattening,
                                          optimizeCodeMotion,
                                          optimizeDeadCode,
                                          optimizeBlockLocality,
                                          optimizeCopyPropagation,
                                          optimizeRegisterAllocation,
                                          buildUseHardwareMultiplier};
        return settingsUpToDate(element, configuration, outputTime, classes,
                                int(sizeof classes / sizeof *classes), builder, quiet);
    }
    return true;
}
