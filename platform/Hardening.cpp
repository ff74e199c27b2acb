#include "platform/Hardening.h"

#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/CodeSigning.h"

extern char** environ;

namespace norvane {

bool holdsPtraceCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_TO_INDEX(CAP_SYS_PTRACE)].effective & CAP_TO_MASK(CAP_SYS_PTRACE)) != 0;
}

bool hardenProcess() {
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    return holdsPtraceCapability() && ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
}

namespace {

constexpr const char* ownImage = "/proc/self/exe";

// Whether this program is the start again: its loader was given our image by that name, which
// runs the caller's own executable, so only this program can have started it so. It is in no
// variable, argument or descriptor, so a caller cannot pass it in to skip the drop, and no
// child of ours inherits it. One that forges the name (a /proc of its own mounted) gains only
// the helper's refusal of the variable that stays.
bool startedAgain() {
    const auto* name = reinterpret_cast<const char*>(::getauxval(AT_EXECFN));
    return name && std::string_view(name) == ownImage;
}

}  // namespace

void dropLoaderVariables(char** argv) {
    std::vector<char*> kept;
    bool dropped = false;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view variable(*entry);
        if (isLoaderVariable(variable.substr(0, variable.find('=')))) dropped = true;
        else kept.push_back(*entry);
    }
    // Once only: a preload that keeps itself in every program its process runs is back.
    if (!dropped || startedAgain()) return;
    kept.push_back(nullptr);
    ::execve(ownImage, argv, kept.data());
    std::fprintf(stderr, "Norvane: cannot start again without the loader's variables: %s\n", std::strerror(errno));
}

}  // namespace norvane
