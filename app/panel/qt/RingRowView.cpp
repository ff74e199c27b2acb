#include "app/panel/qt/RingRowView.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <cmath>

#include "app/panel/NowTab.h"
#include "app/visuals/qt/Accessibility.h"
#include "app/visuals/qt/Boxes.h"
#include "app/visuals/qt/SwitchButton.h"
#include "app/visuals/Card.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/Parts.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"

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

// A card of the right column: the top line in a 28-point frame, at the leading edge and
// centred across its height, the caption at the bottom.
CardFrame* block(QWidget* top, TextLabel* caption) {
    auto* card = new CardFrame(norvane::card(RingRow::blockPadding));
    card->content()->setSpacing(0);
    auto* frame = new QWidget;
    frame->setFixedHeight(static_cast<int>(RingRow::topHeight));
    auto* line = hbox(frame, 0);
    line->addWidget(top, 1, Qt::AlignLeft | Qt::AlignVCenter);
    card->content()->addWidget(frame);
    card->content()->addStretch(1);
    card->content()->addWidget(caption);
    card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return card;
}

// The two cards beside the ring, one above the other and equally tall: half of the ring's
// side each, or, where a caption needs a second line, what the taller of them needs.
class BlockColumn final : public QWidget {
public:
    BlockColumn(QWidget* top, QWidget* bottom) : top_(top), bottom_(bottom) {
        top_->setParent(this);
        bottom_->setParent(this);
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        const auto need = [width](QWidget* card) {
            return card->hasHeightForWidth() ? card->heightForWidth(width) : card->minimumSizeHint().height();
        };
        const int spacing = static_cast<int>(RingRow::blockSpacing);
        return std::max(static_cast<int>(NowTab::ringSide), 2 * std::max(need(top_), need(bottom_)) + spacing);
    }
    QSize sizeHint() const override {
        return {std::max(top_->sizeHint().width(), bottom_->sizeHint().width()), heightForWidth(width())};
    }
    QSize minimumSizeHint() const override {
        return {std::max(top_->minimumSizeHint().width(), bottom_->minimumSizeHint().width()),
                static_cast<int>(NowTab::ringSide)};
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int spacing = static_cast<int>(RingRow::blockSpacing);
        const int half = (height() - spacing) / 2;
        top_->setGeometry(0, 0, width(), half);
        bottom_->setGeometry(0, height() - half, width(), half);
    }
    bool event(QEvent* event) override {
        // A caption that takes or gives back a line changes what the column needs.
        if (event->type() == QEvent::LayoutRequest) updateGeometry();
        return QWidget::event(event);
    }

private:
    QWidget* top_;
    QWidget* bottom_;
};

// The caption's one line, or two where the card is too narrow for it ("Low by itself ·
// off after charging"): read whole, never cut.
TextLabel* caption() {
    auto* label = new TextLabel(QString(), note());
    label->setMaximumLines(RingRow::captionLines);
    return label;
}

