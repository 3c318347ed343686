#include "objfile/VornReader.h"

#include "base/HByteStream.h"
#include "base/HException.h"
#include "base/HString.h"
#include "objfile/VornTags.h"

#include <cstdio>
#include <cstring>

namespace {

bool isUnknownTag(unsigned tag) {
    return tag > VornTag::Last || tag == VornTag::Unassigned30 || tag == VornTag::Unassigned52 ||
           tag == VornTag::Unassigned77 || tag == VornTag::Unassigned90;
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
