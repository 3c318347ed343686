#include "project/StandardProjectSystem.h"

#include "base/Branding.h"
#include "base/Caching.h"
#include "base/QTx.h"
#include "project/BuildHooks.h"
#include "project/PropertyValueGroup.h"
#include "project/ToolDatabase.h"

// The global property value groups exist from program start.
StandardProjectSystem::StandardProjectSystem() : ProjectSystem(filetypes(), projecttypes()) {}

StandardProjectSystem::~StandardProjectSystem() = default;

QStringList StandardProjectSystem::filetypes() {
    return {QStringLiteral("C"),
            QStringLiteral("C++"),
            QStringLiteral("Basic"),
            QStringLiteral("Assembly"),
            QStringLiteral("Section Placement"),
            QStringLiteral("Memory Map"),
            QStringLiteral("Target Definitions"),
            QStringLiteral("Threads Script"),
            QStringLiteral("Reset Script"),
            QStringLiteral("Linker Script"),
            QStringLiteral("Executable"),
            QStringLiteral("Library"),
            QStringLiteral("Object file")};
}

QStringList StandardProjectSystem::projecttypes() {
    return {QStringLiteral("Executable"),  QStringLiteral("Library"),
            QStringLiteral("Object file"), QStringLiteral("Staging"),
            QStringLiteral("Combining"),   QStringLiteral("Externally Built Executable")};
}

QString StandardProjectSystem::projectTypeOf(ProjectElement* project) {
    return settingFor(project, projectTypeProperty(), Common);
}

// ---------------------------------------------------------------------------
// File types

QString StandardProjectSystem::getFileType(ProjectElement* element) {
    const QString explicitType = specificSettingFor(element, fileTypeProperty(), Common);
    if (!explicitType.isEmpty()) return explicitType;
    if (Caching::enabled() && !element->cachedFileType().isEmpty())
        return element->cachedFileType();

    // The extension of the last path component, worked out without a QFileInfo:
    // every file of every build passes here once.
    const QString name = element->fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= name.lastIndexOf(QLatin1Char('/'))) return QString();
    const QString extension = name.mid(dot + 1).toLower();
    const auto dotted = [&extension](const QString& extensionWithDot) {
        return extensionWithDot.size() == extension.size() + 1 &&
               extensionWithDot.startsWith(QLatin1Char('.')) &&
               QStringView(extensionWithDot).mid(1) == extension;
    };

    QString type;
    if (extension == QLatin1String("c")) {
        type = QStringLiteral("C");
    } else if (extension == QLatin1String("cpp") || extension == QLatin1String("cxx") ||
               extension == QLatin1String("cc")) {
        type = QStringLiteral("C++");
    } else if (extension == QLatin1String("fth") || extension == QLatin1String("4")) {
        type = QStringLiteral("Forth");
    } else if (extension == QLatin1String("bas")) {
        type = QStringLiteral("Basic");
    } else if (extension == QLatin1String("asm") || extension == QLatin1String("s") ||
               dotted(assemblyCodeFileExtension())) {
        type = QStringLiteral("Assembly");
    } else if (extension == QLatin1String("xml")) {
        const QString documentType = QTx::xmlDocumentType(element->getPath().osPathQString());
        if (documentType == QLatin1String("Board_Memory_Definition_File"))
            type = QStringLiteral("Memory Map");
        else if (documentType == QLatin1String("Linker_Placement_File"))
            type = QStringLiteral("Section Placement");
        else if (documentType == QLatin1String("Halyard_Target_Definition_File"))
            type = QStringLiteral("Target Definitions");
    } else if (dotted(objectFileExtension())) {
        type = QStringLiteral("Object file");
    } else if (dotted(executableFileExtension())) {
        type = QStringLiteral("Executable");
    } else if (dotted(libraryFileExtension())) {
        type = QStringLiteral("Library");
    }
    if (!type.isEmpty()) element->setCachedFileType(type);
    return type;
}

QString StandardProjectSystem::assemblyCodeFileExtension() {
    return QString::fromLatin1(Get_ASM_FILE_EXTENSION());
}

// ---------------------------------------------------------------------------
// Applicable-settings lists

void StandardProjectSystem::appendCompilerProperties(PropertyClassList* list) {
    const BuildSettingClasses b = buildSettingClasses();
    for (PropertyClass* cls :
         {b.cPreprocessorDefinitions, b.cPreprocessorUndefinitions, b.cUserIncludeDirectories,
          b.cSystemIncludeDirectories, b.cUndefineAllPreprocessorDefinitions, b.cIgnoreIncludes,
          b.buildTreatWarningsAsErrors, b.buildSuppressWarnings, b.buildDebugInformation,
          b.buildQuietly, b.defaultCodeSection, b.defaultDataSection, b.defaultZeroedSection,
          b.defaultConstSection, b.defaultVectorSection})
        list->appendUnique(cls);
}

