#include "platform/PeerCode.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include "platform/ProcessTable.h"
#include "platform/Text.h"
#include "tests/support/TempMachine.h"
#include "tests/support/Uprobe.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using Clock = std::chrono::steady_clock;

TEST(MappedCode, IsEveryExecutableMappingWithWhereItsPagesComeFrom) {
    const std::string maps =
        "55be279df000-55be279e4000 r-xp 00002000 fe:01 247134                     /usr/bin/cat\n"
        "55be279e4000-55be279e6000 r--p 00007000 fe:00 247134                     /usr/bin/cat\n"
        "7f629e3d1000-7f629e527000 r-xp 00026000 fe:00 332835  /tmp/A b.app/lib x.so (deleted)\n"
        "7f629e5a0000-7f629e5a2000 r-xp 00000000 00:00 0                          [vdso]\n"
        "7f629e5b0000-7f629e5b2000 rwxp zz 00:00 0\n"
        "7f629e5b2000-7f629e5b0000 r-xp 00000000 00:00 0                          [backwards]\n"
        "ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0                  [vsyscall]\n"
        "cut short r-xp";
    EXPECT_EQ(parseMappedCode(maps),
              (std::vector<MappedCode>{{"/usr/bin/cat", 247134, 0x55be279df000, 0x55be279e4000, 0x2000, 0xfe, 1},
                                       {"/tmp/A b.app/lib x.so (deleted)", 332835, 0x7f629e3d1000, 0x7f629e527000, 0x26000, 0xfe, 0},
                                       {"[vdso]", 0, 0x7f629e5a0000, 0x7f629e5a2000, 0, 0, 0},
                                       {"", 0, 0x7f629e5b0000, 0x7f629e5b2000, UINT64_MAX, 0, 0},
                                       {"[vsyscall]", 0, 0xffffffffff600000, 0xffffffffff601000, 0, 0, 0}}));
    // A page-map entry: bit 63 present, 62 swapped out, 61 a page of a file.
    const std::uint64_t present = 1ull << 63, swapped = 1ull << 62, file = 1ull << 61;
    for (const auto& [entry, written] : std::vector<std::pair<std::uint64_t, bool>>{
             {0, false}, {present | file, false}, {present | file | 0x1234, false}, {present, true},
             {present | 0x1234, true}, {swapped, true}, {file, false}})
        EXPECT_EQ(isWrittenPage(entry), written) << std::hex << entry;
    // This process runs its own executable, whose code the kernel shows as it is.
    const auto own = readProcessCode(static_cast<std::int32_t>(::getpid()));
    ASSERT_TRUE(own);
    EXPECT_NE(std::find_if(own->mapped.begin(), own->mapped.end(),
                           [](const MappedCode& m) { return m.path == processPath(::getpid()); }),
              own->mapped.end());
    EXPECT_EQ(lookAtCodePages(::getpid(), own->mapped, SecondLook::wait, Clock::now() + std::chrono::seconds(10)),
              ForeignCodeFound{});
}

TEST(ProcessFacts, TracerAndEnvironmentNamesAreReadAsTheKernelWritesThem) {
    for (const auto& [status, tracer] : std::vector<std::pair<std::string, std::optional<std::int32_t>>>{
             {"Name:\tcat\nTracerPid:\t0\nUid:\t0\n", 0},
             {"TracerPid:\t4242\n", 4242},
             {"TracerPid:\n", std::nullopt},
             {"TracerPid:\t-1\n", std::nullopt},
             {"Name:\tcat\n", std::nullopt}})
        EXPECT_EQ(parseTracer(status), tracer) << status;
    EXPECT_EQ(parseEnvironmentNames(std::string("PATH=/bin\0LD_PRELOAD=/tmp/x.so\0=odd\0NOVALUE\0\0A=b=c", 50)),
              (std::vector<std::string>{"PATH", "LD_PRELOAD", "", "NOVALUE", "A"}));
    EXPECT_EQ(processTracer(static_cast<std::int32_t>(::getpid())), 0);
    const auto names = processEnvironmentNames(static_cast<std::int32_t>(::getpid()));
    ASSERT_TRUE(names);
    EXPECT_NE(std::find(names->begin(), names->end(), "PATH"), names->end());
    EXPECT_FALSE(processTracer(INT32_MAX));
    EXPECT_FALSE(processEnvironmentNames(INT32_MAX));
}

