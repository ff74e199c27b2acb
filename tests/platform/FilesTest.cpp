#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Files.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempFolder;

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
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(Files, AtomicWriteFailsWithoutTheFolderAndKeepsTheOldFile) {
    TempFolder dir;
    EXPECT_FALSE(writeFileAtomically(dir / "missing/file", "x"));
    const Path file = dir / "keep";
    ASSERT_TRUE(writeFileAtomically(file, "old"));
    if (::geteuid() != 0) {  // root writes anywhere
        ::chmod(dir.path().c_str(), 0500);
        EXPECT_FALSE(writeFileAtomically(file, "new"));
        ::chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(readFile(file), "old");
    }
}

TEST(Files, AppendCreatesOnlyAMissingFile) {
    TempFolder dir;
    const Path file = dir / "deep/er/history.csv";
    EXPECT_EQ(appendToFile(file, "one\n"), AppendResult::created);
    EXPECT_EQ(appendToFile(file, "two\n"), AppendResult::appended);
    EXPECT_EQ(readFile(file), "one\ntwo\n");
}

TEST(Files, AppendNeverReplacesAFileItCannotOpen) {
    TempFolder dir;
    // A folder where the file should be cannot be opened for writing; it must survive.
    const Path blocked = dir / "history.csv";
    ASSERT_TRUE(createDirectories(blocked));
    EXPECT_EQ(appendToFile(blocked, "line\n"), AppendResult::failed);
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
}

TEST(Files, AppendSeparatesFromAnUnfinishedLastLine) {
    TempFolder dir;
    const Path file = dir.write("history.csv", "1,50,0,0\n2,5");
    EXPECT_EQ(appendToFile(file, "3,52,0,0\n", true), AppendResult::appended);
    EXPECT_EQ(readFile(file), "1,50,0,0\n2,5\n3,52,0,0\n");
    EXPECT_EQ(appendToFile(file, "4,53,0,0\n", true), AppendResult::appended);
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

TEST(Files, ReadFileRefusesFoldersAndMissingFiles) {
    TempFolder dir;
    EXPECT_FALSE(readFile(dir.path()));
    EXPECT_FALSE(readFile(dir / "none"));
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

}  // namespace
}  // namespace norvane
