#pragma once
// The Stats page's apps card on Qt: the period's picker, the description with the metric's
// picker right now, a row per app (kept by the app's path) and the footnote. Choosing a
// period or a metric changes what the card shows, in place.

#include <QVBoxLayout>

#include "app/panel/AppsCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/Parts.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"

namespace norvane {

class SegmentsView;
class TextLabel;

class AppsCardView final : public CardFrame {
public:
    // The model, the queue, the workspace and the page's state must outlive the view.
    AppsCardView(const AppModel& model, const MainQueue& queue, const Workspace& workspace, StatsTab& tab, Color accent,
                 QWidget* parent = nullptr);
    void setAccent(Color accent);
    void refresh();
    SegmentsView* periods() const { return periods_; }
    SegmentsView* metrics() const { return metrics_; }
    const AppsCard& shown() const { return shown_; }

private:
    const AppModel& m_;
    const MainQueue& queue_;
    const Workspace& workspace_;
    StatsTab& tab_;
    Color accent_;
    AppsCard shown_;
    SegmentsView* periods_;
    TextLabel* description_;
    SegmentsView* metrics_;
    TextLabel* empty_;
    QVBoxLayout* rowsBox_;
    Parts rows_;
    TextLabel* footnote_;
};

}  // namespace norvane
