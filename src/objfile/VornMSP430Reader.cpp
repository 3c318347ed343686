#include "objfile/VornMSP430Reader.h"

VornMSP430Insn::Format VornMSP430Insn::format() const {
    const unsigned word = unsigned(opcode & 0xFFFF);
    if (word >= 0x4000) return DoubleOperand;
    if ((word & 0xE000) == 0x2000) return Jump;
    if ((word & 0xFC00) == 0x1000) return SingleOperand;
    return Unknown;
}

VornInsn* VornMSP430Reader::makeInsn(uint64_t opcode, VornExpr* operand) {
    VornMSP430Insn* insn = make<VornMSP430Insn>();
    insn->opcode = opcode;
    insn->operand = operand;
    return insn;
}
