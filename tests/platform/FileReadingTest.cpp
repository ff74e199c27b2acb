#include "platform/FileReading.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

int made = 0;  // how often the reading below made its value

std::string text(const FileBytes& file) {
    ++made;
    return !file.exists ? "none" : file.bytes ? *file.bytes : "unreadable";
}

// What another process does: changes the file in place, without our own writers.
void writeInPlace(const Path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// Gives the file the modification time of another (as a file system that keeps whole
// seconds, or a copy that keeps its time, would).
void sameTimeAs(const Path& file, const Path& other) {
    struct stat st {};
    ASSERT_EQ(::stat(other.c_str(), &st), 0);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

TEST(FileReading, EveryChangeIsSeenAtTheNextReadAndAnUnchangedFileIsNotMadeAgain) {
    testing::TempFolder folder;
    const Path file = folder / "state.json";
    const FileReading<std::string> reading(&text);
    struct Step {
        const char* change;
        std::function<void()> make;
        std::string seen;
        int made;
    };
    const Step steps[] = {
        {"no file", [] {}, "none", 1},
        {"still none", [] {}, "none", 0},
        {"created", [&] { writeInPlace(file, "one"); }, "one", 1},
        {"read again", [] {}, "one", 0},
        {"same size and time, in place",
         [&] {
             const Path before = folder.write("before", "");
             sameTimeAs(before, file);
             writeInPlace(file, "two");
             sameTimeAs(file, before);
         },
         "two", 1},
        {"replaced by a rename, same size and time",
         [&] {
             const Path next = folder.write("next", "six");
             sameTimeAs(next, file);
             std::filesystem::rename(next, file);
         },
         "six", 1},
        {"touched, same bytes", [&] { writeInPlace(file, "six"); }, "six", 0},
        {"removed", [&] { std::filesystem::remove(file); }, "none", 1},
        {"a folder in its place", [&] { std::filesystem::create_directory(file); }, "unreadable", 1},
    };
    for (const Step& step : steps) {
        step.make();
        made = 0;
        EXPECT_EQ(*reading(file), step.seen) << step.change;
        EXPECT_EQ(made, step.made) << step.change;
    }
}

// The readings of one moment (a tick) are of one state of the folder; what this process
// writes itself is seen at once, and the next moment sees everything.
TEST(FileReading, AMomentLooksAtEachFileOnce) {
    testing::TempFolder folder;
    const Path file = folder.write("state.json", "one");
    const FileReading<std::string> reading(&text);
    {
        const FileMoment moment;
        EXPECT_EQ(*reading(file), "one");
        writeInPlace(folder / "next", "two");  // another process's rename
        std::filesystem::rename(folder / "next", file);
        EXPECT_EQ(*reading(file), "one");
        {
            const FileMoment inner;
            EXPECT_EQ(*reading(file), "one");
        }
        folder.write("state.json", "three");  // our own write
        EXPECT_EQ(*reading(file), "three");
    }
    writeInPlace(file, "four");
    EXPECT_EQ(*reading(file), "four");
}

}  // namespace
}  // namespace norvane
