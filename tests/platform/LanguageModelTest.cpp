#include <gtest/gtest.h>

#include "platform/LanguageModel.h"
#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

using testing::TempMachine;

const GenerationSchema lines{"Lines", {{"title", "The title"}, {"detail", "The detail"}}};

const std::string table = R"({
  "available": true,
  "answers": [
    { "prompt": "plenty", "content": { "title": "Good until [UNTIL]", "detail": "About [LEFT]", "extra": "x" } },
    { "prompt": "refused", "error": "The request was refused." },
    { "prompt": "half", "content": { "title": "Only a title" } },
    { "prompt": "typed", "content": { "title": 5, "detail": "d" } },
    { "prompt": "plenty", "content": { "title": "Second", "detail": "Second" } }
  ]
})";

TEST(LanguageModel, AvailableFromMacOS26WhenTheFolderSaysSo) {
    struct Case {
        int macOS;
        std::optional<std::string> file;
        bool available;
    };
    const Case cases[] = {
        {26, R"({"available": true})", true}, {27, R"({"available": true})", true},
        {25, R"({"available": true})", false}, {26, std::nullopt, false},
        {26, R"({"available": false})", false}, {26, R"({"available": 1})", false},
        {26, "not json", false}, {26, "[true]", false},
    };
    for (const Case& c : cases) {
        TempMachine machine;
        if (c.file) machine.write("language-model/model.json", *c.file);
        EXPECT_EQ(MachineLanguageModel(machine.machine(), c.macOS).available(), c.available)
            << c.macOS << " " << c.file.value_or("no file");
    }
}

TEST(LanguageModel, AnswersFromTheTableOrFails) {
    TempMachine machine;
    machine.write("language-model/model.json", table);
    const MachineLanguageModel model(machine.machine(), 26);
    const auto answer = [&](const std::string& prompt) { return model.respond("Be\nbrief.", prompt, lines); };

    // Keys the schema does not name are left out; the first answer for a prompt is taken.
    EXPECT_EQ(answer("plenty"), Generated(Value::Dictionary{{"title", Value::string("Good until [UNTIL]")},
                                                            {"detail", Value::string("About [LEFT]")}}));
    EXPECT_EQ(answer("refused"), Generated(LanguageModelError{"The request was refused."}));
    EXPECT_EQ(answer("unknown"), Generated(LanguageModelError{"The model gave no answer."}));
    EXPECT_EQ(answer("half"), Generated(LanguageModelError{"The answer does not match Lines."}));
    EXPECT_EQ(answer("typed"), Generated(LanguageModelError{"The answer does not match Lines."}));
    EXPECT_EQ(MachineLanguageModel(machine.machine(), 15).respond("Be brief.", "plenty", lines),
              Generated(LanguageModelError{"The on-device model is not available."}));
}

}  // namespace
}  // namespace norvane
