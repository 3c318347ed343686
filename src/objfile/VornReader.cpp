#include "objfile/VornReader.h"

#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/HString.h"
#include "objfile/VornTags.h"

#include <cstdio>
#include <cstring>

namespace {

// Upper bound for the bytes one FILL, SPACE or INIT record may reserve, so a
// corrupt count cannot exhaust memory.
constexpr uint64_t ReserveLimit = 0xFFFFFF;

const char* const ValueError = "bad object file: operand value error (constant out of range)";

bool isUnknownTag(unsigned tag) {
    return tag > VornTag::Last || tag == 30 || tag == 52 || tag == 77 || tag == 90;
}

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

bool foldBinary(unsigned tag, uint64_t l, uint64_t r, uint64_t& result) {
    const int64_t sl = int64_t(l), sr = int64_t(r);
    switch (tag) {
    case 11:
        result = l + r;
        return true;
    case 12:
        result = l - r;
        return true;
    case 13:
        result = l * r;
        return true;
    case 14:
        if (r == 0 || (sl == INT64_MIN && sr == -1)) return false;
        result = uint64_t(sl / sr);
        return true;
    case 15:
        if (r == 0 || (sl == INT64_MIN && sr == -1)) return false;
        result = uint64_t(sl % sr);
        return true;
    case 16:
        result = l & r;
        return true;
    case 17:
        result = l | r;
        return true;
    case 18:
        result = l ^ r;
        return true;
    case 19:
        result = r >= 64 ? 0 : l << r;
        return true;
    case 20:
        result = r >= 64 ? 0 : l >> r;
        return true;
    case 21:
        result = l == r;
        return true;
    case 22:
        result = l != r;
        return true;
    case 23:
        result = sl > sr;
        return true;
    case 24:
        result = sl < sr;
        return true;
    case 25:
        result = sl >= sr;
        return true;
    case 26:
        result = sl <= sr;
        return true;
    case 27:
        result = l && r;
        return true;
    case 28:
        result = l || r;
        return true;
    case 85:
        result = uint64_t(r >= 64 ? (sl < 0 ? -1 : 0) : sl >> r);
        return true;
    default:
        return false; // tag 94 and the address operator are kept symbolic
    }
}

} // namespace

VornReader::VornReader(HByteStream& stream, bool keepLoci)
    : m_stream(stream), m_keepLoci(keepLoci) {}

VornReader::~VornReader() {
    if (m_module) release(m_module);
}

VornModule* VornReader::readFile(bool trace) {
    return read(false, trace);
}

VornModule* VornReader::readFileQuickly(bool trace) {
    return read(true, trace);
}

void VornReader::release(VornModule* module) {
    if (!module) return;
    for (VornObject* object : module->m_objects)
        delete object; // runs the destructor; the memory goes with the pool
    delete module->m_pool;
    delete module;
}

void VornReader::fail(const char* text) {
    throw HException(text);
}

VornModule* VornReader::read(bool quick, bool trace) {
    m_module = new VornModule;
    m_module->m_pool = new Pool;
    m_stack.clear();
    m_stack.reserve(StackLimit);
    m_pool.clear();
    m_aliases.clear();
    m_section = nullptr;
    m_pointer = nullptr;
    m_pendingFlags = 0;

    Pool* previous = Pool::currentPool();
    Pool::setCurrentPool(m_module->m_pool);
    try {
        while (!m_stream.atEnd()) {
            const size_t position = m_stream.position();
            const unsigned tag = *take(1);
            if (isUnknownTag(tag)) fail("bad object file: unknown tag");
            record(tag, quick);
            if (trace) traceRecord(position, tag);
        }
        if (!m_stack.empty()) fail("bad object file: stack not empty at EOF");
    } catch (...) {
        Pool::setCurrentPool(previous);
        release(m_module);
        m_module = nullptr;
        m_pool.clear();
        throw;
    }
    Pool::setCurrentPool(previous);
    if (trace) std::fflush(stdout);
    m_pool.clear();
    m_pool.shrink_to_fit();
    m_aliases.clear();
    VornModule* module = m_module;
    m_module = nullptr;
    return module;
}

const uint8_t* VornReader::take(size_t count) {
    const size_t position = m_stream.position();
    if (count > m_stream.size() - position || !m_stream.ensure(position + count))
        fail("premature end of VORN file");
    m_stream.setPosition(position + count);
    return m_stream.data() + position;
}

