#include "crash_door.h"

qint64 CrashDoor::write(QFile& file, const QByteArray& bytes) {
    if (died())
        return -1;
    if (alive())
        return FileSystem::write(file, bytes);
    FileSystem::write(file, bytes.left(bytes.size() / 2));
    return -1;
}
