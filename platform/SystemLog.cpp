#include "platform/SystemLog.h"

#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/FileLock.h"

namespace norvane {

void systemLog(const Machine& machine, std::string_view message) {
    timeval now{};
    ::gettimeofday(&now, nullptr);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char millis[8] = {};
    std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(now.tv_usec / 1000));
    std::string line = std::string(stamp) + millis + " " + program_invocation_short_name + "[" +
                       std::to_string(::getpid()) + "] " + std::string(message);
    // One message is one line, whatever it holds.
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line.push_back('\n');

    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    const Path file = machine.file("log/system.log");
    const FileLock lock(file);
    if (lock.held()) appendToFile(file, line);
}

}  // namespace norvane
