#pragma once

#include "base/pool.h"

#include <cstdint>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

class HString;
class Pool;
class VornScope;
class VornSymbol;
class VornType;

// Object model of a module read from an object file. Everything is allocated
// from the reader's pool and freed together by VornReader::release.
class VornObject : public PoolObject {
public:
    virtual ~VornObject();
};

class VornExpr : public VornObject {
public:
    enum Kind { Constant, Binary, SymbolRef, MarkerRef, Register };
    Kind kind = Constant;
    int op = 0;         // the record tag for binary expressions
    uint64_t value = 0; // constant, marker or register number
    VornExpr* left = nullptr;
    VornExpr* right = nullptr;
    VornSymbol* symbol = nullptr;
};

class VornType : public VornObject {
public:
    int tag = 0; // the record that made it (CHAR, ARRAY, PTR, ...)
    uint64_t size = 0;
    uint64_t count = 0;
    uint64_t flags[3] = {0, 0, 0};
    int representation = 0; // pointers: 110 or 111
    HString* name = nullptr;
    VornType* element = nullptr; // element, target or base type
    struct Field {
        HString* name;
        VornType* type;
        VornExpr* address; // static fields
        uint64_t offset;
        uint64_t bits;
    };
    std::vector<Field> fields;
    std::vector<VornSymbol*> parametersIn;
    std::vector<VornSymbol*> parametersOut;
};

class VornSymbol : public VornObject {
public:
    HString* name = nullptr;
    VornExpr* value = nullptr;
    VornType* type = nullptr;
    VornScope* scope = nullptr;
    bool isPublic = false;
    bool isCodelet = false;
    bool patchable = false;
    uint64_t patch = 0;
    uint64_t locusLine = 0;
    HString* locusFile = nullptr;
};

class VornInsn : public VornObject {
public:
    uint64_t opcode = 0;
    VornExpr* operand = nullptr;
    bool local = false;
    uint64_t flags = 0;
    uint64_t value = 0;
    uint64_t instrumentation = 0;
    int64_t stackAdjust = 0;
    std::vector<uint8_t> bytes;
};

class VornFragment : public VornObject {
public:
    std::vector<uint8_t> bytes; // data defined by DEFBYTES, FILL, SPACE
    std::vector<VornInsn*> insns;
    std::vector<std::pair<uint64_t, size_t>> markers; // marker number, byte offset
    // Places in bytes that INIT and DEFADDR reserve for a value known at link time.
    struct Fixup {
        size_t offset;
        size_t size;
        VornExpr* value;
    };
    std::vector<Fixup> fixups;
    VornExpr* origin = nullptr;
    uint64_t alignment = 0;
};

class VornSection : public VornObject {
public:
    HString* name = nullptr;
    std::vector<VornFragment*> fragments;
    VornInsn* lastInsn = nullptr;
    struct Locus {
        size_t fragment;
        size_t offset;
        uint64_t line;
        HString* file;
    };
    std::vector<Locus> loci;

    // The bytes of all fragments, in order.
    std::vector<uint8_t> data() const;
};

class VornScope : public VornObject {
public:
    int tag = 0; // SCOPE_FUNCTION, SCOPE_BLOCK, SCOPE_MODULE, or 0 for a module
    VornScope* parent = nullptr;
    VornExpr* from = nullptr;
    VornExpr* to = nullptr;
    VornSymbol* function = nullptr;
    std::vector<VornSymbol*> symbols;
    std::vector<VornScope*> children;
};

class VornModule : public VornScope {
public:
    // The module owns the pool its objects come from, so it is not in it.
    static void* operator new(size_t size) { return ::operator new(size); }
    static void operator delete(void* p) noexcept { ::operator delete(p); }

    std::unordered_map<const HString*, HString*> attributes;
    std::set<HString*> libraries;
    std::map<const HString*, VornSection*> sections;
    std::map<const HString*, VornSymbol*> publics;
    bool isProtected = false;
    uint64_t linkOrderPriority = 10;

    // The attribute's value (null when absent or recorded as null).
    HString* attribute(const char* key) const;

private:
    friend class VornReader;
    Pool* m_pool = nullptr;
    std::vector<VornObject*> m_objects; // everything the read allocated, for release
};
