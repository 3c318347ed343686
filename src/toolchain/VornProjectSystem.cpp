#include "toolchain/VornProjectSystem.h"

#include "base/Branding.h"
#include "toolchain/VornBuildSystem.h"

#include <initializer_list>

namespace {

void appendUnique(PropertyClassList* list, std::initializer_list<PropertyClass*> classes) {
    for (PropertyClass* cls : classes)
        list->appendUnique(cls);
}

void appendSections(PropertyClassList* list) {
    const VornBuildSystem* b = vornBuildSystem;
    if (!b) return;
    appendUnique(list, {b->defaultCodeSection, b->defaultDataSection, b->defaultZeroedSection,
                        b->defaultConstSection, b->defaultVectorSection});
}

} // namespace

// The lists read the toolchain's classes from the one build system; without
// one (a project system used on its own) only the generic entries apply.
VornProjectSystem::VornProjectSystem() = default;
VornProjectSystem::~VornProjectSystem() = default;

QString VornProjectSystem::objectFileExtension() {
    return QStringLiteral(".hzo");
}
QString VornProjectSystem::libraryFileExtension() {
    return QStringLiteral(".hza");
}
QString VornProjectSystem::executableFileExtension() {
    return QStringLiteral(".hzx");
}

QString VornProjectSystem::assemblyCodeFileExtension() {
    const QString ext = QString::fromLatin1(Get_ASM_FILE_EXTENSION());
    return ext.isEmpty() ? QStringLiteral(".s") : QLatin1Char('.') + ext;
}

void VornProjectSystem::appendCCompilerProperties(PropertyClassList* list) {
    StandardProjectSystem::appendCCompilerProperties(list);
    if (!vornBuildSystem) return;
    appendSections(list);
    appendUnique(list, {vornBuildSystem->compilerOptimizationStrategy,
                        vornBuildSystem->optimizeRegisterAllocation});
}

void VornProjectSystem::appendBasicCompilerProperties(PropertyClassList* list) {
    appendCCompilerProperties(list);
}

void VornProjectSystem::appendAssemblerProperties(PropertyClassList* list) {
    StandardProjectSystem::appendAssemblerProperties(list);
    appendSections(list);
}

void VornProjectSystem::appendLinkerProperties(PropertyClassList* list) {
    StandardProjectSystem::appendLinkerProperties(list);
    const VornBuildSystem* b = vornBuildSystem;
    if (!b) return;
    appendUnique(list, {b->linkerHeapSize, b->doubleIsFloat, b->linkerChecksumSections,
                        b->linkerChecksumAlgorithm, b->optimizeCrossCalling,
                        b->optimizeCrossJumping, b->optimizeFlattening, b->optimizeTailMerging,
                        b->optimizePeepholes, b->optimizeJumpThreading, b->optimizeJumpChaining,
                        b->optimizeCodeMotion, b->optimizeBlockLocality, b->optimizeDeadCode,
                        b->linkerCrossCallMinimumSubroutineSize, b->linkerCrossCallMaximumPasses,
                        b->optimizeCopyPropagation, b->buildUseHardwareMultiplier});
}

void VornProjectSystem::appendArchiverProperties(PropertyClassList* list) {
    StandardProjectSystem::appendArchiverProperties(list);
    if (!vornBuildSystem) return;
    appendUnique(list,
                 {vornBuildSystem->doubleIsFloat, vornBuildSystem->buildUseHardwareMultiplier});
}
