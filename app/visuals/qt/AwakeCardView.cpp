#include "app/visuals/qt/AwakeCardView.h"

#include <QAbstractButton>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

#include "app/visuals/qt/AppMarkView.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/Boxes.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

constexpr int whole(double points) {
    return static_cast<int>(points);
}

TextLabel* noteLabel() {
    return new TextLabel(QString(), norvane::note());
}

// Accessibility names and tool tips are told to assistive tools on every change: only
// a new one is set.
void setName(QWidget* widget, const QString& name) {
    if (widget->accessibleName() != name) widget->setAccessibleName(name);
}

// Widgets inside a button leave its clicks to it.
void passClicks(QWidget* widget) {
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
}

// The header's small switch, tinted with the accent while on.
class AwakeSwitch final : public QAbstractButton {
public:
    explicit AwakeSwitch(Color tint) : tint_(tint) {
        setCheckable(true);
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

public:
    void setTint(Color tint) {
        if (tint == tint_) return;
        tint_ = tint;
        update();
    }

private:
    Color tint_;
};

// "Stay awake" and the switch.
class Header final : public QWidget {
public:
    Header(Color accent, const std::function<void()>& toggled) : toggle_(new AwakeSwitch(accent)) {
        auto* layout = hbox(this, AwakeCard::headerSpacing);
        layout->addWidget(new TextLabel(QString::fromUtf8(AwakeCard::title), AwakeCard::label()));
        flexible(layout, 0);
        QObject::connect(toggle_, &QAbstractButton::clicked, this, toggled);
        layout->addWidget(toggle_);
    }
    void set(bool on, Color accent) {
        toggle_->setChecked(on);
        toggle_->setTint(accent);
    }

private:
    AwakeSwitch* toggle_;
};

// A timer's status: the dot countdown, redrawn on the queue, over the caption.
class CountdownStatus final : public QWidget {
public:
    explicit CountdownStatus(MainQueue& queue)
        : queue_(queue),
          dots_(new DotView([](double, double) { return DotLayout{}; }, {}, false)),
          caption_(noteLabel()) {
        auto* layout = vbox(this, AwakeCard::statusSpacing);
        layout->addWidget(dots_);
        layout->addWidget(caption_);
    }
    ~CountdownStatus() override { ticks_.cancel(); }

    void set(const AwakeCard::Countdown& timer, const std::string& caption, double interval) {
        timer_ = timer;
        setName(dots_, qs(timer.accessibility));
        caption_->setText(qs(caption));
        redraw();
        if (interval == interval_) return;
        interval_ = interval;
        ticks_.cancel();
        ticks_ = queue_.every(interval, [this] { redraw(); });
    }

private:
    // A countdown that gains or loses a column of digits is laid out again.
    void redraw() {
        dots_->setFixed(
            DotText{AwakeCard::countdownText(timer_.end, queue_.now()), timer_.color, AwakeCard::Countdown::pitch}
                .layout());
    }

