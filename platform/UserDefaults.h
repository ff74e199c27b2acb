#pragma once
// The user's defaults of one domain: a property-list file under the preferences folder
// ($XDG_CONFIG_HOME), read once into memory and written back whole, atomically, on every
// change. The readers follow the system's rules for entries of another kind than asked.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "platform/Value.h"

namespace norvane {

class UserDefaults {
public:
    // The domain's file, "<domain>.plist" in preferencesFolder().
    static Path fileFor(std::string_view domain);

    // Far above any domain's settings.
    static constexpr std::size_t maximumFileBytes = std::size_t{16} << 20;

    // Reads the file at once. A missing file is an empty domain; a file that cannot be read
    // or is not a property list of a dictionary is moved aside (so that the first write does
    // not replace it) and the domain starts empty: so is one that is no regular file, holds
    // more than `maximumFileBytes`, or is a link leading nowhere. A link to a file is
    // followed, as tools that keep preferences in a synchronised folder leave them. `log`
    // hears of each file moved aside.
    explicit UserDefaults(Path file, const FileLog& log = {});

    // The stored entry as it is; absent when the key has none.
    std::optional<Value> object(std::string_view key) const;

    // The system's readers. Boolean: a Boolean as it is, a number other than 0, a text that
    // starts (after blanks, a sign and zeros) with Y, T or a digit 1-9; false for anything
    // else and for a missing key.
    bool boolean(std::string_view key) const;
    // Integer: a number (reals truncated, held at the integer's ends, NaN 0), a Boolean as 1
    // or 0, the number a text starts with (blanks, a sign, digits); 0 for anything else.
    std::int64_t integer(std::string_view key) const;
    // Text: a text as it is, a number as its decimal text; absent for anything else.
    std::optional<std::string> string(std::string_view key) const;
    // A list whose every entry is a text; absent otherwise.
    std::optional<std::vector<std::string>> stringArray(std::string_view key) const;
    std::optional<Value::Data> data(std::string_view key) const;

    // The entry taken as one kind, or absent when it is of another: only a Boolean is a
    // Boolean, only a date a date; an integer, or a real that is a whole number within the
    // range, is an integer.
    std::optional<bool> booleanObject(std::string_view key) const;
    std::optional<std::int64_t> integerObject(std::string_view key) const;
    std::optional<Date> date(std::string_view key) const;

    // Stores the entry (and writes the file); a JSON null removes the key. False when the
    // file could not be written: the entry is kept in memory all the same, and the next
    // write tries again with everything.
    bool set(std::string_view key, Value value);
    bool remove(std::string_view key);

    const Path& file() const { return file_; }

private:
    bool write() const;

    Path file_;
    Value::Dictionary entries_;
};

}  // namespace norvane
