#include "platform/CodeSigning.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <csignal>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/ProcessTable.h"
#include "platform/PropertyList.h"

namespace norvane {
namespace fs = std::filesystem;

namespace {

// OpenSSL frees every thread's state from an exit handler. A connection's thread that is still
// checking a peer when the program ends (it is never waited for) then hashes on freed state, or
// frees its own a second time as it ends: a crash, or a hang under the sanitizers, at quit. Set
// before main, so before any other first use (the transfer library's) registers that handler.
const bool cryptoOutlivesExit = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;

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

// A result with its own words as the reason.
ProcessCheck checked(SignatureCheck result) {
    return {result, result == SignatureCheck::valid ? std::string() : std::string(describe(result))};
}

using Clock = std::chrono::steady_clock;
// No deadline: a file the signing tool hashes, or the update's archive.
constexpr Clock::time_point never = Clock::time_point::max();

// The digest of what the descriptor holds; absent on a read error, past `limit` bytes, or
// (with `late` set) when the deadline passes first.
std::optional<std::string> sha256(int fd, std::uint64_t limit, Clock::time_point deadline, bool* late = nullptr) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    std::array<char, 1 << 16> buffer{};
    std::uint64_t total = 0;
    for (;;) {
        if (deadline != never && Clock::now() > deadline) {
            if (late) *late = true;
            return std::nullopt;
        }
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        total += static_cast<std::uint64_t>(n);
        if (total > limit) return std::nullopt;
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) return std::nullopt;
    }
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

// A file's digest is kept while nothing about the file has changed: a write moves its change
// time, a replacement changes its inode. Not every write does: one through a shared mapping
// into a page the mapping has already dirtied moves no time. So a digest is kept only for a
// file that no one had open for writing (or mapped so) before and after it was hashed, and
// whose times lie more than a second away: any later write then needs a new mapping or a
// write call, whose first touch stamps the file with a time unlike the one kept.
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

// Never destroyed: a check still running on a thread of its own when the program ends may
// still look.
std::mutex& cacheMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}
std::unordered_map<std::string, CachedDigest>& digestCache() {
    static auto* cache = new std::unordered_map<std::string, CachedDigest>;
    return *cache;
}
// The files being hashed now, by path: a second check of the same file waits for the first one's
// digest (the helper's look at its own bundle and the app's first request meet there) instead of
// reading it again beside it. Guarded by cacheMutex; told on `hashed` when one ends.
std::unordered_map<std::string, std::shared_ptr<bool>>& hashingNow() {
    static auto* files = new std::unordered_map<std::string, std::shared_ptr<bool>>;
    return *files;
}
std::condition_variable& hashed() {
    static auto* ended = new std::condition_variable;
    return *ended;
}

// With `uncached` given, hashes nothing: a file whose digest is not kept sets it instead.
std::optional<std::string> digestOf(const Path& file, std::uint64_t limit, Clock::time_point deadline, bool* late,
                                    bool* uncached = nullptr);

struct FileDescriptorCloser {
    int fd;
    ~FileDescriptorCloser() { ::close(fd); }
};

// Whether no one has the file open for writing, nor mapped it so: only then can a read lease
// be had. Taken and given back at once; a writer opening meanwhile waits that long, and the
// lease's signal is one ignored unless handled. False when it cannot be told (a file of
// another user, leases switched off).
bool noWriter(int fd) {
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0 || ::fcntl(fd, F_SETLEASE, F_RDLCK) != 0) return false;
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    return true;
}

// Whether the file's times lie more than a second from now, so that a write now would stamp
// it with other ones.
bool settled(const struct stat& s) {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const auto away = [&now](const timespec& t) { return std::abs(now.tv_sec - t.tv_sec) > 1; };
    return away(s.st_mtim) && away(s.st_ctim);
}

