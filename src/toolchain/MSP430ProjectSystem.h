#pragma once

// The project system the tool runs with: adds the processor's linker settings.

#include "toolchain/VornProjectSystem.h"

class MSP430ProjectSystem : public VornProjectSystem {
public:
    MSP430ProjectSystem();
    ~MSP430ProjectSystem() override;

    void appendLinkerProperties(PropertyClassList* list) override;
};
