#include "platform/LanguageModel.h"

#include <nlohmann/json.hpp>

#include "platform/Files.h"
#include "platform/PropertyList.h"

namespace norvane {
namespace {

constexpr std::string_view modelFile = "language-model/model.json";
constexpr std::string_view requestsFile = "language-model/requests.jsonl";

std::optional<Value::Dictionary> readModel(const Machine& machine) {
    const auto text = readFile(machine.file(modelFile));
    if (!text) return std::nullopt;
    auto root = parseJson(*text);
    if (!root || !root->isDictionary()) return std::nullopt;
    return std::move(*root->asDictionary());
}

void record(const Machine& machine, const std::string& instructions, const std::string& prompt,
            const GenerationSchema& schema) {
    nlohmann::ordered_json properties = nlohmann::ordered_json::array();
    for (const auto& property : schema.properties)
        properties.push_back({{"name", property.name}, {"description", property.description}});
    const nlohmann::ordered_json request = {
        {"instructions", instructions},
        {"prompt", prompt},
        {"schema", {{"name", schema.name}, {"properties", properties}}},
    };
    // A record that cannot be written loses only the record, as a log would. Text that is
    // not UTF-8 is written with replacement characters rather than refused.
    const std::string line = request.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    appendToFile(machine.file(requestsFile), line + "\n");
}

// The table's entry for the prompt: the first whose "prompt" is the same text.
const Value::Dictionary* answerFor(const Value::Dictionary& model, const std::string& prompt) {
    const Value* answers = find(model, "answers");
    const Value::Array* list = answers ? answers->asArray() : nullptr;
    if (!list) return nullptr;
    for (const Value& answer : *list) {
        const Value::Dictionary* entry = answer.asDictionary();
        const Value* asked = entry ? find(*entry, "prompt") : nullptr;
        if (asked && asked->asString() && *asked->asString() == prompt) return entry;
    }
    return nullptr;
}

}  // namespace

bool MachineLanguageModel::available() const {
    if (macOSMajor_ < firstMacOS) return false;
    const auto model = readModel(machine_);
    const Value* flag = model ? find(*model, "available") : nullptr;
    return flag && flag->boolValue() == true;
}

Generated MachineLanguageModel::respond(const std::string& instructions, const std::string& prompt,
                                        const GenerationSchema& schema) const {
    record(machine_, instructions, prompt, schema);
    if (!available()) return LanguageModelError{"The on-device model is not available."};
    const auto model = readModel(machine_);
    const Value::Dictionary* answer = model ? answerFor(*model, prompt) : nullptr;
    if (!answer) return LanguageModelError{"The model gave no answer."};
    if (const Value* error = find(*answer, "error"); error && error->asString())
        return LanguageModelError{*error->asString()};
    // Guided generation never hands back content of another shape; an answer that does not
    // fit is the framework's decoding error.
    const Value* content = find(*answer, "content");
    const Value::Dictionary* fields = content ? content->asDictionary() : nullptr;
    Value::Dictionary generated;
    for (const auto& property : schema.properties) {
        const Value* value = fields ? find(*fields, property.name) : nullptr;
        if (!value || !value->isString()) return LanguageModelError{"The answer does not match " + schema.name + "."};
        generated.emplace(property.name, *value);
    }
    return generated;
}

}  // namespace norvane
