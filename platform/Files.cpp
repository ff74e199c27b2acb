#include "platform/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace norvane {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Changes this process made through the functions below.
std::atomic<std::uint64_t> changes{0};

Path environmentFolder(const char* variable, const Path& fallback) {
    const char* value = std::getenv(variable);
    // The base-directory rules ignore relative paths.
    if (value && *value && value[0] == '/') return Path(value);
    return homeFolder() / fallback;
}

}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileDescriptor::close() {
    return ::close(std::exchange(fd_, -1)) == 0;
}

namespace {

ReadFailure unreadable(int error) {
    return ReadFailure{ReadFailure::Kind::unreadable, std::string("unreadable (") + std::strerror(error) + ")"};
}

}  // namespace

std::variant<FileDescriptor, ReadFailure> openRegularFile(const Path& path, Links links) {
    using Kind = ReadFailure::Kind;
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (links == Links::refuse ? O_NOFOLLOW : 0);
    FileDescriptor fd(::open(path.c_str(), flags));
    if (!fd.valid()) {
        const int error = errno;
        struct stat entry {};
        const bool isLink = ::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode);
        if (error == ENOENT) {
            if (isLink) return ReadFailure{Kind::link, "a link to nothing"};
            return ReadFailure{Kind::missing, "missing"};
        }
        if (error == ELOOP && isLink) {
            struct stat target {};
            const bool leads = ::stat(path.c_str(), &target) == 0;
            return ReadFailure{Kind::link, leads ? "a symbolic link" : "a link to nothing"};
        }
        return unreadable(error);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return unreadable(errno);
    if (!S_ISREG(st.st_mode)) {
        const char* what = S_ISFIFO(st.st_mode)  ? "a named pipe"
                           : S_ISDIR(st.st_mode) ? "a folder"
                           : S_ISSOCK(st.st_mode) ? "a socket"
                           : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                                                                         : "not a regular file";
        return ReadFailure{Kind::notAFile, what};
    }
    return fd;
}

std::variant<std::string, ReadFailure> readToEnd(const FileDescriptor& file, std::size_t cap) {
    const auto tooLarge = [cap] {
        return ReadFailure{ReadFailure::Kind::tooLarge,
                           cap >= (std::size_t{1} << 20) ? "larger than " + std::to_string(cap >> 20) + " MiB"
                                                         : "larger than " + std::to_string(cap >> 10) + " KiB"};
    };
    // The size is only a claim (files of /proc say 0): the read itself stops past the cap.
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return unreadable(errno);
    if (S_ISREG(st.st_mode) && st.st_size > 0 && static_cast<std::uintmax_t>(st.st_size) > cap) return tooLarge();
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return unreadable(errno);
        }
        if (n == 0) break;
        if (static_cast<std::size_t>(n) > cap - out.size()) return tooLarge();
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

std::variant<std::string, ReadFailure> readRegularFile(const Path& path, std::size_t cap, Links links) {
    auto open = openRegularFile(path, links);
    if (auto* failure = std::get_if<ReadFailure>(&open)) return std::move(*failure);
    return readToEnd(std::get<FileDescriptor>(open), cap);
}

std::optional<std::string> readFile(const Path& path, std::size_t cap) {
    auto read = readRegularFile(path, cap);
    if (auto* bytes = std::get_if<std::string>(&read)) return std::move(*bytes);
    return std::nullopt;
}

namespace {

void tell(const FileLog& log, const std::string& line) {
    if (log) log(line);
    else std::fprintf(stderr, "%s\n", line.c_str());
}

// Moves the file aside and tells so in one line: "Norvane: <path> is <what>; moved aside to …".
void setAside(const Path& path, const std::string& what, const FileLog& log) {
    const std::string line = "Norvane: " + path.string() + " is " + what;
    if (const auto moved = moveAside(path)) tell(log, line + "; moved aside to " + moved->string());
    else tell(log, line + " and could not be moved aside");
}

}  // namespace

void setAsideUndecodable(const Path& path, const FileLog& log) { setAside(path, "undecodable", log); }

std::optional<std::string> readUserFile(const Path& path, std::size_t cap, Links links, UserFile kind,
                                        const FileLog& log) {
    auto read = readRegularFile(path, cap, links);
    if (auto* bytes = std::get_if<std::string>(&read)) return std::move(*bytes);
    const auto& failure = std::get<ReadFailure>(read);
    if (failure.kind == ReadFailure::Kind::missing) return std::nullopt;
    const bool leave = kind == UserFile::cache ||
                       (kind == UserFile::appendedTo && failure.kind == ReadFailure::Kind::unreadable);
    if (leave) tell(log, "Norvane: " + path.string() + " is " + failure.what + "; left unread");
    else setAside(path, failure.what, log);
    return std::nullopt;
}

std::uint64_t filesChanged() { return changes.load(std::memory_order_relaxed); }

