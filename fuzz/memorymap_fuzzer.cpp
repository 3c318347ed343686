// Memory maps: loading through the preprocessor with imports, the queries the
// linker command uses, and the register header written from the map. Input:
// the map, "%%", a file it may import or include as imp.xml.

#include "FuzzSupport.h"

#include "xml/MemoryMap.h"
#include "xml/RegisterHeader.h"

#include <QTextStream>
#include <QtGlobal>

namespace {

void query(MemoryMap& map) {
    MemoryMapElement* root = map.getRoot();
    if (!root) return;
    for (MemoryMapElement* segment : map.getSegments(true)) {
        (void)map.getSegment(segment->name());
        for (MemoryMapElement* section : map.getSections(segment, true)) {
            (void)section->alignment();
            (void)section->size();
            (void)section->load();
            (void)section->runIn();
            (void)section->inputSections();
        }
    }
    MemoryMap::ElementList registers;
    MemoryMap::getElementsOfType(root, MemoryMapElement::Register, false, registers);
    for (MemoryMapElement* reg : registers)
        (void)reg->size();
    (void)map.upToDate();
    QString header;
    QTextStream out(&header);
    RegisterHeaderWriter writer;
    writer.writeHeader(out, root, "device.h", "fuzz", false);
    writer.writeHeader(out, root, "device.h", QString(), true);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpGlobals(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> p = fuzz::parts(data, size, 2);
    const QString main = fuzz::writeScratch("map.xml", p[0]);
    fuzz::writeScratch("imp.xml", p[1]);
    {
        MemoryMap map;
        if (map.load(main, QString())) query(map);
    }
    {
        MemoryMap map;
        if (map.loadFromString(p[0], fuzz::scratchDir())) query(map);
    }
    return 0;
}
