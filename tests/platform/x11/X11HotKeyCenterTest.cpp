#include "platform/x11/X11HotKeyCenter.h"

#include <linux/input-event-codes.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/KeyCodes.h"
#include "platform/x11/X11ClickMonitor.h"
#include "platform/x11/X11Compositor.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11SystemTray.h"
#include "tests/support/Xvfb.h"

namespace norvane {
namespace {

// A client of the display that owns a selection of screen 0 with a window of its own, as a
// compositor or a tray does; it ends with its connection.
struct SelectionOwner {
    SelectionOwner(const std::string& display, const std::string& selection) : x(display) {
        if (!x.connected()) return;
        window = xcb_generate_id(x.get());
        xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, window, x.root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(x.get(), window, x.atom(selection), XCB_CURRENT_TIME);
        x.sync();
    }
    bool connected() const { return x.connected() && window != 0; }

    X11Connection x;
    xcb_window_t window = 0;
};

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

// What a handler is told on another thread, gathered for the test. Declared before what
// tells it, so that it outlives that thread.
template <class T>
class Gathered {
public:
    void add(T value) {
        std::lock_guard lock(mutex_);
        values_.push_back(std::move(value));
        told_.notify_all();
    }
    // What came once `count` values have, or after 10 s.
    std::vector<T> first(std::size_t count) {
        std::unique_lock lock(mutex_);
        told_.wait_for(lock, std::chrono::seconds(10), [&] { return values_.size() >= count; });
        return values_;
    }

private:
    std::mutex mutex_;
    std::condition_variable told_;
    std::vector<T> values_;
};

class X11Grabs : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xvfb.display()) GTEST_SKIP() << "Xvfb is not installed or did not start: no X display to grab keys on";
    }
    testing::Xvfb xvfb;
};

TEST_F(X11Grabs, AKeyHeldByAnotherProgramIsRefusedAndAPressReachesTheHandler) {
    X11HotKeyCenter other(xvfb.display());
    Gathered<std::uint32_t> ids;
    X11HotKeyCenter center(xvfb.display());
    ASSERT_TRUE(center.connected());
    center.installHandler([&](std::uint32_t id) { ids.add(id); });

    const auto held = other.registerHotKey(40, 0x0300, 0);  // ⇧⌘K
    ASSERT_TRUE(held);
    EXPECT_EQ(center.registerHotKey(40, 0x0300, 1), std::nullopt);
    other.unregisterHotKey(*held);
    const auto ref = center.registerHotKey(40, 0x0300, 1);
    ASSERT_TRUE(ref);
    EXPECT_EQ(center.registerHotKey(40, 0x0300, 0), std::nullopt);  // the same keys twice
    EXPECT_EQ(other.registerHotKey(40, 0x0300, 0), std::nullopt);
    EXPECT_EQ(center.registerHotKey(52, 0x0100, 0), std::nullopt);  // no such key

    if (!testing::xdotool(*xvfb.display(), {"key", "super+shift+k"})) GTEST_SKIP() << "xdotool is not installed: no key press to send";
    EXPECT_EQ(ids.first(1), std::vector<std::uint32_t>{1});
    center.unregisterHotKey(*ref);
    EXPECT_TRUE(other.registerHotKey(40, 0x0300, 0));
}

TEST_F(X11Grabs, ACompositorIsTheOwnerOfItsSelection) {
    EXPECT_FALSE(x11CompositorRunning(std::nullopt));
    EXPECT_FALSE(x11CompositorRunning(xvfb.display()));
    // This client plays the compositor: it takes the selection of screen 0.
    const SelectionOwner compositor(*xvfb.display(), "_NET_WM_CM_S0");
    ASSERT_TRUE(compositor.connected());
    EXPECT_TRUE(x11CompositorRunning(xvfb.display()));
}

