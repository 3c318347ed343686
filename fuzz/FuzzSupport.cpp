#include "FuzzSupport.h"

#include "base/EnvironmentSettings.h"
#include "build/StandardBuildSystem.h"
#include "macros/MacroSystem.h"
#include "toolchain/MSP430BuildSystem.h"
#include "toolchain/MSP430ProjectSystem.h"

namespace fuzz {

void setUpGlobals() {
    static bool done = false;
    if (done) return;
    done = true;
    scratchDir();
    const QString studioDir = QStringLiteral(SLIPWAY_SOURCE_DIR "/studio");
    environment = new EnvironmentSettings();
    environment->createEntries(studioDir);
    new MSP430ProjectSystem();
    new MSP430BuildSystem(QStringList());
    if (PropertyClass* map = standardBuildSystem->linkerMemoryMapFile)
        map->setDefault("$(StudioDir)/targets/MSP430F449.xml");
    if (PropertyClass* placement = standardBuildSystem->linkerSectionPlacementFile)
        placement->setDefault("$(StudioDir)/targets/section_placement.xml");
    macroSystem.setSystemMacro("Platform", "msp430");
    macroSystem.setSystemMacro("StudioDir", studioDir);
}

} // namespace fuzz
