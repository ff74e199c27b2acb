#include "app/visuals/qt/AwakeCardView.h"

#include <QAbstractButton>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

#include "app/visuals/qt/AppMarkView.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

constexpr int whole(double points) { return static_cast<int>(points); }

QString qs(const std::string& text) { return QString::fromStdString(text); }

QHBoxLayout* hbox(QWidget* owner, double spacing) {
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(whole(spacing));
    return layout;
}

QVBoxLayout* vbox(QWidget* owner, double spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(whole(spacing));
    return layout;
}

// A spacer that takes what is left, but at least `minimum` points.
void spacer(QHBoxLayout* layout, double minimum) {
    layout->addSpacerItem(new QSpacerItem(whole(minimum), 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
}

TextLabel* note(const std::string& text) { return new TextLabel(qs(text), norvane::note()); }

// The header's small switch, tinted with the accent while on.
class AwakeSwitch final : public QAbstractButton {
public:
    AwakeSwitch(bool on, Color tint) : tint_(tint) {
        setCheckable(true);
        setChecked(on);
        setAccessibleName(QString::fromUtf8(AwakeCard::title));
        setFixedSize(28, 16);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF track = rect();
        const double r = track.height() / 2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(isChecked() ? tint_ : Color::white(0.22)));
        painter.drawRoundedRect(track, r, r);
        const double knob = track.height() - 2;
        const double x = isChecked() ? track.right() - 1 - knob : track.left() + 1;
        painter.setBrush(toQColor(Color::white()));
        painter.drawEllipse(QRectF(x, 1, knob, knob));
    }

private:
    Color tint_;
};

// A mode chip: a pill, outlined while its list is open; checked when selected, which is
// what assistive tools read as the selected trait.
class ChipButton final : public PillButton {
public:
    explicit ChipButton(const AwakeCard::Chip& chip) : PillButton(qs(chip.title), chip.pill), outlined_(chip.outlined) {
        setCheckable(true);
        setChecked(chip.selected);
        if (!chip.help.empty()) setToolTip(qs(chip.help));
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        PillButton::paintEvent(event);
        if (!outlined_) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(toQColor(AwakeCard::chipBorder), 1));
        painter.setBrush(Qt::NoBrush);
        const QRectF inner = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);  // inside the edge
        painter.drawRoundedRect(inner, inner.height() / 2, inner.height() / 2);
    }

private:
    bool outlined_;
};

// The row of a list: faint rounded background, the whole rectangle clickable.
class RowButton final : public QAbstractButton {
public:
    RowButton() {
        setFixedHeight(whole(AwakeCard::Row::height));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(AwakeCard::Row::background));
        const double r = AwakeCard::Row::cornerRadius;
        painter.drawRoundedRect(QRectF(rect()), r, r);
    }
};

// The selection dot at the end of a row.
class SelectionDot final : public QWidget {
public:
    explicit SelectionDot(AwakeCard::Row look) : look_(look) {
        const int side = whole(AwakeCard::Row::dotSide);
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double w = AwakeCard::Row::dotBorderWidth;
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(look_.dotFill));
        painter.drawEllipse(QRectF(rect()));
        painter.setPen(QPen(toQColor(look_.dotBorder), w));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(rect()).adjusted(w / 2, w / 2, -w / 2, -w / 2));
    }

private:
    AwakeCard::Row look_;
};

// Widgets inside a button leave its clicks to it.
void passClicks(QWidget* widget) {
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (QWidget* child : widget->findChildren<QWidget*>()) child->setAttribute(Qt::WA_TransparentForMouseEvents);
}

// Out of the layout now, gone once the event loop gets to it: a tap may be replacing the
// very button that was clicked.
void discard(QWidget* widget) {
    widget->hide();
    widget->deleteLater();
}

}  // namespace

