// sh: the machine's shell. A script given with -c names macOS system programs by their
// paths (/usr/bin/open); the real shell would look for them on this Linux machine, so each
// such path whose program the machine folder holds is replaced by the folder's file before
// the real /bin/sh runs the text. A path the folder does not hold (/bin/sleep) stays this
// machine's own. The arguments after the text ($0 and the rest) and every other usage go to
// /bin/sh unchanged.

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Machine.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

constexpr std::string_view realShell = "/bin/sh";

// Characters that end a word of the shell's grammar.
bool endsWord(char c) {
    return std::string_view(" \t\n;&|()<>`\"'$\\").find(c) != std::string_view::npos;
}

std::string singleQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string escapedInDoubleQuotes(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
        out += c;
    }
    return out;
}

// The script with every system path that starts a word outside single quotes, and whose
// program the machine holds, replaced by that program's path, quoted for where it stands.
std::string mapped(std::string_view script, const Machine& machine) {
    std::string out;
    enum class Quote { none, single, dual } quote = Quote::none;
    for (std::size_t i = 0; i < script.size();) {
        const char c = script[i];
        if (quote == Quote::single) {
            if (c == '\'') quote = Quote::none;
            out += c;
            ++i;
            continue;
        }
        if (c == '\\') {
            out += script.substr(i, 2);
            i += 2;
            continue;
        }
        const bool wordStart = i == 0 || std::string_view(" \t\n;&|()<>`\"").find(script[i - 1]) != std::string_view::npos;
        if (c == '/' && wordStart) {
            std::size_t end = i;
            while (end < script.size() && !endsWord(script[end])) ++end;
            const std::string_view path = script.substr(i, end - i);
            std::error_code error;
            const Path own = machine.resolve(path);
            if (Machine::isSystemPath(path) && std::filesystem::exists(own, error)) {
                out += quote == Quote::none ? singleQuoted(own.string()) : escapedInDoubleQuotes(own.string());
            } else {
                out += path;
            }
            i = end;
            continue;
        }
        if (c == '\'' && quote == Quote::none) quote = Quote::single;
        if (c == '"') quote = quote == Quote::dual ? Quote::none : Quote::dual;
        out += c;
        ++i;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    const char* named = std::getenv("NORVANE_MACHINE");
    if (arguments.size() >= 3 && arguments[1] == "-c" && named && *named)
        arguments[2] = mapped(arguments[2], Machine(Path(named)));
    std::vector<char*> pointers;
    for (auto& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    ::execv(std::string(realShell).c_str(), pointers.data());
    sim::writeError("sh: cannot run " + std::string(realShell) + "\n");
    return 127;
}
