#include "build/BuildFiles.h"

#include "base/Builder.h"
#include "base/Caching.h"
#include "base/Path.h"

namespace {

QString relativeTo(const QString& directory, const QString& fileName) {
    if (directory.isEmpty() || Path::isAbsolute(fileName)) return fileName;
    return Path::join(directory, fileName);
}

} // namespace

void BuildFiles::setFileSystem(FileSystem* fileSystem) {
    m_fileSystem = fileSystem ? fileSystem : &FileSystem::real();
    m_stats.clear();
}

FileStat BuildFiles::stat(const QString& path) {
    if (!Caching::enabled()) return m_fileSystem->stat(path);
    auto it = m_stats.constFind(path);
    if (it != m_stats.constEnd()) return it.value();
    const FileStat st = m_fileSystem->stat(path);
    m_stats.insert(path, st);
    return st;
}

bool BuildFiles::remove(const QString& path) {
    m_stats.remove(path);
    return m_fileSystem->remove(path);
}

bool BuildFiles::exists(const QString& directory, const QString& fileName, QString& resolvedPath,
                        QDateTime& time, Builder* builder, bool quiet) {
    resolvedPath = relativeTo(directory, fileName);
    const FileStat st = stat(resolvedPath);
    if (st.exists) {
        // UTC: only compared, and local time would consult the zone data each time.
        time = QDateTime::fromSecsSinceEpoch(st.seconds, Qt::UTC);
        return true;
    }
    if (!quiet && builder) builder->message(fileName + QStringLiteral(" does not exist."));
    return false;
}

bool BuildFiles::upToDate(const QString& directory, const QString& outputName,
                          const QDateTime& outputTime, const QStringList& dependencies,
                          Builder* builder, bool quiet) {
    const qint64 output = outputTime.toSecsSinceEpoch();
    for (const QString& dependency : dependencies) {
        const FileStat st = stat(relativeTo(directory, dependency));
        if (!st.exists) {
            if (!quiet && builder)
                builder->message(dependency + QStringLiteral(" does not exist."));
            return false;
        }
        if (st.seconds > output) {
            if (!quiet && builder)
                builder->message(dependency + QStringLiteral(" is newer than ") + outputName +
                                 QLatin1Char('.'));
            return false;
        }
    }
    return true;
}

void BuildFiles::makeDirs(const QString& directory) {
    // What was stat'ed as missing may exist now.
    m_stats.clear();
    m_fileSystem->makeDirs(directory);
}
