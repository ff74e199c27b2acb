// codesign: signs an application bundle with a signature record of ours.
//
//   codesign --sign TEAM|- [--identifier ID] [--code PATH=ID]... [--keychain FOLDER]
//            [--anchor FILE] BUNDLE.app
//
// "-" signs ad hoc (no team). The identifier defaults to the bundle's CFBundleIdentifier;
// each --code names another executable of the bundle (a path inside it) and its signing
// identifier. The team's private key comes from the key folder (--keychain, else
// $NORVANE_SIGNING_KEYS, else ~/.config/norvane/signing-keys) and is made there on first
// use. --anchor also writes the team's public key to FILE, as the trust anchor a machine
// folder takes (the build's goes to sim-commands/security/anchors/). Any other usage is
// refused with status 1.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/CodeSigning.h"
#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

int refuse(const std::string& why) {
    sim::writeError("codesign: " + why +
                    "\nusage: codesign --sign TEAM|- [--identifier ID] [--code PATH=ID]... [--keychain FOLDER] "
                    "[--anchor FILE] BUNDLE.app\n");
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
    Path keys = signingKeysFolder();
    std::optional<Path> anchor;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (word == "--sign" && hasValue) {
            signedFor = true;
            const std::string& value = arguments[++i];
            team = value == "-" ? std::nullopt : std::optional(value);
        } else if (word == "--identifier" && hasValue) {
            identifier = arguments[++i];
        } else if (word == "--keychain" && hasValue) {
            keys = arguments[++i];
        } else if (word == "--anchor" && hasValue) {
            anchor = arguments[++i];
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
    if (anchor && !team) return refuse("an ad-hoc signature has no key to anchor");
    if (!signBundle(*bundle, identifier, team, code, error, keys)) return refuse(error);
    if (anchor) {
        const auto key = teamPublicKey(*team, keys, error);
        if (!key) return refuse(error);
        if (!createDirectories(anchor->parent_path()) || !writeFileAtomically(*anchor, *key + "\n"))
            return refuse("cannot write " + anchor->string());
    }
    return 0;
}
