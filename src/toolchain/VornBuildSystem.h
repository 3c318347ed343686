#pragma once

// The toolchain layer: code-generation and linker settings of the toolchain,
// the command lines of its compiler, assembler, linker, archiver and output
// converter, the library-variant macros and the reading of object files.

#include "build/StandardBuildSystem.h"
#include "toolchain/VornCommandLine.h"

#include <QVector>

class VornBuildSystem : public StandardBuildSystem {
public:
    explicit VornBuildSystem(const QStringList& loadFileTypes = QStringList());
    ~VornBuildSystem() override;

    MacroMap macros(ProjectElement* element, const QString& configuration) override;
    void createCommandFor(ProjectElement* element, const QString& configuration, BuildAction action,
                          const QString& outputName, const QString& resolvedOutputPath,
                          const QStringList& inputs, Builder* builder, bool quiet,
                          bool clean) override;
    bool commandUpToDate(ProjectElement* element, const QString& configuration,
                         const QDateTime& outputTime, BuildAction action, Builder* builder,
                         bool quiet) override;
    QStringList getObjectFileDependencies(const QString& projectDirectory,
                                          const QString& sourcePath,
                                          const QString& objectFilePath) override;
    // Processor options appended last; false means the command is not run.
    virtual bool appendBuildOptions(ProjectElement* element, const QString& configuration,
                                    BuildAction action, QStringList& arguments,
                                    Builder* builder) = 0;

    QString getPrintfVariant(ProjectElement* element, const QString& configuration);
    QString getScanfVariant(ProjectElement* element, const QString& configuration);
    QString getObjectFileExtension() const override;
    QString getExecutableFileExtension() const override;
    QString getLibraryFileExtension() const override;

    // The tool-chain root directory from the user's settings, system macros replaced.
    QString toolChainRoot() const;
    // Placement arguments of a link; false (after an error on the builder) when
    // the link must be abandoned.
    bool placementArguments(ProjectElement* project, const QString& configuration, Builder* builder,
                            QStringList& arguments);
    // The "Target" property-group value of the element; null when there is none.
    QString targetProcessor(ProjectElement* element, const QString& configuration);
    PropertyClass* settingClass(VornSetting setting) const {
        return m_settingClasses.value(int(setting));
    }

    // --- catalogue: one member per class -----------------------------------------
    PropertyClass* compilerOptimizationStrategy = nullptr;
    PropertyClass* linkerStackSize = nullptr;
    PropertyClass* linkerHeapSize = nullptr;
    PropertyClass* linkerChecksumSections = nullptr;
    PropertyClass* linkerChecksumAlgorithm = nullptr;
    PropertyClass* doubleIsFloat = nullptr;
    PropertyClass* optimizeCrossCalling = nullptr;
    PropertyClass* linkerCrossCallMinimumSubroutineSize = nullptr;
    PropertyClass* linkerCrossCallMaximumPasses = nullptr;
    PropertyClass* optimizeCrossJumping = nullptr;
    PropertyClass* optimizeTailMerging = nullptr;
    PropertyClass* optimizeDeadCode = nullptr;
    PropertyClass* optimizeFlattening = nullptr;
    PropertyClass* optimizePeepholes = nullptr;
    PropertyClass* optimizeJumpThreading = nullptr;
    PropertyClass* optimizeJumpChaining = nullptr;
    PropertyClass* optimizeCodeMotion = nullptr;
    PropertyClass* optimizeBlockLocality = nullptr;
    PropertyClass* optimizeCopyPropagation = nullptr;
    PropertyClass* optimizeRegisterAllocation = nullptr;
    PropertyClass* buildUseHardwareMultiplier = nullptr;

protected:
    // Tests the classes in order; false at the first changed one.
    bool settingsUpToDate(ProjectElement* element, const QString& configuration,
                          const QDateTime& outputTime, PropertyClass* const* classes, int count,
                          Builder* builder, bool quiet);

private:
    void compileCommand(ProjectElement* element, const QString& configuration, BuildAction action,
                        const QString& root, const QString& outputName,
                        const QString& resolvedOutputPath, const QStringList& inputs,
                        Builder* builder);
    void archiveCommand(ProjectElement* element, const QString& root, const QString& outputName,
                        const QString& resolvedOutputPath, const QStringList& inputs,
                        Builder* builder);
    void linkCommand(ProjectElement* project, const QString& configuration, const QString& root,
                     const QString& outputName, const QString& resolvedOutputPath,
                     const QStringList& inputs, Builder* builder);

    QVector<PropertyClass*> m_settingClasses; // indexed by VornSetting
};

extern VornBuildSystem* vornBuildSystem;
