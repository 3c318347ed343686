#include "base/FileSystem.h"

#include "base/HByteStream.h"
#include "base/OsFiles.h"

bool FileSystem::makeDirs(const QString& directory) {
    const QString absolute = OsFiles::absolutePath(directory);
    if (absolute == QLatin1String("/") || stat(absolute).isDir) return true;
    makeDirs(OsFiles::directoryOf(absolute));
    return makeDir(absolute) || stat(absolute).isDir;
}

FileSystem& FileSystem::real() {
    static RealFileSystem disk;
    return disk;
}

FileStat RealFileSystem::stat(const QString& path) {
    FileStat result;
    const OsFiles::Status st = OsFiles::status(path);
    if (!st.exists) return result;
    result.exists = true;
    result.isDir = st.isDir;
    result.isFile = st.isFile;
    result.ownerWritable = st.ownerWritable;
    result.seconds = st.modifiedSeconds;
    result.size = st.size;
    result.modifiedNs = st.modifiedNs;
    result.changedNs = st.changedNs;
    result.inode = st.inode;
    result.device = st.device;
    return result;
}

bool RealFileSystem::makeDir(const QString& path) {
    return OsFiles::makeDir(path);
}

bool RealFileSystem::readFile(const QString& path, QByteArray& data) {
    return OsFiles::readAll(path, data);
}

std::unique_ptr<HByteStream> RealFileSystem::openInput(const QString& path) {
    return std::make_unique<HFileInputByteStream>(OsFiles::osName(path).toStdString(), true);
}

bool RealFileSystem::writeFileAtomically(const QString& path, const QByteArray& data) {
    return OsFiles::replace(path, data);
}

bool RealFileSystem::remove(const QString& path) {
    return OsFiles::remove(path);
}

bool RealFileSystem::rename(const QString& from, const QString& to) {
    return OsFiles::rename(from, to);
}
