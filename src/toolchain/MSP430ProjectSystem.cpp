#include "toolchain/MSP430ProjectSystem.h"

#include "toolchain/MSP430BuildSystem.h"

MSP430ProjectSystem::MSP430ProjectSystem() = default;
MSP430ProjectSystem::~MSP430ProjectSystem() = default;

void MSP430ProjectSystem::appendLinkerProperties(PropertyClassList* list) {
    VornProjectSystem::appendLinkerProperties(list);
    // Another build system may be in use (tests); then there is nothing to add.
    if (auto* msp430 = dynamic_cast<MSP430BuildSystem*>(buildSystem)) {
        list->appendUnique(msp430->msp430DebugInterface);
        list->appendUnique(msp430->linkMsp430WorkaroundCpu6Bug);
    }
}
