#include "app/panel/qt/RingRowView.h"

#include <QPainter>
#include <QPointer>
#include <cmath>

#include "app/panel/NowTab.h"
#include "app/panel/qt/Boxes.h"
#include "app/panel/qt/Fade.h"
#include "app/panel/qt/Label.h"
#include "app/panel/qt/SwitchButton.h"
#include "app/visuals/Card.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/SegmentsView.h"

namespace norvane {
namespace {

// A unit ("%", "W") whose top-trailing corner sits at `corner`.
void paintUnit(QPainter& painter, const char* unit, QPointF corner) {
    const TextStyle style = RingRow::unitStyle();
    painter.setFont(qtFont(style));
    painter.setPen(toQColor(style.color));
    const QFontMetricsF metrics(painter.font());
    const QString text = QString::fromUtf8(unit);
    const double width = metrics.horizontalAdvance(text);
    painter.drawText(QRectF(corner.x() - width, corner.y(), width, metrics.height()), Qt::AlignRight | Qt::AlignTop,
                     text);
}

DotLayout shifted(DotLayout layout, double dx, double dy) {
    for (Dot& dot : layout.dots)
        dot.x += dx, dot.y += dy;
    return layout;
}

// A card of the right column: the top line in a 28-point frame, the caption at the bottom.
CardFrame* block(QWidget* top, Label* caption) {
    auto* card = new CardFrame(norvane::card(RingRow::blockPadding));
    card->content()->setSpacing(0);
    auto* frame = new QWidget;
    frame->setFixedHeight(static_cast<int>(RingRow::topHeight));
    auto* centred = hbox(frame, 0);
    centred->addWidget(top, 1, Qt::AlignVCenter);
    card->content()->addWidget(frame);
    card->content()->addStretch(1);
    card->content()->addWidget(caption);
    card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return card;
}

TextStyle caption() {
    TextStyle style = note();
    style.wraps = false;  // one line
    return style;
}

}  // namespace

ChargeRing::ChargeRing(MainQueue& queue, RingRow::Charge charge, QWidget* parent)
    : CardFrame(norvane::card(0), parent), queue_(queue), charge_(std::move(charge)) {
    const int side = static_cast<int>(NowTab::ringSide);
    setFixedSize(side, side);
    setAccessibleName(qs(charge_.accessibility));
}

ChargeRing::~ChargeRing() {
    blink_.cancel();
}

void ChargeRing::set(const RingRow::Charge& charge) {
    if (charge == charge_) return;
    const bool blinked = charge_.blinks;
    charge_ = charge;
    setAccessibleName(qs(charge_.accessibility));
    if (blinked != charge_.blinks) schedule();
    update();
}

DotLayout ChargeRing::dots(Date date) const {
    const double inset = RingRow::ringPadding;
    DotLayout out =
        shifted(charge_.ring(RingRow::blinkAt(date)).layout(width() - 2 * inset, height() - 2 * inset), inset, inset);
    const DotLayout digits = charge_.digits().layout();
    const DotLayout placed = shifted(digits, (width() - digits.width) / 2, (height() - digits.height) / 2);
    out.dots.insert(out.dots.end(), placed.dots.begin(), placed.dots.end());
    return out;
}

void ChargeRing::paintEvent(QPaintEvent* event) {
    CardFrame::paintEvent(event);
    QPainter painter(this);
    paintDots(painter, dots(queue_.now()));
    const DotLayout digits = charge_.digits().layout();
    const QPointF corner((width() + digits.width) / 2 + RingRow::percentDx,
                         (height() - digits.height) / 2 + RingRow::percentDy);
    paintUnit(painter, RingRow::percentSign, corner);
}

void ChargeRing::showEvent(QShowEvent* event) {
    CardFrame::showEvent(event);
    schedule();
}

void ChargeRing::hideEvent(QHideEvent* event) {
    CardFrame::hideEvent(event);
    blink_.cancel();
}

void ChargeRing::schedule() {
    blink_.cancel();
    if (!charge_.blinks || !isVisible()) return;
    // The first redraw in the middle of the next step, then one every step.
    blink_ = queue_.after(
        RingRow::untilNextBlink(queue_.now()),
        [this, self = QPointer<ChargeRing>(this)] {
            if (!self) return;
            update();
            blink_ = queue_.every(RingRow::blinkStep, [self] {
                if (self) self->update();
            });
        },
        ClockKind::uptime);
}

DigitsLine::DigitsLine(const RingRow::TimeLeft& shown, QWidget* parent) : QWidget(parent), shown_(shown) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void DigitsLine::set(const RingRow::TimeLeft& shown) {
    if (shown == shown_) return;
    const QSize before = sizeHint();
    shown_ = shown;
    if (sizeHint() != before) updateGeometry();  // "2:41" after "2:42" keeps the layout
    update();
}

QSize DigitsLine::sizeHint() const {
    const DotLayout digits = DotText{shown_.digits, shown_.color, RingRow::digitPitch}.layout();
    const double unit = shown_.watts ? RingRow::wattsDx : 0;
    return {static_cast<int>(std::ceil(digits.width + unit)), static_cast<int>(std::ceil(digits.height))};
}

void DigitsLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const DotLayout digits = DotText{shown_.digits, shown_.color, RingRow::digitPitch}.layout();
    paintDots(painter, digits);
    if (shown_.watts) paintUnit(painter, "W", QPointF(digits.width + RingRow::wattsDx, RingRow::wattsDy));
}

