#include "driver/StrictMode.h"

#include "base/OsFiles.h"
#include "build/CompilationDatabase.h"

#include <QDateTime>

#include <cstdio>

bool strictModeRequested() {
    return qgetenv("SLIPWAY_STRICT") == "1";
}

bool keepGoingRequested() {
    return qgetenv("SLIPWAY_KEEP_GOING") == "1";
}

QString compilationDatabasePath() {
    const QString path = OsFiles::environmentPath("SLIPWAY_COMPDB");
    return path.isEmpty() ? path : OsFiles::absolutePath(path);
}

void writeCompilationDatabase(const CompilationDatabase& database, const QString& path) {
    QString reason;
    if (path.isEmpty() || database.write(path, reason)) return;
    std::fflush(stdout);
    std::fprintf(stderr, "slipway: can't write compilation database '%s': %s\n",
                 OsFiles::osName(path).constData(), reason.toLocal8Bit().constData());
    std::fflush(stderr);
}

void strictWarning(const QString& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "slipway: warning: %s\n", OsFiles::osName(text).constData());
    std::fflush(stderr);
}

void StepFailures::add(const QString& label) {
    if (!m_labels.contains(label)) m_labels << label;
}

QString StepFailures::summary() const {
    if (!any()) return QStringLiteral("build succeeded");
    if (m_labels.isEmpty()) return QStringLiteral("build failed: ") + m_reason;
    const qsizetype n = m_labels.size();
    return QStringLiteral("build failed: %1 step%2 failed (%3)")
        .arg(n)
        .arg(n == 1 ? "" : "s")
        .arg(m_labels.join(QStringLiteral("; ")));
}

FileStat ClockSkewWatch::stat(const QString& path) {
    const FileStat st = m_inner.stat(path);
    // Whole seconds, as the build compares them: a file written a moment ago
    // is never ahead of the clock. The clock is read again only for a file
    // newer than its last reading.
    if (st.exists && st.isFile && st.seconds > m_now) {
        m_now = QDateTime::currentSecsSinceEpoch();
        const qint64 ahead = st.seconds - m_now;
        if (ahead > 0 && !m_warned.contains(path)) {
            m_warned.insert(path);
            strictWarning(QStringLiteral("file '%1' has modification time %2 s in the future")
                              .arg(path)
                              .arg(ahead));
        }
    }
    return st;
}
