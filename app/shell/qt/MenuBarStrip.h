#pragma once
// A menu bar of our own for desktops without a system tray (and under a virtual display):
// a frameless, always-on-top tool window at the top right of the screen that draws the
// item as a Mac's menu bar does, the battery image in white followed by its title, on a
// dark bar. It never takes the keyboard focus, so a click on it leaves an open panel
// focused and reaches the item's action.

#include <QWidget>

#include "app/shell/qt/StatusItem.h"

namespace norvane {

class MenuBarStrip final : public QWidget, public StatusItem {
public:
    static constexpr int barHeight = 24;  // a Mac's menu bar
    static constexpr double padding = 8;

    MenuBarStrip();

    void show(const StatusItemLook& look) override;
    void setHighlighted(bool on) override;
    std::optional<Rect> frame() const override;
    std::optional<Rect> visibleFrame() const override;
    void followScreens() override { fit(); }

    const StatusItemLook& look() const { return look_; }
    bool highlighted() const { return highlighted_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Width for the look's title, at the top right of the primary screen.
    void fit();

    StatusItemLook look_;
    bool highlighted_ = false;
};

}  // namespace norvane
