#pragma once
// What the update tests build: small signed bundles, zip archives of them (also with entries
// no honest archive has), and signatures seen from a running program that is a bundle of the
// test's own.

#include <optional>
#include <string>
#include <vector>

#include "platform/CodeSigning.h"
#include "tests/support/TempMachine.h"

namespace norvane::testing {

struct BundleRecipe {
    explicit BundleRecipe(std::optional<std::string> version = "58", std::string team = "TEAMONE001",
                        std::string identifier = "app.norvane.Norvane", std::string signedAs = "")
        : version(std::move(version)), team(std::move(team)), identifier(std::move(identifier)), signedAs(std::move(signedAs)) {}
    std::optional<std::string> version;               // CFBundleVersion; none leaves it out
    std::string team;                                 // empty: not signed
    std::string identifier;                           // CFBundleIdentifier
    std::string signedAs;                             // the signature's identifier; empty: the bundle's
    std::optional<std::string> shortVersion = "1.5";  // CFBundleShortVersionString
    Path keys = signingKeys();                        // whose key signs it
};

// A bundle whose executable notes each start in $NORVANE_MACHINE/started.
Path makeBundle(const Path& app, const BundleRecipe& recipe);
// Writes a bundle's CFBundleVersion.
void setBuild(const Path& app, const std::string& build);

struct ZipEntry {
    enum class Kind { file, folder, link };
    std::string name;
    std::string content;  // a link's target
    Kind kind = Kind::file;
    int mode = 0644;
};
// The files, folders and links below a folder, named `prefix` + their relative path.
std::vector<ZipEntry> entriesOf(const Path& folder, const std::string& prefix);
// A zip archive of the entries, stored without compression.
void writeZip(const Path& zip, const std::vector<ZipEntry>& entries);

// Signatures as their records say, trusted by the machine's anchors, the running program
// being `self`.
class RunningAs final : public CodeSigning {
public:
    RunningAs(Path self, const Machine& machine) : self_(std::move(self)), records_(machine) {}
    std::optional<Path> selfCode() const override { return self_; }
    std::optional<Path> processCode(std::int32_t pid) const override { return records_.processCode(pid); }
    std::optional<Value::Dictionary> signingInformation(const Path& code) const override {
        return records_.signingInformation(code);
    }
    SignatureCheck checkValidity(const Path& code, std::string_view requirement) const override {
        return records_.checkValidity(code, requirement);
    }

private:
    Path self_;
    RecordCodeSigning records_;
};

}  // namespace norvane::testing
