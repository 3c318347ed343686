#include "toolchain/LinkPlacement.h"

#include <gtest/gtest.h>

using namespace LinkPlacement;

namespace {

Section fixed(const QString& name, quint32 address, quint32 size) {
    Section s;
    s.name = name;
    s.hasAddress = true;
    s.address = address;
    s.hasSize = true;
    s.size = size;
    return s;
}

Section at(const QString& name, quint32 address) {
    Section s;
    s.name = name;
    s.hasAddress = true;
    s.address = address;
    return s;
}

Section floating(const QString& name, bool load = false) {
    Section s;
    s.name = name;
    s.load = load;
    return s;
}

Request segment(const QString& name, quint32 address, quint32 size, QList<Section> sections) {
    Request r;
    r.name = name;
    r.segment.name = name;
    r.segment.address = address;
    r.segment.size = size;
    r.sections = sections;
    return r;
}

QStringList args(const QList<Request>& requests) {
    return place(requests).arguments;
}

} // namespace

TEST(LinkPlacement, FloatingSectionsFollowFixedOnes) {
    const Result r = place({segment(
        "CODE", 0x4000, 0x1000, {fixed(".fixed", 0x4000, 0x100), floating("A"), floating("B")})});
    EXPECT_EQ(r.arguments, QStringList({"-T.fixed=4000", "-TA,B=4100-5000"}));
    EXPECT_TRUE(r.messages.isEmpty());
}

TEST(LinkPlacement, ChoosesFirstOfEquallyLargeFreeRanges) {
    EXPECT_EQ(
        args({segment("CODE", 0x4000, 0x1000,
                      {fixed("x", 0x4000, 0x100), fixed("y", 0x4800, 0x100), floating("F")})}),
        QStringList({"-Tx=4000", "-Ty=4800", "-TF=4100-4800"}));
    // A strictly larger later range wins; the ranges need not be written in order.
    EXPECT_EQ(
        args({segment("CODE", 0x4000, 0x1000,
                      {fixed("y", 0x4400, 0x100), fixed("x", 0x4000, 0x100), floating("F")})}),
        QStringList({"-Ty=4400", "-Tx=4000", "-TF=4500-5000"}));
}

TEST(LinkPlacement, SectionWithoutSizeTakesTheRestOfTheSegment) {
    EXPECT_EQ(args({segment("CODE", 0x4000, 0x1000, {at("tail", 0x4800), floating("F")})}),
              QStringList({"-Ttail=4800", "-TF=4000-4800"}));
    // Nothing free at all: the floating sections get an empty range at the start.
    EXPECT_EQ(args({segment("CODE", 0x4000, 0x1000, {at("all", 0x4000), floating("F")})}),
              QStringList({"-Tall=4000", "-TF=4000-4000"}));
}

TEST(LinkPlacement, AddressOutsideSegmentKeepsItsFreeSpace) {
    EXPECT_EQ(args({segment("RAM", 0x200, 0x100, {fixed("far", 0x8000, 0x10), floating("F")})}),
              QStringList({"-Tfar=8000", "-TF=200-300"}));
}

TEST(LinkPlacement, OversizedSectionIsReportedAndLinkGoesOn) {
    const Result r =
        place({segment("RAM", 0x200, 0x100, {fixed("big", 0x280, 0x100), floating("F")})});
    EXPECT_EQ(r.messages, QStringList({"section big is larger than the segment RAM"}));
    EXPECT_EQ(r.arguments, QStringList({"-Tbig=280", "-TF=200-280"}));
}

TEST(LinkPlacement, MissingSegmentIsReportedAndSkipped) {
    Request missing;
    missing.name = "XRAM";
    missing.found = false;
    missing.sections = {floating("X")};
    const Result r = place({missing, segment("RAM", 0x200, 0x100, {floating("F")})});
    EXPECT_EQ(
        r.messages,
        QStringList({"section placement file referenced segment XRAM not in memory map file"}));
    EXPECT_EQ(r.arguments, QStringList({"-TF=200-300"}));
}

TEST(LinkPlacement, SymbolsLoadFlagsAndRequestOrder) {
    Request ram = segment("RAM", 0x200, 0x100, {floating(".bss"), floating(".data", true)});
    ram.segment.hasAddressSymbol = true;
    ram.segment.addressSymbol = "__RAM_start";
    ram.segment.hasSizeSymbol = true;
    ram.segment.sizeSymbol = "__RAM_size";
    Request code = segment("CODE", 0xF000, 0x1000, {fixed(".vec", 0xFFE0, 0x20)});
    code.sections.first().load = true;
    EXPECT_EQ(args({ram, code}), QStringList({"-D__RAM_start=512", "-D__RAM_size=256", "-G.data=L",
                                              "-T.bss,.data=200-300", "-T.vec=ffe0", "-G.vec=L"}));
}

TEST(LinkPlacement, SegmentWithoutSectionsAddsOnlySymbols) {
    Request r = segment("INFO", 0x1000, 0x100, {});
    EXPECT_TRUE(args({r}).isEmpty());
    r.segment.hasSizeSymbol = true;
    r.segment.sizeSymbol = "info_size";
    EXPECT_EQ(args({r}), QStringList({"-Dinfo_size=256"}));
}
