#include "platform/CodeSigning.h"

#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/ProcessTable.h"
#include "platform/PropertyList.h"

namespace norvane {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view requirementHead = "anchor apple generic and identifier \"";
constexpr std::string_view requirementMiddle = "\" and certificate leaf[subject.OU] = \"";

std::optional<std::map<std::string, std::string>> stringTable(const Value* value) {
    if (!value || !value->isDictionary()) return std::nullopt;
    std::map<std::string, std::string> out;
    for (const auto& [key, item] : *value->asDictionary()) {
        if (!item.isString()) return std::nullopt;
        out.emplace(key, *item.asString());
    }
    return out;
}

Value tableValue(const std::map<std::string, std::string>& table) {
    Value::Dictionary out;
    for (const auto& [key, item] : table) out.emplace(key, Value::string(item));
    return Value::dictionary(std::move(out));
}

std::string hex(const unsigned char* bytes, std::size_t size) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0xF]);
    }
    return out;
}

std::optional<std::string> sha256(std::FILE* file) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    std::array<char, 1 << 16> buffer{};
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
        if (n > 0 && EVP_DigestUpdate(context.get(), buffer.data(), n) != 1) return std::nullopt;
        if (n < buffer.size()) break;
    }
    if (std::ferror(file)) return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &size) != 1) return std::nullopt;
    return hex(digest, size);
}

std::optional<std::string> sha256(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) return std::nullopt;
    return hex(digest, size);
}

// A file's digest is kept while nothing about the file has changed: any write moves its
// change time, a replacement changes its inode.
struct CachedDigest {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified, changed;
    std::string digest;
    bool matches(const struct stat& s) const {
        return device == s.st_dev && inode == s.st_ino && size == s.st_size &&
               modified.tv_sec == s.st_mtim.tv_sec && modified.tv_nsec == s.st_mtim.tv_nsec &&
               changed.tv_sec == s.st_ctim.tv_sec && changed.tv_nsec == s.st_ctim.tv_nsec;
    }
};

std::mutex cacheMutex;
std::unordered_map<std::string, CachedDigest>& digestCache() {
    static std::unordered_map<std::string, CachedDigest> cache;
    return cache;
}

// Every file and link of the bundle, but the signature folder: path → digest. Absent when
// one cannot be read.
std::optional<std::map<std::string, std::string>> seal(const Path& bundle) {
    std::map<std::string, std::string> files;
    std::error_code error;
    const Path skipped = Path(signatureRecordPath).parent_path();
    for (auto it = fs::recursive_directory_iterator(bundle, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const Path relative = it->path().lexically_relative(bundle);
        if (relative == skipped) {
            it.disable_recursion_pending();
            continue;
        }
        const auto status = it->symlink_status(error);
        if (error) return std::nullopt;
        if (!fs::is_regular_file(status) && !fs::is_symlink(status)) continue;
        auto digest = fileDigest(it->path());
        if (!digest) return std::nullopt;
        files.emplace(relative.generic_string(), std::move(*digest));
    }
    if (error) return std::nullopt;
    return files;
}

Path normal(const Path& path) {
    std::error_code error;
    Path out = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path.lexically_normal() : out;
}

std::optional<SignatureRecord> recordOf(const Path& bundle) {
    const auto text = readFile(bundle / Path(signatureRecordPath));
    return text ? parseSignatureRecord(*text) : std::nullopt;
}

// The code's bundle, its record and its identifier; absent when the code is not signed.
struct SignedCode {
    Path bundle;
    SignatureRecord record;
    std::string identifier;
};

std::optional<SignedCode> signedCode(const Path& code) {
    const Path path = normal(code);
    const auto bundle = enclosingBundle(path);
    if (!bundle) return std::nullopt;
    auto record = recordOf(*bundle);
    if (!record) return std::nullopt;
    std::string identifier = record->identifier;
    if (path != *bundle) {
        const auto named = record->code.find(path.lexically_relative(*bundle).generic_string());
        if (named == record->code.end()) return std::nullopt;
        identifier = named->second;
    }
    return SignedCode{*bundle, std::move(*record), std::move(identifier)};
}

}  // namespace

std::optional<SignatureRecord> parseSignatureRecord(std::string_view xml) {
    const auto root = parsePropertyList(xml);
    if (!root || !root->isDictionary()) return std::nullopt;
    const Value* identifier = root->find("identifier");
    const Value* team = root->find("team");
    if (!identifier || !identifier->isString() || (team && !team->isString())) return std::nullopt;
    auto files = stringTable(root->find("files"));
    auto code = stringTable(root->find("code"));
    if (!files || !code) return std::nullopt;
    SignatureRecord record{*identifier->asString(), std::nullopt, std::move(*files), std::move(*code)};
    if (team && !team->asString()->empty()) record.team = *team->asString();
    return record;
}

std::string writeSignatureRecord(const SignatureRecord& record) {
    Value::Dictionary root;
    root.emplace("identifier", Value::string(record.identifier));
    root.emplace("files", tableValue(record.files));
    root.emplace("code", tableValue(record.code));
    if (record.team) root.emplace("team", Value::string(*record.team));
    return writePropertyList(Value::dictionary(std::move(root)));
}

