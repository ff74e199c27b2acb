#include "app/onboarding/qt/TourWidgets.h"

#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QTextLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/onboarding/Motion.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {

int points(double length) {
    return std::isfinite(length) ? static_cast<int>(std::lround(std::clamp(length, 0.0, 16384.0))) : 0;
}

void spanContent(CardFrame& card) {
    card.content()->setAlignment(Qt::Alignment());
}

CardFrame* tourCard(double padding, QWidget* parent) {
    auto* card = new CardFrame(norvane::card(padding), parent);
    spanContent(*card);
    return card;
}

TextLabel* textLabel(const std::string& text, const TextStyle& style) {
    return new TextLabel(QString::fromStdString(text), style);
}

void restyle(TextLabel& label, const std::string& text, const TextStyle& style) {
    label.setText(QString::fromStdString(text));
    label.setStyle(style);
}

// ---- Paragraph ----

namespace {

// The lines of `text` broken for `width`, each placed below the last with the extra space.
double layOut(QTextLayout& layout, double width, double lineSpacing) {
    layout.beginLayout();
    double y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1.0));
        if (y > 0) y += lineSpacing;
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

}  // namespace

Paragraph::Paragraph(const std::string& text, const TextStyle& style, double lineSpacing, QWidget* parent)
    : QWidget(parent),
      text_(styledText(QString::fromStdString(text), style)),
      style_(style),
      lineSpacing_(std::isfinite(lineSpacing) ? std::clamp(lineSpacing, 0.0, 100.0) : 0) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAttribute(Qt::WA_TranslucentBackground);
}

int Paragraph::heightForWidth(int width) const {
    QTextLayout layout(text_, qtFont(style_));
    return static_cast<int>(std::ceil(layOut(layout, width, lineSpacing_)));
}

QSize Paragraph::sizeHint() const {
    const QFontMetricsF metrics(qtFont(style_));
    const int width = static_cast<int>(std::ceil(std::min(metrics.horizontalAdvance(text_), 400.0)));
    return {width, heightForWidth(width)};
}

QSize Paragraph::minimumSizeHint() const {
    return {10, heightForWidth(width())};
}

void Paragraph::paintEvent(QPaintEvent*) {
    QTextLayout layout(text_, qtFont(style_));
    layOut(layout, width(), lineSpacing_);
    QPainter painter(this);
    painter.setPen(toQColor(style_.color));
    layout.draw(&painter, QPointF(0, 0));
}

// ---- ClockView ----

ClockView::ClockView(MainQueue& queue, double period, bool still, QWidget* parent)
    : QWidget(parent), queue_(queue), timeline_(queue, timelinePeriod(period, still), [this] { tick(); }) {
    setAttribute(Qt::WA_TranslucentBackground);
}

double ClockView::now() const {
    return referenceSeconds(queue_.now());
}

void ClockView::setTicking(bool ticking) {
    wanted_ = ticking;
    follow();
}

void ClockView::follow() {
    if (wanted_ && isVisible())
        timeline_.show();
    else
        timeline_.hide();
}

void ClockView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    follow();
}

void ClockView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timeline_.hide();
}

// ---- Fades ----

bool insideEffect(const QWidget& widget) {
    for (const QWidget* above = widget.parentWidget(); above; above = above->parentWidget())
        if (above->graphicsEffect()) return true;
    return false;
}

void dropEffectsWithin(QWidget& widget) {
    // The fades hold their effects weakly: one dropped here is simply no longer set.
    for (QWidget* child : widget.findChildren<QWidget*>())
        if (child->graphicsEffect()) child->setGraphicsEffect(nullptr);
}

void FadeIn::in(std::vector<QWidget*> widgets, Spring spring) {
    motion_.finish();
    for (const QWidget* widget : widgets)
        if (insideEffect(*widget)) return;
    std::vector<QPointer<QGraphicsOpacityEffect>> effects;
    for (QWidget* widget : widgets) {
        auto* effect = new QGraphicsOpacityEffect(widget);
        effect->setOpacity(0);
        widget->setGraphicsEffect(effect);
        effects.emplace_back(effect);
    }
    const auto set = [effects](double opacity) {
        for (const auto& effect : effects)
            if (effect) effect->setOpacity(std::clamp(opacity, 0.0, 1.0));
    };
    motion_.start(spring, set, [widgets = std::vector<QPointer<QWidget>>(widgets.begin(), widgets.end())] {
        // Drawn directly again: an effect renders through an image of its own.
        for (const auto& widget : widgets)
            if (widget) widget->setGraphicsEffect(nullptr);
    });
}

// ---- Drawing ----

Drawing::Drawing(QSize size, Draw draw, QWidget* parent) : QWidget(parent), draw_(std::move(draw)) {
    setFixedSize(size);
    setAttribute(Qt::WA_TranslucentBackground);
}

void Drawing::setDraw(Draw draw) {
    draw_ = std::move(draw);
    update();
}

void Drawing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (draw_) draw_(painter, QRectF(rect()));
}

// ---- RoundedBox ----

RoundedBox::RoundedBox(double radius, Color fill, Color edge, QWidget* parent)
    : QWidget(parent), radius_(radius), fill_(fill), edge_(edge) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void RoundedBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(fill_));
    painter.drawRoundedRect(QRectF(rect()), radius_, radius_);
    // The line lies inside the edge: its path is inset by half its width.
    painter.setPen(QPen(toQColor(edge_), 1));
    painter.setBrush(Qt::NoBrush);
    const QRectF inner = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(inner, radius_ - 0.5, radius_ - 0.5);
}

}  // namespace norvane
