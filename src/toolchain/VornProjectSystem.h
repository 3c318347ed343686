#pragma once

// The toolchain's view of projects: its file extensions and the toolchain
// settings that apply to compilers, linker and archiver.

#include "project/StandardProjectSystem.h"

class VornProjectSystem : public StandardProjectSystem {
public:
    VornProjectSystem();
    ~VornProjectSystem() override;

    QString objectFileExtension() override;
    QString libraryFileExtension() override;
    QString executableFileExtension() override;

    void appendCCompilerProperties(PropertyClassList* list) override;
    void appendBasicCompilerProperties(PropertyClassList* list) override;
    void appendAssemblerProperties(PropertyClassList* list) override;
    void appendLinkerProperties(PropertyClassList* list) override;
    void appendArchiverProperties(PropertyClassList* list) override;
    // With its leading dot.
    QString assemblyCodeFileExtension() override;
};
