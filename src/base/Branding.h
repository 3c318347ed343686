#pragma once

// Product constants, fixed at build time. Header-only so every layer can read
// them without linking the driver.
inline const char* Get_STUDIO_BRANDING() {
    return "Halyard for MSP430";
}
inline const char* Get_STUDIO_NAME() {
    return "Halyard";
}
inline const char* Get_OWNER() {
    return "Halyard Software";
}
inline const char* Get_SOFTWARE_RELEASE() {
    return "1.4";
}
inline const char* Get_PLATFORM() {
    return "MSP430";
}
inline const char* Get_ASM_FILE_EXTENSION() {
    return "s43";
}
inline bool Get_TARGET_CPP() {
    return false;
}
inline const char* Get_DEFAULT_CODE_SECTION_NAME() {
    return "CODE";
}
inline const char* Get_DEFAULT_CONST_SECTION_NAME() {
    return "CONST";
}
inline const char* Get_DEFAULT_DATA_SECTION_NAME() {
    return "IDATA0";
}
inline const char* Get_DEFAULT_ZEROED_SECTION_NAME() {
    return "UDATA0";
}
inline const char* Get_DEFAULT_VECTORS_SECTION_NAME() {
    return "INTVEC";
}