bool writeFileAtomically(const Path& path, std::string_view bytes) {
    ++changes;
    const Path folder = path.has_parent_path() ? path.parent_path() : Path(".");
    std::random_device random;
    Path temporary;
    int raw = -1;
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
        temporary = folder / ("." + path.filename().string() + ".tmp-" + std::to_string(random()));
        raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (raw < 0 && errno != EEXIST) return false;
    }
    FileDescriptor fd(raw);
    if (!fd.valid()) return false;
    // Keep the permissions of the file we replace.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) ::fchmod(fd.get(), st.st_mode & 07777);
    const bool ok = writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && fd.close();
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

AppendResult appendToFile(const Path& path, std::string_view bytes, bool separate) {
    ++changes;
    // Never through a link: a log or history path turned into one writes nowhere else. A
    // file made by someone else between the two opens is appended to on the second try;
    // after that the append gives up.
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Write-only, so a file we may write but not read still gets its lines.
        FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        if (fd.valid()) {
            struct stat st {};
            if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return AppendResult::failed;
            std::string prefix;
            // The last byte comes through a read-only open of its own; when that fails the
            // separator is skipped rather than the line lost.
            FileDescriptor reader(separate ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK) : -1);
            char last = '\n';
            if (reader.valid() && st.st_size > 0 && ::pread(reader.get(), &last, 1, st.st_size - 1) == 1 && last != '\n')
                prefix = "\n";
            const bool ok = writeAll(fd.get(), prefix + std::string(bytes)) && fd.close();
            return ok ? AppendResult::appended : AppendResult::failed;
        }
        if (errno != ENOENT) return AppendResult::failed;
        if (path.has_parent_path()) createDirectories(path.parent_path());
        FileDescriptor created(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (created.valid())
            return writeAll(created.get(), bytes) && created.close() ? AppendResult::created : AppendResult::failed;
        // EEXIST: someone made it in between (or a dangling link is there): once more.
        if (errno != EEXIST) return AppendResult::failed;
    }
    return AppendResult::failed;
}

bool removeTree(const Path& path) {
    namespace fs = std::filesystem;
    ++changes;
    std::error_code error;
    // Every folder below opened to its owner first, without recursion: a deep tree needs no
    // deep stack.
    std::vector<Path> folders{path};
    while (!folders.empty()) {
        const Path folder = std::move(folders.back());
        folders.pop_back();
        struct stat st {};
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if ((st.st_mode & S_IRWXU) != S_IRWXU) ::chmod(folder.c_str(), (st.st_mode & 07777) | S_IRWXU);
        for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator(); it.increment(error))
            if (it->is_directory(error) && !it->is_symlink(error)) folders.push_back(it->path());
        error.clear();
    }
    fs::remove_all(path, error);
    struct stat left {};
    return ::lstat(path.c_str(), &left) != 0 && errno == ENOENT;
}

bool createDirectories(const Path& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

std::optional<Path> moveAside(const Path& path) {
    ++changes;
    for (int n = 1; n < 1000; ++n) {
        Path target = path;
        target += ".unreadable-" + std::to_string(n);
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(target, error))) continue;
        // link + unlink instead of rename, so an aside file that appeared meanwhile is not replaced.
        if (::link(path.c_str(), target.c_str()) == 0) {
            ::unlink(path.c_str());
            return target;
        }
        if (errno == EEXIST) continue;
        if (::rename(path.c_str(), target.c_str()) == 0) return target;
        return std::nullopt;
    }
    return std::nullopt;
}

bool fileExists(const Path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::optional<FileStamp> fileStamp(const char* path) {
    struct stat st {};
    if (::stat(path, &st) != 0) return std::nullopt;
    const auto nanoseconds = [](const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; };
    return FileStamp{st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

bool moveItem(const Path& from, const Path& to, std::error_code& error) {
    ++changes;
    namespace fs = std::filesystem;
    error.clear();
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    int code = errno;
    struct stat st {};
    // Across file systems, or on one that cannot refuse to replace: look first.
    if ((code == EINVAL || code == EXDEV) && ::lstat(to.c_str(), &st) == 0) code = EEXIST;
    if (code == EINVAL) {
        if (::rename(from.c_str(), to.c_str()) == 0) return true;
        code = errno;
    }
    if (code != EXDEV) {
        error = std::error_code(code, std::generic_category());
        return false;
    }
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error) {
        std::error_code ignored;
        fs::remove_all(to, ignored);
        return false;
    }
    // The copy is in place; what is left of the original does not undo the move.
    std::error_code ignored;
    fs::remove_all(from, ignored);
    return true;
}

Path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return Path(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return Path(pw->pw_dir);
    return Path("/");
}

Path applicationSupportFolder() { return environmentFolder("XDG_DATA_HOME", ".local/share"); }
Path cachesFolder() { return environmentFolder("XDG_CACHE_HOME", ".cache"); }
Path preferencesFolder() { return environmentFolder("XDG_CONFIG_HOME", ".config"); }

}  // namespace norvane
