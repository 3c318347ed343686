#include "toolchain/MemoryMapPlacement.h"

#include "xml/MemoryMap.h"

namespace {

LinkPlacement::Segment segmentOf(const MemoryMapElement* e) {
    LinkPlacement::Segment s;
    s.name = e->name();
    s.address = e->address();
    s.size = e->size();
    s.hasAddressSymbol = e->hasAddressSymbol();
    s.addressSymbol = e->addressSymbol();
    s.hasSizeSymbol = e->hasSizeSymbol();
    s.sizeSymbol = e->sizeSymbol();
    return s;
}

QList<LinkPlacement::Section> sectionsOf(const MemoryMap& map, MemoryMapElement* segment) {
    QList<LinkPlacement::Section> sections;
    for (const MemoryMapElement* e : map.getSections(segment, true)) {
        LinkPlacement::Section s;
        s.name = e->name();
        s.hasAddress = e->hasAddress();
        s.address = e->address();
        s.hasSize = e->hasSize();
        s.size = e->size();
        s.load = e->load();
        sections.append(s);
    }
    return sections;
}

} // namespace

namespace LinkPlacement {

bool hasOwnPlacement(const MemoryMap& memoryMap) {
    for (MemoryMapElement* segment : memoryMap.getSegments(false))
        if (!memoryMap.getSections(segment, true).isEmpty()) return true;
    return false;
}

QList<Request> requestsFor(const MemoryMap& memoryMap, const MemoryMap* placement) {
    const MemoryMap& listing = placement ? *placement : memoryMap;
    QList<Request> requests;
    for (MemoryMapElement* s : listing.getSegments(true)) {
        Request r;
        r.name = s->name();
        const MemoryMapElement* seg = placement ? memoryMap.getSegment(r.name) : s;
        r.found = seg != nullptr;
        if (seg) {
            r.segment = segmentOf(seg);
            r.sections = sectionsOf(listing, s);
        }
        requests.append(r);
    }
    return requests;
}

} // namespace LinkPlacement
