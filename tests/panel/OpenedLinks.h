#pragma once
// The machine's workspace, with the links it is asked to open noted instead of opened.

#include <string>
#include <vector>

#include "platform/Workspace.h"

namespace norvane::testing {

struct OpenedLinks final : Workspace {
    explicit OpenedLinks(Machine machine) : real(std::move(machine)) {}
    MachineWorkspace real;
    mutable std::vector<std::string> opened;
    std::optional<Path> desktopPicture() const override { return real.desktopPicture(); }
    std::optional<Color> accentColor() const override { return real.accentColor(); }
    std::optional<Path> iconFile(std::string_view path) const override { return real.iconFile(path); }
    std::optional<Path> urlForApplication(std::string_view id) const override { return real.urlForApplication(id); }
    std::vector<RunningApplication> runningApplications() const override { return real.runningApplications(); }
    std::optional<RunningApplication> frontmostApplication() const override { return real.frontmostApplication(); }
    bool terminate(std::string_view bundle) const override { return real.terminate(bundle); }
    bool forceTerminate(std::string_view bundle) const override { return real.forceTerminate(bundle); }
    bool activate(std::string_view bundle) const override { return real.activate(bundle); }
    bool open(std::string_view url) const override { return opened.emplace_back(url), true; }
    bool selectFile(const Path& file) const override { return real.selectFile(file); }
};

}  // namespace norvane::testing
