#include <gtest/gtest.h>

#include "app/analysis/Intelligence.h"
#include "app/analysis/Wording.h"
#include "platform/PropertyList.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

const std::string prompt = "Point to make: there is plenty of time left.\nFacts: on battery. Time left [LEFT], until [UNTIL].";

std::string modelFile(bool available, const std::string& answer) {
    return std::string(R"({"available": )") + (available ? "true" : "false") +
           R"(, "answers": [{"prompt": "Point to make: there is plenty of time left.\nFacts: on battery. Time left [LEFT], until [UNTIL].", )" +
           answer + "}]}";
}

std::optional<Value> onlyRequest(const TempMachine& machine) {
    const auto text = readFile(machine.root() / "language-model/requests.jsonl");
    if (!text || text->empty() || text->find('\n') != text->size() - 1) return std::nullopt;
    return parseJson(*text);
}

TEST(Intelligence, AsksWithTheInstructionsAndSchemaWordForWord) {
    TempMachine machine;
    machine.write("language-model/model.json",
                  modelFile(true, R"("content": {"title": "You're good until [UNTIL]", "detail": "About [LEFT] left"})"));
    EXPECT_EQ(Intelligence::word(MachineLanguageModel(machine.machine(), 26), prompt),
              (SummaryLines{"You're good until [UNTIL]", "About [LEFT] left"}));

    const auto request = onlyRequest(machine);
    ASSERT_TRUE(request);
    EXPECT_EQ(*request->find("prompt")->asString(), prompt);
    EXPECT_EQ(*request->find("instructions")->asString(),
              "You write the two-line summary at the top of a Mac battery panel. The reader glances at it for one "
              "second.\n"
              "You are given the point to make and the facts behind it. Put that point into natural words.\n"
              "The facts contain placeholders in square brackets such as [LEFT] or [UNTIL]. They stand for live "
              "values. Copy a placeholder exactly, brackets included, wherever you want that value to appear. Never "
              "write a number yourself.\n"
              "Rules:\n"
              "- Never add a fact or an app that is not in the input. Copy app names exactly as written.\n"
              "- Title: at most 8 words, starting with a capital letter, no full stop.\n"
              "- Detail: one natural sentence, at most 12 words, starting with a capital letter, no full stop. "
              "Choose one fact; do not paste the whole facts line.\n"
              "- Plain words. No exclamation marks, no emoji, no advice.\n"
              "Examples (each for different input):\n"
              "Point: draining faster than usual because one app is busy. Facts: time left [LEFT], until [UNTIL]; "
              "app: Blender, [SHARE] of the energy.\n"
              "Title: Draining faster than usual\n"
              "Detail: Blender is taking [SHARE] of the energy right now\n"
              "Point: plenty of time left. Facts: time left [LEFT], until [UNTIL].\n"
              "Title: You're good until [UNTIL]\n"
              "Detail: About [LEFT] at the pace you're going\n"
              "Point: charging. Facts: full in [LEFT]; charge [CHARGE].\n"
              "Title: Charging, full in [LEFT]\n"
              "Detail: Now at [CHARGE] and climbing");
    EXPECT_EQ(*request->find("schema"), *parseJson(R"({"name": "SummaryLines", "properties": [
        {"name": "title", "description": "A short natural sentence that makes the point, at most 8 words"},
        {"name": "detail", "description": "The reason or the most useful supporting fact, at most 12 words"}]})"));
}

TEST(Intelligence, NothingOnAnErrorOrWithoutTheModel) {
    struct Case {
        const char* what;
        bool available;
        int macOS;
        std::string answer;
        bool asked;
    };
    const Case cases[] = {
        {"an error", true, 26, R"("error": "The model is busy.")", true},
        {"switched off", false, 26, R"("content": {"title": "T", "detail": "D"})", false},
        {"macOS 15", true, 15, R"("content": {"title": "T", "detail": "D"})", false},
    };
    for (const Case& c : cases) {
        TempMachine machine;
        machine.write("language-model/model.json", modelFile(c.available, c.answer));
        EXPECT_FALSE(Intelligence::word(MachineLanguageModel(machine.machine(), c.macOS), prompt)) << c.what;
        EXPECT_EQ(onlyRequest(machine).has_value(), c.asked) << c.what;
    }
}

TEST(Intelligence, TheTemplateMachineWordsTheSummariesItHasAnswersFor) {
    TempMachine machine;
    machine.write("language-model/model.json",
                  readFile(Machine::templateFolder() / "language-model/model.json").value_or(""));
    for (const Situation& situation : {Situation{situation::Charging{30}}, Situation{situation::Low{9}},
                                       Situation{situation::Plenty{300}}}) {
        const auto prompt = summaryPrompt(situation);
        const auto lines = Intelligence::word(MachineLanguageModel(machine.machine(), 26), prompt->text);
        ASSERT_TRUE(lines) << prompt->key;
        EXPECT_TRUE(checkedWording(lines->title, lines->detail, prompt->text, {})) << prompt->key;
    }
}

}  // namespace
}  // namespace norvane
