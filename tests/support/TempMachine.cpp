#include "tests/support/TempMachine.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/CodeSigning.h"
#include "platform/Files.h"

namespace norvane::testing {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvane-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(path_, error);
}

Path TempFolder::write(std::string_view relative, std::string_view bytes) const {
    const Path file = path_ / Path(relative);
    createDirectories(file.parent_path());
    if (!writeFileAtomically(file, bytes)) ADD_FAILURE() << "could not write " << file;
    return file;
}

Path signingKeys() { return NORVANE_TEST_SIGNING_KEYS; }

TempMachine::TempMachine() : machine_(folder_.path()) { machine_.installCommands(); }

void TempMachine::trust(std::string_view team) const {
    std::string error;
    const auto key = teamPublicKey(team, signingKeys(), error);
    ASSERT_TRUE(key) << error;
    ASSERT_TRUE(trustKey(anchorsFolder(machine_), team, *key));
}

std::string fixture(std::string_view name) {
    const auto text = readFile(Path(NORVANE_TEST_FIXTURES) / Path(name));
    if (!text) ADD_FAILURE() << "missing fixture " << name;
    return text.value_or("");
}

}  // namespace norvane::testing
