#pragma once

// The shared body of the C compiler, the Basic compiler and the assembler:
// they differ only in how public names are found in the source.
enum class SourceLanguage { C, Basic, Assembly };

int runCompiler(const char* tool, SourceLanguage language, int argc, char** argv);
