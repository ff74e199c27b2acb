#include "app/panel/qt/HistoryCardView.h"

#include <QVBoxLayout>

#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/StatsRows.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {

HistoryCardView::HistoryCardView(const AppModel& model, const MainQueue& queue, StatsTab& tab, Color accent,
                                 QWidget* parent)
    : CardFrame(card(StatsTab::cardPadding), parent),
      m_(model),
      queue_(queue),
      tab_(tab),
      accent_(accent),
      demo_(new TextLabel(QString::fromUtf8(HistoryCard::demoMark), caps())),
      spans_(new SegmentsView),
      chart_(new DotView([](double, double) { return DotLayout{}; }, {0, HistoryChart::height}, true)),
      start_(new TextLabel(QString(), caps())) {
    content()->setSpacing(static_cast<int>(HistoryCard::spacing));
    QWidget* top = header(HistoryCard::title, {spans_});
    // "· demo data" stands right after the title.
    static_cast<QHBoxLayout*>(top->layout())->insertWidget(1, demo_, 0, Qt::AlignVCenter);
    content()->addWidget(top);
    spans_->setOnTap([this](std::size_t index) {
        if (index < shown_.spanOptions.size()) tab_.span = shown_.spanOptions[index];
        refresh();
    });
    content()->addWidget(chart_);
    QHBoxLayout* axis = nullptr;
    content()->addWidget(boxed(axis, 0));
    axis->addWidget(start_);
    axis->addStretch();
    axis->addWidget(new TextLabel(QString::fromUtf8(HistoryCard::end), caps()));
    refresh();
}

void HistoryCardView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

void HistoryCardView::refresh() {
    shown_ = HistoryCard::make(m_, tab_.span, queue_.now());
    demo_->setVisible(shown_.demo);
    spans_->setSegments(shown_.spans);
    const HistoryChart chart = shown_.chart(accent_);
    chart_->setLayout([chart](double width, double) { return chart.layout(width); }, {0, HistoryChart::height});
    setName(chart_, qs(shown_.accessibility), QAccessible::Chart);
    start_->setText(qs(shown_.start));
}

}  // namespace norvane
