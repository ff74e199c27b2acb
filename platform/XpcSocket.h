#pragma once
// What both ends of the machine's XPC share: one Unix stream socket per Mach service in
// the machine folder's launchd/sockets/, frames of a 4-byte big-endian length and compact
// JSON, and the peer's process from the socket's credentials.

#include <sys/stat.h>
#include <sys/un.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Machine.h"
#include "platform/Value.h"

namespace norvane {

// No frame is larger: a peer that announces more is dropped.
inline constexpr std::size_t maximumFrameSize = 1 << 20;
// The sockets' folder and each service's socket, whatever the umask: only the machine's
// user reaches them.
inline constexpr mode_t socketFolderMode = 0700;
inline constexpr mode_t socketMode = 0600;

// The sockets' folder, held open: a socket is addressed through /proc/self/fd/<fd>/<name>,
// so its address stays far below the 108-byte limit however deep the machine folder lies.
class SocketFolder {
public:
    // Creates launchd/sockets when missing, with mode 0700; absent when it cannot be opened.
    static std::optional<SocketFolder> open(const Machine& machine);
    // An existing folder; absent when it cannot be opened.
    static std::optional<SocketFolder> at(const Path& path);
    SocketFolder(SocketFolder&& other) noexcept;
    SocketFolder& operator=(SocketFolder&& other) noexcept;
    SocketFolder(const SocketFolder&) = delete;
    ~SocketFolder();

    const Path& path() const { return path_; }
    // The address of a name in the folder; absent for a name that is no plain file name or
    // does not fit.
    std::optional<sockaddr_un> address(std::string_view name) const;
    int fd() const { return fd_; }

private:
    SocketFolder(Path path, int fd) : path_(std::move(path)), fd_(fd) {}
    Path path_;
    int fd_ = -1;
};

// A connected stream socket to the named service's socket; -1 with errno set when none.
int connectToService(const SocketFolder& folder, std::string_view name);

// A request or reply as it crosses: {"id": the request's number, "body": the message}.
Value framed(std::uint64_t id, Value body);

// Writes one frame; false when the value cannot be written as JSON, is too large, or the
// peer is gone.
bool writeFrame(int fd, const Value& message);
// The same on a socket of either kind, giving up when the frame is not all taken within
// `seconds`.
bool writeFrameWithin(int fd, const Value& message, double seconds);
// Reads one frame; absent at the end of the stream, on an error, or for a frame that is
// larger than `limit` or not JSON.
std::optional<Value> readFrame(int fd, std::size_t limit = maximumFrameSize);

// The process at the other end of a connected socket, and its user, from its credentials.
std::optional<std::int32_t> peerProcess(int fd);
std::optional<std::uint32_t> peerUser(int fd);

// The process listening on the service's socket; absent when none listens.
std::optional<std::int32_t> machServiceListener(const Machine& machine, std::string_view name);

}  // namespace norvane
