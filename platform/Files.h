#pragma once
// Files and the user's folders. Every write of a user's file goes through here.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace norvane {

using Path = std::filesystem::path;

// How often this process has changed files through the functions below (writes, appends,
// moves), so that a reader that keeps what it read knows when to look again.
std::uint64_t filesChanged();

// Why a file could not be taken whole.
struct ReadFailure {
    enum class Kind {
        missing,     // nothing at the path
        link,        // a symbolic link where none is taken, or one leading nowhere
        notAFile,    // a named pipe, a folder, a socket, a device
        tooLarge,    // more bytes than its kind may have
        unreadable,  // the system refused it (permissions, an I/O error)
    };
    Kind kind = Kind::missing;
    std::string what;  // for a log line: "a named pipe", "larger than 64 MiB", …
};

enum class Links { follow, refuse };

// An open file, closed when it goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (a late write error shows here).
    bool close();

private:
    int fd_ = -1;
};

// The regular file at `path`, open for reading. It is opened without blocking, so a named
// pipe or a device never holds the caller, and must be a regular file once open. With
// `Links::refuse` a link at the path is not followed.
std::variant<FileDescriptor, ReadFailure> openRegularFile(const Path& path, Links links = Links::follow);

// What is left to read of an open file, at most `cap` bytes: a file that claims more is
// refused before a byte is read, and the reading stops past the cap, since the claim may be
// false (files of /proc say 0, a pipe says nothing). Nothing is reserved for what it claims.
std::variant<std::string, ReadFailure> readToEnd(const FileDescriptor& file, std::size_t cap);

// The bytes of the regular file at `path` (`openRegularFile`, then `readToEnd`).
std::variant<std::string, ReadFailure> readRegularFile(const Path& path, std::size_t cap,
                                                       Links links = Links::follow);

// What `readFile` takes at most: far above any file of the machine folder, and above an
// update's archive of a bundle built with the sanitizers.
inline constexpr std::size_t readFileCap = std::size_t{1} << 30;
// The whole regular file as bytes (links followed), at most `cap` of them; absent when it
// cannot be read or holds more.
std::optional<std::string> readFile(const Path& path, std::size_t cap = readFileCap);

// Where a line about a file of the user's goes: the system log, in the application; standard
// error when empty.
using FileLog = std::function<void(std::string_view line)>;

// What a file of the user's folders is to the application, which decides what becomes of one
// that is there but cannot be taken (a link where none is taken, a pipe, a folder, too large,
// refused by the system).
enum class UserFile {
    savedWhole,  // set aside (`moveAside`), so that the next save does not replace it
    appendedTo,  // set aside, so that appends start a new one; but one that the system only
                 // refuses to read is left where it is, as appends still reach it
    cache,       // left where it is: the next keep replaces it
};
// The bytes of a file of the user's (`readRegularFile`). Absent when it is missing, or there
// but cannot be taken: then it is set aside or left, as its kind says, and one line tells so.
std::optional<std::string> readUserFile(const Path& path, std::size_t cap, Links links, UserFile kind,
                                        const FileLog& log = {});
// Sets aside a file of the user's that was read but cannot be decoded (`moveAside`), with one
// line as for one that cannot be taken.
void setAsideUndecodable(const Path& path, const FileLog& log = {});

// Writes to a temporary file beside `path`, flushes it to disk and renames it over
// `path`, so readers see the old content or the new one, never a mix. The folder must exist.
bool writeFileAtomically(const Path& path, std::string_view bytes);

enum class AppendResult { appended, created, failed };
// Appends to an existing file; creates it (with its folders) only when it is absent, so a
// file that exists but cannot be opened is never replaced. A symbolic link at the path (even
// one leading nowhere) or anything but a regular file fails: nothing is written through it.
// With `separate`, a line feed goes first when the file does not already end in one.
AppendResult appendToFile(const Path& path, std::string_view bytes, bool separate = false);

// Removes a file, or a folder with everything in it, also folders whose modes shut their owner
// out (they are opened up first); links are removed, never followed. True when nothing is
// left at the path.
bool removeTree(const Path& path);

// Creates the folder and every missing parent; true when the folder exists afterwards.
bool createDirectories(const Path& path);

// Renames a file that could not be decoded to a name beside it ("apps.json" becomes
// "apps.json.unreadable-1", "-2", …), so that the next save does not overwrite it.
// Returns the new path, or absent when the file could not be moved.
std::optional<Path> moveAside(const Path& path);

bool fileExists(const Path& path);

// What tells one state of a file from another without reading it: where it lives (device and
// inode), its size, and when its content and its entry last changed, to the nanosecond.
struct FileStamp {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = 0;
    std::int64_t modified = 0, changed = 0;  // nanoseconds since 1970
    bool operator==(const FileStamp&) const = default;
};
// Absent when nothing is at the path (or it cannot be looked at).
std::optional<FileStamp> fileStamp(const char* path);
inline std::optional<FileStamp> fileStamp(const Path& path) { return fileStamp(path.c_str()); }

// Moves a file or folder to a path where nothing is yet, as the file manager does: a rename,
// or, across file systems, a copy (links kept as links) and then the original's removal.
// False, with the reason, when it cannot; nothing is left at `to` then.
bool moveItem(const Path& from, const Path& to, std::error_code& error);

// The user's folders, following the XDG base-directory variables.
Path homeFolder();
Path applicationSupportFolder();  // $XDG_DATA_HOME, default ~/.local/share
Path cachesFolder();              // $XDG_CACHE_HOME, default ~/.cache
Path preferencesFolder();         // $XDG_CONFIG_HOME, default ~/.config

}  // namespace norvane
