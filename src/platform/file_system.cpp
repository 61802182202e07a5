#include "platform/file_system.h"
#include <QFileInfo>
#include <atomic>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

FileSystem g_realFileSystem;
std::atomic<FileSystem*> g_fileSystem{&g_realFileSystem};

} // namespace

bool FileSystem::open(QFile& file, QIODevice::OpenMode mode) {
    return file.open(mode);
}

qint64 FileSystem::write(QFile& file, const QByteArray& bytes) {
    return file.write(bytes);
}

bool FileSystem::sync(QFile& file) {
    return file.flush() && ::fsync(file.handle()) == 0;
}

bool FileSystem::syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

bool FileSystem::resize(const QString& name, qint64 size) {
    QFile file(name);
    return file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) && file.resize(size) &&
           sync(file);
}

bool FileSystem::remove(const QString& name) {
    return QFile::remove(name);
}

FileSystem& fileSystem() {
    return *g_fileSystem.load();
}

void setFileSystem(FileSystem* replacement) {
    g_fileSystem.store(replacement ? replacement : &g_realFileSystem);
}

QString folderOf(const QString& name) {
    return QFileInfo(name).path();
}

} // namespace platform
