#include "build/BuildJournal.h"

#include "base/OsFiles.h"

#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kStarted = 's';
const char kFinished = 'f';

// One record per line: the kind, a space and the output's UTF-8 bytes with
// backslashes and line feeds escaped.
QByteArray record(char kind, const QString& output) {
    QByteArray line(1, kind);
    line += ' ';
    for (char ch : output.toUtf8()) {
        if (ch == '\\')
            line += "\\\\";
        else if (ch == '\n')
            line += "\\n";
        else
            line += ch;
    }
    return line + '\n';
}

QByteArray unescape(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out += text[i] == 'n' ? '\n' : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}

bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= n;
    }
    return true;
}

bool sameFile(int fd, const QByteArray& path) {
    struct stat open, named;
    return ::fstat(fd, &open) == 0 && ::stat(path.constData(), &named) == 0 &&
           open.st_ino == named.st_ino && open.st_dev == named.st_dev;
}

} // namespace

BuildJournal::BuildJournal(const QString& path) : m_path(path) {}

BuildJournal::~BuildJournal() {
    if (m_fd >= 0) ::close(m_fd);
}

QSet<QString> BuildJournal::unfinishedIn(const QByteArray& data) {
    QHash<QByteArray, bool> open;
    qsizetype at = 0;
    for (;;) {
        const qsizetype end = data.indexOf('\n', at);
        // No line feed: a record torn by a crash, ignored.
        if (end < 0) break;
        const QByteArray line = data.mid(at, end - at);
        at = end + 1;
        if (line.size() < 3 || line[1] != ' ') continue;
        if (line[0] == kStarted || line[0] == kFinished)
            open.insert(unescape(line.mid(2)), line[0] == kStarted);
    }
    QSet<QString> result;
    for (auto it = open.constBegin(); it != open.constEnd(); ++it)
        if (it.value()) result.insert(QString::fromUtf8(it.key()));
    return result;
}

void BuildJournal::load() {
    QByteArray data;
    m_unfinished.clear();
    if (OsFiles::readAll(m_path, data)) m_unfinished = unfinishedIn(data);
}

// Opened on the first record, under a shared lock; a journal that another
// run replaced or removed meanwhile is opened again.
bool BuildJournal::openForAppend() {
    const QByteArray name = OsFiles::osName(m_path);
    if (name.isEmpty()) return false;
    while (m_fd < 0) {
        OsFiles::makePath(OsFiles::directoryOf(m_path));
        const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        int locked;
        do
            locked = ::flock(fd, LOCK_SH);
        while (locked != 0 && errno == EINTR);
        if (locked == 0 && sameFile(fd, name)) {
            m_fd = fd;
            // A line torn by a crash is ended, so that the next record stands apart.
            struct stat st;
            char last = '\n';
            if (::fstat(fd, &st) == 0 && st.st_size > 0) ::pread(fd, &last, 1, st.st_size - 1);
            if (last != '\n') writeAll(fd, "\n");
        } else {
            ::close(fd);
            if (locked != 0) return false;
        }
    }
    return true;
}

bool BuildJournal::append(char kind, const QStringList& outputs) {
    if (outputs.isEmpty()) return true;
    QByteArray lines;
    for (const QString& output : outputs)
        lines += record(kind, output);
    return openForAppend() && writeAll(m_fd, lines);
}

bool BuildJournal::started(const QStringList& outputs) {
    for (const QString& output : outputs)
        m_unfinished.insert(output);
    return append(kStarted, outputs);
}

bool BuildJournal::finished(const QStringList& outputs) {
    for (const QString& output : outputs)
        m_unfinished.remove(output);
    return append(kFinished, outputs);
}

void BuildJournal::close() {
    const QByteArray name = OsFiles::osName(m_path);
    int fd = m_fd;
    m_fd = -1;
    if (fd < 0 && !name.isEmpty()) fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    // Only the last run to end may rewrite it: the others still append.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, name)) {
        QByteArray data;
        if (OsFiles::readAll(m_path, data)) {
            m_unfinished = unfinishedIn(data);
            QByteArray kept;
            for (const QString& output : std::as_const(m_unfinished))
                kept += record(kStarted, output);
            if (kept.isEmpty())
                OsFiles::remove(m_path);
            else if (kept.size() < data.size())
                OsFiles::replace(m_path, kept);
        }
    }
    ::close(fd);
}
