// Type and scope records: the debugging information of a module, read only so
// the stack stays balanced and the module complete.
#include "objfile/VornReader.h"

#include "objfile/VornTags.h"

VornType* VornReader::newType(unsigned tag) {
    VornType* type = make<VornType>();
    type->tag = int(tag);
    return type;
}

bool VornReader::typeRecord(unsigned tag) {
    VornType* type;
    switch (tag) {
    case VornTag::Char:
    case VornTag::Unsigned:
    case VornTag::Int:
    case VornTag::Untyped:
    case VornTag::Float:
    case VornTag::Struc:
        type = newType(tag);
        type->size = popConst();
        break;
    case VornTag::StrucObsolete:
        type = newType(tag);
        break;
    case VornTag::ForwardType:
        type = newType(tag);
        type->size = popConst();
        type->representation = VornTag::PtrRep110;
        break;
    case VornTag::Array:
        type = newType(tag);
        type->count = popConst();
        type->element = popType();
        break;
    case VornTag::CountedArray: {
        type = newType(tag);
        type->count = popConst();
        type->flags[0] = 0;
        VornType* counter = popType();
        type->element = popType();
        if (counter) type->fields.push_back({nullptr, counter, nullptr, 0, 0});
        break;
    }
    case VornTag::Function:
        type = newType(tag);
        for (uint64_t& flag : type->flags)
            flag = popConst();
        break;
    default:
        if (tag != VornTag::Member && (tag < VornTag::MemSpaceFirst || tag > VornTag::MemSpaceLast))
            return false;
        type = newType(tag);
        type->element = popType();
        break;
    }
    pushObject(Value::Type, type);
    return true;
}

bool VornReader::typeMemberRecord(unsigned tag) {
    switch (tag) {
    case VornTag::Ptr: {
        VornType* target = popType();
        VornType* pointer = popType();
        if (!pointer || pointer->tag != VornTag::ForwardType)
            fail("bad object file: operand type error (pointer expected)");
        pointer->element = target;
        m_pointer = pointer;
        return true;
    }
    case VornTag::PtrRep110:
    case VornTag::PtrRep111:
        if (m_pointer) m_pointer->representation = int(tag);
        return true;
    case VornTag::StaticField: {
        VornType* type = popType();
        VornExpr* address = popExpr();
        HString* name = popString();
        if (VornType* structure = popType())
            structure->fields.push_back({name, type, address, 0, 0});
        return true;
    }
    case VornTag::DynamicField: {
        VornType* type = popType();
        const uint64_t bits = popConst();
        const uint64_t offset = popConst();
        HString* name = popString();
        VornType* structure = popType();
        if (structure) structure->fields.push_back({name, type, nullptr, offset, bits});
        pushObject(Value::Type, structure);
        return true;
    }
    case VornTag::ParamIn:
    case VornTag::ParamOut: {
        VornSymbol* symbol = popSymbol();
        if (VornType* function = popType())
            (tag == VornTag::ParamIn ? function->parametersIn : function->parametersOut)
                .push_back(symbol);
        return true;
    }
    default:
        return false;
    }
}

bool VornReader::scopeRecord(unsigned tag) {
    switch (tag) {
    case VornTag::SetScope: {
        VornSymbol* symbol = popSymbol();
        VornScope* scope = popScope();
        if (symbol && scope) {
            symbol->scope = scope;
            scope->symbols.push_back(symbol);
        }
        return true;
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
        return true;
    }
    case VornTag::SetFctSymbol: {
        VornSymbol* symbol = popSymbol();
        if (VornScope* scope = popScope()) scope->function = symbol;
        return true;
    }
    default:
        return false;
    }
}
