// Command settings split into argument lists.

#include "FuzzSupport.h"

#include "build/Builtins.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::scratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList words = Builtins::splitCommand(text);
    qsizetype total = 0;
    for (const QString& word : words) {
        if (word.isEmpty()) __builtin_trap();
        total += word.size();
    }
    // Splitting only drops blanks and quotes.
    if (total > text.size()) __builtin_trap();
    return 0;
}
