// Linker: links objects and libraries into an executable, placing the code
// where the "-T" options say, and writes a map file with "-M".
#include "common/Diagnostics.h"
#include "common/Executable.h"
#include "common/FileIO.h"
#include "common/LibraryFile.h"
#include "common/ObjectIO.h"

#include "base/hexparse.h"

#include <QMap>
#include <QSet>

#include <algorithm>

namespace {

struct Placement {
    QStringList sections;
    quint32 start = 0;
    quint32 end = 0; // one past the last byte of a range
    bool range = false;
};

struct LinkOptions {
    QStringList inputs;
    QString output = QStringLiteral("a.hzx");
    QString mapFile;
    QList<QPair<QString, QString>> definitions;
    QList<Placement> placements;
    QStringList loadSections;
    QStringList keep;
    QStringList checksums;
    bool verbose = false;
};

struct Module {
    QString input;  // file on the command line
    QString member; // member name inside a library, else empty
    QStringList symbols;
    QStringList tentative;
    QStringList references;
    QString codeSection;
    QByteArray code;

    QString origin() const { return member.isEmpty() ? input : input + '(' + member + ')'; }
};

// An address: hexadecimal digits, "0x" optional, no sign, at most 32 bits.
bool parseAddress(const QString& text, quint32& value) {
    QByteArray digits = text.trimmed().toLatin1();
    if (digits.startsWith("0x") || digits.startsWith("0X")) digits.remove(0, 2);
    uint64_t parsed = 0;
    if (digits.isEmpty() || !parseHex(digits.constData(), size_t(digits.size()), parsed) ||
        parsed > 0xFFFFFFFFu)
        return false;
    value = quint32(parsed);
    return true;
}

bool parsePlacement(const QString& text, Placement& placement) {
    int eq = int(text.lastIndexOf('='));
    if (eq <= 0) return false;
    placement.sections = text.left(eq).split(',', Qt::SkipEmptyParts);
    const QString where = text.mid(eq + 1);
    int dash = int(where.indexOf('-'));
    if (dash < 0) return !placement.sections.isEmpty() && parseAddress(where, placement.start);
    placement.range = true;
    return !placement.sections.isEmpty() && parseAddress(where.left(dash), placement.start) &&
           parseAddress(where.mid(dash + 1), placement.end) && placement.end >= placement.start;
}

bool parseArguments(int argc, char** argv, LinkOptions& options, Diagnostics& diagnostics) {
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLatin1(argv[i]);
        if (arg == "-o") {
            if (i + 1 >= argc) {
                diagnostics.error("missing argument to '-o'");
                return false;
            }
            options.output = QString::fromLatin1(argv[++i]);
        } else if (arg.startsWith("-M")) {
            if (arg.size() == 2) {
                diagnostics.error("missing map file name after '-M'");
                return false;
            }
            options.mapFile = arg.mid(2);
        } else if (arg.startsWith("-D")) {
            const QString definition = arg.mid(2);
            int eq = int(definition.indexOf('='));
            const QString name = eq < 0 ? definition : definition.left(eq);
            if (name.isEmpty()) {
                diagnostics.error("invalid symbol definition '" + arg + "'");
                return false;
            }
            options.definitions.append(
                {name, eq < 0 ? QStringLiteral("1") : definition.mid(eq + 1)});
        } else if (arg.startsWith("-T")) {
            Placement placement;
            if (!parsePlacement(arg.mid(2), placement)) {
                diagnostics.error("invalid section placement '" + arg + "'");
                return false;
            }
            options.placements.append(placement);
        } else if (arg.startsWith("-G")) {
            options.loadSections.append(arg.mid(2).section('=', 0, 0));
        } else if (arg.startsWith("-K")) {
            options.keep.append(arg.mid(2));
        } else if (arg.startsWith("-H")) {
            options.checksums.append(arg.mid(2));
        } else if (arg == "-V") {
            options.verbose = true;
        } else if (arg.startsWith('-') && arg.size() > 1) {
            // Optimisation and diagnostic options do not change the stand-in's output.
        } else {
            options.inputs.append(arg);
        }
    }
    if (options.inputs.isEmpty()) {
        diagnostics.error("no input files");
        return false;
    }
    return true;
}

