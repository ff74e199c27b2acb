#pragma once
// The summary worded by the on-device model: the prompts it is given, the check of what
// it answers, and the live values put into the accepted wording each time it is shown.
// The model never sees a number, only placeholders such as "[LEFT]" and "[UNTIL]".

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/analysis/Headline.h"
#include "app/analysis/Situation.h"
#include "platform/Time.h"

namespace norvane {

// An accepted wording, with placeholders.
struct Wording {
    std::string title;
    std::string detail;
    bool operator==(const Wording&) const = default;
};

// What the model is asked; `key` names the kind of situation for the cache of wordings.
struct Prompt {
    std::string key;
    std::string text;
    bool operator==(const Prompt&) const = default;
};

// Placeholder name (upper-case letters, no brackets) to its text.
using PlaceholderValues = std::map<std::string, std::string>;

// Absent for the situations that keep their fixed wording.
std::optional<Prompt> summaryPrompt(const Situation& situation);

// CHARGE always; LEFT, UNTIL, SHARE and LIMIT where the situation has them. `clock`
// formats a moment as the time of day.
PlaceholderValues summaryValues(const Situation& situation, std::int64_t percent, Date now,
                                const std::function<std::string(Date)>& clock);

// The model's answer cleaned, or absent when either line is rejected (limits of 60 and 90
// characters) or the two say the same.
std::optional<Wording> checkedWording(std::string_view title, std::string_view detail, std::string_view prompt,
                                      const std::vector<std::string>& otherApps);

// One line of the answer made presentable, or absent when it breaks a rule: no "!", no
// line feed, no placeholder the prompt lacks, no number or bracket of its own, no app of
// `otherApps` named, and its length in characters plus 3 for each distinct placeholder
// within `limit`. Capitals inside the line are lowered unless the prompt has the word.
std::optional<std::string> clean(std::string_view text, std::size_t limit, std::string_view prompt,
                                 const std::vector<std::string>& otherApps);

// The wording with every placeholder replaced by its value; absent when one has none.
std::optional<Headline> fill(const Wording& wording, const PlaceholderValues& values);

}  // namespace norvane