void StandardProjectSystem::appendCCompilerProperties(PropertyClassList* list) {
    const BuildSettingClasses b = buildSettingClasses();
    list->appendUnique(b.cAdditionalOptions);
    list->appendUnique(b.cEnforceAnsiChecking);
    appendCompilerProperties(list);
}

void StandardProjectSystem::appendCppCompilerProperties(PropertyClassList* list) {
    const BuildSettingClasses b = buildSettingClasses();
    list->appendUnique(b.cppEnableExceptions);
    list->appendUnique(b.cppEnableRtti);
}

void StandardProjectSystem::appendBasicCompilerProperties(PropertyClassList* list) {
    appendCompilerProperties(list);
}

void StandardProjectSystem::appendForthCompilerProperties(PropertyClassList* list) {
    const BuildSettingClasses b = buildSettingClasses();
    list->appendUnique(b.buildDebugInformation);
    list->appendUnique(b.buildQuietly);
}

void StandardProjectSystem::appendAssemblerProperties(PropertyClassList* list) {
    const BuildSettingClasses b = buildSettingClasses();
    list->appendUnique(b.asmAdditionalOptions);
    appendCompilerProperties(list);
}

void StandardProjectSystem::appendLinkerProperties(PropertyClassList* list) {
    const BuildSettingClasses b = buildSettingClasses();
    for (PropertyClass* cls :
         {b.linkerMemoryMapFile, b.linkerMapFile, b.linkerSectionPlacementFile,
          b.linkIncludeStandardLibraries, b.linkUseMultiThreadedLibraries, b.linkerAdditionalFiles,
          b.linkerAdditionalOptions, b.linkerOutputFormat, b.linkerPrintfFmtLevel,
          b.linkerPrintfFpEnabled, b.linkerPrintfWidthPrecisionSupported, b.linkerScanfFmtLevel,
          b.linkerScanfFpEnabled, b.linkerScanfCharacterGroupMatchingEnabled,
          b.linkerPostBuildCommand, b.linkSymbolDefinitions, b.linkerKeepSymbols})
        list->appendUnique(cls);
}

void StandardProjectSystem::appendArchiverProperties(PropertyClassList*) {}

void StandardProjectSystem::appendDefaultProjectValues(PropertyValueList*, const QString&) {}

void StandardProjectSystem::appendTargetProperties(PropertyClassList* list) {
    const BuildSettingClasses b = buildSettingClasses();
    list->append(b.targetResetScript);
    list->append(b.targetAttachScript);
    list->append(b.targetGoScript);
    list->append(b.targetStopScript);
}

void StandardProjectSystem::appendSolutionProperties(PropertyClassList* list) {
    const BuildSettingClasses b = buildSettingClasses();
    list->append(b.buildOutputDirectory);
    list->append(b.buildIntermediateDirectory);
    appendCCompilerProperties(list);
    if (Get_TARGET_CPP()) appendCppCompilerProperties(list);
    appendAssemblerProperties(list);
    appendLinkerProperties(list);
    list->append(b.stageCommand);
    list->append(b.stageOutputFilepath);
    list->append(b.stagePackageFilepath);
    list->append(b.stagePackageMemberName);
    list->append(b.stageSetReadonly);
}

void StandardProjectSystem::appendProjectProperties(PropertyClassList* list,
                                                    const QString& projectType) {
    const BuildSettingClasses b = buildSettingClasses();
    const bool executable = projectType == QLatin1String("Executable");
    const bool library = projectType == QLatin1String("Library");
    if (executable || library || projectType == QLatin1String("Object file")) {
        list->append(b.buildOutputDirectory);
        if (executable || library) list->append(b.buildIntermediateDirectory);
        appendCCompilerProperties(list);
        appendBasicCompilerProperties(list);
        if (Get_TARGET_CPP()) appendCppCompilerProperties(list);
        appendAssemblerProperties(list);
        if (executable) {
            appendLinkerProperties(list);
            appendTargetProperties(list);
            list->append(b.buildOutputFileNameExecutable);
        } else if (library) {
            appendArchiverProperties(list);
            list->append(b.buildOutputFileNameLibrary);
        }
    } else if (projectType == QLatin1String("Staging")) {
        list->append(b.buildOutputDirectory);
        list->append(b.stageCommand);
        list->appendUnique(b.stageOutputFilepath);
        list->appendUnique(b.stagePackageFilepath);
        list->appendUnique(b.stagePackageMemberName);
        list->appendUnique(b.stageSetReadonly);
    } else if (projectType == QLatin1String("Combining")) {
        list->append(b.buildOutputDirectory);
        list->append(b.combineCommand);
        list->appendUnique(b.combineOutputFilepath);
        list->appendUnique(b.combineSetReadonly);
    } else if (projectType == QLatin1String("Externally Built Executable")) {
        for (PropertyClass* cls :
             {b.externalBuildFileName, b.externalBuildCommand, b.externalCleanCommand,
              b.externalLoadAddress, b.externalStartAddress, b.externalLoadFileType})
            list->append(cls);
        appendTargetProperties(list);
    }
}

