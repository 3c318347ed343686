#include "base/StudioUtils.h"

#include <QDateTime>
#include <sys/stat.h>

namespace StudioUtils {

qint64 modificationSeconds(const QString& path) {
    struct stat st;
    if (::stat(toOsText(path).constData(), &st) != 0) return -1;
    return qint64(st.st_mtime);
}

qint64 modificationSeconds(const QFileInfo& info) {
    if (!info.exists()) return -1;
    return info.lastModified().toSecsSinceEpoch();
}

} // namespace StudioUtils
