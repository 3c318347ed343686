#pragma once

#include "toolchain/LinkPlacement.h"

class MemoryMap;

namespace LinkPlacement {

// The segments to place, last segment of the document first. With a placement
// document its segments are looked up by name in the memory map and its own
// sections are placed; without one the memory map places its own sections.
QList<Request> requestsFor(const MemoryMap& memoryMap, const MemoryMap* placement);

// True when some segment of the map carries sections, so the map describes
// its own placement.
bool hasOwnPlacement(const MemoryMap& memoryMap);

} // namespace LinkPlacement
