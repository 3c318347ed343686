// The records of the object format, one function per family. Every record
// pops all the operands it takes, so the stack stays balanced even for
// records whose result this tool never uses.
#include "objfile/VornReader.h"

#include "base/HByteStream.h"
#include "base/HString.h"
#include "objfile/VornTags.h"

namespace {

// Upper bound for the bytes one FILL, SPACE or INIT record may reserve, so a
// corrupt count cannot exhaust memory.
constexpr uint64_t ReserveLimit = 0xFFFFFF;

bool needsSection(unsigned tag) {
    switch (tag) {
    case VornTag::MarkerDef:
    case VornTag::DefBytes:
    case VornTag::Insn:
    case VornTag::InsnOperand:
    case VornTag::Fill:
    case VornTag::Align:
    case VornTag::Origin:
    case VornTag::Break:
    case VornTag::Locus:
    case VornTag::MkFilename:
    case VornTag::SetPc:
    case VornTag::SetBytes:
    case VornTag::Space:
    case VornTag::InstrumentationData:
    case VornTag::LocalInsn:
    case VornTag::SetFlags:
    case VornTag::ClearFlags:
    case VornTag::AdjustStack:
    case VornTag::Init:
    case VornTag::SetInsnValue:
    case VornTag::DefAddr:
    case VornTag::LinkIf:
    case VornTag::EndLinkIf:
        return true;
    default:
        return false;
    }
}

bool isBinary(unsigned tag) {
    return (tag >= VornTag::BinaryFirst && tag <= VornTag::BinaryLast) || tag == VornTag::Ashr ||
           tag == VornTag::Binary94 || tag == VornTag::VornWordAddress;
}

// Division by zero and the one overflowing division stay symbolic.
bool foldDivision(unsigned tag, int64_t l, int64_t r, uint64_t& result) {
    if (r == 0 || (l == INT64_MIN && r == -1)) return false;
    result = uint64_t(tag == VornTag::Divide ? l / r : l % r);
    return true;
}

bool foldBinary(unsigned tag, uint64_t l, uint64_t r, uint64_t& result) {
    const int64_t sl = int64_t(l), sr = int64_t(r);
    switch (tag) {
    case VornTag::Add:
        result = l + r;
        break;
    case VornTag::Subtract:
        result = l - r;
        break;
    case VornTag::Multiply:
        result = l * r;
        break;
    case VornTag::Divide:
    case VornTag::Remainder:
        return foldDivision(tag, sl, sr, result);
    case VornTag::BitAnd:
        result = l & r;
        break;
    case VornTag::BitOr:
        result = l | r;
        break;
    case VornTag::BitXor:
        result = l ^ r;
        break;
    case VornTag::ShiftLeft:
        result = r >= 64 ? 0 : l << r;
        break;
    case VornTag::ShiftRight:
        result = r >= 64 ? 0 : l >> r;
        break;
    case VornTag::Equal:
        result = l == r;
        break;
    case VornTag::NotEqual:
        result = l != r;
        break;
    case VornTag::Greater:
        result = sl > sr;
        break;
    case VornTag::Less:
        result = sl < sr;
        break;
    case VornTag::GreaterEqual:
        result = sl >= sr;
        break;
    case VornTag::LessEqual:
        result = sl <= sr;
        break;
    case VornTag::LogicalAnd:
        result = l && r;
        break;
    case VornTag::LogicalOr:
        result = l || r;
        break;
    case VornTag::Ashr:
        result = uint64_t(r >= 64 ? (sl < 0 ? -1 : 0) : sl >> r);
        break;
    default:
        return false; // tag 94 and the address operator are kept symbolic
    }
    return true;
}

} // namespace

