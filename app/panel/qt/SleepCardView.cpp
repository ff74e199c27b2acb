#include "app/panel/qt/SleepCardView.h"

#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/StatsRows.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/TextLabel.h"
#include "platform/Text.h"

namespace norvane {
namespace {

// One stretch: when and how long, the drain and the loss; the wakes under it. Where the
// panel is too narrow for the whole time and the bar (a stretch of ten hours that began at
// noon), the bar gives way: the duration is never cut, and the loss beside it still tells.
class SleepRow final : public QWidget {
public:
    SleepRow()
        : time_(new TextLabel(QString(), StatsTab::labelStyle())),
          bar_(DotView::bar({})),
          loss_(figure(SleepCard::lossWidth)),
          wakes_(new TextLabel(QString(), note())) {
        auto* lines = vbox(this, SleepCard::lineSpacing);
        QHBoxLayout* top = nullptr;
        lines->addWidget(boxed(top, SleepCard::rowSpacing));
        top->addWidget(time_, 1, Qt::AlignVCenter);
        top->addWidget(bar_, 0, Qt::AlignVCenter);
        top->addWidget(loss_, 0, Qt::AlignVCenter);
        lines->addWidget(wakes_);
    }
    void set(const SleepCard::Row& row) {
        time_->setText(qs(row.time));
        bar_->setFixed(row.bar.layout());
        loss_->setText(qs(row.loss));
        wakes_->setText(qs(row.wakes));
        setName(this, qs(row.accessibility));
        fitBar();
    }

protected:
    void resizeEvent(QResizeEvent*) override { fitBar(); }

private:
    void fitBar() {
        const double beside = 2 * SleepCard::rowSpacing + bar_->sizeHint().width() + SleepCard::lossWidth;
        bar_->setVisible(TextFace(time_->style()).advance(time_->text()) + beside <= width());
    }

    TextLabel* time_;
    DotView* bar_;
    TextLabel* loss_;
    TextLabel* wakes_;
};

}  // namespace

SleepCardView::SleepCardView(const AppModel& model, const DateFormatter& format, Color accent, QWidget* parent)
    : CardFrame(card(StatsTab::cardPadding), parent),
      m_(model),
      format_(format),
      accent_(accent),
      drain_(new TextLabel(QString(), caps())),
      empty_(new TextLabel(QString::fromUtf8(SleepCard::empty), note())),
      rowsBox_(column(SleepCard::spacing)),
      rows_(rowsBox_) {
    content()->setSpacing(static_cast<int>(SleepCard::spacing));
    content()->addWidget(header(SleepCard::title, {drain_}));
    content()->addWidget(empty_);
    content()->addWidget(rowsBox_->parentWidget());
    refresh();
}

void SleepCardView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

void SleepCardView::refresh() {
    const SleepCard card = SleepCard::make(m_.sleeps(), accent_, format_);
    drain_->setText(qs(card.drain.value_or("")));
    drain_->setVisible(card.drain.has_value());
    empty_->setVisible(card.rows.empty());
    for (const auto& row : card.rows)
        rows_.part<SleepRow>(formatDouble(row.start.seconds), [] { return new SleepRow; })->set(row);
    rows_.end();
    rowsBox_->parentWidget()->setVisible(!card.rows.empty());
}

}  // namespace norvane
