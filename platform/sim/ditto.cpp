// ditto: unpacks a zip archive into a folder, the one usage the updater makes:
//
//   ditto -x -k [--max-bytes N] [--max-entries N] ARCHIVE FOLDER
//
// Before anything is written the archive is read through once, its entries counted and their
// content decompressed to nowhere: one with more entries than --max-entries (10000) or more
// bytes than --max-bytes (2 GiB) in all is refused with status 1, and so is one whose entries
// then turn out larger while written.
// FOLDER is made with its parents. Entries are files, folders and symbolic links (kept as
// links, wherever they point), with their permission bits but no set-id bits. Nothing is
// ever written outside FOLDER: an entry named by an absolute path or with a ".." part, one
// that would be written through a link, or one of any other kind refuses the archive with
// status 1, as does an archive that cannot be read. Any other usage is refused with status 1.

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <optional>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimCommand.h"

using namespace norvane;

namespace {

namespace fs = std::filesystem;

int refuse(const std::string& why) {
    sim::writeError("ditto: " + why + "\n");
    return 1;
}

bool staysInside(std::string_view name) {
    if (name.empty() || name.front() == '/') return false;
    for (const auto& part : fs::path(name))
        if (part == "..") return false;
    return true;
}

using Reader = std::unique_ptr<archive, decltype(&archive_read_free)>;
using Writer = std::unique_ptr<archive, decltype(&archive_write_free)>;

struct Limits {
    std::uint64_t bytes = std::uint64_t{2} << 30;
    std::uint64_t entries = 10000;
};

Reader open(const fs::path& source) {
    Reader in(archive_read_new(), archive_read_free);
    if (!in) return in;
    archive_read_support_format_zip(in.get());
    if (archive_read_open_filename(in.get(), source.c_str(), 1 << 16) != ARCHIVE_OK) in.reset();
    return in;
}

// Reads the whole archive without writing: the reason when its entries exceed the limits
// or it cannot be read. What the entries' headers announce does not count, what they hold
// does, and the reading stops as soon as a limit is passed.
std::string measure(archive* in, const Limits& limits) {
    std::uint64_t entries = 0, bytes = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int read = archive_read_next_header(in, &entry);
        if (read == ARCHIVE_EOF) return "";
        if (read < ARCHIVE_WARN) return archive_error_string(in) ? archive_error_string(in) : "unreadable entry";
        if (++entries > limits.entries) return "refusing an archive of more than " + std::to_string(limits.entries) + " entries";
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        for (;;) {
            const int data = archive_read_data_block(in, &block, &size, &offset);
            if (data == ARCHIVE_EOF) break;
            if (data < ARCHIVE_WARN) return archive_error_string(in) ? archive_error_string(in) : "unreadable";
            bytes += size;
            if (bytes > limits.bytes) return "refusing an archive of more than " + std::to_string(limits.bytes) + " bytes";
        }
    }
}

// Unpacks into the working folder, no more than the limits; the reason when it cannot.
std::string unpack(archive* in, archive* out, const Limits& limits) {
    std::uint64_t bytes = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int read = archive_read_next_header(in, &entry);
        if (read == ARCHIVE_EOF) return "";
        if (read < ARCHIVE_WARN) return archive_error_string(in) ? archive_error_string(in) : "unreadable entry";
        const char* name = archive_entry_pathname(entry);
        if (!name || !staysInside(name)) return std::string("refusing entry ") + (name ? name : "(unnamed)");
        const auto type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK))
            return std::string("refusing entry of another kind: ") + name;
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);
        if (archive_write_header(out, entry) < ARCHIVE_WARN)
            return std::string(name) + ": " + (archive_error_string(out) ? archive_error_string(out) : "cannot write");
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        for (;;) {
            const int data = archive_read_data_block(in, &block, &size, &offset);
            if (data == ARCHIVE_EOF) break;
            if (data < ARCHIVE_WARN) return std::string(name) + ": " + (archive_error_string(in) ? archive_error_string(in) : "unreadable");
            bytes += size;
            if (bytes > limits.bytes) return "refusing an archive of more than " + std::to_string(limits.bytes) + " bytes";
            if (archive_write_data_block(out, block, size, offset) < ARCHIVE_WARN)
                return std::string(name) + ": " + (archive_error_string(out) ? archive_error_string(out) : "cannot write");
        }
        if (archive_write_finish_entry(out) < ARCHIVE_WARN)
            return std::string(name) + ": " + (archive_error_string(out) ? archive_error_string(out) : "cannot write");
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    Limits limits;
    const auto number = [](const std::string& text) -> std::optional<std::uint64_t> {
        if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
        return std::stoull(text);
    };
    for (const auto& [flag, limit] : {std::pair{"--max-bytes", &limits.bytes}, std::pair{"--max-entries", &limits.entries}}) {
        const auto found = std::find(arguments.begin(), arguments.end(), flag);
        if (found == arguments.end()) continue;
        const auto value = found + 1 != arguments.end() ? number(*(found + 1)) : std::nullopt;
        if (!value) return refuse(std::string(flag) + " takes a number");
        *limit = *value;
        arguments.erase(found, found + 2);
    }
    if (arguments.size() != 4 || arguments[0] != "-x" || arguments[1] != "-k")
        return refuse("this machine answers only: ditto -x -k [--max-bytes N] [--max-entries N] ARCHIVE FOLDER");
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::error_code error;
    const fs::path source = fs::absolute(arguments[2], error);
    const fs::path folder = arguments[3];

    // Measured whole before the folder is even made.
    {
        const Reader in = open(source);
        if (!in) return refuse("cannot read the archive " + arguments[2]);
        const std::string failure = measure(in.get(), limits);
        if (!failure.empty()) return refuse(failure);
    }
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error) || ::chdir(folder.c_str()) != 0) return refuse("cannot make " + folder.string());

    const Reader in = open(source);
    Writer out(archive_write_disk_new(), archive_write_free);
    if (!in || !out) return refuse("cannot read the archive " + arguments[2]);
    archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                  ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS);
    const std::string failure = unpack(in.get(), out.get(), limits);
    if (!failure.empty()) return refuse(failure);
    if (archive_write_close(out.get()) != ARCHIVE_OK) return refuse("cannot finish writing");
    return 0;
}
