// The attack of the helper's tests: a library preloaded into the signed app that leaves no file
// of its own mapped as code. At its start it copies a payload into anonymous executable memory,
// hides its name in the environment the process shows (the bytes /proc/<pid>/environ reads),
// and the payload unmaps the library's code before it returns to the loader. Built for x86-64
// without start files, so that the loader never calls into it again (no destructors).

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace {

// The library's code: the executable ranges of the file whose mapping holds this function.
struct Range {
    std::uintptr_t start = 0, end = 0;
};

int ownCode(Range* ranges, int most) {
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    static char maps[1 << 20];
    std::size_t size = 0;
    for (ssize_t n; size < sizeof maps - 1 && (n = ::read(fd, maps + size, sizeof maps - 1 - size)) > 0;)
        size += static_cast<std::size_t>(n);
    ::close(fd);
    maps[size] = '\0';
    for (std::size_t i = 0; i < size; ++i)
        if (maps[i] == '\n') maps[i] = '\0';
    // Each line: range, permissions, offset, device, inode, name.
    const auto each = [size](auto visit) {
        for (char* line = maps; line < maps + size; line += std::strlen(line) + 1) {
            unsigned long long start = 0, end = 0, node = 0;
            char permissions[5] = {};
            if (std::sscanf(line, "%llx-%llx %4s %*s %*s %llu", &start, &end, permissions, &node) == 4)
                visit(static_cast<std::uintptr_t>(start), static_cast<std::uintptr_t>(end), permissions, node);
        }
    };
    const auto here = reinterpret_cast<std::uintptr_t>(&ownCode);
    unsigned long long inode = 0;
    each([&](std::uintptr_t start, std::uintptr_t end, const char*, unsigned long long node) {
        if (start <= here && here < end) inode = node;
    });
    int count = 0;
    each([&](std::uintptr_t start, std::uintptr_t end, const char* permissions, unsigned long long node) {
        if (inode != 0 && node == inode && permissions[2] == 'x' && count < most) ranges[count++] = {start, end};
    });
    return count;
}

void put(unsigned char*& at, const void* bytes, std::size_t size) {
    std::memcpy(at, bytes, size);
    at += size;
}

}  // namespace

// The payload's address, or none when it could not be made.
extern "C" __attribute__((visibility("hidden"), used, noinline)) void* evictingPrepare() {
    Range ranges[8];
    const int count = ownCode(ranges, 8);
    if (count == 0) return nullptr;
    void* memory = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    auto* at = static_cast<unsigned char*>(memory);
    for (int i = 0; i < count; ++i) {
        const std::uint64_t start = ranges[i].start, length = ranges[i].end - ranges[i].start;
        const unsigned char munmap[] = {0xb8, 0x0b, 0x00, 0x00, 0x00};  // mov $SYS_munmap, %eax
        const unsigned char rdi[] = {0x48, 0xbf}, rsi[] = {0x48, 0xbe}, syscall[] = {0x0f, 0x05};
        put(at, munmap, sizeof munmap);
        put(at, rdi, sizeof rdi);
        put(at, &start, sizeof start);
        put(at, rsi, sizeof rsi);
        put(at, &length, sizeof length);
        put(at, syscall, sizeof syscall);
    }
    *at = 0xc3;  // ret: back to the loader, which called the library's start
    if (::mprotect(memory, 4096, PROT_READ | PROT_EXEC) != 0) return nullptr;
    for (char** variable = environ; variable && *variable; ++variable)
        if (std::strncmp(*variable, "LD_PRELOAD=", 11) == 0) (*variable)[0] = 'X';
    return memory;
}

#if defined(__x86_64__)
// The library's start: makes the payload, then jumps to it in its own place, so that the
// payload's return goes to the loader and nothing returns into the unmapped code.
__asm__(
    ".pushsection .init_array,\"aw\"\n"
    ".balign 8\n"
    ".quad evictingStart\n"
    ".popsection\n"
    ".text\n"
    ".type evictingStart,@function\n"
    "evictingStart:\n"
    "    sub $8, %rsp\n"
    "    call evictingPrepare\n"
    "    add $8, %rsp\n"
    "    test %rax, %rax\n"
    "    jz 1f\n"
    "    jmp *%rax\n"
    "1:  ret\n");
#endif
