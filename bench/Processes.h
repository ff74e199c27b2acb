#pragma once
// Brings this machine's process table up to a Mac's count for a scan to read: idle children
// (`sleep`) started for as long as the benchmark runs, then ended and reaped.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <filesystem>
#include <vector>

extern char** environ;

namespace norvane::bench {

class ProcessTable {
public:
    // Every entry of /proc counts, kernel threads too, so that builds that read them
    // differently face the same table.
    static int count() {
        int entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc"))
            entries += std::isdigit(static_cast<unsigned char>(entry.path().filename().string()[0])) ? 1 : 0;
        return entries;
    }
    explicit ProcessTable(int total) {
        char program[] = "/bin/sleep", seconds[] = "3600";
        char* arguments[] = {program, seconds, nullptr};
        for (int missing = total - count(); missing > 0; --missing) {
            pid_t pid = -1;
            if (::posix_spawn(&pid, program, nullptr, nullptr, arguments, environ) != 0) break;
            children_.push_back(pid);
        }
    }
    ~ProcessTable() {
        for (const pid_t pid : children_) ::kill(pid, SIGKILL);
        for (const pid_t pid : children_) ::waitpid(pid, nullptr, 0);
    }
    ProcessTable(const ProcessTable&) = delete;
    ProcessTable& operator=(const ProcessTable&) = delete;

private:
    std::vector<pid_t> children_;
};

}  // namespace norvane::bench