// Every file and link of the bundle, but the signature folder, with its size (0 for a link).
// Absent when one cannot be looked at, or (with `late` set) when the deadline passes first.
std::optional<std::map<std::string, std::uint64_t>> sealedFiles(const Path& bundle, Clock::time_point deadline = never,
                                                                bool* late = nullptr) {
    std::map<std::string, std::uint64_t> files;
    std::error_code error;
    const Path skipped = Path(signatureRecordPath).parent_path();
    for (auto it = fs::recursive_directory_iterator(bundle, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (deadline != never && Clock::now() > deadline) {
            if (late) *late = true;
            return std::nullopt;
        }
        const Path relative = it->path().lexically_relative(bundle);
        if (relative == skipped) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat s {};
        if (::lstat(it->path().c_str(), &s) != 0) return std::nullopt;
        if (S_ISLNK(s.st_mode)) files.emplace(relative.generic_string(), 0);
        else if (S_ISREG(s.st_mode)) files.emplace(relative.generic_string(), static_cast<std::uint64_t>(s.st_size));
    }
    if (error) return std::nullopt;
    return files;
}

// The digests of the files, hashing at most `maximumSealedBytes` in all; absent when one
// cannot be read, the files hold more, or (with `late` set) the deadline passes first.
std::optional<std::map<std::string, std::string>> digests(const Path& bundle,
                                                         const std::map<std::string, std::uint64_t>& files,
                                                         Clock::time_point deadline = never, bool* late = nullptr) {
    std::uint64_t total = 0;
    for (const auto& [name, size] : files) total += size;
    if (total > maximumSealedBytes) return std::nullopt;
    std::map<std::string, std::string> out;
    std::uint64_t left = maximumSealedBytes;
    for (const auto& [name, size] : files) {
        // A file that grew since it was looked at is read no further than its share.
        auto digest = digestOf(bundle / name, left, deadline, late);
        if (!digest) return std::nullopt;
        left -= std::min(left, size);
        out.emplace(name, std::move(*digest));
    }
    return out;
}

enum class Seal { intact, broken, late, unknown };

// Whether the bundle's files are the record's: the same names first, then their digests, the
// first one unlike the record's ending the look. Without `hash`, only the digests already kept
// are compared, and a file without one leaves the seal unknown.
Seal sealed(const Path& bundle, const SignatureRecord& record, Clock::time_point deadline, bool hash) {
    bool late = false;
    const auto files = sealedFiles(bundle, deadline, &late);
    if (late) return Seal::late;
    if (!files || files->size() != record.files.size()) return Seal::broken;
    auto b = record.files.begin();
    std::uint64_t total = 0;
    for (auto a = files->begin(); a != files->end(); ++a, ++b) {
        if (a->first != b->first) return Seal::broken;
        total += a->second;
    }
    if (total > maximumSealedBytes) return Seal::broken;
    bool unknown = false;
    std::uint64_t left = maximumSealedBytes;
    for (const auto& [name, size] : *files) {
        bool uncached = false;
        // A file that grew since it was looked at is read no further than its share.
        const auto digest = digestOf(bundle / name, left, deadline, &late, hash ? nullptr : &uncached);
        left -= std::min(left, size);
        if (uncached) {
            unknown = true;
            continue;
        }
        if (late) return Seal::late;
        if (!digest || *digest != record.files.at(name)) return Seal::broken;
    }
    return unknown ? Seal::unknown : Seal::intact;
}

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

std::optional<std::string> unhex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        for (const char c : text.substr(i, 2)) {
            value <<= 4;
            if (c >= '0' && c <= '9') value |= c - '0';
            else if (c >= 'a' && c <= 'f') value |= c - 'a' + 10;
            else return std::nullopt;
        }
        out.push_back(static_cast<char>(value));
    }
    return out;
}

std::optional<std::string> rawDigest(const SignatureRecord& record) {
    return unhex(signedDigest(record));
}

bool verifies(const SignatureRecord& record, std::string_view publicKey) {
    const auto raw = unhex(publicKey);
    const auto signature = record.signature ? unhex(*record.signature) : std::nullopt;
    const auto message = rawDigest(record);
    if (!raw || raw->size() != 32 || !signature || !message) return false;
    const Key key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                              reinterpret_cast<const unsigned char*>(raw->data()), raw->size()),
                  EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature->data()), signature->size(),
                            reinterpret_cast<const unsigned char*>(message->data()), message->size()) == 1;
}

// The anchors' keys for a team, one a line.
std::vector<std::string> anchorKeys(const Path& anchors, std::string_view team) {
    std::vector<std::string> keys;
    if (!isTeamName(team)) return keys;
    const auto text = readFile(anchors / (std::string(team) + ".pub"));
    if (!text) return keys;
    std::size_t start = 0;
    while (start < text->size()) {
        auto end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) keys.push_back(std::move(line));
        start = end + 1;
    }
    return keys;
}

