#include "base/HReporter.h"

HReporter::HReporter(const char* programName, FILE* stream)
    : m_programName(programName ? programName : ""), m_stream(stream) {}

void HReporter::error(const char* message) {
    ++m_errors;
    std::fprintf(m_stream, "%s: %s\n", m_programName.c_str(), message ? message : "");
    std::fflush(m_stream);
}

void HReporter::error(const QString& message) {
    error(message.toLatin1().constData());
}
