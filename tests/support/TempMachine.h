#pragma once
// A temporary folder for one test: a machine folder, or just a place for files. Removed
// when the test ends.

#include <string_view>

#include "platform/Machine.h"

namespace norvane::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const Path& path() const { return path_; }
    Path operator/(std::string_view name) const { return path_ / Path(name); }
    // Writes a file below the folder, creating its folders.
    Path write(std::string_view relative, std::string_view bytes) const;

private:
    Path path_;
};

// The tests' signing keys: a folder of the build's, never the developer's own.
Path signingKeys();

// An empty machine folder with the simulated commands installed, which trusts the build's
// own signing key as the anchor of its team.
class TempMachine {
public:
    TempMachine();
    const Machine& machine() const { return machine_; }
    // Makes the machine trust the team's key of the tests' key folder.
    void trust(std::string_view team) const;
    const Path& root() const { return machine_.root(); }
    Path write(std::string_view relative, std::string_view bytes) const { return folder_.write(relative, bytes); }

private:
    TempFolder folder_;
    Machine machine_;
};

// The content of a file under tests/fixtures.
std::string fixture(std::string_view name);

}  // namespace norvane::testing
