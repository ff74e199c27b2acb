#pragma once
// A desktop that records the hot keys it is asked to hold, refuses them on demand, and hands
// presses to the test through the handler it was given.

#include <map>
#include <utility>

#include "platform/HotKeyCenter.h"

namespace norvane {

struct FakeHotKeyCenter final : HotKeyCenter {
    Handler handler;
    int handlerInstalls = 0;
    bool refuses = false;
    std::map<Ref, std::pair<std::uint32_t, std::uint32_t>> held;  // ref → key code, modifiers
    Ref next = 1;

    void installHandler(Handler h) override {
        handler = std::move(h);
        ++handlerInstalls;
    }
    std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t) override {
        if (refuses) return std::nullopt;
        held.emplace(next, std::pair(keyCode, modifiers));
        return next++;
    }
    void unregisterHotKey(Ref ref) override { held.erase(ref); }
};

}  // namespace norvane
