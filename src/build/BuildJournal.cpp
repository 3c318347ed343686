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
const char kCommands = 'c';
const int kHashDigits = 16;

// One record per line: the kind, a space and the output's UTF-8 bytes with
// backslashes and line feeds escaped; a command record has its two hashes in
// hex before the output, each followed by a space.
QByteArray hex(quint64 value) {
    return QByteArray::number(value, 16).rightJustified(kHashDigits, '0') + ' ';
}

QByteArray record(char kind, const QString& output,
                  const BuildJournal::Commands* commands = nullptr) {
    QByteArray line(1, kind);
    line += ' ';
    if (commands) line += hex(commands->commands) + hex(commands->context);
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
    return readRecords(data, nullptr);
}

namespace {

// FNV-1a over the escaped name, as it stands in a record.
const quint64 kBasis = 14695981039346656037ull;
const quint64 kPrime = 1099511628211ull;

quint64 nameKey(const char* p, qsizetype n) {
    quint64 h = kBasis;
    for (qsizetype i = 0; i < n; ++i) {
        h ^= static_cast<unsigned char>(p[i]);
        h *= kPrime;
    }
    return h;
}

bool parseHex(const char* p, quint64& value) {
    value = 0;
    for (int i = 0; i < kHashDigits; ++i) {
        const char ch = p[i];
        const int digit = ch >= '0' && ch <= '9'   ? ch - '0'
                          : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                                   : -1;
        if (digit < 0) return false;
        value = value << 4 | quint64(digit);
    }
    return true;
}

} // namespace

// The same key, without writing the record out.
quint64 BuildJournal::keyOf(const QString& output) {
    quint64 h = kBasis;
    const auto feed = [&h](char ch) {
        h ^= static_cast<unsigned char>(ch);
        h *= kPrime;
    };
    for (char ch : output.toUtf8()) {
        if (ch == '\\' || ch == '\n') {
            feed('\\');
            feed(ch == '\n' ? 'n' : ch);
        } else {
            feed(ch);
        }
    }
    return h;
}

namespace {

// "c <hash> <hash> <name>": the key of the name and both hashes.
bool parseCommands(const char* p, qsizetype n, quint64& key, BuildJournal::Commands& c) {
    const qsizetype name = 4 + 2 * kHashDigits;
    if (n <= name || p[2 + kHashDigits] != ' ' || p[name - 1] != ' ') return false;
    if (!parseHex(p + 2, c.commands) || !parseHex(p + 3 + kHashDigits, c.context)) return false;
    key = nameKey(p + name, n - name);
    return true;
}

} // namespace

QSet<QString> BuildJournal::readRecords(const QByteArray& data, QHash<quint64, Commands>* commands,
                                        QHash<quint64, QByteArray>* lines, Counts* records) {
    Counts counts;
    QHash<QByteArray, bool> open;
    qsizetype at = 0;
    for (;;) {
        const qsizetype end = data.indexOf('\n', at);
        // No line feed: a record torn by a crash, ignored.
        if (end < 0) break;
        const char kind = data[at];
        const qsizetype begin = at;
        at = end + 1;
        if (kind == kCommands) {
            ++counts.commands;
            quint64 key;
            Commands c;
            if (commands && end - begin > 2 && data[begin + 1] == ' ' &&
                parseCommands(data.constData() + begin, end - begin, key, c)) {
                commands->insert(key, c);
                if (lines) lines->insert(key, data.mid(begin, end + 1 - begin));
            }
            continue;
        }
        const QByteArray line = data.mid(begin, end - begin);
        if (line.size() < 3 || line[1] != ' ') continue;
        if (line[0] == kStarted || line[0] == kFinished) {
            ++counts.progress;
            open.insert(unescape(line.mid(2)), line[0] == kStarted);
        }
    }
    if (records) *records = counts;
    QSet<QString> result;
    for (auto it = open.constBegin(); it != open.constEnd(); ++it)
        if (it.value()) result.insert(QString::fromUtf8(it.key()));
    return result;
}

void BuildJournal::load() {
    QByteArray data;
    m_unfinished.clear();
    m_commands.clear();
    m_loaded.clear();
    m_compact = true;
    if (!OsFiles::readAll(m_path, data)) return;
    Counts counts;
    m_unfinished = readRecords(data, nullptr, nullptr, &counts);
    // Only command records: nothing to compact unless they repeat an output,
    // which readCommands() finds out.
    m_compact = counts.progress == 0;
    m_loaded = std::move(data);
}

void BuildJournal::readCommands() {
    if (m_loaded.isEmpty()) return;
    QHash<quint64, Commands> loaded;
    Counts counts;
    readRecords(m_loaded, &loaded, nullptr, &counts);
    if (loaded.size() != counts.commands) m_compact = false;
    m_loaded.clear();
    // Records of this run, made before the first look, are newer.
    loaded.insert(m_commands);
    m_commands = std::move(loaded);
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
            if (last != '\n') OsFiles::writeAll(fd, "\n", 1);
        } else {
            ::close(fd);
            if (locked != 0) return false;
        }
    }
    return true;
}

bool BuildJournal::append(const QByteArray& lines) {
    if (lines.isEmpty()) return true;
    return openForAppend() && OsFiles::writeAll(m_fd, lines);
}

bool BuildJournal::started(const QStringList& outputs) {
    QByteArray lines;
    for (const QString& output : outputs) {
        m_unfinished.insert(output);
        lines += record(kStarted, output);
    }
    return append(lines);
}

bool BuildJournal::finished(const QStringList& outputs, const Commands* commands) {
    if (commands) readCommands();
    QByteArray lines;
    for (const QString& output : outputs) {
        m_unfinished.remove(output);
        lines += record(kFinished, output);
        if (commands && !(m_commands.value(keyOf(output)) == *commands)) {
            m_commands.insert(keyOf(output), *commands);
            lines += record(kCommands, output, commands);
        }
    }
    return append(lines);
}

bool BuildJournal::commandsOf(const QString& output, Commands& commands) {
    readCommands();
    const auto it = m_commands.constFind(keyOf(output));
    if (it == m_commands.constEnd()) return false;
    commands = it.value();
    return true;
}

bool BuildJournal::recordCommands(const QString& output, const Commands& commands) {
    readCommands();
    m_commands.insert(keyOf(output), commands);
    return append(record(kCommands, output, &commands));
}

void BuildJournal::close() {
    const QByteArray name = OsFiles::osName(m_path);
    int fd = m_fd;
    m_fd = -1;
    // A run that wrote nothing leaves a compact journal as it is.
    if (fd < 0 && m_compact) return;
    if (fd < 0 && !name.isEmpty()) fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    // Only the last run to end may rewrite it: the others still append.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, name)) {
        QByteArray data;
        if (OsFiles::readAll(m_path, data)) {
            QHash<quint64, Commands> commands;
            QHash<quint64, QByteArray> lines;
            m_unfinished = readRecords(data, &commands, &lines);
            QByteArray kept;
            for (const QString& output : std::as_const(m_unfinished))
                kept += record(kStarted, output);
            for (const QByteArray& line : std::as_const(lines))
                kept += line;
            if (kept.isEmpty())
                OsFiles::remove(m_path);
            else if (kept.size() < data.size())
                OsFiles::replace(m_path, kept);
        }
    }
    ::close(fd);
}
