#pragma once

#include <QString>

// Compiler-style messages on standard error: "file:line: error: text" for
// faults in a source, "tool: error: text" for everything else.
class Diagnostics {
public:
    explicit Diagnostics(const char* tool) : m_tool(tool) {}

    void error(const QString& text);
    void sourceError(const QString& file, int line, const QString& text);
    void sourceWarning(const QString& file, int line, const QString& text);
    void note(const QString& text); // plain line, used for "-V"

    void setWarningsAsErrors(bool on) { m_warningsAsErrors = on; }
    void setSuppressWarnings(bool on) { m_suppressWarnings = on; }

    bool failed() const { return m_errors > 0; }
    int exitStatus() const { return m_errors > 0 ? 1 : 0; }
    const char* tool() const { return m_tool; }

private:
    const char* m_tool;
    int m_errors = 0;
    bool m_warningsAsErrors = false;
    bool m_suppressWarnings = false;
};
