#pragma once
// A settings row that shows, records and clears the global shortcut of one action. The row
// registers nothing itself: a key press becomes a shortcut through `hotkey(…)` and goes to
// the model, which registers it with the desktop and stores it. While the row records it
// takes every key press of the application; a press that cannot be a shortcut keeps it
// recording, Escape ends it as it was.

#include <cstdint>
#include <optional>
#include <string>

#include "app/model/AppModel.h"
#include "app/model/Hotkey.h"
#include "app/visuals/Pill.h"

namespace norvane {

struct HotkeyRecording {
    // A key press as a Mac's key event gives it: the key's virtual code (negative for a key
    // a Mac keyboard lacks), its characters without modifiers and the modifier flags.
    struct Press {
        std::int64_t keyCode = -1;
        std::optional<std::string> characters;
        ModifierFlags flags = 0;
        bool operator==(const Press&) const = default;
    };
    static constexpr std::int64_t escapeKey = 53;

    HotkeyAction action = HotkeyAction::awake;
    bool recording = false;
    bool refused = false;  // the message shows

    // Starts recording; the message goes.
    void record();
    // Ends recording; safe when not recording.
    void stop() { recording = false; }
    // A key press while recording: Escape stops, leaving the shortcut and the message; a
    // press that cannot be a shortcut shows the message and keeps recording; a shortcut goes
    // to the model, and recording ends with the message shown when the model refused it.
    void press(AppModel& m, const Press& press);
    // Removes the action's shortcut; the message stays as it is.
    void clear(AppModel& m) const;

    struct Row {
        std::string title;
        bool clear = false;  // offered with a shortcut, while not recording
        std::string button;  // "Press keys", the shortcut's label, or "Record"
        Pill pill;
        std::string accessibility;  // of the main button
        bool message = false;
        bool operator==(const Row&) const = default;
    };
    Row row(const AppModel& m, Color accent) const;

    static constexpr const char* clearTitle = "Clear";
    static constexpr const char* refusal = "That one is taken or cannot be a shortcut. Try another.";
    static constexpr double spacing = 6;     // between the row and the message
    static constexpr double rowSpacing = 8;  // within the row
    static constexpr double leastGap = 4;
    static constexpr Pill quietPill{Color::white(0.1), Color::white()};
};

}  // namespace norvane
