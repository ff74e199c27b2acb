#pragma once
// Code signatures. A signed bundle carries a signature record written by our signing tool
// (`codesign`, platform/sim/): its signing identifier, its developer team (none for an
// ad-hoc signature) and the SHA-256 digest of every file it seals. Code is a bundle folder
// or an executable inside one; the executables the record names carry their own signing
// identifiers (the bundle's main executable has the bundle's). Format and faults are in
// docs/machine-folder.md.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Files.h"
#include "platform/Value.h"

namespace norvane {

// Where a bundle keeps its record, relative to the bundle.
inline constexpr std::string_view signatureRecordPath = "Contents/_CodeSignature/CodeResources";
// The key of the team in signing information; absent for ad-hoc or unsigned code.
inline constexpr std::string_view signingInfoTeamKey = "teamid";
inline constexpr std::string_view signingInfoIdentifierKey = "identifier";

struct SignatureRecord {
    std::string identifier;
    std::optional<std::string> team;            // none: signed ad hoc
    std::map<std::string, std::string> files;   // relative path → lowercase hex SHA-256
    std::map<std::string, std::string> code;    // executable's relative path → its identifier
    bool operator==(const SignatureRecord&) const = default;
};

// The record as the property list the bundle keeps; absent when the text is not one.
std::optional<SignatureRecord> parseSignatureRecord(std::string_view xml);
std::string writeSignatureRecord(const SignatureRecord& record);

// What a requirement asks, in the one form our programs build: the peer is signed with a
// developer certificate, carries the identifier and its certificate names the team.
struct Requirement {
    std::string identifier;
    std::string team;
    bool operator==(const Requirement&) const = default;
};
// Compiles `anchor apple generic and identifier "ID" and certificate leaf[subject.OU] = "TEAM"`
// (nothing else); absent when the text does not have exactly that form.
std::optional<Requirement> parseRequirement(std::string_view text);

// Why a code is or is not valid against a requirement.
enum class SignatureCheck {
    valid,
    notSigned,            // no record, or the code is not one the record names
    modified,             // a sealed file changed, went missing, or one was added
    badRequirement,       // the requirement does not compile
    requirementNotMet,    // another identifier or team, or an ad-hoc signature
};

class CodeSigning {
public:
    virtual ~CodeSigning() = default;
    // The running program's own code (its executable's path); absent when it cannot be had.
    virtual std::optional<Path> selfCode() const = 0;
    // The code a running process executes; absent when the process is not there or not ours to
    // look at.
    virtual std::optional<Path> processCode(std::int32_t pid) const = 0;
    // The code's signing information: "identifier" and "teamid" (strings) when signed; an
    // empty dictionary for unsigned code; absent when the code is not there.
    virtual std::optional<Value::Dictionary> signingInformation(const Path& code) const = 0;
    // The code is sealed as signed and meets the requirement.
    virtual SignatureCheck checkValidity(const Path& code, std::string_view requirement) const = 0;
};

// Signatures read from the records in bundles; the running process is /proc/self/exe.
// Digests are kept per file while the file's identity, size and change times stay the same,
// so checking a peer on every connection does not hash its bundle each time.
class RecordCodeSigning final : public CodeSigning {
public:
    std::optional<Path> selfCode() const override;
    std::optional<Path> processCode(std::int32_t pid) const override;
    std::optional<Value::Dictionary> signingInformation(const Path& code) const override;
    SignatureCheck checkValidity(const Path& code, std::string_view requirement) const override;
};

// The bundle (a folder ending in ".app") that holds a code path, the bundle itself included;
// absent when it lies in none.
std::optional<Path> enclosingBundle(const Path& code);

// Signs a bundle: seals every file except the record itself, under the identifier (its
// Info.plist's CFBundleIdentifier when empty) and the team (none: ad hoc); `code` names the
// identifiers of its other executables. The main executable (CFBundleExecutable) gets the
// bundle's identifier. False, with the reason, when it cannot.
bool signBundle(const Path& bundle, std::string identifier, std::optional<std::string> team,
                std::map<std::string, std::string> code, std::string& error);

// The lowercase hex SHA-256 of a file's content (of its target's path, for a symbolic link);
// absent when it cannot be read.
std::optional<std::string> fileDigest(const Path& file);

}  // namespace norvane