void VornReader::record(unsigned tag, bool quick) {
    if (needsSection(tag)) currentSection();
    // The information-block families come first: they are what a quick read meets.
    if (valueRecord(tag) || moduleRecord(tag, quick) || expressionRecord(tag) ||
        symbolRecord(tag) || patchRecord(tag) || sectionRecord(tag) || dataRecord(tag) ||
        insnRecord(tag) || typeRecord(tag) || typeMemberRecord(tag) || scopeRecord(tag))
        return;
    fail("bad object file: unknown tag");
}

bool VornReader::valueRecord(unsigned tag) {
    if (tag < VornTag::LITX) {
        pushConst(tag);
        return true;
    }
    switch (tag) {
    case VornTag::LITX: {
        const unsigned count = *take(1);
        if (count > 8) fail(ValueError);
        const uint8_t* bytes = take(count);
        uint64_t value = 0;
        for (unsigned i = 0; i < count; ++i)
            value = (value << 8) | bytes[i];
        pushConst(value);
        return true;
    }
    case VornTag::NullNull:
        pushObject(Value::Null, nullptr);
        [[fallthrough]];
    case VornTag::Null:
        pushObject(Value::Null, nullptr);
        return true;
    case VornTag::MkStringTerminated:
        pushObject(Value::String, poolStringTerminated(popConst()));
        return true;
    case VornTag::MkStringCounted: {
        const uint64_t length = popConst();
        const uint64_t offset = popConst();
        pushObject(Value::String, poolString(offset, length));
        return true;
    }
    case VornTag::StringPool: {
        const uint64_t size = popConst();
        if (size > PoolLimit) fail(ValueError);
        const uint8_t* bytes = take(size_t(size));
        m_pool.assign(bytes, bytes + size);
        return true;
    }
    default:
        return stackRecord(tag);
    }
}

bool VornReader::stackRecord(unsigned tag) {
    switch (tag) {
    case VornTag::Alias: {
        const auto it = m_aliases.find(popConst());
        if (it == m_aliases.end()) fail(ValueError);
        push(it->second);
        return true;
    }
    case VornTag::MkAlias: {
        const uint64_t number = popConst();
        const Value object = popObject();
        if (!m_aliases.emplace(number, object).second)
            fail("bad object file: alias defined more than once");
        return true;
    }
    case VornTag::Dup: {
        const Value value = popObject();
        push(value);
        push(value);
        return true;
    }
    case VornTag::Drop:
        popObject();
        return true;
    case VornTag::Nop:
        return true;
    default:
        return false;
    }
}

bool VornReader::moduleRecord(unsigned tag, bool quick) {
    switch (tag) {
    case VornTag::Library:
        if (HString* name = popString()) m_module->libraries.insert(name);
        return true;
    case VornTag::Attribute: {
        HString* value = popString();
        if (HString* key = popString()) m_module->attributes[key] = value;
        return true;
    }
    case VornTag::Protected:
        m_module->isProtected = true;
        return true;
    case VornTag::LinkOrderPriority:
        m_module->linkOrderPriority = popConst();
        return true;
    case VornTag::EndOfInfo:
        if (quick) m_stream.setPosition(m_stream.size());
        return true;
    default:
        return false;
    }
}

bool VornReader::expressionRecord(unsigned tag) {
    if (isBinary(tag)) {
        binaryRecord(tag);
        return true;
    }
    VornExpr::Kind kind;
    switch (tag) {
    case VornTag::SymbolVal: {
        VornSymbol* symbol = popSymbol();
        VornExpr* e = make<VornExpr>();
        e->kind = VornExpr::SymbolRef;
        e->symbol = symbol;
        pushObject(Value::Expr, e);
        return true;
    }
    case VornTag::MarkerRef:
        kind = VornExpr::MarkerRef;
        break;
    case VornTag::Register:
        kind = VornExpr::Register;
        break;
    default:
        return false;
    }
    VornExpr* e = make<VornExpr>();
    e->kind = kind;
    e->value = popConst();
    pushObject(Value::Expr, e);
    return true;
}

