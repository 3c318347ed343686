// The caches never change a decision: two copies of the demo go through the
// same random edits, one built normally and one with SLIPWAY_NO_CACHE=1, and
// every build prints the same, ends the same and leaves the same files.
// E2E_CACHE_SEED picks a single seed; E2E_CACHE_ROUNDS the number of rounds.

#include "E2E.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

namespace {

const char* const sources[] = {"drivers/led.c",     "drivers/uart.c", "drivers/delay.s43",
                               "drivers/blink.bas", "app/main.c",     "shared/utils/ringbuf.c",
                               "package/README.txt"};
const char* const headers[] = {"drivers/led.h", "drivers/uart.h", "app/config.h",
                               "shared/utils/ringbuf.h"};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(data);
}

// One change to the working copy, drawn once and applied to both copies.
struct Edit {
    int kind;
    int pick; // which file, setting or output
    int value;
};

// Replaces the first occurrence of from with to; false when absent.
bool replaceIn(const QString& path, const QByteArray& from, const QByteArray& to) {
    QByteArray text = readFile(path);
    const qsizetype at = text.indexOf(from);
    if (at < 0) return false;
    text.replace(at, from.size(), to);
    writeFile(path, text);
    return true;
}

// Every output below root's build directories, in a stable order.
QStringList outputs(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next().mid(root.size() + 1);
        if (file.contains("/Debug/") || file.contains("/Release/") || file.endsWith("board.h"))
            found << file;
    }
    found.sort();
    return found;
}

const int kinds = 8;

void apply(const Edit& e, const QString& root) {
    const QByteArray n = QByteArray::number(e.value);
    switch (e.kind) {
    case 0: { // a source changes
        const QString file = root + "/" + sources[e.pick % std::size(sources)];
        const bool text = file.endsWith(".txt");
        const bool basic = file.endsWith(".bas");
        const bool assembly = file.endsWith(".s43");
        writeFile(file, readFile(file) + (text       ? "edit " + n + "\n"
                                          : basic    ? "REM edit " + n + "\n"
                                          : assembly ? "; edit " + n + "\n"
                                                     : "int edit" + n + ";\n"));
        break;
    }
    case 1: { // a header changes
        const QString file = root + "/" + headers[e.pick % std::size(headers)];
        writeFile(file, readFile(file) + "#define EDIT_" + n + " " + n + "\n");
        break;
    }
    case 2: // a source starts or stops including a header
        if (!replaceIn(root + "/drivers/led.c", "#include \"led.h\"\n",
                       "#include \"led.h\"\n#include \"uart.h\"\n"))
            replaceIn(root + "/drivers/led.c", "#include \"uart.h\"\n", "");
        break;
    case 3: { // a setting of a configuration, project or file changes
        const QString hzp = root + "/demo.hzp";
        switch (e.pick % 4) {
        case 0:
            replaceIn(hzp, "UART_BAUD=", "LEVEL" + n + "=1;UART_BAUD=");
            break;
        case 1:
            if (!replaceIn(hzp, "<file file_name=\"uart.c\"/>",
                           "<file file_name=\"uart.c\"><configuration Name=\"Release\" "
                           "build_exclude_from_build=\"Yes\"/></file>"))
                replaceIn(hzp,
                          "<file file_name=\"uart.c\"><configuration Name=\"Release\" "
                          "build_exclude_from_build=\"Yes\"/></file>",
                          "<file file_name=\"uart.c\"/>");
            break;
        case 2:
            replaceIn(hzp, "<file file_name=\"led.c\"",
                      "<file file_name=\"led.c\" c_preprocessor_definitions=\"LED" + n + "\"");
            break;
        default:
            replaceIn(hzp, "c_preprocessor_definitions=\"DEBUG",
                      "c_preprocessor_definitions=\"DEBUG" + n);
            break;
        }
        break;
    }
    case 4: { // an output goes away or is damaged behind the tool's back
        const QStringList made = outputs(root);
        if (made.isEmpty()) break;
        const QString file = root + "/" + made[e.pick % made.size()];
        if (e.value % 2) {
            QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            writeFile(file, "damaged " + n);
        } else {
            QFile::remove(file);
        }
        break;
    }
    case 5: { // a file joins the library, or leaves it
        const QString name = "extra" + QString::number(e.pick % 3) + ".c";
        const QByteArray entry = "<file file_name=\"" + name.toUtf8() + "\"/>";
        const QString hzp = root + "/demo.hzp";
        if (!replaceIn(hzp, "      " + entry + "\n", "")) {
            writeFile(root + "/drivers/" + name, "#include \"led.h\"\nint extra" + n + ";\n");
            replaceIn(hzp, "<file file_name=\"led.c\"",
                      entry + "\n      <file file_name=\"led.c\"");
        }
        break;
    }
    case 6: { // an object is replaced by another one, as a restore from a backup would
        QStringList objects;
        for (const QString& file : outputs(root))
            if (file.endsWith(".hzo")) objects << file;
        if (objects.size() < 2) break;
        const QString to = root + "/" + objects[e.pick % objects.size()];
        const QString from = root + "/" + objects[(e.pick + 1 + e.value) % objects.size()];
        if (from == to) break;
        QFile::remove(to);
        QFile::copy(from, to);
        break;
    }
    default: { // the imported solution changes
        const QString hzp = root + "/shared/shared.hzp";
        if (e.pick % 2)
            replaceIn(hzp, "<configuration Name=\"Debug\"",
                      "<configuration Name=\"Debug\" c_preprocessor_definitions=\"SHARED" + n +
                          "\"");
        else
            replaceIn(hzp, "project_type=\"Library\"",
                      "project_type=\"Library\" c_preprocessor_definitions=\"UTILS" + n + "\"");
        break;
    }
    }
}