TEST_F(X11Grabs, TheTraysColourIsReadFromItsSelectionsWindowInTheFormItIsSaidIn) {
    EXPECT_FALSE(X11SystemTray(std::nullopt).foreground());
    Gathered<bool> changes;
    X11SystemTray tray(xvfb.display());
    ASSERT_TRUE(tray.connected());
    tray.watch([&] { changes.add(true); });
    EXPECT_EQ(tray.foreground(), std::nullopt);  // no tray runs

    // This client plays the tray: it owns the selection of screen 0 with a window of its own.
    auto owner = std::make_unique<SelectionOwner>(*xvfb.display(), "_NET_SYSTEM_TRAY_S0");
    ASSERT_TRUE(owner->connected());
    xcb_connection_t* connection = owner->x.get();
    const xcb_window_t window = owner->window;
    const xcb_atom_t colors = owner->x.atom("_NET_SYSTEM_TRAY_COLORS");
    const double dim = 0x2020 / 65535.0;
    const std::vector<std::uint32_t> fourColours{0xFFFF, 0x8000, 0, 0xFFFF, 0, 0, 0xFFFF, 0xFFFF, 0, 0, 0xFFFF, 0};
    struct Row {
        const char* what;
        xcb_atom_t type;
        std::uint8_t format;
        std::vector<std::uint32_t> values;  // none: the property is deleted
        std::optional<Color> foreground;
    };
    const Row rows[] = {
        {"not said", XCB_ATOM_CARDINAL, 32, {}, std::nullopt},
        {"four colours", XCB_ATOM_CARDINAL, 32, fourColours, Color{1, 0x8000 / 65535.0, 0, 1}},
        {"only the normal one", XCB_ATOM_CARDINAL, 32, {0x2020, 0x2020, 0x2020}, Color{dim, dim, dim, 1}},
        {"past 16 bits: the brightest", XCB_ATOM_CARDINAL, 32, {0x7FFFFFFF, 0, 0xFFFFFFFF}, Color{1, 0, 1, 1}},
        {"too few values", XCB_ATOM_CARDINAL, 32, {0xFFFF, 0xFFFF}, std::nullopt},
        {"not cardinals", XCB_ATOM_INTEGER, 32, fourColours, std::nullopt},
        {"not 32 bits", XCB_ATOM_CARDINAL, 8, {0xFF, 0xFF, 0xFF, 0xFF}, std::nullopt},
    };
    for (const auto& [what, type, format, values, foreground] : rows) {
        if (values.empty()) {
            xcb_delete_property(connection, window, colors);
        } else if (format == 32) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, colors, type, 32,
                                static_cast<std::uint32_t>(values.size()), values.data());
        } else {
            const std::vector<std::uint8_t> bytes(values.begin(), values.end());
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, colors, type, 8,
                                static_cast<std::uint32_t>(bytes.size()), bytes.data());
        }
        owner->x.sync();
        EXPECT_EQ(tray.foreground(), foreground) << what;
    }
    // Each row after the first read (which found nothing to delete) changed the colours.
    EXPECT_EQ(changes.first(6).size(), 6u);
    owner.reset();
    EXPECT_EQ(tray.foreground(), std::nullopt) << "the tray ended";
}

