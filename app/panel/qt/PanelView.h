#pragma once
// The floating panel's content: the backdrop, the header (red dot, title, page switch and
// gear) and one page under it: Now, Stats, or the settings screen over either. It takes
// the page that URL commands and intents ask for, works out the accent colour that every
// page gets, and caps the Now page's height by the screen. Pages are made when first shown.

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/panel/Panel.h"
#include "app/panel/qt/NowTabView.h"
#include "app/panel/qt/StatsTabView.h"
#include "app/panel/qt/PanelShell.h"
#include "app/visuals/qt/BackdropView.h"

class QAbstractButton;
class QScrollArea;

namespace norvane {

class NoticesView;
class TextLabel;
class SegmentsView;
class SettingsView;

class PanelView final : public BackdropView {
public:
    // The visible height of the screen the panel opens on; none without a screen.
    using VisibleHeight = std::function<std::optional<double>()>;

    // The model and the queue must outlive the view.
    PanelView(AppModel& model, MainQueue& queue, PanelContext context, Backdrop backdrop, bool translucent,
              VisibleHeight visibleHeight);
    ~PanelView() override;

    const Panel& panel() const { return panel_; }
    Color accent() const { return accent_; }
    SegmentsView* pageSwitch() const { return pageSwitch_; }
    QAbstractButton* gear() const { return gear_; }
    // The page's widget, once it has been shown.
    NowTabView* nowTab() const { return now_; }
    StatsTabView* statsTab() const { return stats_; }
    QScrollArea* pageArea(Panel::Page page) const { return areas_[static_cast<std::size_t>(page)]; }
    // The notices over the page: in the Now page's scroll area, or above the other pages'.
    NoticesView* notices(Panel::Page page) const { return page == Panel::Page::now ? nowNotices_ : pageNotices_; }
    SettingsView* settingsView() const { return settings_; }

    // What the application around the panel offers it (the tour, quitting); until the
    // shell hands it, the panel offers no tour and quits nothing.
    void setShell(PanelShell shell);

    // Fits the pages to the screen's visible height again (the screen changed): the Now page
    // as tall as its content up to its cap, the others at their height within the screen.
    // Whoever shows the panel calls it first, so the window is sized before it appears.
    void fitPages();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showPage();
    // Makes the page's scroll area and content on first need.
    QScrollArea* area(Panel::Page page);
    void refreshHeader();
    void refreshAccent();

    AppModel& m_;
    MainQueue& queue_;
    PanelContext context_;
    VisibleHeight visibleHeight_;
    Panel panel_;
    Color accent_;
    bool short_;
    bool tall_;
    SegmentsView* pageSwitch_;
    QAbstractButton* gear_;
    std::array<QScrollArea*, 3> areas_{};
    NowTabView* now_ = nullptr;
    PanelShell shell_;
    QWidget* pages_;               // the notices over the pages, then the pages' areas
    NoticesView* pageNotices_;     // above the Stats page and the settings screen
    QWidget* nowContent_ = nullptr;  // the Now page's notices over its sections
    NoticesView* nowNotices_ = nullptr;
    SettingsView* settings_ = nullptr;
    StatsTabView* stats_ = nullptr;
};

}  // namespace norvane
