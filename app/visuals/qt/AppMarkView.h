#pragma once
// An app's mark: its dot icon or the system's icon, by the icon style; or, for the entry
// of the system's own processes, a gear on a faint rounded square.

#include <QImage>
#include <QWidget>

#include "app/visuals/AppMark.h"
#include "platform/Workspace.h"

namespace norvane {

class AppMarkView : public QWidget {
public:
    // The workspace must outlive the view.
    AppMarkView(const Workspace& workspace, AppMark mark, IconStyle style, QWidget* parent = nullptr);
    // An entry of the energy list.
    AppMarkView(const Workspace& workspace, const AppIcon& icon, IconStyle style, QWidget* parent = nullptr);

    // Each redraws only when it changes the mark.
    void setIconStyle(IconStyle style);
    void setMark(const AppMark& mark);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Workspace& workspace_;
    AppMark mark_;
    bool system_ = false;
    IconStyle style_;
    QImage icon_;  // the system's icon at the size last painted, decoded once
};

}  // namespace norvane