AwakeCardView::AwakeCardView(AppModel& model, MainQueue& queue, const Workspace& workspace, AwakeCard card,
                             DateFormatter format, LocaleText lists, QWidget* parent)
    : CardFrame(norvane::card(AwakeCard::padding), parent),
      m_(model),
      queue_(queue),
      workspace_(workspace),
      card_(card),
      format_(std::move(format)),
      lists_(std::move(lists)) {
    content()->setSpacing(whole(AwakeCard::spacing));
    refresh();
    using F = ModelField;
    subscription_ = m_.subscribe({F::awake, F::awakeState, F::awakeNote, F::awakeMode, F::awakeFloor, F::awakeLid,
                                  F::holders, F::battery, F::drain, F::panelOpen, F::agentsWorking, F::agentsRunning,
                                  F::agentsInstalled, F::agentsIgnored, F::iconStyle},
                                 [this] { refresh(); });
}

AwakeCardView::~AwakeCardView() { countdown_.cancel(); }

void AwakeCardView::showEvent(QShowEvent* event) {
    CardFrame::showEvent(event);
    m_.refreshAgents();
    if (appeared_) return;
    appeared_ = true;
    if (listOpenHandler_) listOpenHandler_(card_.listOpen());
}

void AwakeCardView::act(const std::function<void()>& action) {
    const bool wasOpen = card_.listOpen();
    const auto before = card_.open;
    action();
    if (card_.listOpen() != wasOpen && listOpenHandler_) listOpenHandler_(card_.listOpen());
    refresh();
    // A list that has just opened fades in.
    if (card_.open != before && list_ && isVisible()) {
        auto* fade = new QGraphicsOpacityEffect(list_);
        list_->setGraphicsEffect(fade);
        auto* animation = new QPropertyAnimation(fade, "opacity", fade);
        animation->setDuration(150);
        animation->setStartValue(0.0);
        animation->setEndValue(1.0);
        animation->setEasingCurve(QEasingCurve::OutCubic);
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    }
}

AwakeCardView::ListShown AwakeCardView::listShown() const {
    if (!card_.open) return std::monostate{};
    switch (*card_.open) {
        case AwakeCard::Choice::timer: return card_.untilText(format_);
        case AwakeCard::Choice::agents: return card_.agentList(m_, lists_);
        case AwakeCard::Choice::app: return card_.appList(m_);
    }
    return std::monostate{};
}

void AwakeCardView::refresh() {
    countdown_.cancel();
    ListShown shown = listShown();
    QWidget* kept = shown == listShown_ ? list_ : nullptr;
    while (QLayoutItem* item = content()->takeAt(0)) {
        if (QWidget* widget = item->widget(); widget && widget != kept) discard(widget);
        delete item;
    }
    content()->addWidget(header());
    content()->addWidget(status());
    if (const auto line = AwakeCard::holdersLine(m_)) content()->addWidget(note(*line));
    content()->addWidget(modeRow());
    if (!kept) {
        list_ = nullptr;
        if (card_.open == AwakeCard::Choice::timer) list_ = timerChoice();
        else if (card_.open == AwakeCard::Choice::agents) list_ = agentList();
        else if (card_.open == AwakeCard::Choice::app) list_ = appList();
        listShown_ = std::move(shown);
    }
    if (list_) content()->addWidget(list_);
    if (AwakeCard::on(m_)) {
        content()->addWidget(lidRow());
        if (const auto line = AwakeCard::floorLine(m_)) content()->addWidget(note(*line));
    }
}

QWidget* AwakeCardView::header() {
    auto* box = new QWidget;
    auto* layout = hbox(box, AwakeCard::headerSpacing);
    layout->addWidget(new TextLabel(QString::fromUtf8(AwakeCard::title), AwakeCard::label()));
    spacer(layout, 0);
    auto* toggle = new AwakeSwitch(AwakeCard::on(m_), card_.accent);
    QObject::connect(toggle, &QAbstractButton::clicked, this, [this] { act([this] { m_.toggleAwake(); }); });
    layout->addWidget(toggle);
    return box;
}

