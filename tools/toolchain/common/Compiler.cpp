#include "common/Compiler.h"

#include "common/Diagnostics.h"
#include "common/FileIO.h"
#include "common/ObjectIO.h"
#include "common/Preprocessor.h"
#include "common/Symbols.h"

#include "base/OsFiles.h"

#include <QCryptographicHash>

namespace {

struct CompilerOptions {
    QStringList inputs;
    QString output;
    QString depFile;
    QStringList userDirs;
    QStringList systemDirs;
    QList<QPair<bool, QByteArray>> macros; // (define?, "NAME=VALUE" or "NAME") in order
    QString codeSection = QStringLiteral("CODE");
    bool verbose = false;
    bool warningsAsErrors = false;
    bool noWarnings = false;
};

// Options the build passes, plus "-MF depfile" for make and ninja. Anything
// else starting with "-" is accepted and ignored.
bool parseArguments(int argc, char** argv, CompilerOptions& options, Diagnostics& diagnostics) {
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLatin1(argv[i]);
        auto value = [&](int prefix, QString& out) {
            if (arg.size() > prefix) {
                out = arg.mid(prefix);
                return true;
            }
            if (i + 1 >= argc) {
                diagnostics.error("missing argument to '" + arg + "'");
                return false;
            }
            out = QString::fromLatin1(argv[++i]);
            return true;
        };
        QString text;
        if (arg == "-o" || arg == "-MF") {
            if (!value(int(arg.size()), text)) return false;
            (arg == "-o" ? options.output : options.depFile) = text;
        } else if (arg.startsWith("-o")) {
            options.output = arg.mid(2);
        } else if (arg.startsWith("-MF")) {
            options.depFile = arg.mid(3);
        } else if (arg.startsWith("-D") || arg.startsWith("-U")) {
            if (!value(2, text)) return false;
            options.macros.append({arg.startsWith("-D"), text.toLatin1()});
        } else if (arg.startsWith("-I") || arg.startsWith("-J")) {
            if (!value(2, text)) return false;
            (arg.startsWith("-I") ? options.userDirs : options.systemDirs).append(text);
        } else if (arg.startsWith("-Rc,") && arg.size() > 4) {
            options.codeSection = arg.mid(4);
        } else if (arg == "-V") {
            options.verbose = true;
        } else if (arg == "-we") {
            options.warningsAsErrors = true;
        } else if (arg == "-w") {
            options.noWarnings = true;
        } else if (arg.startsWith('-') && arg.size() > 1) {
            // Code generation options do not change what the build sees.
        } else {
            options.inputs.append(arg);
        }
    }
    if (options.inputs.isEmpty()) {
        diagnostics.error("no source file given");
        return false;
    }
    if (options.inputs.size() > 1) {
        diagnostics.error("only one source file may be given: " + options.inputs.join(' '));
        return false;
    }
    if (options.output.isEmpty()) {
        QString base = ToolFiles::fileNameOf(options.inputs[0]);
        int dot = int(base.lastIndexOf('.'));
        options.output = (dot > 0 ? base.left(dot) : base) + ".hzo";
    }
    return true;
}

bool applyMacros(const CompilerOptions& options, Preprocessor& preprocessor,
                 Diagnostics& diagnostics) {
    for (const auto& macro : options.macros) {
        QByteArray name = macro.second, value = "1";
        int eq = int(name.indexOf('='));
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        }
        bool valid = !name.isEmpty() && !(name[0] >= '0' && name[0] <= '9');
        for (char c : name)
            valid = valid && (c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                              (c >= 'A' && c <= 'Z'));
        if (!valid) {
            diagnostics.error("macro names must be identifiers: '" +
                              QString::fromLatin1(macro.second) + "'");
            return false;
        }
        if (macro.first)
            preprocessor.define(name, value);
        else
            preprocessor.undefine(name);
    }
    return true;
}

QString absolute(const QString& path) {
    return path.startsWith('/') ? path : OsFiles::absolutePath(path);
}

QByteArray makeRule(const QString& target, const QStringList& files) {
    auto escape = [](QString path) { return path.replace(' ', "\\ ").toLatin1(); };
    QByteArray rule = escape(target) + ':';
    for (const QString& file : files)
        rule += " \\\n  " + escape(absolute(file));
    return rule + '\n';
}

} // namespace

int runCompiler(const char* tool, SourceLanguage language, int argc, char** argv) {
    Diagnostics diagnostics(tool);
    CompilerOptions options;
    if (!parseArguments(argc, argv, options, diagnostics)) return 1;
    diagnostics.setWarningsAsErrors(options.warningsAsErrors);
    diagnostics.setSuppressWarnings(options.noWarnings);

    const QString source = options.inputs[0];
    if (OsFiles::absolutePath(source) == OsFiles::absolutePath(options.output)) {
        diagnostics.error("the output " + options.output + " would overwrite the source");
        return 1;
    }
    Preprocessor preprocessor(diagnostics, options.userDirs, options.systemDirs);
    if (!applyMacros(options, preprocessor, diagnostics) || !preprocessor.run(source)) {
        // A stale object must not survive a failed compile.
        ToolFiles::removeFile(options.output);
        if (!options.depFile.isEmpty()) ToolFiles::removeFile(options.depFile);
        return 1;
    }

    QStringList symbols, tentative;
    switch (language) {
    case SourceLanguage::C:
        symbols = cPublicSymbols(preprocessor.text(), tentative);
        break;
    case SourceLanguage::Basic:
        symbols = basicPublicSymbols(preprocessor.text());
        break;
    case SourceLanguage::Assembly:
        symbols = assemblyPublicSymbols(preprocessor.text());
        break;
    }
    // Stand-in machine code: a digest of what the compiler actually saw.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(preprocessor.text());
    hash.addData(symbols.join(';').toLatin1());
    const QByteArray code = hash.result();

    ObjectModule module;
    module.attributes.append({QStringLiteral("dependencies"), preprocessor.files().join(';')});
    module.sections.append({options.codeSection, code});
    module.sections.append(
        {QString::fromLatin1(kLinkSection),
         encodeFields({{"code", options.codeSection},
                       {"symbols", symbols.join(';')},
                       {"tentative", tentative.join(';')},
                       {"references",
                        referencedNames(preprocessor.text(), symbols + tentative).join(';')}})});

    QString error;
    if (!ToolFiles::writeFile(options.output, encodeObject(module), error)) {
        diagnostics.error(error);
        return 1;
    }
    if (!options.depFile.isEmpty() &&
        !ToolFiles::writeFile(options.depFile, makeRule(options.output, preprocessor.files()),
                              error)) {
        diagnostics.error(error);
        ToolFiles::removeFile(options.output);
        return 1;
    }
    if (options.verbose)
        diagnostics.note(QString::fromLatin1(tool) + ": " + source + " -> " + options.output +
                         " (" + QString::number(preprocessor.files().size()) + " files, " +
                         QString::number(symbols.size() + tentative.size()) + " public symbols)");
    return 0;
}
