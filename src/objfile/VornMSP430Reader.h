#pragma once

#include "objfile/VornReader.h"

// An MSP430 instruction: the first opcode word tells its format.
class VornMSP430Insn : public VornInsn {
public:
    enum Format { DoubleOperand, SingleOperand, Jump, Unknown };
    Format format() const;
};

// The reader the build uses: creates MSP430 instruction objects.
class VornMSP430Reader : public VornReader {
public:
    using VornReader::VornReader;
    const char* processorName() const override { return "MSP430"; }
    size_t addressSize() const override { return 2; }

protected:
    VornInsn* makeInsn(uint64_t opcode, VornExpr* operand) override;
};
