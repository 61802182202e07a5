#pragma once
// The file-system door of the saves: opening and writing the files they
// append to, and the calls that make those bytes durable or take them back
// (syncing a file and its folder, cutting a file back, removing it). The
// program uses the real file system; a test installs a replacement to make
// the program die between any two of these calls.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace platform {

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual bool open(QFile& file, QIODevice::OpenMode mode);
    // The bytes written; fewer on a short write.
    virtual qint64 write(QFile& file, const QByteArray& bytes);
    // The file's written bytes on the disk.
    virtual bool sync(QFile& file);
    // The folder's entries (files created, renamed or removed) on the disk.
    virtual bool syncFolder(const QString& folder);
    // Cuts the file to `size` bytes and syncs it.
    virtual bool resize(const QString& name, qint64 size);
    virtual bool remove(const QString& name);
};

// The file system in force. Install a replacement only while no save runs.
FileSystem& fileSystem();
void setFileSystem(FileSystem* replacement); // nullptr restores the real one

// The folder part of a file name ("." when it has none).
QString folderOf(const QString& name);

} // namespace platform
