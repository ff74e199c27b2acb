#pragma once
// The Stats page's history card on Qt: the span's picker, the dot chart of the charge
// history and its axis. Choosing a span redraws the chart in place.

#include "app/panel/HistoryCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "platform/MainQueue.h"

namespace norvane {

class DotView;
class SegmentsView;
class TextLabel;

class HistoryCardView final : public CardFrame {
public:
    // The model, the queue and the page's state must outlive the view.
    HistoryCardView(const AppModel& model, const MainQueue& queue, StatsTab& tab, Color accent,
                    QWidget* parent = nullptr);
    void setAccent(Color accent);
    void refresh();
    SegmentsView* spans() const { return spans_; }
    DotView* chart() const { return chart_; }
    const HistoryCard& shown() const { return shown_; }

private:
    const AppModel& m_;
    const MainQueue& queue_;
    StatsTab& tab_;
    Color accent_;
    HistoryCard shown_;
    TextLabel* demo_;
    SegmentsView* spans_;
    DotView* chart_;
    TextLabel* start_;
};

}  // namespace norvane