bool trusted(const Path& anchors, const SignatureRecord& record) {
    if (!record.team || !record.signature) return false;
    for (const auto& key : anchorKeys(anchors, *record.team))
        if (verifies(record, key)) return true;
    return false;
}

// The team's private key, read from the folder or made there on first use.
Key teamKey(std::string_view team, const Path& keys, std::string& error) {
    Key none(nullptr, EVP_PKEY_free);
    if (!isTeamName(team)) {
        error = "the team " + std::string(team) + " cannot name a key";
        return none;
    }
    if (!createDirectories(keys.parent_path())) {
        error = "cannot make " + keys.parent_path().string();
        return none;
    }
    if (::mkdir(keys.c_str(), 0700) == 0) ::chmod(keys.c_str(), 0700);  // whatever the umask
    else if (errno != EEXIST) {
        error = "cannot make the key folder " + keys.string() + ": " + std::strerror(errno);
        return none;
    }
    const Path file = keys / (std::string(team) + ".key");
    const auto read = [&]() -> Key {
        const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat s {};
        if (fd < 0 || ::fstat(fd, &s) != 0 || !S_ISREG(s.st_mode) || (s.st_mode & 077) != 0 || s.st_uid != ::geteuid()) {
            if (fd >= 0) ::close(fd);
            error = "the key " + file.string() + " cannot be used: it must be a file of yours with mode 0600";
            return Key(nullptr, EVP_PKEY_free);
        }
        std::string pem;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0 && pem.size() < 65536;) pem.append(buffer, n);
        ::close(fd);
        const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())),
                                                            BIO_free);
        Key key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr, EVP_PKEY_free);
        if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
            error = "the key " + file.string() + " is no Ed25519 private key";
            return Key(nullptr, EVP_PKEY_free);
        }
        return key;
    };
    if (::access(file.c_str(), F_OK) == 0) return read();
    // First use: written under a name the system makes unique, with mode 0600, then linked
    // into place, so two builds at once end with one key. No pid names it: processes of two PID
    // namespaces (tests side by side, containers) may have the same.
    Key fresh(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free);
    const std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), BIO_free);
    if (!fresh || !out || PEM_write_bio_PrivateKey(out.get(), fresh.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        error = "cannot make a key";
        return none;
    }
    char* bytes = nullptr;
    const long size = BIO_get_mem_data(out.get(), &bytes);
    std::string temporary = (keys / ("." + std::string(team) + ".key.XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    const bool written = fd >= 0 && ::fchmod(fd, 0600) == 0 && ::write(fd, bytes, static_cast<std::size_t>(size)) == size &&
                         ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    const bool linked = written && (::link(temporary.c_str(), file.c_str()) == 0 || errno == EEXIST);
    if (fd >= 0) ::unlink(temporary.c_str());
    if (!linked) {
        error = "cannot write the key " + file.string();
        return none;
    }
    return read();
}

std::optional<std::string> publicKeyOf(EVP_PKEY* key) {
    unsigned char raw[32];
    std::size_t size = sizeof raw;
    if (EVP_PKEY_get_raw_public_key(key, raw, &size) != 1 || size != sizeof raw) return std::nullopt;
    return hex(raw, size);
}

std::optional<std::string> sign(EVP_PKEY* key, const SignatureRecord& record) {
    const auto message = rawDigest(record);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!message || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key) != 1) return std::nullopt;
    unsigned char signature[64];
    std::size_t size = sizeof signature;
    if (EVP_DigestSign(context.get(), signature, &size, reinterpret_cast<const unsigned char*>(message->data()),
                       message->size()) != 1)
        return std::nullopt;
    return hex(signature, size);
}

Path normal(const Path& path) {
    std::error_code error;
    Path out = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path.lexically_normal() : out;
}

