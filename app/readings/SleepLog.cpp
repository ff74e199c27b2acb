#include "app/readings/SleepLog.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/analysis/Duration.h"
#include "platform/Text.h"

namespace norvane {
namespace {

// A log line is read by hand rather than with a regular expression engine (the log of a
// few weeks is tens of thousands of lines). It accepts exactly what this expression,
// matched from the line's first character, accepts, with the same captures:
//
//   (\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d) ?([+-])(\d\d):?(\d\d)? +(Sleep|Wake|DarkWake)\s+(.*)
//   Using (\w+) ?\(Charge: ?(\d+)%\)
//
// (one expression; the line break is only for reading). `\d`, `\s` and `\w` are Unicode
// classes and `.` stops at line terminators, as in ICU.
struct LogLine {
    std::string_view fields[6];  // year, month, day, hour, minute, second
    bool negative = false;
    std::string_view offsetHours;
    std::string_view offsetMinutes;  // empty when absent
    std::string_view kind;
    std::string_view message;
    std::string_view source;
    std::string_view charge;
};

using CharacterClass = bool (*)(char32_t);

bool isDigit(char32_t c) { return c < 0x80 ? c >= '0' && c <= '9' : decimalDigitValue(c).has_value(); }

// Where `.` stops: the first line terminator (LF, VT, FF, CR, NEL, U+2028, U+2029) from `pos`.
std::size_t lineTerminatorFrom(std::string_view s, std::size_t pos) {
    for (; pos < s.size(); ++pos) {
        const auto b = static_cast<unsigned char>(s[pos]);
        if (b >= '\n' && b <= '\r') return pos;
        if (b == 0xC2 && pos + 1 < s.size() && static_cast<unsigned char>(s[pos + 1]) == 0x85) return pos;
        if (b == 0xE2 && s.substr(pos + 1).starts_with("\x80") && pos + 2 < s.size() &&
            (static_cast<unsigned char>(s[pos + 2]) == 0xA8 || static_cast<unsigned char>(s[pos + 2]) == 0xA9))
            return pos;
    }
    return s.size();
}

// The byte length of the character at `pos` when it is in the class, else 0.
std::size_t characterAt(std::string_view s, std::size_t pos, CharacterClass in) {
    if (pos >= s.size()) return 0;
    if (static_cast<unsigned char>(s[pos]) < 0x80) return in(static_cast<unsigned char>(s[pos])) ? 1 : 0;
    std::size_t next = pos;
    const auto c = decodeUtf8At(s, next);
    return c && in(*c) ? next - pos : 0;
}

// Greedy run of characters of one class from `pos`; returns its end.
std::size_t runOf(std::string_view s, std::size_t pos, CharacterClass in) {
    while (const auto length = characterAt(s, pos, in)) pos += length;
    return pos;
}

class Matcher {
public:
    explicit Matcher(std::string_view line) : s_(line) {}

