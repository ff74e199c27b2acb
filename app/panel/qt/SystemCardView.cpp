#include "app/panel/qt/SystemCardView.h"

#include <QVBoxLayout>

#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/StatsRows.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

// A figure's row: the label with its detail under it, the dot bar and the value.
class GaugeRow final : public QWidget {
public:
    GaugeRow()
        : label_(new TextLabel(QString(), StatsTab::labelStyle())),
          detail_(new TextLabel(QString(), StatsTab::detailStyle())),
          bar_(DotView::bar({})),
          value_(figure(SystemCard::valueWidth)) {
        auto* row = hbox(this, SystemCard::rowSpacing);
        QVBoxLayout* lines = nullptr;
        QWidget* text = boxed(lines, SystemCard::lineSpacing);
        lines->addWidget(label_);
        lines->addWidget(detail_);
        row->addWidget(text, 1, Qt::AlignVCenter);
        row->addWidget(bar_, 0, Qt::AlignVCenter);
        row->addWidget(value_, 0, Qt::AlignVCenter);
    }
    void set(const SystemCard::Row& row) {
        label_->setText(qs(row.label));
        // A blank line keeps the detail's room while there is none yet.
        detail_->setText(row.detail ? qs(*row.detail) : QStringLiteral(" "));
        detail_->setVisible(row.detail.has_value() || row.detailRoom);
        bar_->setFixed(row.bar.layout());
        value_->setStyle(StatsTab::figureStyle(row.hot ? row.bar.color : Color::white()));
        value_->setText(qs(row.value));
        setName(this, qs(row.accessibility));
    }

private:
    TextLabel* label_;
    TextLabel* detail_;
    DotView* bar_;
    TextLabel* value_;
};

}  // namespace

SystemCardView::SystemCardView(AppModel& model, MainQueue& queue, Color accent, QWidget* parent)
    : CardFrame(card(StatsTab::cardPadding), parent),
      m_(model),
      accent_(accent),
      chip_(new TextLabel(QString(), caps())),
      rowsBox_(column(SystemCard::spacing)),
      rows_(rowsBox_),
      loop_(
          queue, [&model] { return model.panelOpen(); },
          [&model](std::function<void()> done) { model.refreshSystem(std::move(done)); }) {
    content()->setSpacing(static_cast<int>(SystemCard::spacing));
    content()->addWidget(header(SystemCard::title, {chip_}));
    content()->addWidget(rowsBox_->parentWidget());
    refresh();
}

void SystemCardView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

void SystemCardView::refresh() {
    const SystemCard card = SystemCard::make(m_.system(), m_.chip(), accent_);
    chip_->setText(qs(card.chip));
    for (const auto& row : card.rows)
        rows_.part<GaugeRow>(row.label, [] { return new GaugeRow; })->set(row);
    rows_.end();
}

void SystemCardView::showEvent(QShowEvent* event) {
    CardFrame::showEvent(event);
    loop_.show();
}

void SystemCardView::hideEvent(QHideEvent* event) {
    CardFrame::hideEvent(event);
    loop_.hide();
}

}  // namespace norvane
