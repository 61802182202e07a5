#pragma once
// The program's death inside its own process, for tests that cannot kill
// it: installed as the file-system door, it lets k-1 calls through, puts
// down half of the k-th when it is a write, and from then on every call
// fails without touching the disk, as if the process were gone. The test
// then starts the program again.
#include "platform/file_system.h"

class CrashDoor : public platform::FileSystem {
  public:
    explicit CrashDoor(int k) : m_left(k) { platform::setFileSystem(this); }
    ~CrashDoor() override { platform::setFileSystem(nullptr); }
    CrashDoor(const CrashDoor&) = delete;
    CrashDoor& operator=(const CrashDoor&) = delete;

    bool died() const { return m_left <= 0; }

    bool open(QFile& file, QIODevice::OpenMode mode) override {
        return alive() && FileSystem::open(file, mode);
    }
    qint64 write(QFile& file, const QByteArray& bytes) override;
    bool sync(QFile& file) override { return alive() && FileSystem::sync(file); }
    bool syncFolder(const QString& folder) override {
        return alive() && FileSystem::syncFolder(folder);
    }
    bool resize(const QString& name, qint64 size) override {
        return alive() && FileSystem::resize(name, size);
    }
    bool remove(const QString& name) override { return alive() && FileSystem::remove(name); }

  private:
    // Counts a call; false from the k-th on.
    bool alive() { return m_left > 0 && --m_left > 0; }

    int m_left;
};
