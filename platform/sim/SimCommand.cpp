#include "platform/sim/SimCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

std::string logTimeStamp(Date date, const Calendar& calendar, std::string_view beforeOffset) {
    const auto p = calendar.parts(date).value_or(DateParts{});
    const int offset = calendar.offsetFromUtc(date) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
    return text + std::string(beforeOffset) + zone;
}

}  // namespace norvane::sim
