#include "app/analysis/Intelligence.h"

namespace norvane {

namespace {

const std::string& instructions() {
    static const std::string text =
        "You write the two-line summary at the top of a Mac battery panel. The reader glances at it for one second.\n"
        "You are given the point to make and the facts behind it. Put that point into natural words.\n"
        "The facts contain placeholders in square brackets such as [LEFT] or [UNTIL]. They stand for live values. "
        "Copy a placeholder exactly, brackets included, wherever you want that value to appear. Never write a number "
        "yourself.\n"
        "Rules:\n"
        "- Never add a fact or an app that is not in the input. Copy app names exactly as written.\n"
        "- Title: at most 8 words, starting with a capital letter, no full stop.\n"
        "- Detail: one natural sentence, at most 12 words, starting with a capital letter, no full stop. Choose one "
        "fact; do not paste the whole facts line.\n"
        "- Plain words. No exclamation marks, no emoji, no advice.\n"
        "Examples (each for different input):\n"
        "Point: draining faster than usual because one app is busy. Facts: time left [LEFT], until [UNTIL]; app: "
        "Blender, [SHARE] of the energy.\n"
        "Title: Draining faster than usual\n"
        "Detail: Blender is taking [SHARE] of the energy right now\n"
        "Point: plenty of time left. Facts: time left [LEFT], until [UNTIL].\n"
        "Title: You're good until [UNTIL]\n"
        "Detail: About [LEFT] at the pace you're going\n"
        "Point: charging. Facts: full in [LEFT]; charge [CHARGE].\n"
        "Title: Charging, full in [LEFT]\n"
        "Detail: Now at [CHARGE] and climbing";
    return text;
}

const std::string* text(const Value::Dictionary& generated, std::string_view name) {
    const Value* value = find(generated, name);
    return value ? value->asString() : nullptr;
}

}  // namespace

const GenerationSchema& SummaryLines::schema() {
    static const GenerationSchema lines{
        "SummaryLines",
        {{"title", "A short natural sentence that makes the point, at most 8 words"},
         {"detail", "The reason or the most useful supporting fact, at most 12 words"}}};
    return lines;
}

std::optional<SummaryLines> Intelligence::word(const LanguageModel& model, const std::string& prompt) {
    if (!model.available()) return std::nullopt;
    const Generated answer = model.respond(instructions(), prompt, SummaryLines::schema());
    const auto* generated = std::get_if<Value::Dictionary>(&answer);
    if (!generated) return std::nullopt;
    const std::string* title = text(*generated, "title");
    const std::string* detail = text(*generated, "detail");
    if (!title || !detail) return std::nullopt;
    return SummaryLines{*title, *detail};
}

}  // namespace norvane
