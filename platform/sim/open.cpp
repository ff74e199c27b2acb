// open: opens an application bundle, the usages the relaunches make:
//
//   open [-n] PATH.app [--args ARGUMENT…]
//
// It starts the bundle's executable (Contents/MacOS/ and its Info.plist's CFBundleExecutable)
// with the arguments after "--args", detached in a session of its own with its output on the
// null device, as the desktop starts an application, and notes the opening in the machine's
// workspace/opened.jsonl. "-n" asks for a new instance even when one runs; this machine keeps
// no list of running instances, so every opening starts one. A path that does not exist, is
// no application bundle or has no executable is refused with status 1, as is any other usage.

#include <optional>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "platform/MainBundle.h"
#include "platform/PropertyList.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

int refuse(const std::string& why) {
    sim::writeError(why + "\n");
    return 1;
}

struct Usage {
    bool fresh = false;  // -n
    std::string path;
    std::vector<std::string> arguments;  // after --args
};

std::optional<Usage> usage(const std::vector<std::string>& words) {
    Usage out;
    std::size_t i = 0;
    if (i < words.size() && words[i] == "-n") {
        out.fresh = true;
        ++i;
    }
    if (i >= words.size() || words[i].empty() || words[i].starts_with("-")) return std::nullopt;
    out.path = words[i++];
    if (i < words.size()) {
        if (words[i] != "--args") return std::nullopt;
        out.arguments.assign(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const auto asked = usage(std::vector<std::string>(argv + 1, argv + argc));
    if (!asked) return refuse("open: this machine answers only: open [-n] PATH.app [--args ARGUMENT...]");
    const auto machine = sim::machine("open");
    if (!machine) return 1;
    std::error_code error;
    const Path path = std::filesystem::absolute(asked->path, error).lexically_normal();
    if (!std::filesystem::exists(path, error)) return refuse("The file " + asked->path + " does not exist.");
    const FolderBundle bundle(path.filename().empty() ? path.parent_path() : path);
    const auto executable = bundle.executable();
    if (!std::filesystem::is_directory(bundle.bundlePath(), error) || !executable)
        return refuse("open: " + asked->path + " is not an application bundle");
    const auto pid = ChildProcess::startDetached(*machine, (bundle.bundlePath() / "Contents/MacOS" / *executable).string(),
                                                 asked->arguments, ChildProcess::Output::discard);
    if (!pid) return refuse("The application " + asked->path + " cannot be opened.");
    Value::Dictionary record;
    record.emplace("path", Value::string(bundle.bundlePath().string()));
    record.emplace("pid", Value::integer(*pid));
    if (asked->fresh) record.emplace("new", Value::boolean(true));
    if (!asked->arguments.empty()) {
        Value::Array arguments;
        for (const auto& argument : asked->arguments) arguments.push_back(Value::string(argument));
        record.emplace("arguments", Value::array(std::move(arguments)));
    }
    const auto line = writeJson(Value::dictionary(std::move(record)));
    if (line) appendToFile(machine->file("workspace/opened.jsonl"), *line + "\n");
    return 0;
}