TEST_F(X11Grabs, ATrayThatAnnouncesItselfAndOneThatEndsAreTold) {
    Gathered<bool> changes;
    X11SystemTray tray(xvfb.display());
    ASSERT_TRUE(tray.connected());
    tray.watch([] {}, [&] { changes.add(true); });
    EXPECT_FALSE(tray.present());

    // As a tray starts: it takes the selection, then tells the root window's clients.
    auto owner = std::make_unique<SelectionOwner>(*xvfb.display(), "_NET_SYSTEM_TRAY_S0");
    ASSERT_TRUE(owner->connected());
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = owner->x.root();
    message.type = owner->x.atom("MANAGER");
    message.data.data32[0] = XCB_CURRENT_TIME;
    message.data.data32[1] = owner->x.atom("_NET_SYSTEM_TRAY_S0");
    message.data.data32[2] = owner->window;
    xcb_send_event(owner->x.get(), 0, owner->x.root(), XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    owner->x.sync();
    EXPECT_EQ(changes.first(1).size(), 1u) << "the start";
    EXPECT_TRUE(tray.present());

    owner.reset();
    EXPECT_EQ(changes.first(2).size(), 2u) << "the end";
    EXPECT_FALSE(tray.present());
}

TEST_F(X11Grabs, TheClickMonitorHearsEveryPressWithItsPlaceAndTakesNone) {
    EXPECT_FALSE(X11ClickMonitor(std::nullopt, {}).connected());
    Gathered<ClickMonitor::Press> heard;
    X11ClickMonitor monitor(xvfb.display(), {});
    ASSERT_TRUE(monitor.connected());
    monitor.installHandler([&](const ClickMonitor::Press& press) { heard.add(press); });
    using B = ClickMonitor::Button;
    // On the bare desktop, no window anywhere: left, right, middle and a wheel's step.
    if (!testing::xdotool(*xvfb.display(), {"mousemove", "100", "200", "click", "1", "mousemove", "300", "40", "click", "3",
                                   "click", "2", "click", "4"}))
        GTEST_SKIP() << "xdotool is not installed: no press to send";
    // Each with the server's time, in order.
    auto presses = heard.first(4);
    for (std::size_t i = 0; i < presses.size(); ++i) {
        EXPECT_NE(presses[i].time, 0u);
        if (i > 0) {
            EXPECT_GE(presses[i].time, presses[i - 1].time);
        }
        presses[i].time = 0;
    }
    EXPECT_EQ(presses, (std::vector<ClickMonitor::Press>{
                           {B::left, 100, 200}, {B::right, 300, 40}, {B::other, 300, 40}, {B::other, 300, 40}}));

    // Watching is no grab: another client can still take the pointer.
    const X11Connection other(*xvfb.display());
    xcb_grab_pointer_reply_t* grab = xcb_grab_pointer_reply(
        other.get(),
        xcb_grab_pointer(other.get(), 0, other.root(), XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                         XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr);
    ASSERT_TRUE(grab);
    EXPECT_EQ(grab->status, XCB_GRAB_STATUS_SUCCESS);
    std::free(grab);
}

// Our windows are those our own connection made: another program's window that names our pid
// (one in another PID namespace may have it) is not ours.
TEST_F(X11Grabs, APressInAWindowOfThisProcessIsLeftToIt) {
    const X11Connection ours(*xvfb.display()), theirs(*xvfb.display());
    ASSERT_TRUE(ours.connected() && theirs.connected());
    Gathered<ClickMonitor::Press> heard;
    X11ClickMonitor monitor(xvfb.display(), {x11ClientBase(ours.get())});
    ASSERT_TRUE(monitor.connected());
    monitor.installHandler([&](const ClickMonitor::Press& press) { heard.add(press); });
    const xcb_atom_t pidAtom = theirs.atom("_NET_WM_PID");
    const auto window = [&](const X11Connection& x, xcb_window_t parent, std::int16_t left) {
        const xcb_window_t id = xcb_generate_id(x.get());
        xcb_create_window(x.get(), XCB_COPY_FROM_PARENT, id, parent, left, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        const auto self = static_cast<std::uint32_t>(::getpid());
        xcb_change_property(x.get(), XCB_PROP_MODE_REPLACE, id, pidAtom, XCB_ATOM_CARDINAL, 32, 1, &self);
        xcb_map_window(x.get(), id);
        x.sync();
        return id;
    };
    window(ours, ours.root(), 0);                            // this process's window
    window(ours, window(theirs, theirs.root(), 200), 0);     // and one in a window manager's frame
    window(theirs, theirs.root(), 400);                      // another program's, which says our pid
    if (!testing::xdotool(*xvfb.display(), {"mousemove", "50", "50", "click", "1", "mousemove", "250", "50", "click", "1",
                                            "mousemove", "450", "50", "click", "1", "mousemove", "600", "300", "click", "1"}))
        GTEST_SKIP() << "xdotool is not installed: no press to send";
    using B = ClickMonitor::Button;
    auto presses = heard.first(2);
    for (auto& press : presses) press.time = 0;
    EXPECT_EQ(presses, (std::vector<ClickMonitor::Press>{{B::left, 450, 50}, {B::left, 600, 300}}));
}

}  // namespace
}  // namespace norvane