    MainQueue& queue_;
    DotView* dots_;
    TextLabel* caption_;
    AwakeCard::Countdown timer_;
    double interval_ = 0;
    Task ticks_;
};

// The app a running session waits for, beside the caption.
class AppStatus final : public QWidget {
public:
    explicit AppStatus(const Workspace& workspace, const AppMark& mark, IconStyle style)
        : mark_(new AppMarkView(workspace, mark, style)), caption_(noteLabel()) {
        auto* layout = hbox(this, AwakeCard::statusSpacing);
        layout->addWidget(mark_);
        layout->addWidget(caption_, 1);
    }
    void set(const AppMark& mark, IconStyle style, const std::string& caption) {
        mark_->setMark(mark);
        mark_->setIconStyle(style);
        caption_->setText(qs(caption));
    }

private:
    AppMarkView* mark_;
    TextLabel* caption_;
};

// A mode chip: a pill, outlined while its list is open; checked when selected, which is
// what assistive tools read as the selected trait.
class ChipButton final : public PillButton {
public:
    ChipButton() : PillButton(QString(), {}) { setCheckable(true); }
    void set(const AwakeCard::Chip& chip) {
        const QString title = qs(chip.title);
        setText(title);
        setName(this, title);
        setChecked(chip.selected);
        setPill(chip.pill);
        if (const QString help = qs(chip.help); help != toolTip()) setToolTip(help);
        if (chip.outlined == outlined_) return;
        outlined_ = chip.outlined;
        update();
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
    bool outlined_ = false;
};

// The four chips; a tap reports the chip's index.
class ModeRow final : public QWidget {
public:
    explicit ModeRow(const std::function<void(std::size_t)>& tapped) {
        auto* layout = hbox(this, AwakeCard::chipSpacing);
        for (std::size_t i = 0; i < chips_.size(); ++i) {
            chips_[i] = new ChipButton;
            QObject::connect(chips_[i], &QAbstractButton::clicked, this, [tapped, i] { tapped(i); });
            layout->addWidget(chips_[i]);
        }
        layout->addStretch();
    }
    void set(const std::array<AwakeCard::Chip, 4>& chips) {
        for (std::size_t i = 0; i < chips.size(); ++i)
            chips_[i]->set(chips[i]);
    }

private:
    std::array<ChipButton*, 4> chips_{};
};

// "Lid closed" and its picker, with the row's help.
class LidRow final : public QWidget {
public:
    explicit LidRow(const std::function<void(bool)>& chosen) : picker_(new SegmentsView) {
        auto* layout = new QHBoxLayout(this);  // the style's own spacing
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new TextLabel(QString::fromUtf8(AwakeCard::lidLabel), AwakeCard::label()));
        flexible(layout, 0);
        layout->addWidget(picker_);
        setToolTip(QString::fromUtf8(AwakeCard::lidHelp));
        picker_->setOnTap([this, chosen](std::size_t index) {
            segments_.tap(index);
            picker_->setSegments(segments_.segments());
            chosen(segments_.selection);
        });
    }
    void set(Segments<bool> segments) {
        segments_ = std::move(segments);
        picker_->setSegments(segments_.segments());
    }

private:
    SegmentsView* picker_;
    Segments<bool> segments_;
};

// The timer list: the presets, and the until row with its time.
class TimerList final : public QWidget {
public:
    // `chosen` starts a preset's timer; `action` runs the until row's buttons.
    TimerList(const AwakeCard& card, const std::function<void(std::int64_t)>& chosen,
              const std::function<void(std::function<void()>)>& action, std::function<void()> earlier,
              std::function<void()> later, std::function<void()> start)
        : time_(new TextLabel(QString(), AwakeCard::untilStyle())) {
        auto* layout = vbox(this, AwakeCard::timerSpacing);

        auto* presets = new QWidget;
        auto* presetRow = hbox(presets, AwakeCard::timerRowSpacing);
        for (const auto& preset : AwakeCard::presets()) {
            auto* button = new PillButton(qs(preset.label), AwakeCard::faintPill);
            button->setAccessibleName(qs(preset.accessibility));
            QObject::connect(button, &QAbstractButton::clicked, this,
                             [chosen, minutes = preset.minutes] { chosen(minutes); });
            presetRow->addWidget(button);
        }
        presetRow->addStretch();
        layout->addWidget(presets);

        auto* until = new QWidget;
        auto* untilRow = hbox(until, AwakeCard::timerRowSpacing);
        untilRow->addWidget(new TextLabel(QStringLiteral("Until"), AwakeCard::label()));
        flexible(untilRow, 4);
        const auto pill = [&](const char* text, const char* spoken, Pill look, std::function<void()> run) {
            auto* button = new PillButton(QString::fromUtf8(text), look);
            if (spoken) button->setAccessibleName(QString::fromUtf8(spoken));
            QObject::connect(button, &QAbstractButton::clicked, this, [action, run] { action(run); });
            return button;
        };
        untilRow->addWidget(
            pill(AwakeCard::earlierLabel, AwakeCard::earlierHelp, AwakeCard::faintPill, std::move(earlier)));
        time_->setMinimumWidth(whole(AwakeCard::untilWidth));  // a locale's longer time is not cut
        time_->setAlignment(Qt::AlignCenter);
        untilRow->addWidget(time_);
        untilRow->addWidget(pill("+", AwakeCard::laterHelp, AwakeCard::faintPill, std::move(later)));
        start_ = pill("Start", nullptr, card.startPill(), std::move(start));
        untilRow->addWidget(start_);
        layout->addWidget(until);
    }
    void set(const std::string& until, Pill start) {
        time_->setText(qs(until));
        start_->setPill(start);
    }

private:
    TextLabel* time_;
    PillButton* start_ = nullptr;
};

// The row of the agent and app lists: faint rounded background, the whole rectangle
// clickable; the mark in a square of its own, the title on one line cut to what is left,
// the trailing text and the selection dot always shown.
class ListRow : public QAbstractButton {
public:
    ListRow(QWidget* mark, bool trailing)
        : mark_(mark),
          title_(new TextLabel(QString(), AwakeCard::label())),
          trailing_(trailing ? new TextLabel(QString(), caps()) : nullptr),
          dot_(new SelectionDot) {
        setFixedHeight(whole(AwakeCard::Row::height));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        auto* layout = hbox(this, AwakeCard::Row::spacing);
        const int padding = whole(AwakeCard::Row::padding);
        layout->setContentsMargins(padding, 0, padding, 0);
        auto* frame = new QWidget;
        const int side = whole(AwakeCard::Row::markSide);
        frame->setFixedSize(side, side);
        vbox(frame, 0)->addWidget(mark, 0, Qt::AlignCenter);
        layout->addWidget(frame);
        layout->addWidget(title_);
        flexible(layout, AwakeCard::Row::minimumGap);
        if (trailing_) layout->addWidget(trailing_);
        layout->addWidget(dot_);
        passClicks(frame);
        passClicks(title_);
        passClicks(dot_);
        if (trailing_) passClicks(trailing_);
    }

protected:
    QWidget* mark() const { return mark_; }
    void set(const std::string& title, const TextStyle& style, const std::string& trailing, AwakeCard::Row look) {
        title_->setText(qs(title));
        title_->setStyle(style);
        if (trailing_) trailing_->setText(qs(trailing));
        dot_->set(look);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(AwakeCard::Row::background));
        const double r = AwakeCard::Row::cornerRadius;
        painter.drawRoundedRect(QRectF(rect()), r, r);
    }

private:
    // The selection dot at the end of the row.
    class SelectionDot final : public QWidget {
    public:
        SelectionDot() {
            const int side = whole(AwakeCard::Row::dotSide);
            setFixedSize(side, side);
        }
        void set(AwakeCard::Row look) {
            if (look == look_) return;
            look_ = look;
            update();
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

    QWidget* mark_;
    TextLabel* title_;
    TextLabel* trailing_;
    SelectionDot* dot_;
};

class AgentRowButton final : public ListRow {
public:
    AgentRowButton() : ListRow(DotView::glyph({}), true) {}
    void set(const AwakeCard::AgentRow& agent, AwakeCard::Row look) {
        agent_ = agent;
        TextStyle title = AwakeCard::label();
        title.color = agent.title;
        ListRow::set(agent.name, title, agent.state, look);
        static_cast<DotView*>(mark())->setFixed(agent.mark.layout());
        setName(this, qs(agent.accessibility));
        if (const QString hint = qs(agent.hint); hint != accessibleDescription()) setAccessibleDescription(hint);
    }
    const AwakeCard::AgentRow& agent() const { return agent_; }

private:
    AwakeCard::AgentRow agent_;
};

class AppRowButton final : public ListRow {
public:
    AppRowButton(const Workspace& workspace, const AppMark& mark, IconStyle style)
        : ListRow(new AppMarkView(workspace, mark, style), false) {}
    void set(const AwakeCard::AppRow& app, IconStyle style, AwakeCard::Row look) {
        path_ = app.app.path;
        ListRow::set(app.app.name, AwakeCard::label(), {}, look);
        auto* mark = static_cast<AppMarkView*>(this->mark());
        mark->setMark(app.mark);
        mark->setIconStyle(style);
        setName(this, qs(app.app.name));
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// The agent list: a row per installed agent, or the note naming those looked for.
class AgentList final : public QWidget {
public:
    explicit AgentList(std::function<void(const AwakeCard::AgentRow&)> tapped)
        : tapped_(std::move(tapped)), rows_(vbox(this, AwakeCard::Row::gap)) {}
    void set(const AwakeCard::AgentList& shown, const AwakeCard& card) {
        if (shown.none) rows_.part<TextLabel>("none", noteLabel)->setText(qs(*shown.none));
        for (const auto& agent : shown.rows) {
            rows_
                .part<AgentRowButton>("agent " + agent.name,
                                      [this] {
                                          auto* row = new AgentRowButton;
                                          QObject::connect(row, &QAbstractButton::clicked, this,
                                                           [this, row] { tapped_(row->agent()); });
                                          return row;
                                      })
                ->set(agent, card.row(agent.selected()));
        }
        rows_.end();
    }

private:
    std::function<void(const AwakeCard::AgentRow&)> tapped_;
    Parts rows_;
};

// The running apps, five rows high at most; more scroll.
class AppList final : public QScrollArea {
public:
    AppList(const Workspace& workspace, std::function<void(const std::string&)> chosen)
        : workspace_(workspace),
          chosen_(std::move(chosen)),
          inner_(new QWidget),
          rows_(vbox(inner_, AwakeCard::Row::gap)) {
        setWidget(inner_);
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setAttribute(Qt::WA_TranslucentBackground);
        viewport()->setAutoFillBackground(false);
        inner_->setAutoFillBackground(false);
    }
    void set(const AwakeCard::AppList& shown, IconStyle style, const AwakeCard& card) {
        for (const auto& app : shown.rows) {
            rows_
                .part<AppRowButton>("app " + app.app.path,
                                    [&] {
                                        auto* row = new AppRowButton(workspace_, app.mark, style);
                                        QObject::connect(row, &QAbstractButton::clicked, this,
                                                         [this, row] { chosen_(row->path()); });
                                        return row;
                                    })
                ->set(app, style, card.row(app.selected));
        }
        rows_.end();
        setFixedHeight(static_cast<int>(std::ceil(shown.height)));
    }

private:
    const Workspace& workspace_;
    std::function<void(const std::string&)> chosen_;
    QWidget* inner_;
    Parts rows_;
};

}  // namespace

AwakeCardView::AwakeCardView(AppModel& model, MainQueue& queue, const Workspace& workspace, AwakeCard card,
                             DateFormatter format, LocaleText lists, QWidget* parent)
    : CardFrame(norvane::card(AwakeCard::padding), parent),
      m_(model),
      queue_(queue),
      workspace_(workspace),
      card_(card),
      format_(std::move(format)),
      lists_(std::move(lists)),
      parts_(content()) {
    content()->setSpacing(whole(AwakeCard::spacing));
    refresh();
    using F = ModelField;
    subscription_ = m_.subscribe({F::awake, F::awakeState, F::awakeNote, F::awakeMode, F::awakeFloor, F::awakeLid,
                                  F::holders, F::battery, F::drain, F::panelOpen, F::agentsWorking, F::agentsRunning,
                                  F::agentsInstalled, F::agentsIgnored, F::iconStyle},
                                 [this] { refresh(); });
}

void AwakeCardView::showEvent(QShowEvent* event) {
    CardFrame::showEvent(event);
    m_.refreshAgents();
    if (appeared_) return;
    appeared_ = true;
    if (listOpenHandler_) listOpenHandler_(card_.listOpen());
}

void AwakeCardView::act(const std::function<void()>& action) {
    const bool wasOpen = card_.listOpen();
    const QWidget* before = list_;
    action();
    if (card_.listOpen() != wasOpen && listOpenHandler_) listOpenHandler_(card_.listOpen());
    refresh();
    // A list that has just opened fades in.
    if (list_ && list_ != before && isVisible()) {
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

QWidget* AwakeCardView::note(std::string_view key, const std::string& text) {
    auto* label = parts_.part<TextLabel>(key, noteLabel);
    label->setText(qs(text));
    return label;
}

void AwakeCardView::setAccent(Color accent) {
    if (accent == card_.accent) return;
    card_.accent = accent;
    refresh();
}

void AwakeCardView::refresh() {
    using Choice = AwakeCard::Choice;
    parts_
        .part<Header>("header",
                      [this] { return new Header(card_.accent, [this] { act([this] { m_.toggleAwake(); }); }); })
        ->set(AwakeCard::on(m_), card_.accent);

    const auto status = AwakeCard::status(m_, queue_.now());
    if (status.countdown)
        parts_.part<CountdownStatus>("countdown", [this] { return new CountdownStatus(queue_); })
            ->set(*status.countdown, status.caption, AwakeCard::countdownInterval(m_.panelOpen()));
    else if (status.app)
        parts_.part<AppStatus>("app status", [&] { return new AppStatus(workspace_, *status.app, m_.iconStyle()); })
            ->set(*status.app, m_.iconStyle(), status.caption);
    else
        note("caption", status.caption);
    if (const auto line = AwakeCard::holdersLine(m_)) note("holders", *line);

    parts_
        .part<ModeRow>(
            "modes",
            [this] { return new ModeRow([this](std::size_t i) { act([this, i] { card_.tapChip(i, m_); }); }); })
        ->set(card_.chips(m_));

    list_ = nullptr;
    if (card_.open == Choice::timer) {
        auto* list = parts_.part<TimerList>("timer list", [this] {
            return new TimerList(
                card_, [this](std::int64_t minutes) { act([this, minutes] { card_.choosePreset(minutes, m_); }); },
                [this](const std::function<void()>& run) { act(run); }, [this] { card_.earlier(queue_.now()); },
                [this] { card_.later(queue_.now()); }, [this] { card_.start(m_, queue_.now()); });
        });
        list->set(card_.untilText(format_), card_.startPill());
        list_ = list;
    } else if (card_.open == Choice::agents) {
        auto* list = parts_.part<AgentList>("agent list", [this] {
            return new AgentList(
                [this](const AwakeCard::AgentRow& agent) { act([this, agent] { AwakeCard::tapAgent(agent, m_); }); });
        });
        list->set(card_.agentList(m_, lists_), card_);
        list_ = list;
    } else if (card_.open == Choice::app) {
        const auto apps = card_.appList(m_);
        if (apps.none) {
            list_ = note("no apps", *apps.none);
        } else {
            auto* list = parts_.part<AppList>("app list", [this] {
                return new AppList(
                    workspace_, [this](const std::string& path) { act([this, path] { card_.chooseApp(path, m_); }); });
            });
            list->set(apps, m_.iconStyle(), card_);
            list_ = list;
        }
    }

    if (AwakeCard::on(m_)) {
        parts_.part<LidRow>("lid", [this] { return new LidRow([this](bool stay) { m_.setAwakeLid(stay); }); })
            ->set(AwakeCard::lidPicker(m_));
        if (const auto line = AwakeCard::floorLine(m_)) note("floor", *line);
    }
    parts_.end();
}

}  // namespace norvane
