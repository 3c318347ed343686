// The device memory maps and the headers generated from them must give every
// register the address the vendor's own device headers (Debian's msp430mcu)
// give it.

#include "E2E.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const char* const kVendorInclude = "/usr/msp430/include";

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

// NAME -> address, from lines "#define NAME_ 0x0120 ..." of a vendor header.
QMap<QString, uint> vendorRegisters(const QString& text) {
    QMap<QString, uint> regs;
    static const QRegularExpression re(R"(^#define\s+(\w+)_\s+(0x[0-9A-Fa-f]+)\b)",
                                       QRegularExpression::MultilineOption);
    for (auto it = re.globalMatch(text); it.hasNext();) {
        auto m = it.next();
        // Module base addresses are spelled the same way but are not registers.
        if (!m.captured(1).startsWith("__"))
            regs.insert(m.captured(1), m.captured(2).toUInt(nullptr, 16));
    }
    return regs;
}

// NAME -> address, from "#define NAME (*(volatile unsigned ... *)0x120)".
QMap<QString, uint> generatedRegisters(const QString& text) {
    QMap<QString, uint> regs;
    static const QRegularExpression re(
        R"(^#define (\w+) \(\*\(volatile unsigned[a-z ]* \*\)0x([0-9A-F]+)\)$)",
        QRegularExpression::MultilineOption);
    for (auto it = re.globalMatch(text); it.hasNext();) {
        auto m = it.next();
        regs.insert(m.captured(1), m.captured(2).toUInt(nullptr, 16));
    }
    return regs;
}

class DeviceHeader : public ::testing::TestWithParam<const char*> {};

TEST_P(DeviceHeader, RegisterAddressesAgreeWithTheVendorHeader) {
    const QString device = GetParam();
    const QString vendorText = readText(QString(kVendorInclude) + "/" + device + ".h");
    if (vendorText.isEmpty()) GTEST_SKIP() << "msp430mcu is not installed";
    const QMap<QString, uint> vendor = vendorRegisters(vendorText);

    const QString ours = readText(e2e::builtStudioDir() + "/include/" + device + ".h");
    ASSERT_FALSE(ours.isEmpty()) << "no generated header for " << device.toStdString();
    const QMap<QString, uint> generated = generatedRegisters(ours);

    // Nearly every vendor register is in our header, and every one we write
    // sits at the vendor's address.
    ASSERT_GE(generated.size(), vendor.size() * 9 / 10) << device.toStdString();
    int compared = 0;
    for (auto it = generated.cbegin(); it != generated.cend(); ++it) {
        ASSERT_TRUE(vendor.contains(it.key())) << it.key().toStdString();
        EXPECT_EQ(it.value(), vendor.value(it.key()))
            << device.toStdString() << " " << it.key().toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 50);

    const QString guard = device + "_h";
    EXPECT_TRUE(ours.contains("#ifndef " + guard + "\n#define " + guard + "\n"));
    EXPECT_TRUE(ours.endsWith("\n#endif\n"));
}

TEST_P(DeviceHeader, SingleBitFieldsMatchTheVendorBitValues) {
    const QString device = GetParam();
    const QString vendorText = readText(QString(kVendorInclude) + "/" + device + ".h");
    if (vendorText.isEmpty()) GTEST_SKIP() << "msp430mcu is not installed";
    const QString ours = readText(e2e::builtStudioDir() + "/include/" + device + ".h");
    ASSERT_FALSE(ours.isEmpty());

    // "#define REG_FIELD 0x8" in ours must be "#define FIELD (0x0008)" in the
    // vendor's header.
    static const QRegularExpression valueRe(R"(^#define (\w+) 0x([0-9A-F]+)$)",
                                            QRegularExpression::MultilineOption);
    const QMap<QString, uint> regs = generatedRegisters(ours);
    int checked = 0;
    for (auto it = valueRe.globalMatch(ours); it.hasNext();) {
        auto m = it.next();
        const QString name = m.captured(1);
        QString reg;
        for (auto r = regs.cbegin(); r != regs.cend(); ++r)
            if (name.startsWith(r.key() + "_") && r.key().size() > reg.size()) reg = r.key();
        const QString field = name.mid(reg.size() + 1);
        if (reg.isEmpty() || field.endsWith("_MASK") || field == "OFFSET") continue;
        const QRegularExpression vendorBit("^#define\\s+" + QRegularExpression::escape(field) +
                                               "\\s+\\((0x[0-9A-Fa-f]+)\\)",
                                           QRegularExpression::MultilineOption);
        auto v = vendorBit.match(vendorText);
        ASSERT_TRUE(v.hasMatch()) << field.toStdString();
        EXPECT_EQ(v.captured(1).toUInt(nullptr, 16), m.captured(2).toUInt(nullptr, 16))
            << device.toStdString() << " " << m.captured(0).toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 5) << device.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Devices, DeviceHeader,
                         ::testing::Values("msp430f449", "msp430f2274", "msp430g2553",
                                           "msp430f5438a"));

} // namespace
