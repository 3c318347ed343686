#include "build/FileSystem.h"

#include "base/OsFiles.h"

FileStat RealFileSystem::stat(const QString& path) {
    FileStat result;
    const OsFiles::Status st = OsFiles::status(path);
    if (!st.exists) return result;
    result.exists = true;
    result.seconds = st.modifiedSeconds;
    result.size = st.size;
    result.modifiedNs = st.modifiedNs;
    result.changedNs = st.changedNs;
    result.inode = st.inode;
    result.device = st.device;
    return result;
}

bool RealFileSystem::remove(const QString& path) {
    return OsFiles::remove(path);
}
