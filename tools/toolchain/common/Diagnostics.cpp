#include "common/Diagnostics.h"

#include <cstdio>

static void writeLine(FILE* stream, const QString& line) {
    QByteArray bytes = line.toLatin1();
    bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void Diagnostics::error(const QString& text) {
    ++m_errors;
    writeLine(stderr, QString::fromLatin1(m_tool) + ": error: " + text);
}

void Diagnostics::sourceError(const QString& file, int line, const QString& text) {
    ++m_errors;
    writeLine(stderr, file + ':' + QString::number(line) + ": error: " + text);
}

void Diagnostics::sourceWarning(const QString& file, int line, const QString& text) {
    if (m_warningsAsErrors) {
        sourceError(file, line, text);
        return;
    }
    if (m_suppressWarnings) return;
    writeLine(stderr, file + ':' + QString::number(line) + ": warning: " + text);
}

void Diagnostics::note(const QString& text) {
    writeLine(stdout, text);
}
