#include "platform/XpcSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/PropertyList.h"

namespace norvane {
namespace {

bool sendAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool receiveAll(int fd, char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::recv(fd, bytes, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<SocketFolder> SocketFolder::open(const Machine& machine) {
    const Path path = machine.file("launchd/sockets");
    if (!createDirectories(path.parent_path())) return std::nullopt;
    // Made with its mode set after the umask has had its say.
    if (::mkdir(path.c_str(), socketFolderMode) == 0) ::chmod(path.c_str(), socketFolderMode);
    return at(path);
}

std::optional<SocketFolder> SocketFolder::at(const Path& path) {
    const int fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    return SocketFolder(path, fd);
}

SocketFolder::SocketFolder(SocketFolder&& other) noexcept : path_(std::move(other.path_)), fd_(other.fd_) {
    other.fd_ = -1;
}

SocketFolder& SocketFolder::operator=(SocketFolder&& other) noexcept {
    std::swap(path_, other.path_);
    std::swap(fd_, other.fd_);
    return *this;
}

SocketFolder::~SocketFolder() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<sockaddr_un> SocketFolder::address(std::string_view name) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string path = "/proc/self/fd/" + std::to_string(fd_) + "/" + std::string(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return std::nullopt;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

int connectToService(const SocketFolder& folder, std::string_view name) {
    const auto address = folder.address(name);
    if (!address) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int result = -1;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return fd;
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

Value framed(std::uint64_t id, Value body) {
    Value::Dictionary frame;
    frame.emplace("id", Value::integer(static_cast<std::int64_t>(id)));
    frame.emplace("body", std::move(body));
    return Value::dictionary(std::move(frame));
}

bool writeFrame(int fd, const Value& message) {
    const auto text = writeJson(message);
    if (!text || text->size() > maximumFrameSize) return false;
    const auto size = static_cast<std::uint32_t>(text->size());
    const char header[4] = {static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                            static_cast<char>(size)};
    std::string frame(header, 4);
    frame += *text;
    return sendAll(fd, frame.data(), frame.size());
}

bool writeFrameWithin(int fd, const Value& message, double seconds) {
    const auto text = writeJson(message);
    if (!text || text->size() > maximumFrameSize) return false;
    const auto size = static_cast<std::uint32_t>(text->size());
    std::string frame{static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                      static_cast<char>(size)};
    frame += *text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::size_t sent = 0;
    while (sent < frame.size()) {
        const ssize_t n = ::send(fd, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd out{fd, POLLOUT, 0};
        ::poll(&out, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    }
    return true;
}

std::optional<Value> readFrame(int fd, std::size_t limit) {
    unsigned char header[4];
    if (!receiveAll(fd, reinterpret_cast<char*>(header), 4)) return std::nullopt;
    const std::size_t size = std::size_t{header[0]} << 24 | std::size_t{header[1]} << 16 |
                             std::size_t{header[2]} << 8 | std::size_t{header[3]};
    if (size > std::min(limit, maximumFrameSize)) return std::nullopt;
    std::string text(size, '\0');
    if (!receiveAll(fd, text.data(), size)) return std::nullopt;
    return parseJson(text);
}

namespace {

std::optional<ucred> peerCredentials(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return std::nullopt;
    return credentials;
}

}  // namespace

std::optional<std::int32_t> peerProcess(int fd) {
    const auto credentials = peerCredentials(fd);
    if (!credentials || credentials->pid <= 0) return std::nullopt;
    return credentials->pid;
}

std::optional<std::uint32_t> peerUser(int fd) {
    const auto credentials = peerCredentials(fd);
    if (!credentials) return std::nullopt;
    return credentials->uid;
}

std::optional<std::int32_t> machServiceListener(const Machine& machine, std::string_view name) {
    const auto folder = SocketFolder::open(machine);
    if (!folder) return std::nullopt;
    const int fd = connectToService(*folder, name);
    if (fd < 0) return std::nullopt;
    const auto pid = peerProcess(fd);
    ::close(fd);
    return pid;
}

}  // namespace norvane
