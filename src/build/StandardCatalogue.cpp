// The toolchain-neutral build settings: one row per class, in creation order.

#include "build/StandardBuildSystem.h"

#include "base/Branding.h"
#include "build/PropertyCatalogue.h"

namespace {

using S = StandardBuildSystem;
using Row = CatalogueRow<StandardBuildSystem>;
using P = PropertyClass;

// Creation order is the order of these rows: three linker settings first, then the
// compiler, preprocessor, assembler and section settings, then the rest.
const Row catalogue[] = {
    {&S::linkIncludeStandardLibraries, "link_include_standard_libraries", "Linker Options",
     "Include Standard Libraries", P::Boolean, "Yes", nullptr,
     "Specifies whether the standard libraries should be linked into your application."},
    {&S::linkUseMultiThreadedLibraries, "link_use_multi_threaded_libraries", "Linker Options",
     "Use Multi Threaded Libraries", P::Boolean, "No", nullptr,
     "Specifies whether to use thread safe standard libraries."},
    {&S::linkSymbolDefinitions, "link_symbol_definitions", "Linker Options",
     "Linker Symbol Definitions", P::StringList, "", nullptr,
     "Specifies one or more linker symbol definitions."},

    {&S::cEnforceAnsiChecking, "c_enforce_ansi_checking", "Compiler Options",
     "Enforce ANSI Checking", P::Boolean, "", nullptr,
     "Ensure programs conform to the ANSI-C/C++ standard."},
    {&S::cUndefineAllPreprocessorDefinitions, "c_undefine_all_preprocessor_definitions",
     "Preprocessor Options", "Undefine All Preprocessor Definitions", P::Boolean, "No", nullptr,
     "Does not define any standard preprocessor definitions."},
    {&S::cPreprocessorDefinitions, "c_preprocessor_definitions", "Preprocessor Options",
     "Preprocessor Definitions", P::StringList, "", nullptr,
     "Specifies one or more preprocessor definitions."},
    {&S::cPreprocessorUndefinitions, "c_preprocessor_undefinitions", "Preprocessor Options",
     "Preprocessor Undefinitions", P::StringList, "", nullptr,
     "Specifies one or more preprocessor undefinitions."},
    {&S::cIgnoreIncludes, "c_ignore_includes", "Preprocessor Options", "Ignore Includes",
     P::Boolean, "No", nullptr, "Ignore the include directories properties."},
    {&S::cSystemIncludeDirectories, "c_system_include_directories", "Preprocessor Options",
     "System Include Directories", P::StringList, "$(StudioDir)/include", nullptr,
     "Specifies the system include path."},
    {&S::cUserIncludeDirectories, "c_user_include_directories", "Preprocessor Options",
     "User Include Directories", P::StringList, ".", nullptr, "Specifies the user include path."},
    {&S::cAdditionalOptions, "c_additional_options", "Compiler Options",
     "Additional Compiler Options", P::StringList, "", nullptr,
     Get_TARGET_CPP() ? "Enables additional options to be supplied to the C/C++ compiler."
                      : "Enables additional options to be supplied to the C compiler."},
    {&S::cppEnableExceptions, "cpp_enable_exceptions", "Compiler Options",
     "Enable Exception Support", P::Boolean, "No", nullptr,
     "Specifies whether exception support is enabled."},
    {&S::cppEnableRtti, "cpp_enable_rtti", "Compiler Options", "Enable RTTI Support", P::Boolean,
     "No", nullptr, "Specifies whether RTTI support is enabled."},
    {&S::asmAdditionalOptions, "asm_additional_options", "Assembler Options",
     "Additional Assembler Options", P::StringList, "", nullptr,
     "Enables additional options to be supplied to the assembler."},
    // Section defaults are product constants, filled in by the constructor.
    {&S::defaultCodeSection, "default_code_section", "Section Options", "Code Section Name",
     P::String, "", nullptr, "Specifies the default name to use for the program code section."},
    {&S::defaultDataSection, "default_data_section", "Section Options", "Data Section Name",
     P::String, "", nullptr,
     "Specifies the default name to use for the initialised, writable data section."},
    {&S::defaultZeroedSection, "default_zeroed_section", "Section Options", "Zeroed Section Name",
     P::String, "", nullptr,
     "Specifies the default name to use for the zero-initialised, writable data section."},
    {&S::defaultConstSection, "default_const_section", "Section Options", "Constant Section Name",
     P::String, "", nullptr,
     "Specifies the default name to use for the read-only constant section."},
    {&S::defaultVectorSection, "default_vector_section", "Section Options", "Vector Section Name",
     P::String, "", nullptr, "Specifies the default name to use for the interrupt vector section."},

    {&S::linkerAdditionalFiles, "linker_additional_files", "Linker Options",
     "Additional Input Files", P::StringList, "", nullptr,
     "Enables additional object and library files to be supplied to the linker."},
    {&S::linkerAdditionalOptions, "linker_additional_options", "Linker Options",
     "Additional Linker Options", P::StringList, "", nullptr,
     "Enables additional options to be supplied to the linker."},
    {&S::linkerMemoryMapFile, "linker_memory_map_file", "Linker Options", "Memory Map File",
     P::FileName, "", nullptr, "The name of the file containing the memory map description."},
    {&S::linkerSectionPlacementFile, "linker_section_placement_file", "Linker Options",
     "Section Placement File", P::FileName, "", nullptr,
     "The name of the file containing section placement description."},
    // Values and default come from the toolchain layer.
    {&S::linkerOutputFormat, "linker_output_format", "Linker Options", "Additional Output Format",
     P::Enumeration, "", nullptr,
     "The format used when creating an additional linked output file."},
    {&S::linkerMapFile, "linker_map_file", "Linker Options", "Generate Map File", P::Boolean, "Yes",
     nullptr, "Specifies whether to generate a linkage map file."},
    {&S::linkerPrintfFmtLevel, "linker_printf_fmt_level", "Printf/Scanf Options",
     "Printf Integer Support", P::Enumeration, "int", "int|long|long long",
     "The largest integer type supported by the printf function group."},
    {&S::linkerPrintfWidthPrecisionSupported, "linker_printf_width_precision_supported",
     "Printf/Scanf Options", "Printf Width/Precision Supported", P::Boolean, "Yes", nullptr,
     "Enables support for width and precision specification in the printf function group."},
    {&S::linkerPrintfFpEnabled, "linker_printf_fp_enabled", "Printf/Scanf Options",
     "Printf Floating Point Supported", P::Boolean, "No", nullptr,
     "Are floating point numbers supported by the printf function group."},
    {&S::linkerScanfFmtLevel, "linker_scanf_fmt_level", "Printf/Scanf Options",
     "Scanf Integer Support", P::Enumeration, "int", "int|long|long long",
     "The largest integer type supported by the scanf function group."},
    {&S::linkerScanfFpEnabled, "linker_scanf_fp_enabled", "Printf/Scanf Options",
     "Scanf Floating Point Supported", P::Boolean, "No", nullptr,
     "Are floating point numbers supported by the scanf function group."},
    {&S::linkerScanfCharacterGroupMatchingEnabled, "linker_scanf_character_group_matching_enabled",
     "Printf/Scanf Options", "Scanf Classes Supported", P::Boolean, "No", nullptr,
     "Enables support for %[...] and %[^...] character class matching in the scanf "
     "functions."},
    {&S::linkerPostBuildCommand, "linker_post_build_command", "Linker Options",
     "Post Build Command", P::String, "", nullptr,
     "A command to run after the link has completed."},
    {&S::linkerKeepSymbols, "linker_keep_symbols", "Linker Options", "Keep Symbols", P::StringList,
     "", nullptr, "Specifies the symbols that should be kept by the linker."},
    {&S::externalBuildFileName, "external_build_file_name", "External Build Options",
     "Executable File", P::FileName, "", nullptr, "The name of the externally built executable."},
    {&S::externalBuildCommand, "external_build_command", "External Build Options", "Build Command",
     P::String, "", nullptr, "The command line to build the executable."},
    {&S::externalCleanCommand, "external_clean_command", "External Build Options", "Clean Command",
     P::String, "", nullptr, "The command line to clean the executable."},
    {&S::externalStartAddress, "external_start_address", "External Build Options", "Start Address",
     P::String, "", nullptr, "The address to start the externally built executable running from."},
    {&S::externalLoadAddress, "external_load_address", "External Build Options", "Load Address",
     P::String, "", nullptr, "The address to load the externally built executable."},
    // Values are "Detect" and the constructor's load-file types.
    {&S::externalLoadFileType, "external_load_file_type", "External Build Options",
     "Load File Type", P::Enumeration, "Detect", nullptr,
     "The file type of the externally built executable."},
    {&S::targetResetScript, "target_reset_script", "Target Options", "Reset Script", P::String, "",
     nullptr, "The script that is executed when the target is reset."},
    {&S::targetAttachScript, "target_attach_script", "Target Options", "Attach Script", P::String,
     "", nullptr, "The script that is executed when the target is attached to."},
    {&S::targetGoScript, "target_go_script", "Target Options", "Run Script", P::String, "", nullptr,
     "The script that is executed when the target is run."},
    {&S::targetStopScript, "target_stop_script", "Target Options", "Stop Script", P::String, "",
     nullptr, "The script that is executed when the target is stopped."},
    {&S::propertyGroupsFilePath, "property_groups_file_path", "General Options",
     "Property Groups File", P::FileName, "$(StudioDir)/targets/propertyGroups.xml", nullptr,
     "The file containing the property groups for this project."},
};

} // namespace

StandardBuildSystem::StandardBuildSystem(const QStringList& loadFileTypes) {
    standardBuildSystem = this;
    createCatalogue(this, catalogue);

    defaultCodeSection->setDefault(QString::fromLatin1(Get_DEFAULT_CODE_SECTION_NAME()));
    defaultDataSection->setDefault(QString::fromLatin1(Get_DEFAULT_DATA_SECTION_NAME()));
    defaultZeroedSection->setDefault(QString::fromLatin1(Get_DEFAULT_ZEROED_SECTION_NAME()));
    defaultConstSection->setDefault(QString::fromLatin1(Get_DEFAULT_CONST_SECTION_NAME()));
    defaultVectorSection->setDefault(QString::fromLatin1(Get_DEFAULT_VECTORS_SECTION_NAME()));

    externalLoadFileType->setEnumerates(QStringList{QStringLiteral("Detect")} + loadFileTypes);
}
