#pragma once
// A world of a test's own: a home folder and user folders (HOME, XDG_*) in a fresh temporary
// folder, an environment of its own (what a fresh login has, and what the test run sets), a
// session bus of its own, and a view of the processes of its own (a PID namespace with its own
// /proc), so that a coding agent installed in the user's home or running on the machine, the
// user's desktop and shell, or anything else the machine runs, never changes a result. The
// application under test learns nothing of it: it reads its home, environment and /proc as ever.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace norvane::testing {

// Set in a world to its folder; a process that finds it is inside one already.
inline constexpr const char* worldVariable = "NORVANE_TEST_WORLD";
// Set in a world whose processes are the machine's, to the reason.
inline constexpr const char* sharedProcessesVariable = "NORVANE_TEST_SHARED_PROCESSES";

// Runs the command (a program searched on the world's PATH, and its arguments) in a world of
// its own and gives its exit status (128 + the signal when a signal ended it). The processes
// it leaves end with it, and the world's folder is removed. Where the machine allows no PID
// namespace (not as root, not in a user namespace of its own) the command still gets its
// folders, environment and bus, but sees the machine's processes, and `sharedProcesses()`
// tells it why.
int runInOwnWorld(const std::vector<std::string>& command);

// Why this process cannot switch to nobody (user and group 65534), as tests run as root do to
// act as an ordinary user: absent where both are mapped in its user namespace (not so in the
// user namespace a world falls back to, which maps only the user).
std::optional<std::string> cannotBecomeNobody();

// Why this process sees the machine's processes rather than a view of its own: absent inside
// a world with a view of its own.
std::optional<std::string> sharedProcesses();

// Starts `body` as the first process of a PID namespace of its own, where its pid is 1 as that
// of every other such process: gives the pid, in ours, of a process that ends with body's
// status (77 when no namespace could be made here), to be waited for.
pid_t startInOwnPidNamespace(const std::function<int()>& body);

}  // namespace norvane::testing