QWidget* AwakeCardView::status() {
    const auto shown = AwakeCard::status(m_, queue_.now());
    auto* box = new QWidget;
    if (const auto& timer = shown.countdown) {
        auto* layout = vbox(box, AwakeCard::statusSpacing);
        const auto text = [this, timer = *timer] {
            return DotText{AwakeCard::countdownText(timer.end, queue_.now()), timer.color, AwakeCard::Countdown::pitch};
        };
        const DotLayout first = text().layout();
        auto* dots = new DotView([text](double, double) { return text().layout(); },
                                 QSizeF(first.width, first.height), false);
        dots->setAccessibleName(qs(timer->accessibility));
        layout->addWidget(dots);
        layout->addWidget(note(shown.caption));
        // A countdown that gains or loses a column of digits is laid out again.
        countdown_ = queue_.every(AwakeCard::countdownInterval(m_.panelOpen()),
                                  [self = QPointer<AwakeCardView>(this), dots = QPointer<DotView>(dots), text,
                                   width = first.width] {
                                      if (!self || !dots) return;
                                      if (text().layout().width != width) self->refresh();
                                      else dots->update();
                                  });
    } else if (shown.app) {
        auto* layout = hbox(box, AwakeCard::statusSpacing);
        layout->addWidget(new AppMarkView(workspace_, *shown.app, m_.iconStyle()));
        layout->addWidget(note(shown.caption), 1);
    } else {
        vbox(box, 0)->addWidget(note(shown.caption));
    }
    return box;
}

QWidget* AwakeCardView::modeRow() {
    auto* box = new QWidget;
    auto* layout = hbox(box, AwakeCard::chipSpacing);
    const auto chips = card_.chips(m_);
    for (std::size_t i = 0; i < chips.size(); ++i) {
        auto* chip = new ChipButton(chips[i]);
        QObject::connect(chip, &QAbstractButton::clicked, this, [this, i] { act([this, i] { card_.tapChip(i, m_); }); });
        layout->addWidget(chip);
    }
    layout->addStretch();
    return box;
}

QWidget* AwakeCardView::lidRow() {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);  // the style's own spacing
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new TextLabel(QString::fromUtf8(AwakeCard::lidLabel), AwakeCard::label()));
    spacer(layout, 0);
    layout->addWidget(segmentsView<bool>(AwakeCard::lidPicker(m_), [this](const bool& stay) { m_.setAwakeLid(stay); }));
    box->setToolTip(QString::fromUtf8(AwakeCard::lidHelp));
    return box;
}

QWidget* AwakeCardView::timerChoice() {
    auto* list = new QWidget;
    auto* layout = vbox(list, AwakeCard::timerSpacing);

    auto* presets = new QWidget;
    auto* presetRow = hbox(presets, AwakeCard::timerRowSpacing);
    for (const auto& preset : AwakeCard::presets()) {
        auto* button = new PillButton(qs(preset.label), AwakeCard::faintPill);
        button->setAccessibleName(qs(preset.accessibility));
        QObject::connect(button, &QAbstractButton::clicked, this, [this, minutes = preset.minutes] {
            act([this, minutes] { card_.choosePreset(minutes, m_); });
        });
        presetRow->addWidget(button);
    }
    presetRow->addStretch();
    layout->addWidget(presets);

    auto* until = new QWidget;
    auto* untilRow = hbox(until, AwakeCard::timerRowSpacing);
    untilRow->addWidget(new TextLabel("Until", AwakeCard::label()));
    spacer(untilRow, 4);
    const auto pill = [this](const char* text, const char* spoken, Pill look, std::function<void()> action) {
        auto* button = new PillButton(QString::fromUtf8(text), look);
        if (spoken) button->setAccessibleName(QString::fromUtf8(spoken));
        QObject::connect(button, &QAbstractButton::clicked, this, [this, action] { act(action); });
        return button;
    };
    untilRow->addWidget(pill(AwakeCard::earlierLabel, AwakeCard::earlierHelp, AwakeCard::faintPill,
                             [this] { card_.earlier(queue_.now()); }));
    auto* time = new TextLabel(qs(card_.untilText(format_)), AwakeCard::untilStyle());
    time->setMinimumWidth(whole(AwakeCard::untilWidth));  // a locale's longer time is not cut
    time->setAlignment(Qt::AlignCenter);
    untilRow->addWidget(time);
    untilRow->addWidget(pill("+", AwakeCard::laterHelp, AwakeCard::faintPill, [this] { card_.later(queue_.now()); }));
    untilRow->addWidget(pill("Start", nullptr, card_.startPill(), [this] { card_.start(m_, queue_.now()); }));
    layout->addWidget(until);
    return list;
}