    std::optional<LogLine> match() {
        LogLine out;
        const std::size_t widths[6] = {4, 2, 2, 2, 2, 2};
        const char separators[6] = {'-', '-', ' ', ':', ':', '\0'};
        for (int i = 0; i < 6; ++i) {
            const auto field = digits(widths[i]);
            if (!field) return std::nullopt;
            out.fields[i] = *field;
            if (separators[i] && !literal(separators[i])) return std::nullopt;
        }
        literal(' ');  // the sign cannot be a space, so taking it never needs undoing
        if (literal('-')) out.negative = true;
        else if (!literal('+')) return std::nullopt;
        const auto hours = digits(2);
        if (!hours) return std::nullopt;
        out.offsetHours = *hours;
        // `:?(\d\d)?`, greedy: with the colon and minutes first, then without each.
        const std::size_t afterHours = pos_;
        for (const bool colon : {true, false}) {
            for (const bool minutes : {true, false}) {
                pos_ = afterHours;
                if (colon && !literal(':')) continue;
                out.offsetMinutes = {};
                if (minutes) {
                    const auto taken = digits(2);
                    if (!taken) continue;
                    out.offsetMinutes = *taken;
                }
                if (rest(out)) return out;
            }
        }
        return std::nullopt;
    }

private:
    bool literal(char c) {
        if (pos_ >= s_.size() || s_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    std::optional<std::string_view> digits(std::size_t count) {
        const std::size_t start = pos_;
        for (std::size_t i = 0; i < count; ++i) {
            const auto length = characterAt(s_, pos_, isDigit);
            if (!length) return std::nullopt;
            pos_ += length;
        }
        return s_.substr(start, pos_ - start);
    }

    // ` +(Sleep|Wake|DarkWake)\s+(.*) Using …` from pos_.
    bool rest(LogLine& out) {
        out.kind = {};
        std::size_t p = pos_;
        while (p < s_.size() && s_[p] == ' ') ++p;
        if (p == pos_) return false;
        for (const std::string_view kind : {"Sleep", "Wake", "DarkWake"}) {
            if (s_.substr(p).starts_with(kind)) {
                out.kind = kind;
                break;
            }
        }
        if (out.kind.empty()) return false;
        const std::size_t spaces = p + out.kind.size();
        std::size_t message = spaces, lastSpace = spaces;
        while (const auto length = characterAt(s_, message, isRegexSpace)) lastSpace = message, message += length;
        if (message == spaces) return false;
        const std::size_t terminator = lineTerminatorFrom(s_, message);
        // `.*` is greedy: the last " Using …" before a line terminator wins.
        for (std::size_t at = terminator; at > message;) {
            at = s_.rfind(" Using ", at - 1);
            if (at == std::string_view::npos || at < message) break;
            if (tail(at, out)) {
                out.message = s_.substr(message, at - message);
                return true;
            }
        }
        // `\s+` gives back its last character when that space starts the tail: an empty message.
        if (lastSpace > spaces && s_[lastSpace] == ' ' && tail(lastSpace, out)) {
            out.message = {};
            return true;
        }
        return false;
    }

    // ` Using (\w+) ?\(Charge: ?(\d+)%\)` at `p`. Both runs are greedy and may not give
    // back: what follows each cannot start with a character of its class.
    bool tail(std::size_t p, LogLine& out) const {
        p += 7;  // " Using "
        const std::size_t sourceEnd = runOf(s_, p, isRegexWordCharacter);
        if (sourceEnd == p) return false;
        out.source = s_.substr(p, sourceEnd - p);
        p = sourceEnd;
        if (p < s_.size() && s_[p] == ' ') ++p;
        if (!s_.substr(p).starts_with("(Charge:")) return false;
        p += 8;
        if (p < s_.size() && s_[p] == ' ') ++p;
        const std::size_t chargeEnd = runOf(s_, p, isDigit);
        if (chargeEnd == p || !s_.substr(chargeEnd).starts_with("%)")) return false;
        out.charge = s_.substr(p, chargeEnd - p);
        return true;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

// Days from 1970-01-01 to a day of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

constexpr int maxZoneOffset = 18 * 3600;

// The moment of a line's fields at its offset from UTC. Out-of-range fields roll over, as
// a lenient calendar's do. An offset no time zone can have leaves the local zone in force;
// before the Gregorian reform ICU's calendar (Julian then) decides.
std::optional<Date> lineDate(const LogLine& line) {
    std::int64_t f[6];
    for (int i = 0; i < 6; ++i) {
        const auto value = parseInt64(line.fields[i]);
        if (!value) return std::nullopt;  // digits of another script
        f[i] = *value;
    }
    const std::int64_t offset = (line.negative ? -1 : 1) *
                                (parseInt64(line.offsetHours).value_or(0) * 3600 +
                                 parseInt64(line.offsetMinutes).value_or(0) * 60);
    const auto i = [&](int k) { return static_cast<int>(f[k]); };
    if (offset < -maxZoneOffset || offset > maxZoneOffset)
        return Calendar::current().date(i(0), i(1), i(2), i(3), i(4), i(5));
    if (f[0] < 1600) {
        const auto date = Calendar("UTC").date(i(0), i(1), i(2), i(3), i(4), i(5));
        return date ? std::optional(*date - static_cast<double>(offset)) : std::nullopt;
    }
    const std::int64_t months = f[0] * 12 + f[1] - 1;
    const std::int64_t days = daysFromCivil(months / 12, months % 12 + 1, 1) + f[2] - 1;
    return Date{static_cast<double>(days * 86400 + f[3] * 3600 + f[4] * 60 + f[5] - offset)};
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// "BATT" in any case.
bool isBattery(std::string_view source) {
    if (source.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if ((source[i] & ~0x20) != "BATT"[i]) return false;
    return true;
}

const std::vector<std::string> syslogArguments = {
    "-d", "/var/log/powermanagement",
    "-F", "$((Time)(JZ)) $(com.apple.iokit.domain) $Message Using $(powersource) (Charge:$(batterypercentage)%)",
    "-k", "com.apple.iokit.domain", "Sleep", "-o",
    "-k", "com.apple.iokit.domain", "Wake", "-o",
    "-k", "com.apple.iokit.domain", "DarkWake", "-o",
    "-k", "com.apple.iokit.domain", "Start",
};

}  // namespace

std::int64_t SleepStretch::minutes() const {
    const double whole = std::trunc((end - start) / 60);
    // Only a stretch made up by hand can be this far off; it counts as no time.
    if (!(std::abs(whole) < 9e18)) return 0;
    return static_cast<std::int64_t>(whole);
}

std::int64_t SleepStretch::lost() const {
    std::int64_t out = 0;
    if (!__builtin_sub_overflow(percentBefore, percentAfter, &out)) return out;
    return percentAfter < 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

double SleepStretch::perHour() const {
    const auto m = minutes();
    if (m < 1) return 0;
    const double lost = std::max(static_cast<double>(percentBefore) - static_cast<double>(percentAfter), 0.0);
    return lost * 60 / static_cast<double>(m);
}

std::string readSleepLog(const ProcessRunner& runner) {
    std::string text = decodeUtf8Lossy(runner.run("/usr/bin/syslog", syslogArguments).output);
    if (text.empty()) text = decodeUtf8Lossy(runner.run("/usr/bin/pmset", {"-g", "log"}).output);
    return text;
}

std::vector<SleepStretch> readSleepStretches(const ProcessRunner& runner) {
    SleepLogReader reader;
    const auto add = [&](std::string_view bytes) { reader.add(bytes); };
    runner.stream("/usr/bin/syslog", syslogArguments, add);
    if (reader.empty()) runner.stream("/usr/bin/pmset", {"-g", "log"}, add);
    return reader.finish();
}

std::vector<SleepStretch> parseSleepLog(std::string_view text) {
    SleepLogReader reader;
    reader.add(text);
    return reader.finish();
}

void SleepLogReader::add(std::string_view bytes) {
    seen_ |= !bytes.empty();
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        if (end == std::string_view::npos) {
            cut_.append(bytes);
            return;
        }
        if (cut_.empty()) {
            line(bytes.substr(0, end));
        } else {
            cut_.append(bytes.substr(0, end));
            line(cut_);
            cut_.clear();
        }
        bytes.remove_prefix(end + 1);
    }
}

std::vector<SleepStretch> SleepLogReader::finish() {
    if (!cut_.empty()) line(cut_);
    cut_.clear();
    close();
    return std::move(out_);
}

void SleepLogReader::close() {
    if (open_ && woke_ && open_->minutes() > 9) out_.push_back(*std::move(open_));
    open_.reset();
    woke_ = false;
    pending_.reset();
}

void SleepLogReader::line(std::string_view raw) {
    // Decoding replaces invalid bytes and keeps every ASCII byte in its place, so a line holds
    // these texts whether it is decoded or not; most lines hold neither and are never decoded.
    const bool restart = contains(raw, "powerd process is started");
    if (!restart && !contains(raw, "(Charge:")) return;
    std::string repaired;
    if (!isValidUtf8(raw)) raw = repaired = decodeUtf8Lossy(raw);

    if (restart) return close();
    const auto match = Matcher(raw).match();
    if (!match) return;
    // A charge no battery can have (a damaged log) counts as none.
    auto charge = parseInt64(match->charge);
    if (charge && (*charge < 0 || *charge > 100)) charge.reset();
    const auto date = charge ? lineDate(*match) : std::nullopt;
    if (!date) return;

    if (match->kind == "Sleep") {
        const bool maintenance = contains(match->message, "Back to Sleep") || contains(match->message, "Maintenance Sleep");
        if (!open_ || (woke_ && !maintenance)) {
            close();
            open_ = SleepStretch{*date, *date, *charge, *charge, true, 0, {}};
        } else if (pending_) {
            open_->wakes += 1;
            open_->reasons[wakeReason(*pending_)] += 1;
        }
        woke_ = false;
        pending_.reset();
    } else if (open_) {
        if (!pending_) {
            const auto due = match->message.find("due to ");
            pending_ = std::string(due == std::string_view::npos ? match->message : match->message.substr(due + 7));
        }
        if (match->kind == "Wake") {
            open_->end = *date;
            open_->percentAfter = *charge;
            woke_ = true;
        }
    }
    if (open_ && !isBattery(match->source)) open_->onBattery = false;
}

std::string wakeReason(std::string_view raw) {
    bool usbC = false, wireless = false, rtc = false, maintenance = false, lid = false, notification = false;
    while (!raw.empty()) {
        const auto end = raw.find_first_of(" /");
        const std::string_view word = raw.substr(0, end);
        usbC |= word == "USB-C_plug";
        wireless |= word == "wifibt";
        rtc |= word == "rtc";
        maintenance |= word == "Maintenance" || word == "SleepService";
        lid |= word == "lid" || word == "HID";
        notification |= word == "Notification";
        if (end == std::string_view::npos) break;
        raw.remove_prefix(end + 1);
    }
    if (usbC) return "USB-C connection";
    if (wireless) return "Wi-Fi or Bluetooth";
    if (rtc && maintenance) return "scheduled maintenance";
    if (lid) return "lid or keyboard";
    if (notification) return "notifications";
    return "other";
}

std::optional<Headline> sleepSummary(const SleepStretch& stretch) {
    if (!stretch.onBattery) return std::nullopt;
    const std::int64_t drop = stretch.lost();
    if (drop < 2 && stretch.wakes < 20) return std::nullopt;

    // At most one label can hold more than half of the wakes.
    std::optional<std::string> mainReason;
    for (const auto& [label, count] : stretch.reasons) {
        std::int64_t twice = 0;
        const bool overHalf = __builtin_mul_overflow(count, 2, &twice) ? count > 0 : twice > stretch.wakes;
        if (label != "other" && overHalf) mainReason = label;
    }
    const std::string asleep = duration(stretch.minutes()) + " asleep";
    const std::string wakes = std::to_string(stretch.wakes);

    if (drop < 2) {
        const std::string lost = "lost " + std::to_string(std::max<std::int64_t>(drop, 0)) + "%";
        return Headline{"Woke " + wakes + " times in " + asleep, mainReason ? "Mostly " + *mainReason + " · " + lost : lost};
    }
    std::string detail = stretch.wakes == 0   ? "Did not wake in between"
                         : stretch.wakes == 1 ? "Woke once"
                                              : "Woke " + wakes + " times" + (mainReason ? ", mostly " + *mainReason : "");
    detail += " · " + formatFixed(stretch.perHour(), 1) + "% an hour";
    return Headline{"Lost " + std::to_string(drop) + "% in " + asleep, detail};
}

}  // namespace norvane
