#include "platform/Machine.h"

#include <fcntl.h>

#include <cstdlib>
#include <system_error>

#ifndef NORVANE_SOURCE_DIR
#error "NORVANE_SOURCE_DIR must name the source tree"
#endif
#ifndef NORVANE_SIM_COMMANDS_DIR
#error "NORVANE_SIM_COMMANDS_DIR must name the built simulated commands"
#endif

namespace norvane {
namespace fs = std::filesystem;

namespace {
constexpr std::string_view systemPrefixes[] = {"/usr/bin/", "/usr/sbin/", "/bin/", "/sbin/", "/usr/libexec/"};

Path fromEnvironment(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value && *value) return Path(value);
    return Path(fallback);
}

void link(const Path& target, const Path& at) {
    std::error_code error;
    // A dangling link (the build moved) is replaced; anything else is kept.
    if (fs::is_symlink(fs::symlink_status(at, error)) && !fs::exists(at, error)) fs::remove(at, error);
    if (fs::exists(fs::symlink_status(at, error))) return;
    fs::create_directories(at.parent_path(), error);
    fs::create_symlink(target, at, error);
}
}  // namespace

Machine::Machine(Path root) : root_(std::move(root)) {}

std::string Machine::path(std::initializer_list<std::string_view> relative) const {
    const std::string& root = root_.native();
    std::size_t size = root.size() + 1;
    for (const auto piece : relative) size += piece.size();
    std::string out;
    out.reserve(size);
    out.append(root);
    if (!out.ends_with('/')) out += '/';
    for (const auto piece : relative) out.append(piece);
    return out;
}

Path Machine::defaultRoot() { return applicationSupportFolder() / "norvane-machine"; }

Path Machine::templateFolder() {
    return fromEnvironment("NORVANE_MACHINE_TEMPLATE", NORVANE_SOURCE_DIR "/platform/sim/template");
}

Path Machine::commandsFolder() { return fromEnvironment("NORVANE_SIM_COMMANDS", NORVANE_SIM_COMMANDS_DIR); }

std::optional<Machine> Machine::current() {
    if (const char* named = std::getenv("NORVANE_MACHINE"); named && *named) {
        Machine machine{Path(named)};
        if (!fs::is_directory(machine.root())) return std::nullopt;
        machine.installCommands();
        return machine;
    }
    Machine machine{defaultRoot()};
    std::error_code error;
    if (!fs::is_directory(machine.root(), error) && !createFromTemplate(machine.root())) return std::nullopt;
    machine.installCommands();
    return machine;
}

bool Machine::createFromTemplate(const Path& destination, const Path& source) {
    std::error_code error;
    if (fs::exists(destination, error) || !fs::is_directory(source, error)) return false;
    // Build beside the destination and rename, so a half-copied machine is never used.
    Path staging = destination;
    staging += ".creating";
    fs::remove_all(staging, error);
    fs::create_directories(staging.parent_path(), error);
    fs::copy(source, staging, fs::copy_options::recursive, error);
    if (error) {
        fs::remove_all(staging, error);
        return false;
    }
    Machine(staging).installCommands();
    fs::rename(staging, destination, error);
    if (error) {
        fs::remove_all(staging, error);
        return false;
    }
    Machine(destination).installCommands();  // links made in staging point outside it, but be sure
    return true;
}

namespace {

// A named pipe of the folder stands for a slow sensor: its read waits for a writer, on the
// background job that reads the sensors. Absent when it cannot be opened, fails, or says
// more than a file may hold.
std::optional<std::string> readPipe(const Path& pipe) {
    const FileDescriptor fd(::open(pipe.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return std::nullopt;
    auto read = readToEnd(fd, readFileCap);
    if (auto* bytes = std::get_if<std::string>(&read)) return std::move(*bytes);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> Machine::readProc(std::string_view name) const {
    const Path own = root_ / "proc" / Path(name);
    std::error_code error;
    const auto status = fs::symlink_status(own, error);
    if (fs::is_fifo(status)) return readPipe(own);
    if (fs::exists(status)) return readFile(own);
    return readFile(Path("/proc") / Path(name));
}

bool Machine::isSystemPath(std::string_view macPath) {
    for (auto prefix : systemPrefixes)
        if (macPath.starts_with(prefix)) return true;
    return false;
}

Path Machine::resolve(std::string_view macPath) const {
    if (!isSystemPath(macPath)) return Path(macPath);
    return root_ / Path(macPath.substr(1));
}

void Machine::installCommands() const {
    std::error_code error;
    const Path commands = commandsFolder();
    // Folders made before the machine had a shell of its own link the real one; theirs is
    // replaced, any other file there is kept.
    const Path shell = root_ / "bin/sh";
    if (fs::is_regular_file(commands / "bin/sh", error) && fs::read_symlink(shell, error) == "/bin/sh")
        fs::remove(shell, error);
    if (fs::is_directory(commands, error)) {
        for (auto it = fs::recursive_directory_iterator(commands, error); !error && it != fs::recursive_directory_iterator();
             it.increment(error)) {
            if (!it->is_regular_file(error)) continue;
            link(fs::absolute(it->path(), error), root_ / fs::relative(it->path(), commands, error));
        }
    }
    link("/bin/sh", shell);  // without the built commands, the real shell
}

}  // namespace norvane
