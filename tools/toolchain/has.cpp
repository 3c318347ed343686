// Assembler.
#include "common/Compiler.h"

int main(int argc, char** argv) {
    return runCompiler("has", SourceLanguage::Assembly, argc, argv);
}