// Waits until the clock is in a later second than the files just written, so
// that an edit made now is newer than every output and older than the next.
void nextSecond() {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    while (QDateTime::currentSecsSinceEpoch() <= now)
        QThread::msleep(20);
}

std::string unrooted(std::string text, const std::string& root) {
    for (size_t at = text.find(root); at != std::string::npos; at = text.find(root, at))
        text.replace(at, root.size(), "<root>");
    return text;
}

e2e::Tree unrooted(const e2e::Tree& tree, const QByteArray& root) {
    e2e::Tree result;
    for (auto it = tree.begin(); it != tree.end(); ++it)
        result.insert(it.key(), QByteArray(it.value()).replace(root, "<root>"));
    return result;
}

class Copy {
public:
    explicit Copy(bool cached) {
        box.makeStudio();
        if (!cached) box.setEnvironment("SLIPWAY_NO_CACHE", "1");
        e2e::copyTree(QStringLiteral(SLIPWAY_SOURCE_DIR "/examples/demo"), work());
    }
    QString work() const { return box.file("w"); }
    e2e::Result build(const QString& configuration) {
        QStringList arguments{"-config", configuration, "-verbose", "demo.hzp"};
        if (configuration == "All") arguments.insert(2, "-batch");
        e2e::Result r = box.run(arguments, work());
        r.out = unrooted(r.out, box.path().toStdString());
        r.err = unrooted(r.err, box.path().toStdString());
        return r;
    }
    e2e::Tree files() const { return unrooted(e2e::snapshot(work()), box.path().toUtf8()); }
    bool hasDependencyLog() const {
        const QStringList files =
            QDir(box.file("cache/slipway")).entryList({"deps-*"}, QDir::Files);
        return std::any_of(files.begin(), files.end(),
                           [](const QString& f) { return !f.endsWith(".journal"); });
    }

private:
    e2e::Sandbox box;
};

// A normal and an uncached copy going through the edits one seed draws.
struct Pair {
    explicit Pair(unsigned seed) : seed(seed), random(seed) {}
    unsigned seed;
    std::mt19937 random;
    Copy cached{true}, uncached{false};
};

const QString configurations[] = {"Debug", "Release", "All"};

void edit(Pair& pair) {
    const int edits = 1 + int(pair.random() % 3);
    for (int k = 0; k < edits; ++k) {
        const Edit e{int(pair.random() % kinds), int(pair.random() % 64),
                     int(pair.random() % 1000)};
        apply(e, pair.cached.work());
        apply(e, pair.uncached.work());
    }
}

void buildBoth(Pair& pair) {
    SCOPED_TRACE("seed " + std::to_string(pair.seed));
    const QString& configuration = configurations[pair.random() % 3];
    const e2e::Result a = pair.cached.build(configuration);
    const e2e::Result b = pair.uncached.build(configuration);
    ASSERT_EQ(a.status, b.status) << a.out << a.err << "\n---\n" << b.out << b.err;
    ASSERT_EQ(a.out, b.out);
    ASSERT_EQ(a.err, b.err);
    ASSERT_TRUE(pair.cached.files() == pair.uncached.files()) << a.out;
}

TEST(CacheDifferential, DecisionsAreTheSameWithoutAnyCache) {
    const QByteArray rounds = qgetenv("E2E_CACHE_ROUNDS");
    const int n = rounds.isEmpty() ? 12 : rounds.toInt();
    const QByteArray seed = qgetenv("E2E_CACHE_SEED");
    // The pairs go in step, so that they share the waits for the clock.
    std::vector<std::unique_ptr<Pair>> pairs;
    if (!seed.isEmpty())
        pairs.push_back(std::make_unique<Pair>(seed.toUInt()));
    else
        for (unsigned s : {1u, 2u, 3u})
            pairs.push_back(std::make_unique<Pair>(s));
    for (int round = 0; round < n; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round > 0) {
            nextSecond();
            for (auto& pair : pairs)
                edit(*pair);
        }
        for (auto& pair : pairs) {
            buildBoth(*pair);
            if (HasFatalFailure()) return;
        }
    }
    // The switch was in force: only the normal copies keep a dependency log.
    for (auto& pair : pairs) {
        EXPECT_TRUE(pair->cached.hasDependencyLog());
        EXPECT_FALSE(pair->uncached.hasDependencyLog());
    }
}

} // namespace
