// Indirect argument files: line splitting on its own, then the tool's option
// parser reading the input as an indirect file (which may name itself).
// Inputs with "/" are skipped so that "@" words only reach the scratch directory.

#include "FuzzSupport.h"

#include "base/EnvironmentSettings.h"
#include "base/HReporter.h"
#include "driver/SlipwayArgParse.h"

#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpGlobals();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    if (input.contains('/')) return -1;

    HReporter report("slipway");
    SlipwayArgParse args(&report);
    std::vector<char*> words(ArgParse::maxWordsPerLine);
    for (const QByteArray& line : input.split('\n')) {
        // As read from a file: pieces of at most one buffer.
        for (int at = 0; at < line.size() || at == 0; at += ArgParse::lineBufferSize - 1) {
            QByteArray piece = line.mid(at, ArgParse::lineBufferSize - 1);
            std::vector<char> text(piece.constData(), piece.constData() + piece.size() + 1);
            const int count = args.argifyLine(at ? "args" : nullptr, 1, text.data(), words.data());
            if (count < 0 || count > ArgParse::maxWordsPerLine) __builtin_trap();
            for (int i = 0; i < count; ++i)
                if (!words[i] || words[i] < text.data() || words[i] >= text.data() + text.size())
                    __builtin_trap();
            if (line.isEmpty()) break;
        }
    }

    // "-D" writes to the store: start every input from an empty list.
    if (!environment->globalMacrosText().isEmpty()) environment->setGlobalMacrosText(QString());
    fuzz::writeScratch("args", input);
    try {
        args.parseArgsFromIndirectFile("args");
    } catch (const DriverExit&) {
    }
    return 0;
}
