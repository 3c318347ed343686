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
    return result;
}

bool RealFileSystem::remove(const QString& path) {
    return QTx::removeFile(path);
}
