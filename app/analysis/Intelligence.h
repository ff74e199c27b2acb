#pragma once
// The call to the on-device language model that words the summary.

#include <optional>
#include <string>

#include "platform/LanguageModel.h"

namespace norvane {

// The two lines the model is asked to generate.
struct SummaryLines {
    std::string title;
    std::string detail;
    bool operator==(const SummaryLines&) const = default;

    // The generation schema: "title" and "detail", each with the text that guides the model.
    static const GenerationSchema& schema();
};

struct Intelligence {
    // The model's title and detail for the prompt text; absent when the model is not
    // available or fails. Takes seconds: run it on a background job.
    static std::optional<SummaryLines> word(const LanguageModel& model, const std::string& prompt);
};

}  // namespace norvane
