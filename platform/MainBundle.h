#pragma once
// The running program's bundle: where it lies and what its Info.plist says. A program
// inside a bundle runs as <Name>.app/Contents/MacOS/<executable>; any other program's
// "bundle" is the folder that holds it, whose path does not end in ".app" and which has no
// identifier or versions.

#include <optional>
#include <string>

#include "platform/Files.h"

namespace norvane {

class MainBundle {
public:
    virtual ~MainBundle() = default;
    virtual Path bundlePath() const = 0;
    // CFBundleIdentifier, CFBundleVersion, CFBundleShortVersionString and CFBundleExecutable
    // of Contents/Info.plist; each absent when missing or not a string.
    virtual std::optional<std::string> identifier() const = 0;
    virtual std::optional<std::string> version() const = 0;
    virtual std::optional<std::string> shortVersion() const = 0;
    virtual std::optional<std::string> executable() const = 0;
    // Whether the program runs from an application bundle: its path ends in ".app".
    bool isApplication() const { return bundlePath().string().ends_with(".app"); }
};

// A bundle read from its folder; Info.plist is read afresh on every question.
class FolderBundle final : public MainBundle {
public:
    explicit FolderBundle(Path path) : path_(std::move(path)) {}
    // The bundle of the running program (its executable is /proc/self/exe).
    static FolderBundle running();
    // The bundle of an executable: <Name>.app when it lies in <Name>.app/Contents/MacOS/, else
    // its folder.
    static FolderBundle ofExecutable(const Path& executable);

    Path bundlePath() const override { return path_; }
    std::optional<std::string> identifier() const override { return info("CFBundleIdentifier"); }
    std::optional<std::string> version() const override { return info("CFBundleVersion"); }
    std::optional<std::string> shortVersion() const override { return info("CFBundleShortVersionString"); }
    std::optional<std::string> executable() const override { return info("CFBundleExecutable"); }

private:
    std::optional<std::string> info(std::string_view key) const;
    Path path_;
};

}  // namespace norvane
