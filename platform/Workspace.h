#pragma once
// The workspace: what the desktop shows the app of itself and of other applications.
// It holds the desktop picture, the accent colour, application icons, the installed
// applications and the running ones; it asks an application to quit or brings it to the
// front, and opens URLs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Color.h"
#include "platform/Machine.h"

namespace norvane {

// Whether a running application has a Dock icon (regular), lives in the menu bar
// (accessory) or shows nothing (prohibited: agents and daemons).
enum class ActivationPolicy { regular, accessory, prohibited };

struct RunningApplication {
    std::optional<std::string> bundlePath;     // its bundle, a Mac path; absent without one
    std::optional<std::string> localizedName;  // absent when it has none
    ActivationPolicy policy = ActivationPolicy::regular;
    bool operator==(const RunningApplication&) const = default;
};

class Workspace {
public:
    virtual ~Workspace() = default;
    // The picture file of the main screen's desktop; absent when there is no main screen
    // or it shows no picture.
    virtual std::optional<Path> desktopPicture() const = 0;
    // The user's accent colour; absent when it cannot be had as an RGB colour.
    virtual std::optional<Color> accentColor() const = 0;
    // The icon image (PNG) of the application bundle or file at a path; absent when it has
    // none of its own (callers then fall back to a generic icon).
    virtual std::optional<Path> iconFile(std::string_view path) const = 0;
    // The bundle of the installed application with that identifier; absent when none is.
    virtual std::optional<Path> urlForApplication(std::string_view bundleIdentifier) const = 0;
    // The running applications in the system's order.
    virtual std::vector<RunningApplication> runningApplications() const = 0;
    // The application that has the keyboard; absent when none has.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
    // Asks the application running from the bundle to quit, as the user would; it may
    // delay or refuse. False when none runs from it.
    virtual bool terminate(std::string_view bundlePath) const = 0;
    // Brings the application running from the bundle to the front; false when none runs.
    virtual bool activate(std::string_view bundlePath) const = 0;
    // Opens a page of System Settings ("x-apple.systempreferences:…") or a web link (http
    // or https only); false for any other URL or when it could not be opened.
    virtual bool open(std::string_view url) const = 0;
    // Shows the file selected in the file viewer; false when it could not be asked.
    virtual bool selectFile(const Path& file) const = 0;
    // The user's accessibility setting "Reduce motion"; off when it cannot be read (and in a
    // workspace that does not know it).
    virtual bool accessibilityDisplayShouldReduceMotion() const { return false; }
};

// The workspace of a machine folder: `workspace/desktop.json` holds the accent colour and
// the screens with their pictures; application bundles live in the folder at their Mac
// paths, their icons as PNG files; the installed applications are the bundles in the
// folder's `Applications/`, known by the CFBundleIdentifier of their Info.plist; the running
// applications are listed in `workspace/running.json`. Each call reads the files afresh.
// Quitting removes the application from that list unless its entry says it does not quit,
// bringing one to the front marks it active; System Settings pages opened are appended to
// `workspace/opened-urls.jsonl`, and web links go to `/usr/bin/xdg-open` through the
// machine's shell (the folder's own when it has one, else this machine's), started detached.
// A file to show is appended to `workspace/selected.jsonl` and handed to the desktop's file
// manager (ShowItems of org.freedesktop.FileManager1, with `/usr/bin/dbus-send` found the
// same way), detached. Reduce motion is the `reduceMotion` entry of the universal-access
// preferences, `Library/Preferences/com.apple.universalaccess.plist`.
class MachineWorkspace final : public Workspace {
public:
    explicit MachineWorkspace(Machine machine) : machine_(std::move(machine)) {}
    std::optional<Path> desktopPicture() const override;
    std::optional<Color> accentColor() const override;
    std::optional<Path> iconFile(std::string_view path) const override;
    std::optional<Path> urlForApplication(std::string_view bundleIdentifier) const override;
    std::vector<RunningApplication> runningApplications() const override;
    std::optional<RunningApplication> frontmostApplication() const override;
    bool terminate(std::string_view bundlePath) const override;
    bool activate(std::string_view bundlePath) const override;
    bool open(std::string_view url) const override;
    bool selectFile(const Path& file) const override;
    bool accessibilityDisplayShouldReduceMotion() const override;

    // A Mac path names a file of the simulated Mac when the folder holds it, else the file
    // of this machine.
    Path resolve(std::string_view macPath) const;

private:
    Machine machine_;
};

}  // namespace norvane
