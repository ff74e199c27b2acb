#include "platform/sim/SimCommand.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace norvane::sim {
namespace {
void writeFd(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}
}  // namespace

std::optional<Machine> machine(std::string_view command) {
    auto m = Machine::current();
    if (!m) writeError(std::string(command) + ": no machine folder (set NORVANE_MACHINE)\n");
    return m;
}

void writeOut(std::string_view text) { writeFd(1, text); }
void writeError(std::string_view text) { writeFd(2, text); }

}  // namespace norvane::sim
