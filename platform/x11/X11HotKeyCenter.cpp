#include "platform/x11/X11HotKeyCenter.h"

#include <linux/input-event-codes.h>
#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "platform/x11/X11Connection.h"

namespace norvane {
namespace {

// Mac key code → Linux input code of the key in the same place. XKB numbers a key by its
// input code plus 8.
constexpr std::pair<std::uint32_t, unsigned> keyTable[] = {
    {0, KEY_A},          {1, KEY_S},          {2, KEY_D},          {3, KEY_F},          {4, KEY_H},
    {5, KEY_G},          {6, KEY_Z},          {7, KEY_X},          {8, KEY_C},          {9, KEY_V},
    {10, KEY_102ND},     {11, KEY_B},         {12, KEY_Q},         {13, KEY_W},         {14, KEY_E},
    {15, KEY_R},         {16, KEY_Y},         {17, KEY_T},         {18, KEY_1},         {19, KEY_2},
    {20, KEY_3},         {21, KEY_4},         {22, KEY_6},         {23, KEY_5},         {24, KEY_EQUAL},
    {25, KEY_9},         {26, KEY_7},         {27, KEY_MINUS},     {28, KEY_8},         {29, KEY_0},
    {30, KEY_RIGHTBRACE}, {31, KEY_O},        {32, KEY_U},         {33, KEY_LEFTBRACE}, {34, KEY_I},
    {35, KEY_P},         {36, KEY_ENTER},     {37, KEY_L},         {38, KEY_J},         {39, KEY_APOSTROPHE},
    {40, KEY_K},         {41, KEY_SEMICOLON}, {42, KEY_BACKSLASH}, {43, KEY_COMMA},     {44, KEY_SLASH},
    {45, KEY_N},         {46, KEY_M},         {47, KEY_DOT},       {48, KEY_TAB},       {49, KEY_SPACE},
    {50, KEY_GRAVE},     {51, KEY_BACKSPACE}, {53, KEY_ESC},       {64, KEY_F17},       {65, KEY_KPDOT},
    {67, KEY_KPASTERISK}, {69, KEY_KPPLUS},   {71, KEY_NUMLOCK},   {75, KEY_KPSLASH},   {76, KEY_KPENTER},
    {78, KEY_KPMINUS},   {79, KEY_F18},       {80, KEY_F19},       {81, KEY_KPEQUAL},   {82, KEY_KP0},
    {83, KEY_KP1},       {84, KEY_KP2},       {85, KEY_KP3},       {86, KEY_KP4},       {87, KEY_KP5},
    {88, KEY_KP6},       {89, KEY_KP7},       {90, KEY_F20},       {91, KEY_KP8},       {92, KEY_KP9},
    {96, KEY_F5},        {97, KEY_F6},        {98, KEY_F7},        {99, KEY_F3},        {100, KEY_F8},
    {101, KEY_F9},       {103, KEY_F11},      {105, KEY_F13},      {106, KEY_F16},      {107, KEY_F14},
    {109, KEY_F10},      {111, KEY_F12},      {113, KEY_F15},      {114, KEY_INSERT},   {115, KEY_HOME},
    {116, KEY_PAGEUP},   {117, KEY_DELETE},   {118, KEY_F4},       {119, KEY_END},      {120, KEY_F2},
    {121, KEY_PAGEDOWN}, {122, KEY_F1},       {123, KEY_LEFT},     {124, KEY_RIGHT},    {125, KEY_DOWN},
    {126, KEY_UP},
};

constexpr std::uint32_t macCommand = 0x0100, macShift = 0x0200, macOption = 0x0800, macControl = 0x1000;

// Caps Lock and Num Lock change no hot key: each grab is made in all four of their states.
constexpr std::array<std::uint16_t, 4> lockStates{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                  XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

bool notEmpty(const char* text) { return text && *text; }

}  // namespace

std::optional<std::uint8_t> x11Keycode(std::uint32_t macKeyCode) {
    for (const auto& [mac, input] : keyTable)
        if (mac == macKeyCode) return static_cast<std::uint8_t>(input + 8);
    return std::nullopt;
}

std::uint16_t x11Modifiers(std::uint32_t macModifiers) {
    std::uint16_t out = 0;
    if (macModifiers & macCommand) out |= XCB_MOD_MASK_4;  // Super
    if (macModifiers & macShift) out |= XCB_MOD_MASK_SHIFT;
    if (macModifiers & macOption) out |= XCB_MOD_MASK_1;  // Alt
    if (macModifiers & macControl) out |= XCB_MOD_MASK_CONTROL;
    return out;
}

std::optional<std::string> x11GrabDisplay(const char* display, const char* waylandDisplay, const char* sessionType) {
    if (notEmpty(waylandDisplay) || (sessionType && std::string_view(sessionType) == "wayland")) return std::nullopt;
    if (!notEmpty(display)) return std::nullopt;
    return std::string(display);
}

struct X11HotKeyCenter::State {
    struct Grab {
        std::uint8_t keycode;
        std::uint16_t modifiers;
        std::uint32_t id;
    };

