// codesign: signs an application bundle with a signature record of ours.
//
//   codesign --sign TEAM|- [--identifier ID] [--code PATH=ID]... BUNDLE.app
//
// "-" signs ad hoc (no team). The identifier defaults to the bundle's CFBundleIdentifier;
// each --code names another executable of the bundle (a path inside it) and its signing
// identifier. Any other usage is refused with status 1.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/CodeSigning.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

int refuse(const std::string& why) {
    sim::writeError("codesign: " + why + "\nusage: codesign --sign TEAM|- [--identifier ID] [--code PATH=ID]... BUNDLE.app\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::optional<std::string> team;
    bool signedFor = false;
    std::string identifier;
    std::map<std::string, std::string> code;
    std::optional<std::string> bundle;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (word == "--sign" && hasValue) {
            signedFor = true;
            const std::string& value = arguments[++i];
            team = value == "-" ? std::nullopt : std::optional(value);
        } else if (word == "--identifier" && hasValue) {
            identifier = arguments[++i];
        } else if (word == "--code" && hasValue) {
            const std::string& value = arguments[++i];
            const auto equals = value.find('=');
            if (equals == std::string::npos || equals == 0 || equals + 1 == value.size())
                return refuse("--code takes PATH=ID");
            code[value.substr(0, equals)] = value.substr(equals + 1);
        } else if (!word.starts_with("--") && !bundle) {
            bundle = word;
        } else {
            return refuse("unknown argument " + word);
        }
    }
    if (!signedFor || !bundle) return refuse("--sign and a bundle are needed");
    std::string error;
    if (!signBundle(*bundle, identifier, team, code, error)) return refuse(error);
    return 0;
}
