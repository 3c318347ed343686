// Basic compiler.
#include "common/Compiler.h"

int main(int argc, char** argv) {
    return runCompiler("hbc", SourceLanguage::Basic, argc, argv);
}
