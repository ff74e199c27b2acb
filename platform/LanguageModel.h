#pragma once
// The system's on-device language model: whether it can be used, and one session that
// answers one prompt with content of a given shape.

#include <string>
#include <variant>
#include <vector>

#include "platform/Machine.h"
#include "platform/Value.h"

namespace norvane {

// The shape the answer must have: named text properties, each with the description that
// guides the model, in order.
struct GenerationSchema {
    struct Property {
        std::string name;
        std::string description;
        bool operator==(const Property&) const = default;
    };
    std::string name;
    std::vector<Property> properties;
    bool operator==(const GenerationSchema&) const = default;
};

// The model's failure, as its text.
struct LanguageModelError {
    std::string description;
    bool operator==(const LanguageModelError&) const = default;
};

// The generated properties (each one of the schema's, as text), or the error.
using Generated = std::variant<Value::Dictionary, LanguageModelError>;

class LanguageModel {
public:
    virtual ~LanguageModel() = default;
    virtual bool available() const = 0;
    // A session with no tools and these instructions responds to the prompt, generating the
    // schema (which goes into the prompt), with the default generation options. Takes as long
    // as the model does, so it belongs on a background job.
    virtual Generated respond(const std::string& instructions, const std::string& prompt,
                              const GenerationSchema& schema) const = 0;
};

// The model of a machine folder (`language-model/model.json`), on a Mac that runs the given
// major version of macOS: there is no model before macOS 26. Each request is appended to
// `language-model/requests.jsonl`.
class MachineLanguageModel final : public LanguageModel {
public:
    static constexpr int firstMacOS = 26;

    MachineLanguageModel(Machine machine, int macOSMajor) : machine_(std::move(machine)), macOSMajor_(macOSMajor) {}
    bool available() const override;
    Generated respond(const std::string& instructions, const std::string& prompt,
                      const GenerationSchema& schema) const override;

private:
    Machine machine_;
    int macOSMajor_;
};

}  // namespace norvane
