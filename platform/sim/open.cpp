// open: opens an application bundle, the one usage the relaunch makes:
//
//   open PATH.app
//
// It starts the bundle's executable (Contents/MacOS/ and its Info.plist's CFBundleExecutable)
// without arguments, detached in a session of its own with its output on the null device, as
// the desktop starts an application, and notes the opening in the machine's
// workspace/opened.jsonl. A path that does not exist, is no application bundle or has no
// executable is refused with status 1, as is any other usage.

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

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() != 1 || arguments[0].empty() || arguments[0].starts_with("-"))
        return refuse("open: this machine answers only: open PATH.app");
    const auto machine = sim::machine("open");
    if (!machine) return 1;
    std::error_code error;
    const Path path = std::filesystem::absolute(arguments[0], error).lexically_normal();
    if (!std::filesystem::exists(path, error)) return refuse("The file " + arguments[0] + " does not exist.");
    const FolderBundle bundle(path.filename().empty() ? path.parent_path() : path);
    const auto executable = bundle.executable();
    if (!std::filesystem::is_directory(bundle.bundlePath(), error) || !executable)
        return refuse("open: " + arguments[0] + " is not an application bundle");
    const auto pid = ChildProcess::startDetached(*machine, (bundle.bundlePath() / "Contents/MacOS" / *executable).string(),
                                                 {}, ChildProcess::Output::discard);
    if (!pid) return refuse("The application " + arguments[0] + " cannot be opened.");
    Value::Dictionary record;
    record.emplace("path", Value::string(bundle.bundlePath().string()));
    record.emplace("pid", Value::integer(*pid));
    const auto line = writeJson(Value::dictionary(std::move(record)));
    if (line) appendToFile(machine->file("workspace/opened.jsonl"), *line + "\n");
    return 0;
}