void VornReader::binaryRecord(unsigned tag) {
    const Value right = popObject();
    const Value left = popObject();
    uint64_t folded;
    if (left.kind == Value::Const && right.kind == Value::Const &&
        foldBinary(tag, left.number, right.number, folded)) {
        pushConst(folded);
        return;
    }
    // Re-push so the operands are checked and converted as expressions.
    m_stack.push_back(left);
    m_stack.push_back(right);
    VornExpr* r = popExpr();
    VornExpr* l = popExpr();
    pushObject(Value::Expr, binary(tag, l, r));
}

bool VornReader::symbolRecord(unsigned tag) {
    switch (tag) {
    case VornTag::MkSymbol: {
        VornSymbol* symbol = make<VornSymbol>();
        symbol->name = popString();
        pushObject(Value::Symbol, symbol);
        return true;
    }
    case VornTag::SymbolDef: {
        VornExpr* value = popExpr();
        if (VornSymbol* symbol = popSymbol()) symbol->value = value;
        return true;
    }
    case VornTag::SetType: {
        VornType* type = popType();
        const Value object = popObject();
        if (object.kind == Value::Symbol)
            static_cast<VornSymbol*>(object.object)->type = type;
        else if (object.kind == Value::Type && type)
            static_cast<VornType*>(object.object)->element = type;
        return true;
    }
    case VornTag::SetName: {
        HString* name = popString();
        const Value object = popObject();
        if (object.kind == Value::Symbol)
            static_cast<VornSymbol*>(object.object)->name = name;
        else if (object.kind == Value::Type)
            static_cast<VornType*>(object.object)->name = name;
        push(object);
        return true;
    }
    case VornTag::Public:
        if (VornSymbol* symbol = popSymbol()) {
            symbol->isPublic = true;
            m_module->publics[symbol->name] = symbol;
        }
        return true;
    default:
        return false;
    }
}

bool VornReader::patchRecord(unsigned tag) {
    switch (tag) {
    case VornTag::Codelet: {
        const uint64_t value = popConst();
        VornSymbol* target = popSymbol();
        VornSymbol* codelet = make<VornSymbol>();
        codelet->isCodelet = true;
        codelet->patch = value;
        if (target) {
            codelet->name = target->name;
            VornExpr* ref = make<VornExpr>();
            ref->kind = VornExpr::SymbolRef;
            ref->symbol = target;
            codelet->value = ref;
        }
        pushObject(Value::Symbol, codelet);
        return true;
    }
    case VornTag::Patchable:
    case VornTag::Patched: {
        const uint64_t value = popConst();
        VornSymbol* symbol = popSymbol();
        if (symbol) {
            symbol->patchable = true;
            symbol->patch = value;
        }
        if (tag == VornTag::Patched) pushObject(Value::Symbol, symbol);
        return true;
    }
    case VornTag::SymbolLocus: {
        const uint64_t line = popConst();
        HString* file = popFileName();
        VornSymbol* symbol = popSymbol();
        if (symbol) {
            symbol->locusLine = line;
            symbol->locusFile = file;
        }
        pushObject(Value::Symbol, symbol);
        return true;
    }
    default:
        return false;
    }
}

HString* VornReader::popFileName() {
    const Value file = popObject();
    return file.kind == Value::String ? static_cast<HString*>(file.object) : nullptr;
}

bool VornReader::sectionRecord(unsigned tag) {
    switch (tag) {
    case VornTag::Section:
        m_section = popSection();
        return true;
    case VornTag::MkSection: {
        HString* name = popString();
        VornSection*& section = m_module->sections[name];
        if (!section) {
            section = make<VornSection>();
            section->name = name;
        }
        pushObject(Value::Section, section);
        return true;
    }
    case VornTag::Break:
        m_section->fragments.push_back(make<VornFragment>());
        return true;
    case VornTag::Align:
        currentFragment()->alignment = popConst();
        return true;
    case VornTag::Origin:
        currentFragment()->origin = popExpr();
        return true;
    case VornTag::MarkerDef: {
        VornFragment* fragment = currentFragment();
        fragment->markers.emplace_back(popConst(), fragment->bytes.size());
        return true;
    }
    case VornTag::SetPc:
        popExpr();
        return true;
    case VornTag::LinkIf:
        popSymbol();
        return true;
    case VornTag::EndLinkIf:
        return true;
    default:
        return locusRecord(tag);
    }
}

