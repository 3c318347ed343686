#pragma once

#include <QFileInfo>
#include <QSharedDataPointer>
#include <QString>
#include <string>

class PathData;

// A path value: "." and ".." components are folded on every construction and
// setPath, and two paths are equal when their canonical texts are equal.
// Copies share their data until one of them is changed.
class Path {
public:
    Path();
    Path(const QString& path);
    Path(const char* path);
    Path(const std::string& path);
    Path(const Path& other);
    Path& operator=(const Path& other);
    ~Path();

    void setPath(const QString& path);

    QString osPathQString() const;
    QString canonicalPathQString() const;
    bool isEmpty() const;

    // File information of the OS form, cached until the path is set again.
    const QFileInfo& fileInfo() const;

    bool operator==(const Path& other) const;
    bool operator!=(const Path& other) const { return !(*this == other); }
    // Ordering and hashing by canonical text, for use as map and hash keys.
    bool operator<(const Path& other) const;
    friend size_t qHash(const Path& path, size_t seed = 0) noexcept {
        return qHash(path.canonicalText(), seed);
    }

    // Folds "/." and "/.." components in place (doubled separators stay).
    static void removeRelativePaths(QString& path);
    // Both forms use "/" as the only separator on this platform.
    static QString toOsPath(const QString& path) { return path; }
    static QString toCanonicalPath(const QString& path) { return path; }
    // What QDir::isAbsolutePath decides on this platform ("/" or a ":" resource
    // prefix), without the QFileInfo it builds: this runs once per dependency.
    static bool isAbsolute(const QString& path) {
        return path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char(':'));
    }

    // A quick hash of a short text, eight bytes at a time, for keys such as
    // configuration names that the setting cache hashes on every lookup.
    static size_t quickHash(QStringView text, size_t seed = 0) noexcept;

    // directory + "/" + name in one allocation: this runs for every file and
    // every dependency a build looks at.
    static QString join(const QString& directory, const QString& name);

private:
    const QString& canonicalText() const;
    QSharedDataPointer<PathData> d;
};