    explicit State(const std::optional<std::string>& display) : x(display) {}

    std::mutex mutex;  // guards what follows
    Handler handler;
    std::map<Ref, Grab> grabs;
    Ref nextRef = 1;
    X11Connection x;  // last: its thread ends before the rest goes

    void pressed(const xcb_key_press_event_t& event) {
        const auto modifiers = static_cast<std::uint16_t>(event.state & 0xFF & ~(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2));
        Handler call;
        std::uint32_t id = 0;
        {
            std::lock_guard lock(mutex);
            for (const auto& [ref, grab] : grabs)
                if (grab.keycode == event.detail && grab.modifiers == modifiers) {
                    call = handler;
                    id = grab.id;
                }
        }
        if (call) call(id);
    }

    void ungrab(std::uint8_t keycode, std::uint16_t modifiers) const {
        for (const std::uint16_t locks : lockStates)
            xcb_ungrab_key(x.get(), keycode, x.root(), static_cast<std::uint16_t>(modifiers | locks));
        x.sync();  // the key is free for other clients once this returns
    }
};

X11HotKeyCenter::X11HotKeyCenter(const std::optional<std::string>& display)
    : state_(std::make_shared<State>(display)) {
    state_->x.watch([state = state_.get()](const xcb_generic_event_t& event) {
        if ((event.response_type & 0x7F) == XCB_KEY_PRESS)
            state->pressed(reinterpret_cast<const xcb_key_press_event_t&>(event));
    });
}

std::unique_ptr<X11HotKeyCenter> X11HotKeyCenter::forSession() {
    return std::make_unique<X11HotKeyCenter>(
        x11GrabDisplay(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE")));
}

X11HotKeyCenter::~X11HotKeyCenter() = default;  // the connection's end drops its grabs

bool X11HotKeyCenter::connected() const { return state_->x.connected(); }

void X11HotKeyCenter::installHandler(Handler handler) {
    std::lock_guard lock(state_->mutex);
    state_->handler = std::move(handler);
}

std::optional<HotKeyCenter::Ref> X11HotKeyCenter::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                                 std::uint32_t id) {
    const auto keycode = x11Keycode(keyCode);
    xcb_connection_t* connection = state_->x.get();
    if (!connection || !keycode) return std::nullopt;
    const std::uint16_t mask = x11Modifiers(modifiers);
    {
        // The server would let this connection grab a key twice; the event manager refuses.
        std::lock_guard lock(state_->mutex);
        for (const auto& [ref, grab] : state_->grabs)
            if (grab.keycode == *keycode && grab.modifiers == mask) return std::nullopt;
    }
    std::array<xcb_void_cookie_t, lockStates.size()> cookies{};
    for (std::size_t i = 0; i < lockStates.size(); ++i)
        cookies[i] = xcb_grab_key_checked(connection, 1, state_->x.root(), static_cast<std::uint16_t>(mask | lockStates[i]),
                                          *keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool refused = false;
    for (const auto cookie : cookies) {
        // Another client's grab of the same key is refused with an access error.
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    state_->x.nudge();
    if (refused) {
        state_->ungrab(*keycode, mask);
        return std::nullopt;
    }
    std::lock_guard lock(state_->mutex);
    const Ref ref = state_->nextRef++;
    state_->grabs.emplace(ref, State::Grab{*keycode, mask, id});
    return ref;
}

void X11HotKeyCenter::unregisterHotKey(Ref ref) {
    State::Grab grab{};
    {
        std::lock_guard lock(state_->mutex);
        const auto found = state_->grabs.find(ref);
        if (found == state_->grabs.end()) return;
        grab = found->second;
        state_->grabs.erase(found);
    }
    state_->ungrab(grab.keycode, grab.modifiers);
    state_->x.nudge();
}

}  // namespace norvane
