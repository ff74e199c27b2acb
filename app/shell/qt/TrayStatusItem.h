#pragma once
// The item in the desktop's system tray. A tray shows an icon only: the battery image,
// coloured for the desktop's theme; the title and the spoken label become its tool tip.

#include <QSystemTrayIcon>

#include "app/shell/qt/StatusItem.h"

namespace norvane {

class TrayStatusItem final : public StatusItem {
public:
    TrayStatusItem();

    void show(const StatusItemLook& look) override;
    void setHighlighted(bool) override {}  // the tray draws its own
    std::optional<Rect> frame() const override;
    std::optional<Rect> visibleFrame() const override;

private:
    QSystemTrayIcon icon_;
};

}  // namespace norvane
