#include "toolchain/MSP430BuildSystem.h"

#include "build/PropertyCatalogue.h"
#include "project/ProjectSystem.h"

namespace {

using M = MSP430BuildSystem;

const CatalogueRow<M> catalogue[] = {
    {&M::linkMsp430WorkaroundCpu6Bug, "link_msp430_workaround_CPU_6_bug", "Linker Options",
     "Work Around CPU6 Bug", PropertyClass::Boolean, "No", nullptr,
     "Work around the CPU6 bug on MSP430F21x1 devices."},
    {&M::msp430DebugInterface, "msp430_debug_interface", "Target Options", "Debug Interface",
     PropertyClass::Enumeration, "JTAG", "JTAG|SPY_BI_WIRE|SPY_BI_WIRE_JTAG",
     "The debug interface for the target."},
    {&M::msp430InsnSet, "msp430_insn_set", "Code Generation Options", "Instruction Set",
     PropertyClass::Enumeration, "MSP430", "MSP430|MSP430X",
     "The architecture instruction set to use for code generation."},
};

} // namespace

MSP430BuildSystem::MSP430BuildSystem(const QStringList& loadFileTypes)
    : VornBuildSystem(loadFileTypes) {
    createCatalogue(this, catalogue);
}

MSP430BuildSystem::~MSP430BuildSystem() = default;

bool MSP430BuildSystem::appendBuildOptions(ProjectElement* element, const QString& configuration,
                                           BuildAction action, QStringList& arguments, Builder*) {
    auto setting = [&](PropertyClass* cls) {
        return projectSystem->settingFor(element, cls, configuration);
    };
    if (action == CompileC && setting(msp430InsnSet) == QLatin1String("MSP430X"))
        arguments << QStringLiteral("-mcpux");
    if ((action == CompileC || action == Assemble) &&
        setting(cUndefineAllPreprocessorDefinitions) == QLatin1String("No"))
        arguments << QStringLiteral("-D__SHEERLINE_MSP430");
    if (action == Link && setting(linkMsp430WorkaroundCpu6Bug) == QLatin1String("Yes"))
        arguments << QStringLiteral("-fcpu6");
    return true;
}

bool MSP430BuildSystem::commandUpToDate(ProjectElement* element, const QString& configuration,
                                        const QDateTime& outputTime, BuildAction action,
                                        Builder* builder, bool quiet) {
    if (!VornBuildSystem::commandUpToDate(element, configuration, outputTime, action, builder,
                                          quiet))
        return false;
    if (action == CompileC)
        return projectSystem->upToDate(element, msp430InsnSet, configuration, outputTime, builder,
                                       quiet);
    if (action == Link)
        return projectSystem->upToDate(element, linkMsp430WorkaroundCpu6Bug, configuration,
                                       outputTime, builder, quiet);
    return true;
}
