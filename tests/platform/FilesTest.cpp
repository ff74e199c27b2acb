#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/FileReading.h"
#include "platform/Files.h"
#include "tests/support/OwnWorld.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempFolder;

long entries(const TempFolder& dir) {
    const std::filesystem::directory_iterator all(dir.path());
    return std::distance(begin(all), end(all));
}

TEST(Files, AtomicWriteReplacesWholeAndLeavesNoTemporaryFile) {
    TempFolder dir;
    const Path file = dir / "apps.json";
    ASSERT_TRUE(writeFileAtomically(file, "first"));
    ::chmod(file.c_str(), 0600);
    ASSERT_TRUE(writeFileAtomically(file, "second, longer"));
    EXPECT_EQ(readFile(file), "second, longer");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // permissions survive the replacement
    EXPECT_EQ(entries(dir), 1);
}

// Runs the step in a child process (so limits and identities it takes stay there) and
// gives its exit status.
int inChild(const std::function<bool()>& step) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(step() ? 0 : 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Files, AtomicWriteFailsWithoutTheFolderAndKeepsTheOldFile) {
    TempFolder dir;
    EXPECT_FALSE(writeFileAtomically(dir / "missing/file", "x"));
    const Path file = dir / "keep";
    ASSERT_TRUE(writeFileAtomically(file, "old"));
    // A file-size limit makes the write itself fail, for root too (a full disk would).
    const int status = inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return !writeFileAtomically(file, "new and longer than the limit");
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(file), "old");
    EXPECT_EQ(entries(dir), 1);  // no temporary file left behind
}

TEST(Files, AppendCreatesOnlyAMissingFileAndNeverReplacesOneItCannotOpen) {
    TempFolder dir;
    const Path file = dir / "deep/er/history.csv";
    EXPECT_EQ(appendToFile(file, "one\n"), AppendResult::created);
    EXPECT_EQ(appendToFile(file, "two\n"), AppendResult::appended);
    EXPECT_EQ(readFile(file), "one\ntwo\n");
    // A folder where the file should be cannot be opened for writing; it must survive.
    const Path blocked = dir / "history.csv";
    ASSERT_TRUE(createDirectories(blocked));
    EXPECT_EQ(appendToFile(blocked, "line\n"), AppendResult::failed);
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
}

