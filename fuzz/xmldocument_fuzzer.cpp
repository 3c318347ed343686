// The lightweight XML parser and writer: parse with and without text, write
// the tree back at two indentations and parse what was written.

#include "FuzzSupport.h"

#include "xml/XMLDocument.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::scratchDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    for (bool keepText : {true, false}) {
        XMLDocument document(keepText);
        document.loadFromString(text, size);
        (void)document.errorText();
        if (!document.root()) continue;
        for (unsigned indentation : {0u, 2u}) {
            const QByteArray written = document.toByteArray(indentation);
            XMLDocument again(keepText);
            again.loadFromString(written);
        }
    }
    return 0;
}
