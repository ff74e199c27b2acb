#pragma once
// The simulated Mac: a folder that holds what Linux cannot give us (registry entries,
// command answers, logs). Its layout is described in docs/machine-folder.md.

#include <initializer_list>
#include <optional>
#include <string_view>

#include "platform/Files.h"

namespace norvane {

class Machine {
public:
    explicit Machine(Path root);

    // The machine in use: $NORVANE_MACHINE, or the per-user default, created from the
    // template on first use. Absent when the default cannot be created.
    static std::optional<Machine> current();
    static Path defaultRoot();
    // The template shipped with the sources ($NORVANE_MACHINE_TEMPLATE overrides).
    static Path templateFolder();
    // Where the build puts the simulated commands ($NORVANE_SIM_COMMANDS overrides).
    static Path commandsFolder();
    // Copies the template into `destination` (which must not exist yet) and installs the
    // commands; false when any step fails, leaving nothing half made.
    static bool createFromTemplate(const Path& destination, const Path& source = templateFolder());

    const Path& root() const { return root_; }
    // A file of the folder by its relative name ("ioreg/AppleSmartBattery.plist").
    Path file(std::string_view relative) const { return root_ / Path(relative); }
    // The same as text, made without taking paths apart and in one allocation (for readers on
    // every tick); the relative name may come in pieces, joined as they are.
    std::string path(std::initializer_list<std::string_view> relative) const;
    std::string path(std::string_view relative) const { return path({relative}); }

    // A kernel statistics file ("stat", "net/dev"): the folder's proc/<name> when it has one,
    // so a test or a simulated Mac can fix the figures; else this machine's /proc/<name>.
    // Absent when the file that counts cannot be read.
    std::optional<std::string> readProc(std::string_view name) const;

    // macOS system programs (/usr/bin/…, /usr/sbin/…, /bin/…, /sbin/…, /usr/libexec/…)
    // live inside the folder; any other path is used as it is.
    Path resolve(std::string_view macPath) const;
    static bool isSystemPath(std::string_view macPath);

    // Links each simulated command into the folder where it is missing (files already
    // there are kept, so a test can replace a command); bin/sh is the machine's shell.
    void installCommands() const;

private:
    Path root_;
};

}  // namespace norvane
