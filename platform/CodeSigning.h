#pragma once
// Code signatures. A signed bundle carries a signature record written by our signing tool
// (`codesign`, platform/sim/): its signing identifier, its developer team (none for an
// ad-hoc signature), the SHA-256 digest of every file it seals and, for a team, the team's
// Ed25519 signature over the digest of all that. The team's private key stays in the
// developer's key folder; a machine trusts the public keys its folder holds as anchors
// (security/anchors/<TEAM>.pub), as a Mac trusts its certificate chain. Code is a bundle
// folder or an executable inside one; the executables the record names carry their own
// signing identifiers (the bundle's main executable has the bundle's). Format and faults
// are in docs/machine-folder.md.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "platform/Machine.h"
#include "platform/PeerCode.h"
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
    std::optional<std::string> signature;       // lowercase hex Ed25519 signature; none ad hoc
    bool operator==(const SignatureRecord&) const = default;
};

// The record as the property list the bundle keeps; absent when the text is not one.
std::optional<SignatureRecord> parseSignatureRecord(std::string_view xml);
std::string writeSignatureRecord(const SignatureRecord& record);
// What the team's key signs: the SHA-256 of the record written without its signature.
std::string signedDigest(const SignatureRecord& record);

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
    notSigned,          // no record, or the code is not one the record names
    modified,           // a sealed file changed, went missing, or one was added, or the
                        // sealed files hold more than `maximumSealedBytes`
    badRequirement,     // the requirement does not compile
    requirementNotMet,  // another identifier or team, or an ad-hoc signature
    untrusted,          // the record is not signed by a key the anchors hold for its team
    timedOut,           // the bundle could not be looked through before the check's deadline
    foreignCode,        // the process shows code from outside the system's library folders
                        // and its own sealed files, or a way to put such code into it
                        // (ForeignCode)
    needsHashing,       // a check that may hash nothing met a sealed file whose digest is not
                        // known yet: only a full check can tell
    unsettled,          // a check that may not wait met code pages that differ from the kernel's
                        // view only by breakpoints the view lacks: look again a moment later
};

// What a check of a running process found: the result, and why in words for the refused peer
// and the log, worked out from what the check itself saw (empty when valid).
struct ProcessCheck {
    SignatureCheck result = SignatureCheck::notSigned;
    std::string reason;
};
// How far a check of a running process may go: hash sealed files whose digests are not known
// (else `needsHashing`), and what to do with code pages that differ only by breakpoints
// (SecondLook::later makes it `unsettled`).
struct CheckDepth {
    bool hash = true;
    SecondLook breakpoints = SecondLook::wait;
};

// Why a check failed, in words: "it is not signed", "it is signed by another team", ….
std::string_view describe(SignatureCheck check);

// No bundle whose sealed files hold more is hashed: it is refused as modified.
inline constexpr std::uint64_t maximumSealedBytes = std::uint64_t{1} << 30;
// No record is larger: a bundle with a larger one (or one that is no regular file) is not signed.
inline constexpr std::uint64_t maximumRecordBytes = std::uint64_t{1} << 20;
// How long one check of a code may look through its bundle.
inline constexpr double checkDeadlineSeconds = 10;

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
    // The code a running process executes meets the requirement, looked at as deep as `depth`
    // lets: its code, checked (absent code is not signed). Here the reason is the result's words.
    virtual ProcessCheck checkProcess(std::int32_t pid, std::string_view requirement, const CheckDepth& depth) const;
};

// Signatures read from the records in bundles, trusted when signed by a key of the anchors
// folder for the record's team; the running process is /proc/self/exe. The record is read
// only when it is a regular file of at most `maximumRecordBytes`, opened without waiting and
// without following a link inside the bundle. The cheap facts (identifier, team, signature)
// are checked before any sealed file is hashed, and a check that has not looked through the
// bundle by its deadline fails (`timedOut`). Digests are kept per file while the file's
// identity, size and change times stay the same, so checking a peer on every message does
// not hash its bundle each time.
class RecordCodeSigning final : public CodeSigning {
public:
    // Trusts the machine's anchors, `security/anchors/` of its folder.
    explicit RecordCodeSigning(const Machine& machine, double checkSeconds = checkDeadlineSeconds);
    // Trusts the anchors of this folder: `<TEAM>.pub`, one hex public key a line.
    explicit RecordCodeSigning(Path anchors, double checkSeconds = checkDeadlineSeconds)
        : anchors_(std::move(anchors)), checkSeconds_(checkSeconds) {}

    std::optional<Path> selfCode() const override;
    std::optional<Path> processCode(std::int32_t pid) const override;
    std::optional<Value::Dictionary> signingInformation(const Path& code) const override;
    SignatureCheck checkValidity(const Path& code, std::string_view requirement) const override;
    // Also requires the file checked to be the one the process runs (the same inode), so a
    // file renamed over the program's path after its start does not pass for it, and the
    // process to show no foreign code (lookAtPeer): every file it has mapped as code lies in the
    // system's library folders or is one of its bundle's sealed files as it is now (the same
    // inode), as a signed program refuses other libraries, and nothing else — anonymous code,
    // written code pages, a tracer, a loader variable — makes it `foreignCode`. These are looked
    // at before any file is hashed, within the check's deadline; the reason names what was found.
    ProcessCheck checkProcess(std::int32_t pid, std::string_view requirement, const CheckDepth& depth) const override;

private:
    Path anchors_;
    double checkSeconds_;
};

// The bundle (a folder ending in ".app") that holds a code path, the bundle itself included;
// absent when it lies in none.
std::optional<Path> enclosingBundle(const Path& code);

// The developer's signing keys: $NORVANE_SIGNING_KEYS, else norvane/signing-keys in the
// user's configuration folder (~/.config). Never inside a bundle or the sources.
Path signingKeysFolder();
// Whether a team's name can be one: letters, digits, '.', '-' and '_', not starting with '.'.
bool isTeamName(std::string_view team);
// The team's public key (lowercase hex of its 32 bytes), from its private key
// `<TEAM>.key` in the key folder, which is created on first use: the folder with mode 0700,
// the key (PEM, PKCS #8) with mode 0600. A key that others may read is refused. Absent,
// with the reason, when it cannot be had.
std::optional<std::string> teamPublicKey(std::string_view team, const Path& keys, std::string& error);
// Adds the team's public key to the trust anchors of `anchors` (security/anchors/ of a
// machine): the line goes into `<TEAM>.pub` unless it is there already.
bool trustKey(const Path& anchors, std::string_view team, std::string_view publicKey);
// A machine's trust anchors.
inline Path anchorsFolder(const Machine& machine) { return machine.file("security/anchors"); }

// Signs a bundle: seals every file except the record itself, under the identifier (its
// Info.plist's CFBundleIdentifier when empty) and the team (none: ad hoc) with the team's
// key from `keys`; `code` names the identifiers of its other executables. The main
// executable (CFBundleExecutable) gets the bundle's identifier. False, with the reason,
// when it cannot.
bool signBundle(const Path& bundle, std::string identifier, std::optional<std::string> team,
                std::map<std::string, std::string> code, std::string& error, const Path& keys = signingKeysFolder());

// The lowercase hex SHA-256 of a regular file's content (of its target's path, for a
// symbolic link); absent when it cannot be read, is of another kind, or holds more than
// `limit` bytes.
std::optional<std::string> fileDigest(const Path& file, std::uint64_t limit = UINT64_MAX);

}  // namespace norvane
