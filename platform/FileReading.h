#pragma once
// What a reader made of a file of the machine folder, kept until the file changes.
//
// Other processes change the folder (the simulated commands, the lid guard, a test, a user
// dropping in a dump), and every reader must see each change at its next read. So each read
// looks at the file (one stat) and makes its value again only when the file's stamp (device,
// inode, size, modification and change times) is not the one the value was made from; a file
// replaced by a rename is another inode. File systems keep times in coarse steps, so a file
// written less than two seconds before it was last read could be written again without a new
// stamp: until it has been still that long, its bytes are read again and compared with those
// the value was made from. An unchanged folder costs a stat per read and no parse.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/Files.h"

namespace norvane {

// The bytes of a file as a reading is made from them.
struct FileBytes {
    bool exists = false;               // something is at the path
    std::optional<std::string> bytes;  // absent when it cannot be read (or is not there)
    std::string problem;               // what it is when it cannot be read: "a folder", …
    bool operator==(const FileBytes&) const = default;
};

// One moment of reading, such as the 5-second tick: while one lives on a thread, each file
// read there through a FileReading is looked at once, so the readings taken in it are of one
// state of the folder; a file this process changes (Files.h) is looked at again. Moments nest.
class FileMoment {
public:
    FileMoment();
    ~FileMoment();
    FileMoment(const FileMoment&) = delete;
    FileMoment& operator=(const FileMoment&) = delete;
};

namespace file_reading {
// The file's stamp now, or as it was first looked at in the moment that lives on this thread.
std::optional<FileStamp> stampOf(const std::string& file);
// Which moment lives on this thread (one that saw this process change a file counts as a new
// one); 0 for none.
std::uint64_t currentMoment();
// Reads the file; `settled` tells whether its stamp has been still long enough to stand for
// its bytes from now on.
FileBytes readBytes(const std::string& file, const std::optional<FileStamp>& stamp, bool& settled);
}  // namespace file_reading

// One kind of reading (its `make`) of any number of files, shared by every thread: the value is
// made outside the lock, so two threads may make it at once for a file that just changed.
template <class T>
class FileReading {
public:
    using Make = T (*)(const FileBytes& file);
    explicit FileReading(Make make) : make_(make) {}

    std::shared_ptr<const T> operator()(const Path& file) const { return (*this)(file.native()); }
    // The file by its path as text (Machine::path), which a hot reader need not take apart.
    std::shared_ptr<const T> operator()(const std::string& file) const {
        const auto stamp = file_reading::stampOf(file);
        const auto moment = file_reading::currentMoment();
        const std::string& key = file;
        std::shared_ptr<const Kept> kept;
        {
            const std::lock_guard lock(mutex_);
            if (const auto found = kept_.find(key); found != kept_.end()) kept = found->second;
        }
        if (kept && kept->stamp == stamp && (kept->settled || (moment != 0 && kept->moment == moment)))
            return kept->value;
        bool settled = false;
        FileBytes bytes = file_reading::readBytes(file, stamp, settled);
        std::shared_ptr<const T> value;
        if (kept && kept->file && *kept->file == bytes) value = kept->value;
        else value = std::make_shared<const T>(make_(bytes));
        // The bytes are kept only while they must be compared.
        auto next = std::make_shared<const Kept>(
            Kept{stamp, settled, settled ? std::nullopt : std::optional(std::move(bytes)), value, moment});
        const std::lock_guard lock(mutex_);
        if (kept_.size() >= maximumFiles && !kept_.contains(key)) kept_.clear();
        kept_.insert_or_assign(key, std::move(next));
        return value;
    }

private:
    struct Kept {
        std::optional<FileStamp> stamp;
        bool settled = false;
        std::optional<FileBytes> file;
        std::shared_ptr<const T> value;
        std::uint64_t moment = 0;  // the moment it was last read in
    };
    static constexpr std::size_t maximumFiles = 256;  // a long test run makes many folders
    Make make_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, std::shared_ptr<const Kept>> kept_;
};

}  // namespace norvane