void VornReader::push(Value value) {
    if (m_stack.size() >= StackLimit) fail("bad object file: reader stack overflow");
    m_stack.push_back(value);
}

VornReader::Value VornReader::popObject() {
    if (m_stack.empty()) fail("bad object file: reader empty stack");
    const Value value = m_stack.back();
    m_stack.pop_back();
    return value;
}

uint64_t VornReader::popConst() {
    const Value value = popObject();
    if (value.kind != Value::Const)
        fail("bad object file: operand type error (constant expression expected)");
    return value.number;
}

HString* VornReader::popString() {
    const Value value = popObject();
    if (value.kind == Value::Null) return nullptr;
    if (value.kind != Value::String) fail("bad object file: operand type error (string expected)");
    return static_cast<HString*>(value.object);
}

VornSymbol* VornReader::popSymbol() {
    const Value value = popObject();
    if (value.kind == Value::Null) return nullptr;
    if (value.kind != Value::Symbol) fail("bad object file: operand type error (symbol expected)");
    return static_cast<VornSymbol*>(value.object);
}

VornType* VornReader::popType() {
    const Value value = popObject();
    if (value.kind == Value::Null) return nullptr;
    if (value.kind != Value::Type) fail("bad object file: operand type error (type expected)");
    return static_cast<VornType*>(value.object);
}

VornSection* VornReader::popSection() {
    const Value value = popObject();
    if (value.kind == Value::Null) return nullptr;
    if (value.kind != Value::Section)
        fail("bad object file: operand type error (section expected)");
    return static_cast<VornSection*>(value.object);
}

VornScope* VornReader::popScope() {
    const Value value = popObject();
    if (value.kind == Value::Null) return nullptr;
    if (value.kind != Value::Scope) fail("bad object file: operand type error (scope expected)");
    return static_cast<VornScope*>(value.object);
}

VornExpr* VornReader::popExpr() {
    const Value value = popObject();
    switch (value.kind) {
    case Value::Null:
        return nullptr;
    case Value::Expr:
        return static_cast<VornExpr*>(value.object);
    case Value::Const: {
        VornExpr* e = make<VornExpr>();
        e->kind = VornExpr::Constant;
        e->value = value.number;
        return e;
    }
    default:
        fail("bad object file: operand type error (expression expected)");
    }
}

HString* VornReader::poolString(uint64_t offset, uint64_t length) {
    if (offset > m_pool.size() || length > m_pool.size() || offset > 0xFFFFFFFFu ||
        length > 0xFFFFFFFFu)
        fail(ValueError);
    if (offset + length > m_pool.size())
        fail("bad object file: string runs past the end of the string pool");
    return HString::intern(reinterpret_cast<const char*>(m_pool.data()) + offset, length);
}

HString* VornReader::poolStringTerminated(uint64_t offset) {
    if (offset > m_pool.size() || offset > 0xFFFFFFFFu) fail(ValueError);
    const uint8_t* start = m_pool.data() + offset;
    const void* zero =
        offset < m_pool.size() ? std::memchr(start, 0, m_pool.size() - offset) : nullptr;
    if (!zero) fail("bad object file: string runs past the end of the string pool");
    return HString::intern(reinterpret_cast<const char*>(start),
                           size_t(static_cast<const uint8_t*>(zero) - start));
}

VornSection* VornReader::currentSection() {
    if (!m_section) fail("bad object file: no defined section");
    return m_section;
}

VornFragment* VornReader::currentFragment() {
    VornSection* section = currentSection();
    if (section->fragments.empty()) section->fragments.push_back(make<VornFragment>());
    return section->fragments.back();
}

VornInsn* VornReader::lastInsn() {
    VornInsn* insn = currentSection()->lastInsn;
    if (!insn) fail("bad object file: no instruction defined");
    return insn;
}

VornInsn* VornReader::makeInsn(uint64_t opcode, VornExpr* operand) {
    VornInsn* insn = make<VornInsn>();
    insn->opcode = opcode;
    insn->operand = operand;
    return insn;
}

