#pragma once
// The Stats page on Qt: the battery, system, history, sleep and apps cards in one column
// (on a Mac without a battery, the system, sleep and apps cards). It holds the page's own
// state (`StatsTab`); each card follows the model fields it reads and is updated in place.

#include <QWidget>

#include "app/panel/StatsTab.h"
#include "app/panel/qt/NowTabView.h"

namespace norvane {

class AppsCardView;
class BatteryCardView;
class HistoryCardView;
class SleepCardView;
class SystemCardView;

class StatsTabView final : public QWidget {
public:
    // The model, the queue and the context must outlive the view.
    StatsTabView(AppModel& model, MainQueue& queue, const PanelContext& context, Color accent,
                 QWidget* parent = nullptr);
    void setAccent(Color accent);

    const StatsTab& tab() const { return tab_; }
    BatteryCardView* batteryCard() const { return battery_; }
    SystemCardView* systemCard() const { return system_; }
    HistoryCardView* historyCard() const { return history_; }
    SleepCardView* sleepCard() const { return sleep_; }
    AppsCardView* appsCard() const { return apps_; }

private:
    StatsTab tab_;
    BatteryCardView* battery_;
    SystemCardView* system_;
    HistoryCardView* history_;
    SleepCardView* sleep_;
    AppsCardView* apps_;
};

}  // namespace norvane
