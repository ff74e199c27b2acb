#pragma once
// An exclusive lock on a state file of the machine folder. Several processes change the
// same folder (the application, the lid guard, the simulated commands), so every
// read-modify-write of a state file holds its lock. The lock is taken on "<file>.lock"
// beside it, because the file itself is replaced by atomic renames.

#include "platform/Files.h"

namespace norvane {

class FileLock {
public:
    // Blocks until the lock is ours; creates the lock file and its folders when missing.
    explicit FileLock(const Path& file);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    // False when the lock file could not be opened: the caller must not write then.
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace norvane