// A log path turned into a link, leading nowhere or to another file: the append fails in
// a process that lives on, and nothing is written through the link.
TEST(Files, AppendNeverWritesThroughALink) {
    TempFolder dir;
    const Path target = dir.write("elsewhere", "kept\n");
    const std::vector<std::pair<std::string, Path>> links = {{"dangling", dir / "nowhere/file"}, {"to a file", target}};
    for (const auto& [what, to] : links) {
        const Path log = dir / ("system-" + what + ".log");
        std::filesystem::create_symlink(to, log);
        EXPECT_EQ(inChild([&] { return appendToFile(log, "line\n") == AppendResult::failed; }), 0) << what;
        EXPECT_TRUE(std::filesystem::is_symlink(log)) << what;
    }
    EXPECT_EQ(readFile(target), "kept\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

TEST(Files, AppendReachesAFileThatCanBeWrittenButNotRead) {
    TempFolder dir;
    const Path file = dir.write("history.csv", "1,50,0,0\n");
    ::chmod(file.c_str(), 0200);
    // Root reads any file, so the append runs as an unprivileged user there.
    const bool root = ::geteuid() == 0;
    if (const auto why = root ? testing::cannotBecomeNobody() : std::nullopt) GTEST_SKIP() << *why;
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
        ::chmod(dir.path().c_str(), 0711);
    }
    const int status = inChild([&] {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return false;
        return appendToFile(file, "2,51,0,0\n", true) == AppendResult::appended;
    });
    EXPECT_EQ(status, 0);
    ::chmod(file.c_str(), 0600);
    EXPECT_EQ(readFile(file), "1,50,0,0\n2,51,0,0\n");
}

TEST(Files, AppendSeparatesFromAnUnfinishedLastLine) {
    TempFolder dir;
    const Path file = dir.write("history.csv", "1,50,0,0\n2,5");
    for (const char* line : {"3,52,0,0\n", "4,53,0,0\n"})
        EXPECT_EQ(appendToFile(file, line, true), AppendResult::appended);
    EXPECT_EQ(readFile(file), "1,50,0,0\n2,5\n3,52,0,0\n4,53,0,0\n");
    const Path empty = dir.write("empty.csv", "");
    EXPECT_EQ(appendToFile(empty, "x\n", true), AppendResult::appended);
    EXPECT_EQ(readFile(empty), "x\n");
}

TEST(Files, MoveAsideKeepsEveryEarlierCopy) {
    TempFolder dir;
    const Path file = dir.write("apps.json", "broken one");
    const auto first = moveAside(file);
    ASSERT_TRUE(first);
    EXPECT_FALSE(fileExists(file));
    EXPECT_EQ(readFile(*first), "broken one");
    dir.write("apps.json", "broken two");
    const auto second = moveAside(file);
    ASSERT_TRUE(second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(readFile(*first), "broken one");
    EXPECT_EQ(readFile(*second), "broken two");
    EXPECT_FALSE(moveAside(dir / "absent"));
}

TEST(Files, MoveItemNeverReplacesAndCrossesFileSystems) {
    TempFolder dir;
    dir.write("a/x", "1");
    dir.write("b/y", "2");
    std::filesystem::create_symlink("x", dir / "a/link");
    std::error_code error;
    EXPECT_FALSE(moveItem(dir / "a", dir / "b", error));
    EXPECT_EQ(error, std::errc::file_exists);
    EXPECT_EQ(readFile(dir / "b/y"), "2");
    EXPECT_FALSE(moveItem(dir / "none", dir / "c", error));
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    ASSERT_TRUE(moveItem(dir / "a", dir / "c", error));
    EXPECT_EQ(readFile(dir / "c/x"), "1");
    EXPECT_FALSE(fileExists(dir / "a"));

    // The shared-memory folder is a file system of its own on most machines.
    struct ::stat here = {}, there = {};
    std::string other = "/dev/shm/norvane-test-XXXXXX";
    if (::stat(dir.path().c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev ||
        !::mkdtemp(other.data()))
        return;
    EXPECT_TRUE(moveItem(dir / "c", Path(other) / "c", error)) << error.message();
    EXPECT_EQ(readFile(Path(other) / "c/x"), "1");
    EXPECT_EQ(std::filesystem::read_symlink(Path(other) / "c/link"), "x");
    EXPECT_FALSE(fileExists(dir / "c"));
    EXPECT_FALSE(moveItem(Path(other) / "c", dir / "b", error));
    EXPECT_EQ(error, std::errc::file_exists);
    std::filesystem::remove_all(other, error);
}

TEST(Files, ReadFileRefusesFoldersPipesAndMissingFiles) {
    TempFolder dir;
    EXPECT_FALSE(readFile(dir.path()));
    EXPECT_FALSE(readFile(dir / "none"));
    // No writer will come: the read must not wait for one.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(readFile(dir / "pipe"));
    const std::string binary("a\0b\xFF", 4);
    EXPECT_EQ(readFile(dir.write("bin", binary)), binary);
}

TEST(Files, UserFoldersFollowTheBaseDirectoryVariables) {
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_DATA_HOME", "/data", 1);
    ::setenv("XDG_CACHE_HOME", "relative/ignored", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(homeFolder(), Path("/home/someone"));
    EXPECT_EQ(applicationSupportFolder(), Path("/data"));
    EXPECT_EQ(cachesFolder(), Path("/home/someone/.cache"));
    EXPECT_EQ(preferencesFolder(), Path("/home/someone/.config"));
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(applicationSupportFolder(), Path("/home/someone/.local/share"));
    ::setenv("HOME", savedHome.c_str(), 1);
}

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
    TempFolder folder;
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
    TempFolder folder;
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
