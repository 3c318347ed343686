#pragma once

#include "objfile/Vorn.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

class HByteStream;

// Reads the record stream of an object file into a VornModule. Errors are
// thrown as HException with a "bad object file: ..." or "premature end of
// VORN file" text; no partial module is returned.
class VornReader {
public:
    // With `keepLoci` the LOCUS records are kept in the sections' line tables.
    VornReader(HByteStream& stream, bool keepLoci);
    virtual ~VornReader();

    VornReader(const VornReader&) = delete;
    VornReader& operator=(const VornReader&) = delete;

    // The whole stream.
    VornModule* readFile(bool trace = false);
    // Up to and including END_OF_INFO: the information block only.
    VornModule* readFileQuickly(bool trace = false);

    // Frees the module and everything read with it.
    static void release(VornModule* module);

    virtual const char* processorName() const { return ""; }
    // Bytes an address takes in a section (DEFADDR).
    virtual size_t addressSize() const { return 4; }

    static const char* tagName(unsigned tag);
    static constexpr size_t StackLimit = 100;
    static constexpr uint64_t PoolLimit = 0xFFFFFF;

protected:
    virtual VornInsn* makeInsn(uint64_t opcode, VornExpr* operand);
    // Objects must be created through this so release can destroy them.
    template <class T> T* make() {
        T* object = new T;
        m_module->m_objects.push_back(object);
        return object;
    }

private:
    struct Value {
        enum Kind : uint8_t { Null, Const, String, Type, Symbol, Expr, Section, Scope };
        Kind kind;
        uint64_t number;
        void* object;
    };

    static constexpr const char* ValueError =
        "bad object file: operand value error (constant out of range)";

    VornModule* read(bool quick, bool trace);
    void record(unsigned tag, bool quick);
    // One per record family; each answers false for a tag it does not own.
    bool valueRecord(unsigned tag);
    bool stackRecord(unsigned tag);
    bool moduleRecord(unsigned tag, bool quick);
    bool expressionRecord(unsigned tag);
    void binaryRecord(unsigned tag);
    bool symbolRecord(unsigned tag);
    bool patchRecord(unsigned tag);
    bool sectionRecord(unsigned tag);
    bool locusRecord(unsigned tag);
    bool dataRecord(unsigned tag);
    bool insnRecord(unsigned tag);
    bool insnDetailRecord(unsigned tag);
    bool typeRecord(unsigned tag);
    bool typeMemberRecord(unsigned tag);
    bool scopeRecord(unsigned tag);
    void traceRecord(size_t position, unsigned tag) const;

    [[noreturn]] static void fail(const char* text);
    const uint8_t* take(size_t count);

    void push(Value value);
    void pushConst(uint64_t value) { push(Value{Value::Const, value, nullptr}); }
    void pushObject(Value::Kind kind, void* object) {
        push(Value{object ? kind : Value::Null, 0, object});
    }
    Value popObject();
    uint64_t popConst();
    HString* popString();
    VornSymbol* popSymbol();
    VornType* popType();
    VornSection* popSection();
    VornScope* popScope();
    VornExpr* popExpr();
    // A file name operand: a string, or anything else for none.
    HString* popFileName();

    HString* poolString(uint64_t offset, uint64_t length);
    HString* poolStringTerminated(uint64_t offset);
    VornSection* currentSection();
    VornFragment* currentFragment();
    VornInsn* lastInsn();
    VornExpr* binary(unsigned tag, VornExpr* left, VornExpr* right);
    VornType* newType(unsigned tag);

    HByteStream& m_stream;
    bool m_keepLoci;
    VornModule* m_module = nullptr;
    std::vector<Value> m_stack;
    std::vector<uint8_t> m_pool;
    std::unordered_map<uint64_t, Value> m_aliases;
    VornSection* m_section = nullptr;
    VornType* m_pointer = nullptr;
    uint64_t m_pendingFlags = 0;
};
