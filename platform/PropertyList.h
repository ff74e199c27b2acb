#pragma once
// Reading and writing XML property lists and JSON into and out of Value.

#include <optional>
#include <string>
#include <string_view>

#include "platform/Files.h"
#include "platform/Value.h"

namespace norvane {

// The XML form that macOS writes (`plutil -convert xml1`, `ioreg -a`). Absent when the
// text is not a well-formed property list. <date> elements ("2026-12-08T10:00:00Z", UTC) become
// dates; one in any other form makes the list undecodable, as it does on a Mac.
// Integers beyond the signed 64-bit range but within the unsigned one wrap, as the
// registry's unsigned 64-bit numbers do when they reach a signed reader.
std::optional<Value> parsePropertyList(std::string_view xml);
// The same, saying in `problem` why the text could not be read.
std::optional<Value> parsePropertyList(std::string_view xml, std::string& problem);

// XML property list text for a value (a JSON null is written as an empty string, which
// property lists cannot otherwise express). Dates are written in whole seconds.
std::string writePropertyList(const Value& value);

// JSON text to a value: integers stay integers (unsigned ones beyond the signed range
// become reals), other numbers are reals. Absent when the text is not valid JSON.
std::optional<Value> parseJson(std::string_view text);

// Compact JSON text for a value. Data is written as an array of byte values, a date as its
// property-list text. Absent when
// the value holds a number that JSON cannot express (infinite or NaN).
std::optional<std::string> writeJson(const Value& value);

// A state file that holds one JSON object: an empty object while the file does not exist,
// absent when it cannot be read, holds more than `maximumJsonObjectBytes` (no state file
// comes near) or anything else (the caller then leaves it alone).
inline constexpr std::size_t maximumJsonObjectBytes = std::size_t{16} << 20;
std::optional<Value> readJsonObject(const Path& file);

}  // namespace norvane