RingRowView::RingRowView(AppModel& model, MainQueue& queue, Color accent, QWidget* parent)
    : QWidget(parent), m_(model), accent_(accent) {
    auto* row = hbox(this, RingRow::blockSpacing);
    ring_ = new ChargeRing(queue, RingRow::charge(m_.battery()));
    row->addWidget(ring_, 0, Qt::AlignTop);

    QVBoxLayout* column = nullptr;
    QWidget* right = boxed(column, RingRow::blockSpacing);
    right->setFixedHeight(static_cast<int>(NowTab::ringSide));
    const auto time = RingRow::timeLeft(m_.battery(), m_.forecast(), m_.charger(), m_.flow());
    digits_ = new DigitsLine(time);
    timeCaption_ = new Label(time.caption, caption());
    timeCard_ = block(digits_, timeCaption_);
    column->addWidget(timeCard_, 1);
    energyTop_ = new QWidget;
    hbox(energyTop_, RingRow::LowPowerSwitch::spacing);
    energyCaption_ = new Label("", caption());
    column->addWidget(block(energyTop_, energyCaption_), 1);
    row->addWidget(right, 1);
    refresh();
}

void RingRowView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    if (switch_) switch_->setTint(accent);
}

void RingRowView::refresh() {
    ring_->set(RingRow::charge(m_.battery()));
    const auto time = RingRow::timeLeft(m_.battery(), m_.forecast(), m_.charger(), m_.flow());
    digits_->set(time);
    timeCard_->setAccessibleName(qs(time.accessibility));  // the block is one element
    timeCaption_->setText(time.caption);
    refreshEnergy();
}

void RingRowView::refreshEnergy() {
    const RingRow::Energy energy = RingRow::energy(m_);
    if (energyMade_ && energy == energyShown_) return;
    if (!energyMade_ || energy.control.index() != energyShown_.control.index()) makeEnergyControl(energy);
    energyShown_ = energy;
    energyMade_ = true;
    showEnergy(energy);
}

void RingRowView::makeEnergyControl(const RingRow::Energy& energy) {
    auto* layout = static_cast<QHBoxLayout*>(energyTop_->layout());
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();  // a tap may be under way on it
        }
        delete item;
    }
    modes_ = nullptr;
    switch_ = nullptr;
    // A tap only asks the model; the control then shows the model's mode again at once, so
    // a change that did not take is never shown as made.
    if (std::holds_alternative<RingRow::ModeSegments>(energy.control)) {
        modes_ = new SegmentsView;
        modes_->setAccessibleName(QString::fromUtf8(RingRow::ModeSegments::label));
        modes_->setOnTap([this](std::size_t index) {
            const auto& options = std::get<RingRow::ModeSegments>(energyShown_.control).options;
            if (index < options.size()) m_.setPowerMode(options[index]);
            showEnergy(RingRow::energy(m_));
        });
        layout->addWidget(modes_);
        layout->addStretch();
    } else {
        layout->addWidget(new Label(RingRow::LowPowerSwitch::title, RingRow::LowPowerSwitch::titleStyle()));
        flexible(layout, 0);
        switch_ = new SwitchButton(false, accent_);
        switch_->setAccessibleName(QString::fromUtf8(RingRow::LowPowerSwitch::label));
        connect(switch_, &QAbstractButton::clicked, this, [this] {
            m_.toggleLowPower();
            showEnergy(RingRow::energy(m_));
        });
        layout->addWidget(switch_);
    }
}

void RingRowView::showEnergy(const RingRow::Energy& energy) {
    if (const auto* modes = std::get_if<RingRow::ModeSegments>(&energy.control); modes && modes_) {
        modes_->setSegments(modes->segments);
        setUsable(modes_, energy.enabled);
    }
    if (const auto* toggle = std::get_if<RingRow::LowPowerSwitch>(&energy.control); toggle && switch_) {
        switch_->setOn(toggle->on);
        switch_->setEnabled(energy.enabled);
    }
    energyCaption_->setText(energy.caption);
}

}  // namespace norvane
