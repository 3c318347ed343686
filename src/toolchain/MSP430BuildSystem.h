#pragma once

// The processor layer: the MSP430 settings and the options they add to the
// toolchain's commands.

#include "toolchain/VornBuildSystem.h"

class MSP430BuildSystem : public VornBuildSystem {
public:
    explicit MSP430BuildSystem(const QStringList& loadFileTypes = QStringList());
    ~MSP430BuildSystem() override;

    bool commandUpToDate(ProjectElement* element, const QString& configuration,
                         const QDateTime& outputTime, BuildAction action, Builder* builder,
                         bool quiet) override;
    bool appendBuildOptions(ProjectElement* element, const QString& configuration,
                            BuildAction action, QStringList& arguments, Builder* builder) override;

    PropertyClass* linkMsp430WorkaroundCpu6Bug = nullptr;
    PropertyClass* msp430DebugInterface = nullptr;
    PropertyClass* msp430InsnSet = nullptr;
};
