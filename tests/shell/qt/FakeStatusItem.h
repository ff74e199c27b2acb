#pragma once
// A status item that records what it is asked to show, at a place the test chooses.

#include <vector>

#include "app/shell/qt/StatusItem.h"

namespace norvane {

struct FakeStatusItem final : StatusItem {
    std::vector<StatusItemLook> looks;  // every drawing, in order
    bool highlighted = false;
    Rect where{1300, 0, 80, 24};
    Rect visible{0, 0, 1440, 900};

    void show(const StatusItemLook& look) override { looks.push_back(look); }
    void setHighlighted(bool on) override { highlighted = on; }
    std::optional<Rect> frame() const override { return where; }
    std::optional<Rect> visibleFrame() const override { return visible; }
};

}  // namespace norvane
