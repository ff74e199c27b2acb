#include "app/onboarding/qt/AccessCardView.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

// The status label: one line at its natural size, in capitals.
TextLabel* statusLabel(const StatusLabel& label) {
    TextLabel* out = textLabel(label.text, label.style);
    out->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return out;
}

// The numbered steps to take in System Settings.
QWidget* stepsView(const std::vector<AccessCard::Step>& steps) {
    auto* view = new QWidget;
    auto* column = vbox(view, AccessCard::stepSpacing);
    column->setContentsMargins(points(AccessCard::stepsIndent), 0, 0, 0);
    for (const auto& step : steps) {
        auto* row = new QHBoxLayout;
        row->setSpacing(points(AccessCard::stepRowSpacing));
        auto* number = new QWidget;
        number->setFixedWidth(points(AccessCard::numberWidth));
        vbox(number, 0)->addWidget(DotView::text(step.number), 0, Qt::AlignCenter);
        row->addWidget(number, 0, Qt::AlignVCenter);
        TextStyle style = AccessCard::stepStyle();
        style.wraps = true;
        row->addWidget(textLabel(step.text, style), 1, Qt::AlignVCenter);
        column->addLayout(row);
    }
    return view;
}

}  // namespace

LinkButton::LinkButton(const AccessCard::RestartLink& link, QWidget* parent)
    : QAbstractButton(parent), style_(link.style) {
    setText(QString::fromStdString(link.title));
    setAccessibleName(text());
    setToolTip(QString::fromStdString(link.help));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
}

QSize LinkButton::sizeHint() const {
    const QFontMetricsF metrics(qtFont(style_));
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()))), static_cast<int>(std::ceil(metrics.height()))};
}

void LinkButton::setStyle(const TextStyle& style) {
    if (style == style_) return;
    style_ = style;
    updateGeometry();
    update();
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont font = qtFont(style_);
    font.setUnderline(true);
    painter.setFont(font);
    painter.setPen(toQColor(style_.color));
    if (isDown()) painter.setOpacity(0.6);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());
}

AccessCardView::AccessCardView(MainQueue& queue, PermissionTexts texts, const Access& access, AccessLook look,
                               std::function<void()> relaunch, QWidget* parent)
    : CardFrame(norvane::card(AccessCard::padding), parent),
      texts_(std::move(texts)),
      look_(look),
      shown_(accessCard(texts_, access, look.accent, look.granted, look.waiting)),
      fade_(queue) {
    spanContent(*this);
    content()->setSpacing(points(AccessCard::spacing));
    auto* head = new QHBoxLayout;
    head->setSpacing(points(AccessCard::headSpacing));
    mark_ = new AccessMarkView(queue, look.still, access);
    head->addWidget(mark_, 0, Qt::AlignVCenter);
    auto* texts_column = new QVBoxLayout;
    texts_column->setSpacing(points(AccessCard::textSpacing));
    texts_column->addWidget(textLabel(shown_.title, AccessCard::titleStyle()));
    // The sentence may carry a reason or an error from elsewhere: plain text, wrapping.
    sentence_ = textLabel(shown_.sentence, note());
    texts_column->addWidget(sentence_);
    head->addLayout(texts_column, 1);
    status_ = statusLabel(shown_.status);
    head->addWidget(status_, 0, Qt::AlignVCenter);
    content()->addLayout(head);

    // The steps and the link are the same in every state that shows them: made once,
    // shown while the state asks for them.
    const AccessCard waiting =
        accessCard(texts_, access_state::NeedsSettings{}, look.accent, look.granted, look.waiting);
    steps_ = stepsView(waiting.steps);
    content()->addWidget(steps_);
    link_ = new LinkButton(waiting.restart.value_or(AccessCard::RestartLink{}));
    connect(link_, &QAbstractButton::clicked, this, [relaunch = std::move(relaunch)] {
        if (relaunch) relaunch();
    });
    content()->addWidget(link_);
    // The reason comes from elsewhere (the system's `open`): plain text, wrapping, and cut
    // after two lines so that the card stays within the page.
    failure_ = textLabel(std::string(), note());
    failure_->setMaximumLines(2);
    content()->addWidget(failure_);
    steps_->setVisible(!shown_.steps.empty());
    link_->setVisible(shown_.restart.has_value());
    failure_->setVisible(false);
}

void AccessCardView::setRelaunchFailure(const std::optional<std::string>& reason) {
    if (reason == relaunchFailure_) return;
    relaunchFailure_ = reason;
    setAccess(shown_.access);
}

void AccessCardView::setAccent(Color accent) {
    if (accent == look_.accent) return;
    look_.accent = accent;
    const AccessCard waiting =
        accessCard(texts_, access_state::NeedsSettings{}, accent, look_.granted, look_.waiting);
    if (waiting.restart) link_->setStyle(waiting.restart->style);
    setAccess(shown_.access);
}

void AccessCardView::setAccess(const Access& access) {
    AccessCard card = accessCard(texts_, access, look_.accent, look_.granted, look_.waiting, relaunchFailure_);
    if (card == shown_) return;
    const bool hadSteps = !shown_.steps.empty(), hadLink = shown_.restart.has_value();
    shown_ = std::move(card);
    mark_->setAccess(access);
    restyle(*sentence_, shown_.sentence, note());
    restyle(*status_, shown_.status.text, shown_.status.style);
    steps_->setVisible(!shown_.steps.empty());
    link_->setVisible(shown_.restart.has_value());
    if (shown_.restartFailure) restyle(*failure_, *shown_.restartFailure, note());
    failure_->setVisible(shown_.restartFailure.has_value());
    std::vector<QWidget*> appearing;
    if (!hadSteps && !shown_.steps.empty()) appearing.push_back(steps_);
    if (!hadLink && shown_.restart) appearing.push_back(link_);
    if (!appearing.empty() && isVisible()) fade_.in(appearing, accessSpring);
}

void AccessCardView::hideEvent(QHideEvent* event) {
    CardFrame::hideEvent(event);
    fade_.finish();
}

SummaryRowView::SummaryRowView(MainQueue& queue, const SummaryRow& row, AccessLook look, QWidget* parent)
    : CardFrame(norvane::card(ClosingRows::padding), parent) {
    spanContent(*this);
    auto* line = new QHBoxLayout;
    line->setSpacing(points(SummaryRow::spacing));
    mark_ = new AccessMarkView(queue, look.still, row.access);
    line->addWidget(mark_, 0, Qt::AlignVCenter);
    line->addWidget(textLabel(row.title, AccessCard::titleStyle()), 0, Qt::AlignVCenter);
    line->addStretch(1);
    status_ = statusLabel(row.status);
    line->addWidget(status_, 0, Qt::AlignVCenter);
    content()->addLayout(line);
}

void SummaryRowView::setRow(const SummaryRow& row) {
    mark_->setAccess(row.access);
    restyle(*status_, row.status.text, row.status.style);
}

}  // namespace norvane
