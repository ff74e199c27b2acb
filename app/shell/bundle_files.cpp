// Writes the bundle's property lists: Contents/Info.plist and the helper's launchd property
// list in Contents/Library/LaunchDaemons/, which service management registers and launchd
// starts the helper from.
//
//   norvane_bundle_files BUNDLE.app SHORT_VERSION BUILD

#include <cstdio>
#include <string>

#include "platform/PropertyList.h"
#include "platform/Text.h"
#include "shared/NorvaneShared.h"

using namespace norvane;

int main(int argc, char** argv) {
    const auto build = argc == 4 ? parseInt64(argv[3]) : std::nullopt;
    if (!build) {
        std::fprintf(stderr, "usage: norvane_bundle_files BUNDLE.app SHORT_VERSION BUILD (an integer)\n");
        return 1;
    }
    const Path contents = Path(argv[1]) / "Contents";
    Value::Dictionary info;
    info.emplace("CFBundleIdentifier", Value::string(std::string(appBundleID)));
    info.emplace("CFBundleExecutable", Value::string("Norvane"));
    info.emplace("CFBundleName", Value::string("Norvane"));
    info.emplace("CFBundlePackageType", Value::string("APPL"));
    info.emplace("CFBundleShortVersionString", Value::string(argv[2]));
    info.emplace("CFBundleVersion", Value::string(std::to_string(*build)));
    Value::Dictionary services;
    services.emplace(std::string(helperBundleID), Value::boolean(true));
    Value::Dictionary daemon;
    daemon.emplace("Label", Value::string(std::string(helperBundleID)));
    daemon.emplace("BundleProgram", Value::string("Contents/MacOS/NorvaneHelper"));
    daemon.emplace("MachServices", Value::dictionary(std::move(services)));
    daemon.emplace("AssociatedBundleIdentifiers", Value::array({Value::string(std::string(appBundleID))}));
    const Path daemons = contents / "Library/LaunchDaemons";
    if (!createDirectories(daemons) || !writeFileAtomically(contents / "Info.plist", writePropertyList(Value::dictionary(std::move(info)))) ||
        !writeFileAtomically(daemons / Path(helperPlist), writePropertyList(Value::dictionary(std::move(daemon))))) {
        std::fprintf(stderr, "norvane_bundle_files: cannot write into %s\n", contents.c_str());
        return 1;
    }
    return 0;
}
