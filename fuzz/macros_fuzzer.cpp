// Macro lists and expansion. Input: a macro list in the stored list syntax
// ("name=value" items), "%%", the text to expand.

#include "FuzzSupport.h"

#include "macros/MacroSystem.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpGlobals();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> p = fuzz::parts(data, size, 2);
    const QStringList items = MacroSystem::stringListFromString(QString::fromUtf8(p[0]));
    // The stored form gives the same items back.
    if (MacroSystem::stringListFromString(MacroSystem::stringFromStringList(items)) != items)
        __builtin_trap();
    const MacroMap map = macroSystem.overwriteMacros(macroSystem.globalMacros(true),
                                                     macroSystem.macrosFromStringList(items));
    (void)macroSystem.stringListFromMacros(map);
    (void)macroSystem.replaceMacros(map, QString::fromUtf8(p[1]));
    return 0;
}
