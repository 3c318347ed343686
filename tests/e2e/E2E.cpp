#include "E2E.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtEndian>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace e2e {

QString builtStudioDir() {
    return QStringLiteral(SLIPWAY_STUDIO_DIR);
}

Sandbox::Sandbox() {
    if (!m_dir.isValid()) throw std::runtime_error("cannot create a temporary directory");
    QDir(path()).mkpath("home");
    QDir(path()).mkpath("config");
}

void Sandbox::write(const QString& relative, const QByteArray& contents) const {
    const QString name = file(relative);
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(contents) != contents.size())
        throw std::runtime_error("cannot write " + name.toStdString());
}

std::string Sandbox::read(const QString& relative) const {
    QFile f(file(relative));
    if (!f.open(QIODevice::ReadOnly)) return std::string();
    return f.readAll().toStdString();
}

bool Sandbox::exists(const QString& relative) const {
    return QFileInfo::exists(file(relative));
}

void Sandbox::setTime(const QString& relative, qint64 seconds) const {
    QFile f(file(relative));
    if (!f.open(QIODevice::ReadWrite) ||
        !f.setFileTime(QDateTime::fromSecsSinceEpoch(seconds), QFileDevice::FileModificationTime))
        throw std::runtime_error("cannot set the time of " + relative.toStdString());
}

QString Sandbox::makeStudio() {
    const QString studio = file("studio");
    QDir().mkpath(studio + "/bin");
    const QDir built(builtStudioDir());
    for (const QFileInfo& entry :
         built.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
        if (entry.fileName() == "bin") continue;
        QFile::link(entry.absoluteFilePath(), studio + "/" + entry.fileName());
    }
    for (const QFileInfo& entry : QDir(built.filePath("bin")).entryInfoList(QDir::Files))
        QFile::link(entry.absoluteFilePath(), studio + "/bin/" + entry.fileName());
    m_studio = studio;
    return studio;
}

QString Sandbox::program() const {
    return (m_studio.isEmpty() ? builtStudioDir() : m_studio) + "/bin/slipway";
}

QString Sandbox::settingsFile() const {
    // Mirrors the store's location rule with XDG_CONFIG_HOME pointing into the sandbox.
    return file("config/Halyard Software/Halyard for MSP430.ini");
}

Result Sandbox::run(const QStringList& arguments, const QString& directory, int timeoutMs) const {
    QProcess p;
    QProcessEnvironment env = cleanEnvironment();
    env.insert("HOME", file("home"));
    env.insert("XDG_CONFIG_HOME", file("config"));
    env.insert("XDG_CACHE_HOME", file("cache"));
    for (auto it = m_env.cbegin(); it != m_env.cend(); ++it)
        if (it.value().isNull())
            env.remove(it.key());
        else
            env.insert(it.key(), it.value());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(directory.isEmpty() ? path() : directory);
    p.start(program(), arguments);
    Result r;
    if (!p.waitForStarted(timeoutMs)) return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    } else if (p.exitStatus() == QProcess::NormalExit) {
        r.status = p.exitCode();
    }
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

void copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
}

namespace {

// A package compares by its members' names, flags and contents: their times
// follow the staged files and their order the history of updates.
QByteArray packageMembers(const QByteArray& package) {
    const QByteArray archive = qUncompress(package.mid(8));
    if (archive.size() < 8) return package;
    QMap<QByteArray, QByteArray> members;
    const quint32 count = qFromLittleEndian<quint32>(archive.constData() + 4);
    for (quint32 i = 0; i < count && 8 + (i + 1) * 1040 <= quint32(archive.size()); ++i) {
        const char* entry = archive.constData() + 8 + i * 1040;
        const quint32 offset = qFromLittleEndian<quint32>(entry + 1024);
        const quint32 size = qFromLittleEndian<quint32>(entry + 1028);
        members.insert(QByteArray(entry), QByteArray(entry + 1032, 4) + archive.mid(offset, size));
    }
    QByteArray out;
    for (auto it = members.constBegin(); it != members.constEnd(); ++it)
        out += it.key() + '\0' + QByteArray::number(it.value().size()) + '\0' + it.value();
    return out;
}

} // namespace

Tree snapshot(const QString& root) {
    Tree tree;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
        if (file.endsWith(".hzq")) data = packageMembers(data);
        tree.insert(file.mid(root.size() + 1), data);
    }
    return tree;
}

QProcessEnvironment cleanEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
        if (name.startsWith("SLIPWAY_")) env.remove(name);
    const QString jobs = env.value("E2E_JOBS");
    if (!jobs.isEmpty()) env.insert("SLIPWAY_JOBS", jobs);
    return env;
}

void clearExtensionEnvironment() {
    // Restart after each removal: unsetenv moves the entries of environ.
    for (bool removed = true; removed;) {
        removed = false;
        for (char** entry = environ; *entry; ++entry) {
            if (std::strncmp(*entry, "SLIPWAY_", 8) != 0) continue;
            const std::string name(*entry, std::strcspn(*entry, "="));
            ::unsetenv(name.c_str());
            removed = true;
            break;
        }
    }
    if (const char* jobs = std::getenv("E2E_JOBS")) ::setenv("SLIPWAY_JOBS", jobs, 1);
}

int runsOf(const std::string& out, const std::string& tool) {
    int n = 0;
    const std::string what = "/bin/" + tool + " ";
    for (size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1))
        ++n;
    return n;
}

} // namespace e2e
