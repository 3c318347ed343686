#include "build/FileSystem.h"

#include "base/QTx.h"

#include <sys/stat.h>

#include "base/StudioUtils.h"

FileStat RealFileSystem::stat(const QString& path) {
    FileStat result;
    struct stat st;
    if (path.isEmpty() || ::stat(StudioUtils::toOsText(path).constData(), &st) != 0) return result;
    result.exists = true;
    result.seconds = st.st_mtime;
    result.size = st.st_size;
    result.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    result.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    result.inode = st.st_ino;
    result.device = st.st_dev;
    return result;
}

bool RealFileSystem::remove(const QString& path) {
    return QTx::removeFile(path);
}
