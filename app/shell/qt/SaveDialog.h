#pragma once
// The save panel on Linux: the desktop's file dialog, in front of every other window.

#include "app/model/SavePanel.h"

namespace norvane {

class SaveDialog final : public SavePanel {
public:
    // Offers the name in the home folder; the user may pick any folder or make one.
    std::optional<Path> ask(const std::string& suggestedName) override;
};

}  // namespace norvane