// What a running process shows besides its sealed files and the system's libraries: each sign
// of foreign code, or of a way to put it in, refuses it; what a user's session sets does not.
TEST(ForeignCode, EachSignOfCodeOrOfAWayToInsertItRefusesTheProcess) {
    const ProcessCode clean{{{"/usr/lib/x86_64-linux-gnu/libc.so.6", 1},
                             {"/A.app/Contents/MacOS/Norvane", 2},
                             {"[vdso]", 0},
                             {"[vsyscall]", 0}},
                            0,
                            {"PATH", "HOME", "LANG", "QT_QPA_PLATFORM", "QT_QPA_PLATFORMTHEME", "XLD_PRELOAD"}};
    const auto sealed = [](const MappedCode& code) {
        return code.path == "/A.app/Contents/MacOS/Norvane" && code.inode == 2;
    };
    using Change = std::function<void(ProcessCode&)>;
    const auto mapping = [](MappedCode code) { return Change([code](ProcessCode& p) { p.mapped.push_back(code); }); };
    const auto variable = [](std::string name) {
        return Change([name](ProcessCode& p) { p.environment.push_back(name); });
    };
    std::vector<std::tuple<std::string, Change, ForeignCodeFound>> cases = {
        {"clean", [](ProcessCode&) {}, {}},
        {"a preloaded library", mapping({"/tmp/evil.so", 3}), {ForeignCode::foreignFile, "/tmp/evil.so"}},
        {"a sealed path, another inode", mapping({"/A.app/Contents/MacOS/Norvane", 9}),
         {ForeignCode::foreignFile, "/A.app/Contents/MacOS/Norvane"}},
        {"a way out of the libraries", mapping({"/usr/lib/../../tmp/x.so", 4}),
         {ForeignCode::foreignFile, "/usr/lib/../../tmp/x.so"}},
        {"a memory file", mapping({"/memfd:x (deleted)", 5}), {ForeignCode::foreignFile, "/memfd:x (deleted)"}},
        {"anonymous code", mapping({"", 0}), {ForeignCode::anonymousCode, ""}},
        {"an executable stack", mapping({"[stack]", 0}), {ForeignCode::anonymousCode, "[stack]"}},
        {"an executable heap", mapping({"[heap]", 0}), {ForeignCode::anonymousCode, "[heap]"}},
        {"a tracer", [](ProcessCode& p) { p.tracer = 4242; }, {ForeignCode::tracer, "4242"}},
    };
    for (const char* name : {"LD_PRELOAD", "LD_LIBRARY_PATH", "LD_AUDIT", "LD_BIND_NOW", "GLIBC_TUNABLES", "GCONV_PATH",
                             "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "OPENSSL_MODULES"})
        cases.emplace_back(name, variable(name), ForeignCodeFound{ForeignCode::loaderVariable, name});
    for (const auto& [what, change, expected] : cases) {
        ProcessCode process = clean;
        change(process);
        EXPECT_EQ(findForeignCode(process, sealed), expected) << what;
    }
    EXPECT_EQ(findForeignCode(std::nullopt, sealed).kind, ForeignCode::unreadable);
    // This test program runs from the build folder, which is no system library folder: it is
    // named before any of its pages is read.
    EXPECT_EQ(lookAtPeer(::getpid(), sealed, SecondLook::none, Clock::now()),
              (ForeignCodeFound{ForeignCode::foreignFile, processPath(::getpid())}));
}

// A code page counts as written when it holds other bytes than the kernel shows of its file: a
// byte written as a debugger writes (through /proc/<pid>/mem), a breakpoint too, but not the
// file's own byte put back, nor the breakpoint of a probe the kernel placed, nor the file's byte
// where the kernel is placing one.
class WrittenCode : public ::testing::Test {
protected:
    static constexpr std::size_t pages = 64;
    TempFolder dir;
    Path file = dir / "code.bin";
    unsigned char* code = nullptr;

    void SetUp() override {
        writeFileAtomically(file, std::string(pages * 4096, '\x90'));  // no-ops, which a probe may replace
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        void* mapped = ::mmap(nullptr, pages * 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (mapped == MAP_FAILED) GTEST_SKIP() << "the temporary folder's files cannot be mapped as code";
        code = static_cast<unsigned char*>(mapped);
    }
    void TearDown() override {
        if (code) ::munmap(code, pages * 4096);
    }
    void write(std::size_t at, unsigned char byte) const { put(code + at, byte); }
    // Writes a byte of code as a debugger does, through /proc/self/mem.
    static void put(unsigned char* at, unsigned char byte, int memory = -1) {
        const int fd = memory >= 0 ? memory : ::open("/proc/self/mem", O_RDWR | O_CLOEXEC);
        ASSERT_EQ(::pwrite(fd, &byte, 1, static_cast<off_t>(reinterpret_cast<std::uintptr_t>(at))), 1);
        if (memory < 0) ::close(fd);
    }
    MappedCode mapping() const {
        for (const auto& mapped : mappedCode(static_cast<std::int32_t>(::getpid())).value_or(std::vector<MappedCode>{}))
            if (mapped.path == file.string()) return mapped;
        ADD_FAILURE() << "the code is not mapped";
        return {};
    }
    ForeignCode look(SecondLook second = SecondLook::none,
                     Clock::time_point deadline = Clock::now() + std::chrono::seconds(20)) const {
        const auto found = lookAtCodePages(::getpid(), {mapping()}, second, deadline);
        EXPECT_TRUE(found.kind == ForeignCode::none || found.kind == ForeignCode::late || found.what == file.string())
            << found.what;
        return found.kind;
    }
};

TEST_F(WrittenCode, IsWhatDiffersFromWhatTheKernelShowsOfTheFile) {
    EXPECT_EQ(look(), ForeignCode::none);
    // A breakpoint the kernel's view lacks is looked at again (or left for the caller to) and
    // then counts as written; any other byte is written at once.
    for (const auto& [byte, second, found] : std::vector<std::tuple<unsigned char, SecondLook, ForeignCode>>{
             {0x90, SecondLook::none, ForeignCode::none},
             {0x91, SecondLook::none, ForeignCode::writtenCode},
             {0x91, SecondLook::later, ForeignCode::writtenCode},
             {0xCC, SecondLook::none, ForeignCode::writtenCode},
             {0xCC, SecondLook::later, ForeignCode::unsettled},
             {0xCC, SecondLook::wait, ForeignCode::writtenCode},
             {0x90, SecondLook::wait, ForeignCode::none}}) {
        write(100, byte);
        EXPECT_EQ(look(second), found) << std::hex << int(byte) << " " << int(second);
    }
}

// Breakpoints in many pages are looked at again together, once: the whole look stays within a
// deadline that one wait per page would pass many times over. A look past its deadline says so.
TEST_F(WrittenCode, PagesOfBreakpointsAreLookedAtAgainTogetherWithinTheDeadline) {
    for (std::size_t page = 0; page < pages; ++page) write(page * 4096 + 7, 0xCC);
    EXPECT_EQ(look(SecondLook::wait, Clock::now() + std::chrono::seconds(5)), ForeignCode::writtenCode);
    EXPECT_EQ(look(SecondLook::wait, Clock::now()), ForeignCode::late);
}

// Whether a thread of this process sleeps now: the look's one wait, before its second look.
bool sleeping(pid_t thread) {
    const auto text = readFile("/proc/self/task/" + std::to_string(thread) + "/syscall", 256);
    const auto number = text ? parseInt64(text->substr(0, text->find(' '))) : std::nullopt;
    return number == SYS_nanosleep || number == SYS_clock_nanosleep;
}

// A breakpoint that goes between the two looks (a probe taken away from one process after
// another) was the kernel's: the second look finds the file's own byte. One that stays is
// written. The file is mapped many times, each mapping with a breakpoint, while we may open few
// descriptors: the second look holds one file's view at a time.
TEST_F(WrittenCode, ABreakpointThatGoesBeforeTheSecondLookIsNoWrittenCode) {
    std::vector<unsigned char*> copies{code};
    {
        const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
        for (int i = 1; i < 200; ++i) {
            void* copy = ::mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE, fd.get(), 0);
            ASSERT_NE(copy, MAP_FAILED);
            copies.push_back(static_cast<unsigned char*>(copy));
        }
    }
    const struct Unmap {
        std::vector<unsigned char*>& copies;
        ~Unmap() {
            for (std::size_t i = 1; i < copies.size(); ++i) ::munmap(copies[i], 4096);
        }
    } unmap{copies};
    std::vector<MappedCode> mapped;
    for (const auto& m : mappedCode(static_cast<std::int32_t>(::getpid())).value_or(std::vector<MappedCode>{}))
        if (m.path == file.string()) mapped.push_back(m);
    ASSERT_GT(mapped.size(), 100u);
    const FileDescriptor memory(::open("/proc/self/mem", O_RDWR | O_CLOEXEC));
    // From here on, a few descriptors beyond those open now.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const auto open = static_cast<rlim_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
    const rlimit few{std::min(open + 16, saved.rlim_cur), saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    const struct Restore {
        rlimit limit;
        ~Restore() { ::setrlimit(RLIMIT_NOFILE, &limit); }
    } restore{saved};
    const auto breakpoints = [&](unsigned char byte) {
        for (auto* copy : copies) put(copy + 7, byte, memory.get());
    };
    breakpoints(0xCC);
    EXPECT_EQ(lookAtCodePages(::getpid(), mapped, SecondLook::wait, Clock::now() + std::chrono::seconds(20)).kind,
              ForeignCode::writtenCode);
    // Put back while the look waits: only an attempt whose thread still slept once they were back
    // tells, so a busy machine may take another.
    bool told = false;
    for (int attempt = 0; attempt < 5 && !told; ++attempt) {
        breakpoints(0xCC);
        const pid_t looking = ::gettid();
        std::atomic<bool> over = false;
        bool within = false;
        std::thread restorer([&] {
            while (!over && !sleeping(looking)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (over) return;
            breakpoints(0x90);
            within = sleeping(looking);
        });
        const auto found = lookAtCodePages(::getpid(), mapped, SecondLook::wait, Clock::now() + std::chrono::seconds(20));
        over = true;
        restorer.join();
        if (!within) continue;
        told = true;
        EXPECT_EQ(found.kind, ForeignCode::none) << describe(found);
    }
    EXPECT_TRUE(told) << "the breakpoints never went back while the look waited";
}

// The kernel's view of a file cut short after it was mapped reads as an error, not a fault that
// would end the process. The page compared is the file's own, so only that error can refuse it.
TEST_F(WrittenCode, AFileCutShortUnderTheViewIsNoCrash) {
    const FileDescriptor self(::open("/proc/self/mem", O_RDONLY | O_CLOEXEC));
    FileView view(mapping(), 4096, self.get());
    const std::vector<unsigned char> page(4096, 0x90);
    EXPECT_EQ(view.compare(3 * 4096, page.data(), page.size()), FileView::Match::same);
    ASSERT_EQ(::truncate(file.c_str(), 0), 0);
    EXPECT_EQ(view.compare(3 * 4096, page.data(), page.size()), FileView::Match::other);
}

TEST_F(WrittenCode, ABreakpointTheKernelPlacedIsNotWritten) {
    auto placed = testing::Uprobe::place(file, 4096 + 16);
    if (const auto* why = std::get_if<std::string>(&placed)) GTEST_SKIP() << *why;
    ASSERT_EQ(code[4096 + 16], 0xCC);  // in our copy of the page, as in every mapping of the file
    EXPECT_EQ(look(), ForeignCode::none);
    // The file's own byte where the kernel shows the probe: a process the kernel has not reached
    // yet while it places the probe in one process after another.
    write(4096 + 16, 0x90);
    EXPECT_EQ(look(), ForeignCode::none);
    write(4096 + 200, 0x91);  // the kernel's page, written by someone else as well
    EXPECT_EQ(look(), ForeignCode::writtenCode);
}

}  // namespace
}  // namespace norvane
