#include "app/panel/qt/AppsCardView.h"

#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/StatsRows.h"
#include "app/visuals/qt/AppMarkView.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

// One app: its icon, its name over the detail, its share as dots and the figure.
class AppsCardRow final : public QWidget {
public:
    AppsCardRow(const Workspace& workspace, const AppUsage& app, IconStyle style)
        : mark_(new AppMarkView(workspace, AppIcon{app, AppsCard::iconSide}, style)),
          name_(new TextLabel(QString(), StatsTab::labelStyle())),
          detail_(new TextLabel(QString(), StatsTab::detailStyle())),
          bar_(DotView::bar({})),
          figure_(figure(AppsCard::figureWidth)) {
        setMinimumHeight(static_cast<int>(AppsCard::rowHeight));
        auto* row = hbox(this, AppsCard::rowSpacing);
        row->addWidget(mark_, 0, Qt::AlignVCenter);
        QVBoxLayout* lines = nullptr;
        row->addWidget(boxed(lines, AppsCard::lineSpacing), 1, Qt::AlignVCenter);
        lines->addWidget(name_);
        lines->addWidget(detail_);
        row->addWidget(bar_, 0, Qt::AlignVCenter);
        row->addWidget(figure_, 0, Qt::AlignVCenter);
    }
    void set(const AppsCard::Row& row, IconStyle style) {
        mark_->setIconStyle(style);
        name_->setText(qs(row.app.name));
        detail_->setText(qs(row.detail.value_or("")));
        detail_->setVisible(row.detail.has_value());
        bar_->setFixed(row.bar.layout());
        figure_->setText(qs(row.figure));
        setName(this, qs(row.app.name + " " + row.figure));
    }

private:
    AppMarkView* mark_;
    TextLabel* name_;
    TextLabel* detail_;
    DotView* bar_;
    TextLabel* figure_;
};

}  // namespace

AppsCardView::AppsCardView(const AppModel& model, const MainQueue& queue, const Workspace& workspace, StatsTab& tab,
                           Color accent, QWidget* parent)
    : CardFrame(card(StatsTab::cardPadding), parent),
      m_(model),
      queue_(queue),
      workspace_(workspace),
      tab_(tab),
      accent_(accent),
      periods_(new SegmentsView),
      description_(new TextLabel(QString(), note())),
      metrics_(new SegmentsView),
      empty_(new TextLabel(QString(), note())),
      rowsBox_(column(AppsCard::spacing)),
      rows_(rowsBox_),
      footnote_(new TextLabel(QString(), note())) {
    content()->setSpacing(static_cast<int>(AppsCard::spacing));
    content()->addWidget(header(AppsCard::title, {periods_}));
    periods_->setOnTap([this](std::size_t index) {
        if (index < shown_.periodOptions.size()) tab_.period = shown_.periodOptions[index];
        refresh();
    });
    QHBoxLayout* described = nullptr;
    QWidget* description = boxed(described, 8);
    description->setMinimumHeight(static_cast<int>(AppsCard::descriptionHeight));
    described->addWidget(description_, 1, Qt::AlignVCenter);
    described->addWidget(metrics_, 0, Qt::AlignVCenter);
    metrics_->setOnTap([this](std::size_t index) {
        if (index < shown_.metricOptions.size()) tab_.metric = shown_.metricOptions[index];
        refresh();
    });
    content()->addWidget(description);
    content()->addWidget(empty_);
    content()->addWidget(rowsBox_->parentWidget());
    content()->addWidget(footnote_);
    refresh();
}

void AppsCardView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

void AppsCardView::refresh() {
    shown_ = AppsCard::make(m_, tab_.period, tab_.metric, accent_, queue_.now());
    periods_->setSegments(shown_.periods);
    description_->setText(qs(shown_.description));
    metrics_->setSegments(shown_.metrics);
    metrics_->setVisible(!shown_.metrics.empty());
    empty_->setText(qs(shown_.empty.value_or("")));
    empty_->setVisible(shown_.empty.has_value());
    for (const auto& row : shown_.rows)
        rows_.part<AppsCardRow>(row.app.id, [&] { return new AppsCardRow(workspace_, row.app, m_.iconStyle()); })
            ->set(row, m_.iconStyle());
    rows_.end();
    rowsBox_->parentWidget()->setVisible(!shown_.rows.empty());
    footnote_->setText(qs(shown_.footnote.value_or("")));
    footnote_->setVisible(shown_.footnote.has_value());
}

}  // namespace norvane