bool readModule(const QString& input, const QString& member, const QByteArray& data, Module& module,
                QString& error) {
    ObjectModule object;
    if (!decodeObject(data, object, error)) return false;
    if (!attributeValue(object, "kind").isEmpty()) {
        error = "not an object file";
        return false;
    }
    module.input = input;
    module.member = member;
    const QMap<QString, QString> fields = decodeFields(sectionData(object, kLinkSection));
    module.symbols = fields.value("symbols").split(';', Qt::SkipEmptyParts);
    module.tentative = fields.value("tentative").split(';', Qt::SkipEmptyParts);
    module.references = fields.value("references").split(';', Qt::SkipEmptyParts);
    module.codeSection = fields.value("code", QStringLiteral("CODE"));
    module.code = sectionData(object, module.codeSection);
    return true;
}

QString hex(quint32 value) {
    return QString::number(value, 16);
}

QByteArray mapText(const LinkOptions& options, const QList<Module>& objects,
                   const QMap<QString, QStringList>& libraryMembers, const ExecutableImage& image,
                   const QMap<QString, QString>& definedIn) {
    QString out = "Link map of " + options.output + "\n\nInput files\n";
    for (const QString& input : options.inputs) {
        out += "  " + input;
        if (libraryMembers.contains(input))
            out += " (library: " + libraryMembers.value(input).join(", ") + ")";
        out += '\n';
    }
    out += "\nSymbols defined on the command line\n";
    for (const auto& definition : options.definitions)
        out += "  " + definition.first + " = " + definition.second + '\n';
    out += "\nSection placement\n";
    for (const Placement& placement : options.placements) {
        out += "  " + placement.sections.join(',') +
               (placement.range ? " in " + hex(placement.start) + '-' + hex(placement.end)
                                : " at " + hex(placement.start)) +
               '\n';
    }
    for (const QString& section : options.loadSections)
        out += "  " + section + " loaded\n";
    if (!options.checksums.isEmpty()) {
        out += "\nChecksums\n";
        for (const QString& checksum : options.checksums)
            out += "  " + checksum + '\n';
    }
    if (!options.keep.isEmpty()) {
        out += "\nKept symbols\n";
        for (const QString& symbol : options.keep)
            out += "  " + symbol + '\n';
    }
    out += "\nPublic symbols\n";
    for (const auto& symbol : image.symbols)
        out += "  " + hex(symbol.second).rightJustified(8, '0') + "  " + symbol.first + "  " +
               definedIn.value(symbol.first) + '\n';
    out += "\nCode: " + QString::number(image.bytes.size()) + " bytes at " +
           hex(image.loadAddress) + " from " + QString::number(objects.size()) + " objects\n";
    return out.toLatin1();
}

struct Inputs {
    QList<Module> objects;
    QList<Module> available; // library members, linked only when referenced
    QMap<QString, QStringList> libraryMembers;
};

void readLibrary(const QString& input, const QByteArray& data, Inputs& inputs,
                 Diagnostics& diagnostics) {
    QList<LibraryMember> members;
    QString error;
    if (!decodeLibrary(data, members, error)) {
        diagnostics.error(input + ": " + error);
        return;
    }
    QStringList& names = inputs.libraryMembers[input];
    for (const LibraryMember& member : members) {
        Module module;
        if (!readModule(input, member.name, member.data, module, error))
            diagnostics.error(input + '(' + member.name + "): " + error);
        else
            inputs.available.append(module);
        names.append(member.name);
    }
}

Inputs readInputs(const LinkOptions& options, Diagnostics& diagnostics) {
    Inputs inputs;
    for (const QString& input : options.inputs) {
        QByteArray data;
        QString error;
        if (!ToolFiles::readFile(input, data, error)) {
            diagnostics.error("cannot open input file " + error);
            continue;
        }
        if (isLibrary(data)) {
            readLibrary(input, data, inputs, diagnostics);
            continue;
        }
        Module module;
        if (!readModule(input, QString(), data, module, error)) {
            diagnostics.error(input + ": " + error);
            continue;
        }
        inputs.objects.append(module);
    }
    return inputs;
}

