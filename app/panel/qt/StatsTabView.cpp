#include "app/panel/qt/StatsTabView.h"

#include <QVBoxLayout>

#include "app/panel/qt/AppsCardView.h"
#include "app/panel/qt/BatteryCardView.h"
#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/HistoryCardView.h"
#include "app/panel/qt/ModelWatch.h"
#include "app/panel/qt/SleepCardView.h"
#include "app/panel/qt/SystemCardView.h"

namespace norvane {

StatsTabView::StatsTabView(AppModel& model, MainQueue& queue, const PanelContext& context, Color accent,
                           QWidget* parent)
    : QWidget(parent), tab_(StatsTab::make(context.arguments)) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* page = vbox(this, StatsTab::spacing);
    // The page scrolls to the panel's edge: its own padding ends it.
    page->setContentsMargins(0, 0, 0, static_cast<int>(StatsTab::cardPadding));
    battery_ = new BatteryCardView(model, queue, *context.workspace, context.format, tab_, accent);
    system_ = new SystemCardView(model, queue, accent);
    history_ = new HistoryCardView(model, queue, tab_, accent);
    sleep_ = new SleepCardView(model, context.format, accent);
    apps_ = new AppsCardView(model, queue, *context.workspace, tab_, accent);
    for (QWidget* card : std::initializer_list<QWidget*>{battery_, system_, history_, sleep_, apps_})
        page->addWidget(card);
    page->addStretch();

    // A Mac without a battery has no battery facts and no charge history to show.
    const auto battery = [this, &model] {
        battery_->setHidden(!model.hasBattery());
        history_->setHidden(!model.hasBattery());
    };
    battery();
    new ModelWatch(*this, model, queue, {ModelField::hasBattery}, battery);
    new ModelWatch(*battery_, model, queue, BatteryCard::fields(), [this] { battery_->refreshFacts(); });
    new ModelWatch(*battery_, model, queue, BatteryCard::trendFields(), [this] { battery_->refreshTrend(); });
    new ModelWatch(*battery_, model, queue, BatteryCard::limitFields(), [this] { battery_->refreshLimit(); });
    new ModelWatch(*system_, model, queue, SystemCard::fields(), [this] { system_->refresh(); });
    new ModelWatch(*history_, model, queue, HistoryCard::fields(), [this] { history_->refresh(); });
    new ModelWatch(*sleep_, model, queue, SleepCard::fields(), [this] { sleep_->refresh(); });
    new ModelWatch(*apps_, model, queue, AppsCard::fields(), [this] { apps_->refresh(); });
}

void StatsTabView::setAccent(Color accent) {
    battery_->setAccent(accent);
    system_->setAccent(accent);
    history_->setAccent(accent);
    sleep_->setAccent(accent);
    apps_->setAccent(accent);
}

}  // namespace norvane