// The record's bytes: a regular file of at most `maximumRecordBytes`, reached without
// following a link inside the bundle and opened without waiting (a FIFO there is no record);
// absent otherwise.
std::optional<std::string> readRecord(const Path& bundle) {
    int fd = ::open(bundle.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const Path relative(signatureRecordPath);
    for (auto part = relative.begin(); fd >= 0 && part != relative.end(); ++part) {
        const int flags = std::next(part) == relative.end() ? O_NONBLOCK : O_DIRECTORY;
        const int next = ::openat(fd, part->c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | flags);
        ::close(fd);
        fd = next;
    }
    if (fd < 0) return std::nullopt;
    std::optional<std::string> out;
    struct stat s {};
    if (::fstat(fd, &s) == 0 && S_ISREG(s.st_mode) && static_cast<std::uint64_t>(s.st_size) <= maximumRecordBytes) {
        std::string text;
        char buffer[65536];
        ssize_t n = 0;
        while (text.size() <= maximumRecordBytes && ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)))
            if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
        if (n == 0 && text.size() <= maximumRecordBytes) out = std::move(text);
    }
    ::close(fd);
    return out;
}

std::optional<SignatureRecord> recordOf(const Path& bundle) {
    const auto text = readRecord(bundle);
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
    const Value* signature = root->find("signature");
    if (!identifier || !identifier->isString() || (team && !team->isString()) || (signature && !signature->isString()))
        return std::nullopt;
    auto files = stringTable(root->find("files"));
    auto code = stringTable(root->find("code"));
    if (!files || !code) return std::nullopt;
    SignatureRecord record{*identifier->asString(), std::nullopt, std::move(*files), std::move(*code), std::nullopt};
    if (team && !team->asString()->empty()) record.team = *team->asString();
    if (signature) record.signature = *signature->asString();
    return record;
}

std::string writeSignatureRecord(const SignatureRecord& record) {
    Value::Dictionary root;
    root.emplace("identifier", Value::string(record.identifier));
    root.emplace("files", tableValue(record.files));
    root.emplace("code", tableValue(record.code));
    if (record.team) root.emplace("team", Value::string(*record.team));
    if (record.signature) root.emplace("signature", Value::string(*record.signature));
    return writePropertyList(Value::dictionary(std::move(root)));
}

std::string signedDigest(const SignatureRecord& record) {
    SignatureRecord unsigned_ = record;
    unsigned_.signature.reset();
    return sha256(writeSignatureRecord(unsigned_)).value_or("");
}

Path signingKeysFolder() {
    if (const char* named = std::getenv("NORVANE_SIGNING_KEYS"); named && *named) return Path(named);
    return preferencesFolder() / "norvane/signing-keys";
}

bool isTeamName(std::string_view team) {
    if (team.empty() || team.front() == '.' || team.size() > 64) return false;
    for (const char c : team)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') return false;
    return true;
}

std::optional<std::string> teamPublicKey(std::string_view team, const Path& keys, std::string& error) {
    const Key key = teamKey(team, keys, error);
    if (!key) return std::nullopt;
    return publicKeyOf(key.get());
}

bool trustKey(const Path& anchors, std::string_view team, std::string_view publicKey) {
    if (!isTeamName(team) || publicKey.empty() || publicKey.find('\n') != std::string_view::npos) return false;
    for (const auto& known : anchorKeys(anchors, team))
        if (known == publicKey) return true;
    const Path file = anchors / (std::string(team) + ".pub");
    std::string text = readFile(file).value_or("");
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += std::string(publicKey) + "\n";
    // Written whole: a link to the build's anchor is replaced, never written through.
    return createDirectories(anchors) && writeFileAtomically(file, text);
}

