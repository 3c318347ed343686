// C compiler.
#include "common/Compiler.h"

int main(int argc, char** argv) {
    return runCompiler("hcc", SourceLanguage::C, argc, argv);
}