VornExpr* VornReader::binary(unsigned tag, VornExpr* left, VornExpr* right) {
    VornExpr* e = make<VornExpr>();
    e->kind = VornExpr::Binary;
    e->op = int(tag);
    e->left = left;
    e->right = right;
    return e;
}

void VornReader::record(unsigned tag, bool quick) {
    if (needsSection(tag)) currentSection();

    switch (tag) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
        pushConst(tag);
        return;
    case VornTag::LITX: {
        const unsigned count = *take(1);
        if (count > 8) fail(ValueError);
        const uint8_t* bytes = take(count);
        uint64_t value = 0;
        for (unsigned i = 0; i < count; ++i)
            value = (value << 8) | bytes[i];
        pushConst(value);
        return;
    }
    case VornTag::Null:
        pushObject(Value::Null, nullptr);
        return;
    case VornTag::NullNull:
        pushObject(Value::Null, nullptr);
        pushObject(Value::Null, nullptr);
        return;
    case VornTag::MkSymbol: {
        VornSymbol* symbol = make<VornSymbol>();
        symbol->name = popString();
        pushObject(Value::Symbol, symbol);
        return;
    }
    case VornTag::SymbolVal: {
        VornSymbol* symbol = popSymbol();
        VornExpr* e = make<VornExpr>();
        e->kind = VornExpr::SymbolRef;
        e->symbol = symbol;
        pushObject(Value::Expr, e);
        return;
    }
    case VornTag::Alias: {
        const auto it = m_aliases.find(popConst());
        if (it == m_aliases.end()) fail(ValueError);
        push(it->second);
        return;
    }
    case VornTag::MkAlias: {
        const uint64_t number = popConst();
        const Value object = popObject();
        if (!m_aliases.emplace(number, object).second)
            fail("bad object file: alias defined more than once");
        return;
    }
    case VornTag::MkStringTerminated:
        pushObject(Value::String, poolStringTerminated(popConst()));
        return;
    case VornTag::MkStringCounted: {
        const uint64_t length = popConst();
        const uint64_t offset = popConst();
        pushObject(Value::String, poolString(offset, length));
        return;
    }
    case VornTag::MarkerDef: {
        VornFragment* fragment = currentFragment();
        fragment->markers.emplace_back(popConst(), fragment->bytes.size());
        return;
    }
    case VornTag::MarkerRef: {
        VornExpr* e = make<VornExpr>();
        e->kind = VornExpr::MarkerRef;
        e->value = popConst();
        pushObject(Value::Expr, e);
        return;
    }
    case VornTag::StringPool: {
        const uint64_t size = popConst();
        if (size > PoolLimit) fail(ValueError);
        const uint8_t* bytes = take(size_t(size));
        m_pool.assign(bytes, bytes + size);
        return;
    }
    case VornTag::Section:
        m_section = popSection();
        return;
    case VornTag::MkSection: {
        HString* name = popString();
        VornSection*& section = m_module->sections[name];
        if (!section) {
            section = make<VornSection>();
            section->name = name;
        }
        pushObject(Value::Section, section);
        return;
    }
    case VornTag::SymbolDef: {
        VornExpr* value = popExpr();
        if (VornSymbol* symbol = popSymbol()) symbol->value = value;
        return;
    }
    case VornTag::SetType: {
        VornType* type = popType();
        const Value object = popObject();
        if (object.kind == Value::Symbol)
            static_cast<VornSymbol*>(object.object)->type = type;
        else if (object.kind == Value::Type && type)
            static_cast<VornType*>(object.object)->element = type;
        return;
    }
    case VornTag::SetName: {
        HString* name = popString();
        const Value object = popObject();
        if (object.kind == Value::Symbol)
            static_cast<VornSymbol*>(object.object)->name = name;
        else if (object.kind == Value::Type)
            static_cast<VornType*>(object.object)->name = name;
        push(object);
        return;
    }
    case VornTag::DefBytes:
        if (HString* bytes = popString()) {
            std::vector<uint8_t>& out = currentFragment()->bytes;
            out.insert(out.end(), bytes->text(), bytes->text() + bytes->length());
        }
        return;
    case VornTag::Insn:
    case VornTag::InsnOperand:
    case VornTag::LocalInsn: {
        VornExpr* operand = tag == VornTag::InsnOperand ? popExpr() : nullptr;
        VornInsn* insn = makeInsn(popConst(), operand);
        insn->local = tag == VornTag::LocalInsn;
        insn->flags = m_pendingFlags;
        currentFragment()->insns.push_back(insn);
        m_section->lastInsn = insn;
        return;
    }
    case VornTag::Fill: {
        const uint64_t value = popConst();
        const uint64_t count = popConst();
        if (count > ReserveLimit) fail(ValueError);
        std::vector<uint8_t>& out = currentFragment()->bytes;
        out.insert(out.end(), size_t(count), uint8_t(value));
        return;
    }
    case VornTag::Align:
        currentFragment()->alignment = popConst();
        return;
    case VornTag::Origin:
        currentFragment()->origin = popExpr();
        return;
    case VornTag::Break:
        m_section->fragments.push_back(make<VornFragment>());
        return;
    case VornTag::Public:
        if (VornSymbol* symbol = popSymbol()) {
            symbol->isPublic = true;
            m_module->publics[symbol->name] = symbol;
        }
        return;
    case VornTag::Locus: {
        const uint64_t line = popConst();
        const Value file = popObject();
        if (m_keepLoci) {
            VornFragment* fragment = currentFragment();
            m_section->loci.push_back(
                {m_section->fragments.size() - 1, fragment->bytes.size(), line,
                 file.kind == Value::String ? static_cast<HString*>(file.object) : nullptr});
        }
        return;
    }
    case VornTag::MkFilename:
        pushObject(Value::String, popString());
        return;
    case VornTag::SetPc:
        popExpr();
        return;
    case VornTag::SetBytes: {
        VornInsn* insn = lastInsn();
        HString* bytes = popString();
        if (bytes)
            insn->bytes.assign(bytes->text(), bytes->text() + bytes->length());
        else
            insn->bytes.clear();
        return;
    }
    case VornTag::Char:
    case VornTag::Unsigned:
    case VornTag::Int:
    case VornTag::Untyped:
    case VornTag::Float:
    case VornTag::Struc: {
        VornType* type = make<VornType>();
        type->tag = int(tag);
        type->size = popConst();
        pushObject(Value::Type, type);
        return;
    }
    case VornTag::StrucObsolete: {
        VornType* type = make<VornType>();
        type->tag = int(tag);
        pushObject(Value::Type, type);
        return;
    }
    case VornTag::Array: {
        VornType* type = make<VornType>();
        type->tag = int(tag);
        type->count = popConst();
        type->element = popType();
        pushObject(Value::Type, type);
        return;
    }
    case VornTag::CountedArray: {
        VornType* type = make<VornType>();
        type->tag = int(tag);
        type->count = popConst();
        type->flags[0] = 0;
        VornType* counter = popType();
        type->element = popType();
        if (counter) type->fields.push_back({nullptr, counter, nullptr, 0, 0});
        pushObject(Value::Type, type);
        return;
    }
    case VornTag::Ptr: {
        VornType* target = popType();
        VornType* pointer = popType();
        if (!pointer || pointer->tag != VornTag::ForwardType)
            fail("bad object file: operand type error (pointer expected)");
        pointer->element = target;
        m_pointer = pointer;
        return;
    }
    case VornTag::Function: {
        VornType* type = make<VornType>();
        type->tag = int(tag);
        for (uint64_t& flag : type->flags)
            flag = popConst();
        pushObject(Value::Type, type);
        return;
    }
    case VornTag::Member: {
        VornType* type = make<VornType>();
        type->tag = int(tag);
        type->element = popType();
        pushObject(Value::Type, type);
        return;
    }
    case VornTag::StaticField: {
        VornType* type = popType();
        VornExpr* address = popExpr();
        HString* name = popString();
        if (VornType* structure = popType())
            structure->fields.push_back({name, type, address, 0, 0});
        return;
    }
    case VornTag::DynamicField: {
        VornType* type = popType();
        const uint64_t bits = popConst();
        const uint64_t offset = popConst();
        HString* name = popString();
        VornType* structure = popType();
        if (structure) structure->fields.push_back({name, type, nullptr, offset, bits});
        pushObject(Value::Type, structure);
        return;
    }
    case VornTag::ParamIn:
    case VornTag::ParamOut: {
        VornSymbol* symbol = popSymbol();
        if (VornType* function = popType())
            (tag == VornTag::ParamIn ? function->parametersIn : function->parametersOut)
                .push_back(symbol);
        return;
    }
    case VornTag::Library:
        if (HString* name = popString()) m_module->libraries.insert(name);
        return;
    case VornTag::SetScope: {
        VornSymbol* symbol = popSymbol();
        VornScope* scope = popScope();
        if (symbol && scope) {
            symbol->scope = scope;
            scope->symbols.push_back(symbol);
        }
        return;
    }
    case VornTag::ScopeFunction:
    case VornTag::ScopeBlock:
    case VornTag::ScopeModule: {
        VornScope* scope = make<VornScope>();
        scope->tag = int(tag);
        scope->to = popExpr();
        scope->from = popExpr();
        VornScope* parent = popScope();
        scope->parent = parent ? parent : m_module;
        scope->parent->children.push_back(scope);
        pushObject(Value::Scope, scope);
        return;
    }
    case VornTag::Dup: {
        const Value value = popObject();
        push(value);
        push(value);
        return;
    }
    case VornTag::Drop:
        popObject();
        return;
    case VornTag::Space: {
        const uint64_t size = popConst();
        if (size > ReserveLimit) fail(ValueError);
        std::vector<uint8_t>& out = currentFragment()->bytes;
        out.insert(out.end(), size_t(size), uint8_t(0));
        return;
    }
    case VornTag::Attribute: {
        HString* value = popString();
        if (HString* key = popString()) m_module->attributes[key] = value;
        return;
    }
    case VornTag::ForwardType: {
        VornType* type = make<VornType>();
        type->tag = int(tag);
        type->size = popConst();
        type->representation = VornTag::PtrRep110;
        pushObject(Value::Type, type);
        return;
    }
    case VornTag::Nop:
        return;
    case VornTag::Protected:
        m_module->isProtected = true;
        return;
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
        return;
    }
    case VornTag::LinkOrderPriority:
        m_module->linkOrderPriority = popConst();
        return;
    case VornTag::Patchable:
    case VornTag::Patched: {
        const uint64_t value = popConst();
        VornSymbol* symbol = popSymbol();
        if (symbol) {
            symbol->patchable = true;
            symbol->patch = value;
        }
        if (tag == VornTag::Patched) pushObject(Value::Symbol, symbol);
        return;
    }
    case VornTag::InstrumentationData: {
        VornInsn* insn = lastInsn();
        insn->instrumentation = popConst();
        return;
    }
    case VornTag::Register: {
        VornExpr* e = make<VornExpr>();
        e->kind = VornExpr::Register;
        e->value = popConst();
        pushObject(Value::Expr, e);
        return;
    }
    case VornTag::SetFlags:
        m_pendingFlags = popConst();
        return;
    case VornTag::ClearFlags:
        m_pendingFlags = 0;
        return;
    case VornTag::SetFctSymbol: {
        VornSymbol* symbol = popSymbol();
        if (VornScope* scope = popScope()) scope->function = symbol;
        return;
    }
    case VornTag::AdjustStack: {
        VornInsn* insn = lastInsn();
        insn->stackAdjust = int64_t(popConst());
        return;
    }
    case VornTag::Init:
    case VornTag::DefAddr: {
        VornExpr* value = popExpr();
        const uint64_t size = tag == VornTag::Init ? popConst() : addressSize();
        if (size > ReserveLimit) fail(ValueError);
        VornFragment* fragment = currentFragment();
        fragment->fixups.push_back({fragment->bytes.size(), size_t(size), value});
        fragment->bytes.insert(fragment->bytes.end(), size_t(size), uint8_t(0));
        return;
    }
    case VornTag::SymbolLocus: {
        const uint64_t line = popConst();
        const Value file = popObject();
        VornSymbol* symbol = popSymbol();
        if (symbol) {
            symbol->locusLine = line;
            symbol->locusFile =
                file.kind == Value::String ? static_cast<HString*>(file.object) : nullptr;
        }
        pushObject(Value::Symbol, symbol);
        return;
    }
    case VornTag::EndOfInfo:
        if (quick) m_stream.setPosition(m_stream.size());
        return;
    case VornTag::SetInsnValue: {
        VornInsn* insn = lastInsn();
        insn->value = popConst();
        return;
    }
    case VornTag::LinkIf:
        popSymbol();
        return;
    case VornTag::EndLinkIf:
        return;
    case VornTag::PtrRep110:
    case VornTag::PtrRep111:
        if (m_pointer) m_pointer->representation = int(tag);
        return;
    default:
        break;
    }

    if ((tag >= VornTag::BinaryFirst && tag <= VornTag::BinaryLast) || tag == VornTag::Ashr ||
        tag == VornTag::Binary94 || tag == VornTag::VornWordAddress) {
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
        return;
    }
    if (tag >= VornTag::MemSpaceFirst && tag <= VornTag::MemSpaceLast) {
        VornType* type = make<VornType>();
        type->tag = int(tag);
        type->element = popType();
        pushObject(Value::Type, type);
        return;
    }
    fail("bad object file: unknown tag");
}

