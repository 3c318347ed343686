#include "base/Path.h"

#include "base/OsFiles.h"

#include <algorithm>
#include <cstring>
#include <memory>

class PathData : public QSharedData {
public:
    PathData() = default;
    PathData(const PathData& other)
        : QSharedData(other), osPath(other.osPath), canonicalPath(other.canonicalPath),
          osPrepared(other.osPrepared), canonicalPrepared(other.canonicalPrepared) {}

    QString osPath;
    QString canonicalPath;
    bool osPrepared = false;
    bool canonicalPrepared = false;
    // Created on first use; dropped whenever the path is set.
    mutable std::unique_ptr<QFileInfo> info;
};

namespace {
// Every element has a path and most never set it: they share one empty value.
const QSharedDataPointer<PathData>& emptyPath() {
    static const QSharedDataPointer<PathData> empty(new PathData);
    return empty;
}
} // namespace

Path::Path() : d(emptyPath()) {}
Path::Path(const QString& path) : d(new PathData) {
    setPath(path);
}
Path::Path(const char* path) : d(new PathData) {
    setPath(QString::fromLatin1(path));
}
Path::Path(const std::string& path) : d(new PathData) {
    setPath(QString::fromLatin1(path.data(), qsizetype(path.size())));
}
Path::Path(const Path& other) = default;
Path& Path::operator=(const Path& other) = default;
Path::~Path() = default;

void Path::setPath(const QString& path) {
    QString text = path;
    removeRelativePaths(text);
    d->osPath = toOsPath(text);
    d->canonicalPath = toCanonicalPath(text);
    d->osPrepared = false;
    d->canonicalPrepared = false;
    d->info.reset();
}

QString Path::osPathQString() const {
    // Preparing a form is the identity here; the flag only records first use.
    if (!d->osPrepared) const_cast<PathData*>(d.constData())->osPrepared = true;
    return d->osPath;
}

QString Path::canonicalPathQString() const {
    if (!d->canonicalPrepared) const_cast<PathData*>(d.constData())->canonicalPrepared = true;
    return d->canonicalPath;
}

bool Path::isEmpty() const {
    return d->osPath.isEmpty();
}

const QFileInfo& Path::fileInfo() const {
    if (!d->info) d->info = std::make_unique<QFileInfo>(OsFiles::qtName(d->osPath));
    return *d->info;
}

bool Path::operator==(const Path& other) const {
    return d.constData() == other.d.constData() || d->canonicalPath == other.d->canonicalPath;
}

bool Path::operator<(const Path& other) const {
    return d->canonicalPath < other.d->canonicalPath;
}

const QString& Path::canonicalText() const {
    return d->canonicalPath;
}

size_t Path::quickHash(QStringView text, size_t seed) noexcept {
    const char* p = reinterpret_cast<const char*>(text.utf16());
    size_t n = size_t(text.size()) * 2;
    quint64 h = quint64(seed) ^ (quint64(n) * 0x9e3779b97f4a7c15ull);
    for (; n >= 8; p += 8, n -= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xbf58476d1ce4e5b9ull;
        h ^= h >> 29;
    }
    if (n) {
        quint64 w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0x94d049bb133111ebull;
    }
    // Every bit of the input reaches the low bits that pick a bucket.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return size_t(h);
}

QString Path::join(const QString& directory, const QString& name) {
    QString path(directory.size() + 1 + name.size(), Qt::Uninitialized);
    QChar* out = path.data();
    std::copy(directory.constBegin(), directory.constEnd(), out);
    out[directory.size()] = QLatin1Char('/');
    std::copy(name.constBegin(), name.constEnd(), out + directory.size() + 1);
    return path;
}

void Path::removeRelativePaths(QString& path) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype dot = path.indexOf(QLatin1Char('.'), from);
        if (dot < 0) return;
        from = dot + 1;
        if (dot == 0 || path.at(dot - 1) != QLatin1Char('/')) continue;
        if (dot + 1 >= path.size() || path.at(dot + 1) != QLatin1Char('.')) {
            // "/." : drop it and look again from where the "/" was.
            path.remove(dot - 1, 2);
            from = dot - 1;
            continue;
        }
        // "/.." : fold the previous component, if there is one to fold.
        if (dot - 3 < 0) continue;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'), dot - 3);
        if (slash < 0) continue;
        path.remove(slash, dot + 2 - slash);
        from = slash;
    }
}
