#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Placement of program sections into memory segments, turned into linker
// arguments. Works on plain values so it does not depend on how the memory
// map documents were read.
namespace LinkPlacement {

struct Section {
    QString name;
    bool hasAddress = false;
    quint32 address = 0;
    bool hasSize = false;
    quint32 size = 0;
    bool load = false;
};

struct Segment {
    QString name;
    quint32 address = 0;
    quint32 size = 0;
    bool hasAddressSymbol = false;
    QString addressSymbol;
    bool hasSizeSymbol = false;
    QString sizeSymbol;
};

// One segment to process: its name as the placement names it, the matching
// memory-map segment (absent when the map lacks it) and the sections to put there.
struct Request {
    QString name;
    bool found = true;
    Segment segment;
    QList<Section> sections;
};

struct Result {
    QStringList arguments;
    QStringList messages; // diagnostics that do not stop the link
};

// Requests are processed in the order given.
Result place(const QList<Request>& requests);

} // namespace LinkPlacement