ProcessCheck CodeSigning::checkProcess(std::int32_t pid, std::string_view requirement, const CheckDepth&) const {
    const auto code = processCode(pid);
    if (!code) return checked(parseRequirement(requirement) ? SignatureCheck::notSigned : SignatureCheck::badRequirement);
    return checked(checkValidity(*code, requirement));
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

std::optional<std::string> fileDigest(const Path& file, std::uint64_t limit) { return digestOf(file, limit, never, nullptr); }

namespace {

std::optional<std::string> digestOf(const Path& file, std::uint64_t limit, Clock::time_point deadline, bool* late,
                                    bool* uncached) {
    struct stat s {};
    if (::lstat(file.c_str(), &s) != 0) return std::nullopt;
    if (S_ISLNK(s.st_mode)) {
        std::error_code error;
        const Path target = fs::read_symlink(file, error);
        if (error) return std::nullopt;
        return sha256("link:" + target.string());
    }
    if (!S_ISREG(s.st_mode) || static_cast<std::uint64_t>(s.st_size) > limit) return std::nullopt;
    const std::string key = file.string();
    std::shared_ptr<bool> mine;
    {
        std::unique_lock lock(cacheMutex());
        for (;;) {
            const auto found = digestCache().find(key);
            if (found != digestCache().end() && found->second.matches(s)) return found->second.digest;
            if (uncached) {
                *uncached = true;
                return std::nullopt;
            }
            const auto other = hashingNow().find(key);
            if (other == hashingNow().end()) break;
            // Another check hashes it: its digest is kept when the file stayed as it was.
            const auto theirs = other->second;
            const auto over = [&] { return *theirs; };
            if (deadline == never) hashed().wait(lock, over);
            else if (!hashed().wait_until(lock, deadline, over)) {
                if (late) *late = true;
                return std::nullopt;
            }
        }
        mine = std::make_shared<bool>(false);
        hashingNow()[key] = mine;
    }
    const struct Done {
        const std::string& key;
        const std::shared_ptr<bool>& mine;
        ~Done() {
            {
                const std::lock_guard lock(cacheMutex());
                *mine = true;
                if (const auto found = hashingNow().find(key); found != hashingNow().end() && found->second == mine)
                    hashingNow().erase(found);
            }
            hashed().notify_all();
        }
    } done{key, mine};
    // Never a link followed, nor a FIFO waited on: only the regular file looked at.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    const FileDescriptorCloser closing{fd};
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) return std::nullopt;
    const bool unwritten = noWriter(fd);
    auto digest = sha256(fd, limit, deadline, late);
    // Keep it only when the file read is the one looked at, and did not change meanwhile.
    if (digest) {
        struct stat after {};
        CachedDigest entry{opened.st_dev, opened.st_ino, opened.st_size, opened.st_mtim, opened.st_ctim, *digest};
        if (unwritten && noWriter(fd) && ::lstat(file.c_str(), &after) == 0 && entry.matches(after) && settled(after)) {
            const std::lock_guard lock(cacheMutex());
            digestCache()[key] = std::move(entry);
        }
    }
    return digest;
}

}  // namespace

