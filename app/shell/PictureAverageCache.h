#pragma once
// The desktop picture's average colour, kept in a small file of the Caches folder by the
// picture's path and stamp: a start whose picture has not changed decodes nothing.

#include <optional>

#include "platform/Color.h"
#include "platform/Files.h"

namespace norvane {

class PictureAverageCache {
public:
    // A path, a stamp and four numbers.
    static constexpr std::size_t maximumFileBytes = std::size_t{64} << 10;

    // `log` hears of a file in the way that is not one of ours.
    explicit PictureAverageCache(Path file, FileLog log = {}) : file_(std::move(file)), log_(std::move(log)) {}

    // What was kept for this picture in this state: its average, or none when no image
    // loaded from it. Absent when nothing was kept for it (or the file is not one of ours).
    std::optional<std::optional<Color>> find(const Path& picture, const FileStamp& stamp) const;
    // Keeps the one picture's average in place of what was kept; a failed write is left for
    // the next start.
    void keep(const Path& picture, const FileStamp& stamp, const std::optional<Color>& average) const;

private:
    Path file_;
    FileLog log_;
};

}  // namespace norvane