std::optional<Requirement> parseRequirement(std::string_view text) {
    if (!text.starts_with(requirementHead)) return std::nullopt;
    text.remove_prefix(requirementHead.size());
    const auto middle = text.find(requirementMiddle);
    if (middle == std::string_view::npos) return std::nullopt;
    const std::string_view identifier = text.substr(0, middle);
    std::string_view team = text.substr(middle + requirementMiddle.size());
    if (!team.ends_with('"')) return std::nullopt;
    team.remove_suffix(1);
    // Neither value is escaped, so a quote inside one would be another requirement.
    if (identifier.find('"') != std::string_view::npos || team.find('"') != std::string_view::npos)
        return std::nullopt;
    return Requirement{std::string(identifier), std::string(team)};
}

std::optional<Path> enclosingBundle(const Path& code) {
    for (Path path = code; !path.empty(); path = path.parent_path()) {
        if (path.filename().string().ends_with(".app")) return path;
        if (path == path.parent_path()) break;
    }
    return std::nullopt;
}

std::optional<std::string> fileDigest(const Path& file) {
    struct stat s {};
    if (::lstat(file.c_str(), &s) != 0) return std::nullopt;
    if (S_ISLNK(s.st_mode)) {
        std::error_code error;
        const Path target = fs::read_symlink(file, error);
        if (error) return std::nullopt;
        return sha256("link:" + target.string());
    }
    const std::string key = file.string();
    {
        const std::lock_guard lock(cacheMutex);
        const auto found = digestCache().find(key);
        if (found != digestCache().end() && found->second.matches(s)) return found->second.digest;
    }
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (!stream) return std::nullopt;
    struct stat opened {};
    const bool same = ::fstat(::fileno(stream), &opened) == 0;
    auto digest = sha256(stream);
    std::fclose(stream);
    // Keep it only when the file read is the one looked at, and did not change meanwhile.
    if (digest && same) {
        struct stat after {};
        CachedDigest entry{opened.st_dev, opened.st_ino, opened.st_size, opened.st_mtim, opened.st_ctim, *digest};
        if (::lstat(file.c_str(), &after) == 0 && entry.matches(after)) {
            const std::lock_guard lock(cacheMutex);
            digestCache()[key] = std::move(entry);
        }
    }
    return digest;
}

bool signBundle(const Path& bundle, std::string identifier, std::optional<std::string> team,
                std::map<std::string, std::string> code, std::string& error) {
    if (!fs::is_directory(bundle) || !bundle.filename().string().ends_with(".app")) {
        error = bundle.string() + " is not an app bundle";
        return false;
    }
    const auto info = readFile(bundle / "Contents/Info.plist");
    const auto plist = info ? parsePropertyList(*info) : std::nullopt;
    const Value* named = plist ? plist->find("CFBundleIdentifier") : nullptr;
    if (identifier.empty() && named && named->isString()) identifier = *named->asString();
    if (identifier.empty()) {
        error = "no identifier: give one, or a CFBundleIdentifier in Contents/Info.plist";
        return false;
    }
    if (team && team->empty()) team.reset();
    if (identifier.find('"') != std::string::npos || (team && team->find('"') != std::string::npos)) {
        error = "an identifier or team cannot hold a double quote";
        return false;
    }
    if (const Value* executable = plist ? plist->find("CFBundleExecutable") : nullptr; executable && executable->isString())
        code.try_emplace("Contents/MacOS/" + *executable->asString(), identifier);
    for (const auto& [path, id] : code) {
        if (!fs::is_regular_file(bundle / path)) {
            error = "no executable " + path + " in the bundle";
            return false;
        }
    }
    auto files = seal(bundle);
    if (!files) {
        error = "a file of the bundle cannot be read";
        return false;
    }
    const SignatureRecord record{std::move(identifier), std::move(team), std::move(*files), std::move(code)};
    const Path file = bundle / Path(signatureRecordPath);
    if (!createDirectories(file.parent_path()) || !writeFileAtomically(file, writeSignatureRecord(record))) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

std::optional<Path> RecordCodeSigning::selfCode() const { return processCode(static_cast<std::int32_t>(::getpid())); }

std::optional<Path> RecordCodeSigning::processCode(std::int32_t pid) const {
    const std::string path = processPath(pid);
    if (path.empty()) return std::nullopt;
    return Path(path);
}

std::optional<Value::Dictionary> RecordCodeSigning::signingInformation(const Path& code) const {
    std::error_code error;
    if (!fs::exists(code, error)) return std::nullopt;
    Value::Dictionary info;
    if (const auto found = signedCode(code)) {
        info.emplace(signingInfoIdentifierKey, Value::string(found->identifier));
        if (found->record.team) info.emplace(signingInfoTeamKey, Value::string(*found->record.team));
    }
    return info;
}

SignatureCheck RecordCodeSigning::checkValidity(const Path& code, std::string_view requirement) const {
    const auto wanted = parseRequirement(requirement);
    if (!wanted) return SignatureCheck::badRequirement;
    const auto found = signedCode(code);
    if (!found) return SignatureCheck::notSigned;
    if (seal(found->bundle) != found->record.files) return SignatureCheck::modified;
    // "anchor apple generic": only a developer certificate, which names a team, meets it.
    if (!found->record.team || *found->record.team != wanted->team || found->identifier != wanted->identifier)
        return SignatureCheck::requirementNotMet;
    return SignatureCheck::valid;
}

}  // namespace norvane