bool signBundle(const Path& bundle, std::string identifier, std::optional<std::string> team,
                std::map<std::string, std::string> code, std::string& error, const Path& keys) {
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
    Key key(nullptr, EVP_PKEY_free);
    if (team && !(key = teamKey(*team, keys, error))) return false;
    if (const Value* executable = plist ? plist->find("CFBundleExecutable") : nullptr; executable && executable->isString())
        code.try_emplace("Contents/MacOS/" + *executable->asString(), identifier);
    for (const auto& [path, id] : code) {
        if (!fs::is_regular_file(bundle / path)) {
            error = "no executable " + path + " in the bundle";
            return false;
        }
    }
    const auto sizes = sealedFiles(bundle);
    auto files = sizes ? digests(bundle, *sizes) : std::nullopt;
    if (!files) {
        error = "a file of the bundle cannot be read, or they hold more than 1 GiB";
        return false;
    }
    SignatureRecord record{std::move(identifier), std::move(team), std::move(*files), std::move(code), std::nullopt};
    if (key && !(record.signature = sign(key.get(), record))) {
        error = "cannot sign with the team's key";
        return false;
    }
    const Path file = bundle / Path(signatureRecordPath);
    if (!createDirectories(file.parent_path()) || !writeFileAtomically(file, writeSignatureRecord(record))) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

std::optional<Path> RecordCodeSigning::selfCode() const {
    const std::string path = ownProcessPath();
    if (path.empty()) return std::nullopt;
    return Path(path);
}

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

RecordCodeSigning::RecordCodeSigning(const Machine& machine, double checkSeconds)
    : anchors_(anchorsFolder(machine)), checkSeconds_(checkSeconds) {}

namespace {

// Whether a file mapped as code is one of the bundle's sealed files, the very inode now at its path.
std::function<bool(const MappedCode&)> sealedFileOf(const SignedCode& found) {
    return [&found](const MappedCode& library) {
        const Path relative = Path(library.path).lexically_relative(found.bundle);
        struct stat now {};
        return !relative.empty() && *relative.begin() != ".." && found.record.files.contains(relative.generic_string()) &&
               ::lstat(library.path.c_str(), &now) == 0 && now.st_ino == library.inode;
    };
}

// A check of code, or of the code a running process executes (`pid`): the requirement and the
// record's cheap facts, then what the process shows, then the bundle's seal (without
// `depth.hash`, only the digests already kept).
ProcessCheck checkCode(const Path& anchors, double seconds, const Path& code, std::string_view requirement,
                       std::optional<std::int32_t> pid, const CheckDepth& depth) {
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    const auto wanted = parseRequirement(requirement);
    if (!wanted) return checked(SignatureCheck::badRequirement);
    const auto found = signedCode(code);
    if (!found) return checked(SignatureCheck::notSigned);
    // The cheap facts first: no file is hashed for code that could not pass anyway.
    // "anchor apple generic": only a developer certificate, which names a team, meets it.
    if (!found->record.team || *found->record.team != wanted->team || found->identifier != wanted->identifier)
        return checked(SignatureCheck::requirementNotMet);
    if (!trusted(anchors, found->record)) return checked(SignatureCheck::untrusted);
    if (pid) {
        const auto foreign = lookAtPeer(*pid, sealedFileOf(*found), depth.breakpoints, deadline);
        switch (foreign.kind) {
        case ForeignCode::none: break;
        case ForeignCode::unreadable: return {SignatureCheck::notSigned, "it cannot be looked at: " + foreign.what};
        case ForeignCode::unsettled: return {SignatureCheck::unsettled, describe(foreign)};
        case ForeignCode::late: return {SignatureCheck::timedOut, "its code could not be compared with its files in time"};
        default: return {SignatureCheck::foreignCode, "it runs foreign code: " + describe(foreign)};
        }
    }
    switch (sealed(found->bundle, found->record, deadline, depth.hash)) {
    case Seal::intact: return checked(SignatureCheck::valid);
    case Seal::broken: return checked(SignatureCheck::modified);
    case Seal::unknown: return checked(SignatureCheck::needsHashing);
    case Seal::late: break;
    }
    return checked(SignatureCheck::timedOut);
}

}  // namespace

std::string_view describe(SignatureCheck check) {
    switch (check) {
    case SignatureCheck::valid: return "it is valid";
    case SignatureCheck::notSigned: return "it is not signed, or cannot be looked at";
    case SignatureCheck::modified: return "its bundle was changed after signing";
    case SignatureCheck::badRequirement: return "the requirement does not compile";
    case SignatureCheck::requirementNotMet: return "it does not meet the code signing requirement";
    case SignatureCheck::untrusted: return "its signature is not by a key trusted for its team";
    case SignatureCheck::timedOut: return "its bundle could not be checked in time";
    case SignatureCheck::foreignCode: return "it runs foreign code";
    case SignatureCheck::needsHashing: return "its bundle must be hashed first";
    case SignatureCheck::unsettled: return "its code must be looked at again";
    }
    return "it did not pass the check";
}

SignatureCheck RecordCodeSigning::checkValidity(const Path& code, std::string_view requirement) const {
    return checkCode(anchors_, checkSeconds_, code, requirement, std::nullopt, {}).result;
}

ProcessCheck RecordCodeSigning::checkProcess(std::int32_t pid, std::string_view requirement,
                                             const CheckDepth& depth) const {
    const auto code = processCode(pid);
    if (!code) return checked(parseRequirement(requirement) ? SignatureCheck::notSigned : SignatureCheck::badRequirement);
    // The file at the path must be the one the process runs: a program replaced at its path
    // after its start shows as "(deleted)" or as another inode.
    struct stat running {}, named {};
    const std::string exe = procFile(pid, "exe");
    if (::stat(exe.c_str(), &running) != 0 || ::stat(code->c_str(), &named) != 0 || running.st_dev != named.st_dev ||
        running.st_ino != named.st_ino)
        return {SignatureCheck::notSigned, "its program is no longer the file at " + code->string()};
    return checkCode(anchors_, checkSeconds_, *code, requirement, pid, depth);
}

}  // namespace norvane