// Library members join while they define a name that linked code uses;
// later libraries may satisfy earlier ones and the other way round.
void addReferencedMembers(Inputs& inputs) {
    QSet<QString> referenced;
    for (const Module& module : inputs.objects)
        for (const QString& name : module.references)
            referenced.insert(name);
    for (bool added = true; added;) {
        added = false;
        for (int i = 0; i < inputs.available.size(); ++i) {
            const Module& member = inputs.available[i];
            bool wanted = false;
            for (const QString& name : member.symbols + member.tentative)
                wanted = wanted || referenced.contains(name);
            if (!wanted) continue;
            for (const QString& name : member.references)
                referenced.insert(name);
            inputs.objects.append(member);
            inputs.available.removeAt(i--);
            added = true;
        }
    }
}

// Code goes where the code section is placed, each object after the last.
// Fills the image and definedIn (symbol to the module that defines it).
void layOut(const LinkOptions& options, const QList<Module>& objects, ExecutableImage& image,
            QMap<QString, QString>& definedIn, Diagnostics& diagnostics) {
    image.inputs = options.inputs;
    quint32 limit = 0;
    bool bounded = false;
    // The first object's code section decides ("-Rc," renames it).
    const QString codeSection = objects.isEmpty() ? QStringLiteral("CODE") : objects[0].codeSection;
    for (const Placement& placement : options.placements) {
        if (placement.sections.contains(codeSection)) {
            image.loadAddress = placement.start;
            bounded = placement.range;
            limit = placement.end - placement.start;
        }
    }
    QList<QPair<QString, quint32>> tentative;
    QMap<QString, QString> tentativeIn;
    for (const Module& module : objects) {
        const quint32 base = image.loadAddress + quint32(image.bytes.size());
        for (int k = 0; k < module.symbols.size(); ++k) {
            const QString& name = module.symbols[k];
            if (definedIn.contains(name)) {
                diagnostics.error("symbol '" + name + "' is defined in " + definedIn.value(name) +
                                  " and in " + module.origin());
                continue;
            }
            definedIn.insert(name, module.origin());
            image.symbols.append({name, base + quint32(2 * k)});
        }
        // Tentative definitions merge with each other and yield to a real one.
        for (int k = 0; k < module.tentative.size(); ++k) {
            const QString& name = module.tentative[k];
            if (tentativeIn.contains(name)) continue;
            tentativeIn.insert(name, module.origin());
            tentative.append({name, base + quint32(2 * (module.symbols.size() + k))});
        }
        const int slotBytes = 2 * int(module.symbols.size() + module.tentative.size());
        QByteArray code = module.code;
        if (code.size() < slotBytes) code.resize(slotBytes, '\xff');
        image.bytes += code;
    }
    for (const auto& symbol : tentative) {
        if (definedIn.contains(symbol.first)) continue;
        definedIn.insert(symbol.first, tentativeIn.value(symbol.first));
        image.symbols.append(symbol);
    }
    std::stable_sort(image.symbols.begin(), image.symbols.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    if (bounded && quint32(image.bytes.size()) > limit)
        diagnostics.error("section " + codeSection +
                          " does not fit: " + QString::number(image.bytes.size()) +
                          " bytes in a range of " + QString::number(limit));
}

} // namespace

int main(int argc, char** argv) {
    Diagnostics diagnostics("hld");
    LinkOptions options;
    if (!parseArguments(argc, argv, options, diagnostics)) return 1;

    Inputs inputs = readInputs(options, diagnostics);
    addReferencedMembers(inputs);
    ExecutableImage image;
    QMap<QString, QString> definedIn;
    layOut(options, inputs.objects, image, definedIn, diagnostics);

    if (diagnostics.failed()) {
        ToolFiles::removeFile(options.output);
        return 1;
    }
    QString error;
    if (!ToolFiles::writeFile(options.output, encodeExecutable(image), error) ||
        (!options.mapFile.isEmpty() &&
         !ToolFiles::writeFile(
             options.mapFile,
             mapText(options, inputs.objects, inputs.libraryMembers, image, definedIn), error))) {
        diagnostics.error(error);
        ToolFiles::removeFile(options.output);
        return 1;
    }
    if (options.verbose)
        diagnostics.note("hld: " + options.output + ": " + QString::number(image.bytes.size()) +
                         " bytes, " + QString::number(image.symbols.size()) + " public symbols");
    return 0;
}
