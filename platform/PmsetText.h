#pragma once
// The text that `pmset -g` prints, read one way everywhere: the application finds the energy
// mode in the command's output, and the simulated pmset reads and changes its dump
// (pmset/settings.txt) by the same rules, so what pmset writes is what the app reads back.
// Modes: 0 Automatic, 1 Low Power, 2 High Power.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace norvane {

// The one rule for its lines and words: a line ends at a line feed, and a carriage return
// before it (a dump saved with CRLF line ends) belongs to that end, never to the line's last
// word; words are separated by runs of spaces only, so a tab belongs to a word.
// The line without a carriage return at its end.
std::string_view pmsetLine(std::string_view line);
// Where the word that begins at `start` ends: the next space, else the end of the line
// (`line` as pmsetLine gives it).
std::size_t wordEnd(std::string_view line, std::size_t start);

// A line that sets the energy mode: its first word is "powermode" or "lowpowermode" and a
// second word follows.
struct EnergyLine {
    std::string_view name;
    std::size_t valueStart = 0, valueEnd = 0;  // the second word, within the line (before its CR)
};
std::optional<EnergyLine> energyLine(std::string_view line);

// The mode of the first "powermode" line, or 1 for a "lowpowermode 1" line before it;
// absent when the first "powermode" line holds no mode from 0 to 2. Without either, a
// "lowpowermode 0" line gives 0 (Automatic), so Low Power switched off is read as such;
// absent when no line says anything.
std::optional<std::int64_t> parsePowerMode(std::string_view text);

}  // namespace norvane