const char* VornReader::tagName(unsigned tag) {
    static const char* const names[VornTag::Last + 1] = {
        "LIT", "LIT", "LIT", "LIT", "LIT", "LIT", "LIT", "LIT", "LITX", "NULL", "NULL_NULL",
        // 11..28
        "<binary>", "<binary>", "<binary>", "<binary>", "<binary>", "<binary>", "<binary>",
        "<binary>", "<binary>", "<binary>", "<binary>", "<binary>", "<binary>", "<binary>",
        "<binary>", "<binary>", "<binary>", "<binary>",
        // 29..
        "MKSYMBOL", nullptr, "SYMBOLVAL", "ALIAS", "MKALIAS", "MKSTRING", "MKSTRING", "MARKERDEF",
        "MARKERREF", "STRINGPOOL", "SECTION", "MKSECTION", "SYMBOLDEF", "SETTYPE", "SETNAME",
        "DEFBYTES", "INSN", "INSN", "FILL", "ALIGN", "ORIGIN", "BREAK", "PUBLIC", nullptr, "LOCUS",
        "MKFILENAME", "SETPC", "SETBYTES", "CHAR", "UNSIGNED", "INT", "STRUC (obsolete)", "ARRAY",
        "COUNTED_ARRAY", "PTR", "UNTYPED", "FLOAT", "FUNCTION", "MEMBER", "STATIC_FIELD",
        "DYNAMIC_FIELD", "PARAMIN", "PARAMOUT", "LIBRARY", "SETSCOPE", "SCOPE_FUNCTION",
        "SCOPE_BLOCK", "SCOPE_MODULE", nullptr, "DUP", "DROP", "SPACE", "ATTRIBUTE", "FORWARDTYPE",
        "NOP", "PROTECTED", "<binary>", "CODELET", "STRUC", "LINK ORDER PRIORITY", "PATCHABLE",
        nullptr, "INSTRUMENTATION DATA", "PATCHED", "REGISTER", "<binary>", "LOCAL_INSN",
        "SETFLAGS", "CLEARFLAGS", "SET_FCT_SYMBOL", "ADJUST_STACK", "INIT", "SYMBOL_LOCUS",
        "END_OF_INFO", "SETVALUE", "DEFADDR", "VORN_WORD_ADDRESS", "MEMSPACE", "MEMSPACE",
        "MEMSPACE", "MEMSPACE", "PTR-REP", "PTR-REP", "LINKIF", "ENDLINKIF"};
    const char* name = tag <= VornTag::Last ? names[tag] : nullptr;
    return name ? name : "unknown";
}

void VornReader::traceRecord(size_t position, unsigned tag) const {
    std::printf("%zu\t%s", position, tagName(tag));
    for (const Value& value : m_stack) {
        switch (value.kind) {
        case Value::Null:
            std::printf(" null");
            break;
        case Value::Const:
            std::printf(" 0x%llx", static_cast<unsigned long long>(value.number));
            break;
        case Value::String: {
            const HString* s = static_cast<const HString*>(value.object);
            std::printf(" \"%.*s\"", int(s->length() > 40 ? 40 : s->length()), s->text());
            break;
        }
        case Value::Type:
            std::printf(" <type>");
            break;
        case Value::Symbol:
            std::printf(" <symbol>");
            break;
        case Value::Expr:
            std::printf(" <expr>");
            break;
        case Value::Section:
            std::printf(" <section>");
            break;
        case Value::Scope:
            std::printf(" <scope>");
            break;
        }
    }
    std::printf("\n");
}