QWidget* AwakeCardView::agentList() {
    const auto shown = card_.agentList(m_, lists_);
    auto* list = new QWidget;
    auto* layout = vbox(list, AwakeCard::Row::gap);
    if (shown.none) layout->addWidget(note(*shown.none));
    for (const auto& agent : shown.rows) {
        TextStyle title = AwakeCard::label();
        title.color = agent.title;
        auto* button = row(agent.selected(), DotView::glyph(agent.mark), new TextLabel(qs(agent.name), title),
                           new TextLabel(qs(agent.state), caps()));
        button->setAccessibleName(qs(agent.accessibility));
        button->setAccessibleDescription(qs(agent.hint));
        QObject::connect(button, &QAbstractButton::clicked, this,
                         [this, agent] { act([this, agent] { AwakeCard::tapAgent(agent, m_); }); });
        layout->addWidget(button);
    }
    return list;
}

QWidget* AwakeCardView::appList() {
    const auto shown = card_.appList(m_);
    if (shown.none) return note(*shown.none);
    auto* rows = new QWidget;
    auto* layout = vbox(rows, AwakeCard::Row::gap);
    for (const auto& app : shown.rows) {
        auto* button = row(app.selected, new AppMarkView(workspace_, app.mark, m_.iconStyle()),
                           new TextLabel(qs(app.app.name), AwakeCard::label()), nullptr);
        button->setAccessibleName(qs(app.app.name));
        QObject::connect(button, &QAbstractButton::clicked, this,
                         [this, path = app.app.path] { act([this, path] { card_.chooseApp(path, m_); }); });
        layout->addWidget(button);
    }
    auto* scroll = new QScrollArea;
    scroll->setWidget(rows);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setAttribute(Qt::WA_TranslucentBackground);
    scroll->viewport()->setAutoFillBackground(false);
    rows->setAutoFillBackground(false);
    scroll->setFixedHeight(static_cast<int>(std::ceil(shown.height)));
    return scroll;
}

QAbstractButton* AwakeCardView::row(bool selected, QWidget* mark, QWidget* title, QWidget* trailing) {
    auto* button = new RowButton;
    auto* layout = hbox(button, AwakeCard::Row::spacing);
    const int padding = whole(AwakeCard::Row::padding);
    layout->setContentsMargins(padding, 0, padding, 0);
    auto* frame = new QWidget;  // the mark, centred in a square of its own
    const int side = whole(AwakeCard::Row::markSide);
    frame->setFixedSize(side, side);
    auto* centred = vbox(frame, 0);
    centred->addWidget(mark, 0, Qt::AlignCenter);
    layout->addWidget(frame);
    layout->addWidget(title);
    spacer(layout, AwakeCard::Row::minimumGap);
    if (trailing) layout->addWidget(trailing);
    layout->addWidget(new SelectionDot(card_.row(selected)));
    passClicks(frame);
    passClicks(title);
    if (trailing) passClicks(trailing);
    return button;
}

}  // namespace norvane
