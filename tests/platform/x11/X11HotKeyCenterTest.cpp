#include "platform/x11/X11HotKeyCenter.h"

#include <linux/input-event-codes.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <mutex>

#include "platform/KeyCodes.h"
#include "platform/x11/X11Compositor.h"

extern char** environ;

namespace norvane {
namespace {

TEST(X11Keys, MacKeyCodesNamePhysicalKeys) {
    const std::pair<std::uint32_t, std::optional<std::uint8_t>> keys[] = {
        {0, 38},    // A
        {40, 45},   // K
        {49, 65},   // space
        {36, 36},   // return
        {122, 67},  // F1
        {111, 96},  // F12
        {126, 111}, // up arrow
        {51, 22},   // delete: backspace
        {117, 119}, // forward delete
        {52, std::nullopt},   // no key
        {55, std::nullopt},   // command itself
        {200, std::nullopt},
    };
    for (const auto& [mac, x] : keys) EXPECT_EQ(x11Keycode(mac), x) << mac;
    // The recorder reads a pressed key back through the same table.
    for (std::uint32_t mac = 0; mac < 256; ++mac)
        if (const auto input = linuxKeyOfMac(mac)) {
            EXPECT_EQ(macKeyOfLinux(*input), mac) << mac;
        }
    EXPECT_EQ(macKeyOfLinux(KEY_K), 40u);
    EXPECT_EQ(macKeyOfLinux(KEY_LEFTMETA), std::nullopt);  // command itself
    EXPECT_EQ(x11Modifiers(0x0100), 1 << 6);  // command: Super (Mod4)
    EXPECT_EQ(x11Modifiers(0x0800), 1 << 3);  // option: Alt (Mod1)
    EXPECT_EQ(x11Modifiers(0x1000 | 0x0200), (1 << 2) | 1);
    EXPECT_EQ(x11Modifiers(0x4000), 0);
}

TEST(X11Keys, NoGrabsUnderWaylandOrWithoutADisplay) {
    EXPECT_EQ(x11GrabDisplay(":1", nullptr, "x11"), ":1");
    EXPECT_EQ(x11GrabDisplay(":1", "wayland-0", nullptr), std::nullopt);  // XWayland grabs only its own windows
    EXPECT_EQ(x11GrabDisplay(":1", "", "wayland"), std::nullopt);
    EXPECT_EQ(x11GrabDisplay("", nullptr, nullptr), std::nullopt);
    EXPECT_EQ(x11GrabDisplay(nullptr, nullptr, nullptr), std::nullopt);
    X11HotKeyCenter none(std::nullopt);
    EXPECT_FALSE(none.connected());
    EXPECT_EQ(none.registerHotKey(0, 0x0100, 0), std::nullopt);
}

// A virtual X server of the test's own, on the first free display.
class Xvfb {
public:
    Xvfb() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string program = "Xvfb", displayFd = std::to_string(fds[1]);
        std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>("-displayfd"),
                                const_cast<char*>(displayFd.c_str()), const_cast<char*>("-nolisten"),
                                const_cast<char*>("tcp"),
                                // Without it the server resets when its last client leaves and refuses the next.
                                const_cast<char*>("-noreset"), nullptr};
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addclose(&actions, fds[0]);
        ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const bool started = ::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ) == 0;
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (!started) pid_ = -1;
        std::string number;
        char c = 0;
        while (started && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~Xvfb() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    const std::optional<std::string>& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::optional<std::string> display_;
};

// Runs xdotool on the display; false when it cannot run.
bool xdotool(const std::string& display, const std::string& keys) {
    const std::string variable = "DISPLAY=" + display;
    std::vector<char*> environment{const_cast<char*>(variable.c_str()), nullptr};
    std::vector<char*> argv{const_cast<char*>("xdotool"), const_cast<char*>("key"), const_cast<char*>(keys.c_str()),
                            nullptr};
    pid_t pid = -1;
    const std::string path = "/usr/bin/xdotool";
    if (::access(path.c_str(), X_OK) != 0 ||
        ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environment.data()) != 0)
        return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class X11Grabs : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xvfb.display()) GTEST_SKIP() << "Xvfb is not installed or did not start: no X display to grab keys on";
    }
    Xvfb xvfb;
};

TEST_F(X11Grabs, AKeyHeldByAnotherProgramIsRefusedAndAPressReachesTheHandler) {
    X11HotKeyCenter other(xvfb.display());
    X11HotKeyCenter center(xvfb.display());
    ASSERT_TRUE(center.connected());
    std::mutex mutex;
    std::condition_variable pressed;
    std::vector<std::uint32_t> ids;
    center.installHandler([&](std::uint32_t id) {
        std::lock_guard lock(mutex);
        ids.push_back(id);
        pressed.notify_all();
    });

    const auto held = other.registerHotKey(40, 0x0300, 0);  // ⇧⌘K
    ASSERT_TRUE(held);
    EXPECT_EQ(center.registerHotKey(40, 0x0300, 1), std::nullopt);
    other.unregisterHotKey(*held);
    const auto ref = center.registerHotKey(40, 0x0300, 1);
    ASSERT_TRUE(ref);
    EXPECT_EQ(center.registerHotKey(40, 0x0300, 0), std::nullopt);  // the same keys twice
    EXPECT_EQ(other.registerHotKey(40, 0x0300, 0), std::nullopt);
    EXPECT_EQ(center.registerHotKey(52, 0x0100, 0), std::nullopt);  // no such key

    if (!xdotool(*xvfb.display(), "super+shift+k")) GTEST_SKIP() << "xdotool is not installed: no key press to send";
    std::unique_lock lock(mutex);
    ASSERT_TRUE(pressed.wait_for(lock, std::chrono::seconds(10), [&] { return !ids.empty(); }));
    EXPECT_EQ(ids, std::vector<std::uint32_t>{1});
    lock.unlock();
    center.unregisterHotKey(*ref);
    EXPECT_TRUE(other.registerHotKey(40, 0x0300, 0));
}

TEST_F(X11Grabs, ACompositorIsTheOwnerOfItsSelection) {
    EXPECT_FALSE(x11CompositorRunning(std::nullopt));
    EXPECT_FALSE(x11CompositorRunning(xvfb.display()));
    // This client plays the compositor: it takes the selection of screen 0.
    xcb_connection_t* connection = xcb_connect(xvfb.display()->c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(connection));
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const char name[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    ASSERT_TRUE(atom);
    xcb_set_selection_owner(connection, window, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));  // a round trip
    EXPECT_TRUE(x11CompositorRunning(xvfb.display()));
    xcb_disconnect(connection);
}

}  // namespace
}  // namespace norvane
