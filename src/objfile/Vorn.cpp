#include "objfile/Vorn.h"

#include "base/HString.h"

VornObject::~VornObject() = default;

std::vector<uint8_t> VornSection::data() const {
    std::vector<uint8_t> all;
    for (const VornFragment* fragment : fragments)
        all.insert(all.end(), fragment->bytes.begin(), fragment->bytes.end());
    return all;
}

HString* VornModule::attribute(const char* key) const {
    const auto it = attributes.find(HString::intern(key));
    return it == attributes.end() ? nullptr : it->second;
}
