#pragma once

#include <QString>
#include <cstdio>
#include <string>

// Error reporter of the argument parser: "<program>: <message>" on the error
// stream, one line each, flushed, counting the errors.
class HReporter {
public:
    explicit HReporter(const char* programName, FILE* stream = stderr);

    void error(const char* message);
    void error(const QString& message);

    int errorCount() const { return m_errors; }
    const char* programName() const { return m_programName.c_str(); }

private:
    std::string m_programName;
    FILE* m_stream;
    int m_errors = 0;
};
