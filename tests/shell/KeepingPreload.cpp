// A preload of the kind build-interception and fake-root tools are: it puts itself back into the
// environment of every program its process executes. Each start it is loaded into appends a
// line to the file NORVANE_TEST_LOADS names: "LD_LIBRARY_PATH" when that variable was set, "-"
// otherwise. With NORVANE_TEST_LOADS_HIDDEN set it also takes itself out of the environment the
// program sees, so the program finds no variable of it.

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char self[4096];

__attribute__((constructor)) void noteStart() {
    const char* preload = std::getenv("LD_PRELOAD");
    std::snprintf(self, sizeof self, "LD_PRELOAD=%s", preload ? preload : "");
    if (const char* loads = std::getenv("NORVANE_TEST_LOADS")) {
        const int fd = ::open(loads, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const char* line = std::getenv("LD_LIBRARY_PATH") ? "LD_LIBRARY_PATH\n" : "-\n";
        if (fd >= 0 && ::write(fd, line, std::strlen(line)) < 0) std::perror("NORVANE_TEST_LOADS");
        if (fd >= 0) ::close(fd);
    }
    if (std::getenv("NORVANE_TEST_LOADS_HIDDEN")) ::unsetenv("LD_PRELOAD");
}

}  // namespace

extern "C" int execve(const char* path, char* const argv[], char* const envp[]) {
    constexpr int most = 4096;
    static char* with[most + 2];
    int count = 0;
    for (; envp && envp[count] && count < most; ++count) with[count] = envp[count];
    bool kept = false;
    for (int i = 0; i < count; ++i) kept = kept || std::strncmp(with[i], "LD_PRELOAD=", 11) == 0;
    if (!kept) with[count++] = self;
    with[count] = nullptr;
    return static_cast<int>(::syscall(SYS_execve, path, argv, with));
}