// ---------------------------------------------------------------------------
// Settings per element

PropertyValueList* StandardProjectSystem::applicableSettingsFor(ProjectElement* element,
                                                                const QString& configuration) {
    const BuildSettingClasses b = buildSettingClasses();
    PropertyClassList classes;
    const QMap<QString, Tool*> tools = toolDatabase->tools();
    for (Tool* tool : tools)
        tool->appendProperties(&classes, element);

    bool propertyGroups = false;
    switch (element->kind()) {
    case ProjectElement::Solution:
        appendSolutionProperties(&classes);
        propertyGroups = true;
        break;
    case ProjectElement::Configuration:
        break;
    case ProjectElement::Project: {
        const QString type = projectTypeOf(element);
        appendProjectProperties(&classes, type);
        classes.append(b.buildExcludeFromBuild);
        propertyGroups = type == QLatin1String("Executable") ||
                         type == QLatin1String("Externally Built Executable");
        break;
    }
    case ProjectElement::Folder: {
        ProjectElement* project = projectContaining(element);
        const QString type = project ? projectTypeOf(project) : QString();
        if (type == QLatin1String("Executable") || type == QLatin1String("Library") ||
            type == QLatin1String("Object file")) {
            appendProjectProperties(&classes, QStringLiteral("Object file"));
            classes.append(b.buildIntermediateDirectory);
        } else if (type == QLatin1String("Staging")) {
            appendProjectProperties(&classes, type);
        }
        classes.append(b.buildExcludeFromBuild);
        break;
    }
    case ProjectElement::File: {
        ProjectElement* project = projectContaining(element);
        if (project && projectTypeOf(project) == QLatin1String("Staging")) {
            for (PropertyClass* cls :
                 {b.stageOutputFilepath, b.stagePackageFilepath, b.stagePackageMemberName,
                  b.stageCommand, b.buildExcludeFromBuild, b.stageSetReadonly})
                classes.append(cls);
            break;
        }
        const QString type = getFileType(element);
        classes.append(fileTypeProperty());
        bool compiled = true;
        if (type == QLatin1String("C")) {
            appendCCompilerProperties(&classes);
        } else if (type == QLatin1String("C++")) {
            appendCCompilerProperties(&classes);
            appendCppCompilerProperties(&classes);
        } else if (type == QLatin1String("Forth")) {
            appendForthCompilerProperties(&classes);
        } else if (type == QLatin1String("Basic")) {
            appendBasicCompilerProperties(&classes);
        } else if (type == QLatin1String("Assembly")) {
            appendAssemblerProperties(&classes);
        } else {
            compiled = false;
        }
        if (compiled) classes.append(b.buildObjectFileName);
        classes.append(b.buildExcludeFromBuild);
        break;
    }
    }

    auto* result = new PropertyValueList(true);
    for (PropertyClass* cls : classes)
        if (cls) // null only while no build system exists
            result->append(new ProjectPropertyValue(cls, configuration, element));
    if (propertyGroups) appendPropertyGroupValues(result, element, configuration);
    return result;
}

// ---------------------------------------------------------------------------
// Property groups

void StandardProjectSystem::appendPropertyGroupValues(PropertyValueList* list,
                                                      ProjectElement* element,
                                                      const QString& configuration) {
    PropertyClass* groupsFile = buildSettingClasses().propertyGroupsFilePath;
    if (!groupsFile) return;
    QString file = projectSystem->settingFor(element, groupsFile, configuration);
    buildHooks->expandMacros(element, configuration, &file);
    if (file.isEmpty()) return;
    propertyValueGroups->setGroupFile(file);
    for (const QString& group : propertyValueGroups->getGroupNames()) {
        PropertyValue* value = propertyValueGroups->getGroupValue(element, configuration, group);
        if (!value) continue;
        if (list->find(value->propertyClass()))
            delete value;
        else
            list->append(value);
    }
}
