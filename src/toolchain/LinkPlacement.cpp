#include "toolchain/LinkPlacement.h"

#include <algorithm>
#include <utility>

namespace {

using Range = std::pair<quint64, quint64>; // start, length

QString hex(quint64 value) {
    return QString::number(quint32(value), 16);
}

void placeSegment(const LinkPlacement::Request& request, LinkPlacement::Result& result) {
    const LinkPlacement::Segment& seg = request.segment;
    if (seg.hasAddressSymbol)
        result.arguments << QLatin1String("-D") + seg.addressSymbol + QLatin1Char('=') +
                                QString::number(seg.address);
    if (seg.hasSizeSymbol)
        result.arguments << QLatin1String("-D") + seg.sizeSymbol + QLatin1Char('=') +
                                QString::number(seg.size);

    const quint32 start = seg.address;
    const quint32 end = start + seg.size; // wraps like the device's address arithmetic
    QList<Range> used;
    QString floating;
    bool anyFixed = false;
    for (const LinkPlacement::Section& section : request.sections) {
        if (section.hasAddress) {
            anyFixed = true;
            const quint32 a = section.address;
            result.arguments << QLatin1String("-T") + section.name + QLatin1Char('=') + hex(a);
            if (start <= a && a <= end) {
                if (section.hasSize) {
                    if (quint64(a) + section.size > end)
                        result.messages << QLatin1String("section ") + section.name +
                                               QLatin1String(" is larger than the segment ") +
                                               seg.name;
                    used.append({a, section.size});
                } else {
                    used.append({a, quint64(end - a)});
                }
            }
        } else if (floating.isNull()) {
            floating = section.name;
        } else {
            floating += QLatin1Char(',') + section.name;
        }
        if (section.load)
            result.arguments << QLatin1String("-G") + section.name + QLatin1String("=L");
    }

    std::sort(used.begin(), used.end());
    QList<Range> free;
    quint64 cursor = start;
    for (const Range& r : used) {
        if (r.first > cursor) free.append({cursor, r.first - cursor});
        cursor = r.first + r.second;
    }
    if (end > cursor) free.append({cursor, end - cursor});

    Range chosen{start, seg.size};
    if (anyFixed) {
        if (free.isEmpty()) {
            chosen = {start, 0};
        } else {
            chosen = free.first();
            for (const Range& r : free)
                if (r.second > chosen.second) chosen = r;
        }
    }
    if (!floating.isNull())
        result.arguments << QLatin1String("-T") + floating + QLatin1Char('=') + hex(chosen.first) +
                                QLatin1Char('-') + hex(chosen.first + chosen.second);
}

} // namespace

namespace LinkPlacement {

Result place(const QList<Request>& requests) {
    Result result;
    for (const Request& request : requests) {
        if (!request.found) {
            result.messages << QLatin1String("section placement file referenced segment ") +
                                   request.name + QLatin1String(" not in memory map file");
            continue;
        }
        placeSegment(request, result);
    }
    return result;
}

} // namespace LinkPlacement
