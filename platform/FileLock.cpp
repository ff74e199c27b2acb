#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace norvane {

FileLock::FileLock(const Path& file) {
    Path lock = file;
    lock += ".lock";
    if (lock.has_parent_path()) createDirectories(lock.parent_path());
    fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

FileLock::~FileLock() {
    // Closing the descriptor releases the lock.
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace norvane