// The energy mode as Low, Automatic and High. A tap only asks the model; the segments then
// show the model's mode again at once, so a change that did not take is never shown as made.
class ModeRow final : public QWidget {
public:
    explicit ModeRow(AppModel& m) {
        auto* row = hbox(this, 0);
        segments_ = new SegmentsView;
        segments_->setAccessibleName(QString::fromUtf8(RingRow::ModeSegments::label));
        segments_->setOnTap([this, &m](std::size_t index) {
            if (index < options_.size()) m.setPowerMode(options_[index]);
            const RingRow::Energy energy = RingRow::energy(m);
            if (const auto* modes = std::get_if<RingRow::ModeSegments>(&energy.control)) set(*modes, energy.enabled);
        });
        row->addWidget(segments_);
        row->addStretch();
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void set(const RingRow::ModeSegments& modes, bool enabled) {
        options_ = modes.options;
        segments_->setSegments(modes.segments);
        segments_->setEnabled(enabled);
    }
    SegmentsView* segments() const { return segments_; }

private:
    std::vector<std::int64_t> options_;
    SegmentsView* segments_;
};

// "Low Power" and its switch, which shows the model's Low Power Mode the same way.
class LowPowerRow final : public QWidget {
public:
    LowPowerRow(AppModel& m, Color accent) {
        auto* row = hbox(this, RingRow::LowPowerSwitch::spacing);
        row->addWidget(new TextLabel(qs(RingRow::LowPowerSwitch::title), RingRow::LowPowerSwitch::titleStyle()));
        flexible(row, 0);
        toggle_ = new SwitchButton(false, accent);
        toggle_->setAccessibleName(QString::fromUtf8(RingRow::LowPowerSwitch::label));
        connect(toggle_, &QAbstractButton::clicked, this, [this, &m] {
            m.toggleLowPower();
            const RingRow::Energy energy = RingRow::energy(m);
            if (const auto* shown = std::get_if<RingRow::LowPowerSwitch>(&energy.control))
                set(*shown, energy.enabled, tint_);
        });
        row->addWidget(toggle_);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void set(const RingRow::LowPowerSwitch& shown, bool enabled, Color accent) {
        tint_ = accent;
        toggle_->setOn(shown.on);
        toggle_->setTint(accent);
        toggle_->setEnabled(enabled);
    }
    SwitchButton* toggle() const { return toggle_; }

private:
    SwitchButton* toggle_;
    Color tint_;
};

// A dot's square, with a pixel around it for its antialiased edge.
QRectF around(const Dot& dot) {
    const double r = dot.diameter / 2 + 1;
    return {dot.x - r, dot.y - r, 2 * r, 2 * r};
}

}  // namespace

ChargeRing::ChargeRing(MainQueue& queue, RingRow::Charge charge, QWidget* parent)
    : CardFrame(norvane::card(0), parent), queue_(queue), charge_(std::move(charge)) {
    // As wide as its side, and as tall as the row (the side, unless a caption beside it
    // takes a second line); the ring stays round in the middle.
    const int side = static_cast<int>(NowTab::ringSide);
    setFixedWidth(side);
    setMinimumHeight(side);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setAccessibleRole(this, QAccessible::StaticText);  // read as one text
    setAccessibleName(qs(charge_.accessibility));
}

ChargeRing::~ChargeRing() {
    blink_.cancel();
}

void ChargeRing::set(const RingRow::Charge& charge) {
    if (charge == charge_) return;
    const RingRow::Charge before = charge_;
    const DotLayout shown = dots(queue_.now());
    charge_ = charge;
    setAccessibleName(qs(charge_.accessibility));
    if (before.blinks != charge_.blinks) schedule();
    // A new reading relights a dot or two and a digit: only they are drawn again, unless
    // the "%" moves with the digits' width or the tone relights them all.
    const bool unitStays =
        before.present == charge_.present && before.digits().layout().width == charge_.digits().layout().width;
    if (const auto part = unitStays ? changedDots(shown, dots(queue_.now())) : std::nullopt)
        update(*part);
    else
        update();
}

std::optional<QRegion> ChargeRing::changedDots(const DotLayout& before, const DotLayout& after) const {
    constexpr int mostRects = 32;  // beyond this a region costs more than the whole card
    QRegion out;
    int count = 0;
    const auto add = [&](const Dot& dot) {
        const QRectF box = around(dot);
        const bool finite = std::isfinite(box.left()) && std::isfinite(box.top()) && std::isfinite(box.width());
        if (!finite || !QRectF(rect()).contains(box)) return false;
        out += box.toAlignedRect();
        return ++count <= mostRects;
    };
    for (std::size_t i = 0; i < std::max(before.dots.size(), after.dots.size()); ++i) {
        const Dot* was = i < before.dots.size() ? &before.dots[i] : nullptr;
        const Dot* is = i < after.dots.size() ? &after.dots[i] : nullptr;
        if (was && is && *was == *is) continue;
        if ((was && !add(*was)) || (is && !add(*is))) return std::nullopt;
    }
    return out;
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
    DotLayout shown = dots(queue_.now());
    // Under a few changed dots, the others would only be clipped away.
    const QRegion& region = event->region();
    if (region != QRegion(rect()))
        std::erase_if(shown.dots, [&](const Dot& dot) {
            return std::none_of(region.begin(), region.end(),
                                [&](const QRect& part) { return QRectF(part).intersects(around(dot)); });
        });
    paintDots(painter, shown);
    const DotLayout digits = charge_.digits().layout();
    const QPointF corner((width() + digits.width) / 2 + RingRow::percentDx,
                         (height() - digits.height) / 2 + RingRow::percentDy);
    if (charge_.present) paintUnit(painter, RingRow::percentSign, corner);
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
    ring_ = new ChargeRing(queue, RingRow::charge(m_.battery(), m_.hasBattery()));
    row->addWidget(ring_);

    const auto time = RingRow::timeLeft(m_.battery(), m_.forecast(), m_.charger(), m_.flow());
    digits_ = new DigitsLine(time);
    timeCaption_ = caption();
    timeCaption_->setText(qs(time.caption));
    timeCard_ = block(digits_, timeCaption_);
    setAccessibleRole(timeCard_, QAccessible::StaticText);
    auto* energyTop = new QWidget;
    energyParts_ = std::make_unique<Parts>(hbox(energyTop, 0));
    energyCaption_ = caption();
    row->addWidget(new BlockColumn(timeCard_, block(energyTop, energyCaption_)), 1);
    refresh();
}

RingRowView::~RingRowView() = default;

void RingRowView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refreshEnergy();
}

void RingRowView::refresh() {
    ring_->set(RingRow::charge(m_.battery(), m_.hasBattery()));
    const auto time = RingRow::timeLeft(m_.battery(), m_.forecast(), m_.charger(), m_.flow());
    digits_->set(time);
    timeCard_->setAccessibleName(qs(time.accessibility));  // the block is one element
    timeCaption_->setText(qs(time.caption));
    refreshEnergy();
}

void RingRowView::refreshEnergy() {
    const RingRow::Energy energy = RingRow::energy(m_);
    if (const auto* modes = std::get_if<RingRow::ModeSegments>(&energy.control))
        energyParts_->part<ModeRow>("modes", [this] { return new ModeRow(m_); })->set(*modes, energy.enabled);
    else
        energyParts_->part<LowPowerRow>("switch", [this] { return new LowPowerRow(m_, accent_); })
            ->set(std::get<RingRow::LowPowerSwitch>(energy.control), energy.enabled, accent_);
    energyParts_->end();
    energyCaption_->setText(qs(energy.caption));
}

SegmentsView* RingRowView::modes() const {
    const auto* row = dynamic_cast<ModeRow*>(energyParts_->find("modes"));
    return row ? row->segments() : nullptr;
}

SwitchButton* RingRowView::lowPowerSwitch() const {
    const auto* row = dynamic_cast<LowPowerRow*>(energyParts_->find("switch"));
    return row ? row->toggle() : nullptr;
}

}  // namespace norvane
