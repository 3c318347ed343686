#include "base/StudioUtils.h"

#include <sys/stat.h>

namespace StudioUtils {

qint64 modificationSeconds(const QString& path) {
    struct stat st;
    if (::stat(toOsText(path).constData(), &st) != 0) return -1;
    return qint64(st.st_mtime);
}

} // namespace StudioUtils
