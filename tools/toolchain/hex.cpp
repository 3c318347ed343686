// Output converter: "hex program -o base -Fformat" writes base.format.
#include "common/Diagnostics.h"
#include "common/Executable.h"
#include "common/FileIO.h"

namespace {

QByteArray hex2(unsigned value, int digits) {
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}

QByteArray intelHex(const ExecutableImage& image) {
    QByteArray out;
    auto record = [&](unsigned type, unsigned address, const QByteArray& data) {
        unsigned sum = unsigned(data.size()) + (address >> 8) + (address & 0xff) + type;
        out += ':' + hex2(unsigned(data.size()), 2) + hex2(address & 0xffff, 4) + hex2(type, 2);
        for (char c : data) {
            out += hex2(uchar(c), 2);
            sum += uchar(c);
        }
        out += hex2((0x100 - (sum & 0xff)) & 0xff, 2) + '\n';
    };
    unsigned upper = 0;
    for (int i = 0; i < image.bytes.size(); i += 16) {
        const quint32 address = image.loadAddress + quint32(i);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            record(4, 0, QByteArray(1, char(upper >> 8)) + char(upper & 0xff));
        }
        // A record never crosses a 64K boundary.
        int length = int(qMin<quint32>(16, 0x10000 - (address & 0xffff)));
        length = qMin(length, int(image.bytes.size()) - i);
        record(0, address, image.bytes.mid(i, length));
        i += length - 16;
    }
    record(1, 0, QByteArray());
    return out;
}

QByteArray sRecords(const ExecutableImage& image) {
    const quint64 top = quint64(image.loadAddress) + quint64(image.bytes.size());
    const int addressBytes = top <= 0x10000 ? 2 : top <= 0x1000000 ? 3 : 4;
    QByteArray out;
    auto record = [&](char type, int width, quint32 address, const QByteArray& data) {
        unsigned count = unsigned(width + data.size() + 1);
        unsigned sum = count;
        out += 'S';
        out += type;
        out += hex2(count, 2);
        for (int b = width - 1; b >= 0; --b) {
            unsigned byte = (address >> (8 * b)) & 0xff;
            out += hex2(byte, 2);
            sum += byte;
        }
        for (char c : data) {
            out += hex2(uchar(c), 2);
            sum += uchar(c);
        }
        out += hex2(~sum & 0xff, 2) + '\n';
    };
    record('0', 2, 0, "hzx");
    const char dataType = char('0' + addressBytes - 1);
    for (int i = 0; i < image.bytes.size(); i += 16)
        record(dataType, addressBytes, image.loadAddress + quint32(i), image.bytes.mid(i, 16));
    record(char('0' + 11 - addressBytes), addressBytes, image.loadAddress, QByteArray());
    return out;
}

QByteArray tiText(const ExecutableImage& image) {
    QByteArray out;
    if (!image.bytes.isEmpty()) out += '@' + hex2(image.loadAddress, 4) + '\n';
    for (int i = 0; i < image.bytes.size(); i += 16) {
        QByteArray line;
        for (char c : image.bytes.mid(i, 16))
            line += (line.isEmpty() ? "" : " ") + hex2(uchar(c), 2);
        out += line + '\n';
    }
    return out + "q\n";
}

unsigned nibbleSum(const QByteArray& digits) {
    unsigned sum = 0;
    for (char c : digits)
        sum += unsigned(QByteArray::fromHex(QByteArray(1, '0') + c).at(0));
    return sum & 0xff;
}

QByteArray tektronix(const ExecutableImage& image) {
    QByteArray out;
    for (int i = 0; i < image.bytes.size(); i += 16) {
        const QByteArray data = image.bytes.mid(i, 16);
        QByteArray head =
            hex2((image.loadAddress + quint32(i)) & 0xffff, 4) + hex2(unsigned(data.size()), 2);
        QByteArray body = data.toHex().toUpper();
        out += '/' + head + hex2(nibbleSum(head), 2) + body + hex2(nibbleSum(body), 2) + '\n';
    }
    QByteArray end = hex2(image.loadAddress & 0xffff, 4) + "00";
    return out + '/' + end + hex2(nibbleSum(end), 2) + '\n';
}

QByteArray listing(const ExecutableImage& image) {
    QByteArray out;
    for (const auto& symbol : image.symbols)
        out += hex2(symbol.second, 8) + "  " + symbol.first.toLatin1() + '\n';
    out += '\n';
    for (int i = 0; i < image.bytes.size(); i += 16) {
        out += hex2(image.loadAddress + quint32(i), 8) + ':';
        for (char c : image.bytes.mid(i, 16))
            out += ' ' + hex2(uchar(c), 2);
        out += '\n';
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    Diagnostics diagnostics("hex");
    QString input, base, format;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLatin1(argv[i]);
        if (arg == "-o") {
            if (i + 1 >= argc) {
                diagnostics.error("missing argument to '-o'");
                return 1;
            }
            base = QString::fromLatin1(argv[++i]);
        } else if (arg.startsWith("-F")) {
            format = arg.mid(2);
        } else if (arg.startsWith('-') && arg.size() > 1) {
            // Nothing else changes the output.
        } else if (input.isEmpty()) {
            input = arg;
        } else {
            diagnostics.error("only one input file may be given");
            return 1;
        }
    }
    if (input.isEmpty()) {
        diagnostics.error("no input file");
        return 1;
    }
    if (format.isEmpty()) {
        diagnostics.error("no output format given (-F)");
        return 1;
    }
    if (base.isEmpty()) {
        base = input;
        int dot = int(base.lastIndexOf('.'));
        if (dot > base.lastIndexOf('/') + 1) base.truncate(dot);
    }

    QByteArray data;
    QString error;
    ExecutableImage image;
    if (!ToolFiles::readFile(input, data, error)) {
        diagnostics.error("cannot open input file " + error);
        return 1;
    }
    if (!decodeExecutable(data, image, error)) {
        diagnostics.error(input + ": " + error);
        return 1;
    }
    QByteArray converted;
    if (format == "hex")
        converted = intelHex(image);
    else if (format == "srec")
        converted = sRecords(image);
    else if (format == "bin")
        converted = image.bytes;
    else if (format == "txt")
        converted = tiText(image);
    else if (format == "tek")
        converted = tektronix(image);
    else if (format == "lst")
        converted = listing(image);
    else {
        diagnostics.error("unknown output format '" + format + "'");
        return 1;
    }
    if (!ToolFiles::writeFile(base + '.' + format, converted, error)) {
        diagnostics.error(error);
        return 1;
    }
    return 0;
}