bool VornReader::locusRecord(unsigned tag) {
    switch (tag) {
    case VornTag::Locus: {
        const uint64_t line = popConst();
        HString* file = popFileName();
        if (m_keepLoci) {
            VornFragment* fragment = currentFragment();
            m_section->loci.push_back(
                {m_section->fragments.size() - 1, fragment->bytes.size(), line, file});
        }
        return true;
    }
    case VornTag::MkFilename:
        pushObject(Value::String, popString());
        return true;
    default:
        return false;
    }
}

bool VornReader::dataRecord(unsigned tag) {
    switch (tag) {
    case VornTag::DefBytes:
        if (HString* bytes = popString()) {
            std::vector<uint8_t>& out = currentFragment()->bytes;
            out.insert(out.end(), bytes->text(), bytes->text() + bytes->length());
        }
        return true;
    case VornTag::Fill: {
        const uint64_t value = popConst();
        const uint64_t count = popConst();
        if (count > ReserveLimit) fail(ValueError);
        std::vector<uint8_t>& out = currentFragment()->bytes;
        out.insert(out.end(), size_t(count), uint8_t(value));
        return true;
    }
    case VornTag::Space: {
        const uint64_t size = popConst();
        if (size > ReserveLimit) fail(ValueError);
        std::vector<uint8_t>& out = currentFragment()->bytes;
        out.insert(out.end(), size_t(size), uint8_t(0));
        return true;
    }
    case VornTag::Init:
    case VornTag::DefAddr: {
        VornExpr* value = popExpr();
        const uint64_t size = tag == VornTag::Init ? popConst() : addressSize();
        if (size > ReserveLimit) fail(ValueError);
        VornFragment* fragment = currentFragment();
        fragment->fixups.push_back({fragment->bytes.size(), size_t(size), value});
        fragment->bytes.insert(fragment->bytes.end(), size_t(size), uint8_t(0));
        return true;
    }
    default:
        return false;
    }
}

bool VornReader::insnRecord(unsigned tag) {
    switch (tag) {
    case VornTag::Insn:
    case VornTag::InsnOperand:
    case VornTag::LocalInsn: {
        VornExpr* operand = tag == VornTag::InsnOperand ? popExpr() : nullptr;
        VornInsn* insn = makeInsn(popConst(), operand);
        insn->local = tag == VornTag::LocalInsn;
        insn->flags = m_pendingFlags;
        currentFragment()->insns.push_back(insn);
        m_section->lastInsn = insn;
        return true;
    }
    case VornTag::SetFlags:
        m_pendingFlags = popConst();
        return true;
    case VornTag::ClearFlags:
        m_pendingFlags = 0;
        return true;
    default:
        return insnDetailRecord(tag);
    }
}

bool VornReader::insnDetailRecord(unsigned tag) {
    switch (tag) {
    case VornTag::SetBytes: {
        VornInsn* insn = lastInsn();
        HString* bytes = popString();
        if (bytes)
            insn->bytes.assign(bytes->text(), bytes->text() + bytes->length());
        else
            insn->bytes.clear();
        return true;
    }
    case VornTag::InstrumentationData: {
        VornInsn* insn = lastInsn();
        insn->instrumentation = popConst();
        return true;
    }
    case VornTag::AdjustStack: {
        VornInsn* insn = lastInsn();
        insn->stackAdjust = int64_t(popConst());
        return true;
    }
    case VornTag::SetInsnValue: {
        VornInsn* insn = lastInsn();
        insn->value = popConst();
        return true;
    }
    default:
        return false;
    }
}
