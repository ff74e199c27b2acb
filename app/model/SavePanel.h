#pragma once
// Where the user wants a file saved: a save panel in front of every other window, which the
// shell implements. The model asks for the battery report's place.

#include <optional>
#include <string>

#include "platform/Files.h"

namespace norvane {

class SavePanel {
public:
    virtual ~SavePanel() = default;
    // Brings the app to the front and asks for a place for an HTML file, offering
    // `suggestedName` and letting the user make folders; absent when cancelled.
    virtual std::optional<Path> ask(const std::string& suggestedName) = 0;
};

}  // namespace norvane
