#include "app/panel/qt/SettingsView.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QVBoxLayout>
#include <cmath>

#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/HotkeyRow.h"
#include "app/panel/qt/ModelWatch.h"
#include "app/visuals/qt/SwitchButton.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

using S = Settings;

template <class... Overloads>
struct Visitor : Overloads... {
    using Overloads::operator()...;
};

TextLabel* label() {
    return new TextLabel(QString(), S::labelStyle());
}

// Names and tool tips are told to assistive tools on every change: only a new one is set.
void setName(QWidget* widget, const std::string& name) {
    if (widget->accessibleName() != qs(name)) widget->setAccessibleName(qs(name));
}
void setHelp(QWidget* widget, const std::optional<std::string>& help) {
    const QString text = help ? qs(*help) : QString();
    if (widget->toolTip() != text) widget->setToolTip(text);
}

void setTitle(PillButton* button, const std::string& title) {
    if (button->text() == qs(title)) return;
    button->setText(qs(title));
    button->setAccessibleName(qs(title));
    button->updateGeometry();
}

// A label over a picker and a note: the level rows and the app icons.
class PickerRow final : public QWidget {
public:
    PickerRow() : label_(label()), picker_(new SegmentsView), note_(new TextLabel(QString(), note())) {
        auto* column = vbox(this, S::blockSpacing);
        column->addWidget(label_);
        column->addWidget(picker_, 0, Qt::AlignLeft);
        column->addWidget(note_);
        picker_->setOnTap([this](std::size_t index) {
            if (tapped_) tapped_(index);
        });
    }
    void set(const std::string& text, const std::vector<Segment>& segments, const std::string& noteText,
             std::function<void(std::size_t)> tapped) {
        label_->setText(qs(text));
        picker_->setSegments(segments);
        setName(picker_, text);
        note_->setText(qs(noteText));
        tapped_ = std::move(tapped);
    }

private:
    TextLabel* label_;
    SegmentsView* picker_;
    TextLabel* note_;
    std::function<void(std::size_t)> tapped_;
};

// A label and a switch that shows the model's value; a tap asks for the other one.
class SwitchRow final : public QWidget {
public:
    explicit SwitchRow(Color accent) : label_(label()), switch_(new SwitchButton(false, accent)) {
        auto* row = hbox(this, S::rowSpacing);
        row->addWidget(label_, 1, Qt::AlignVCenter);
        flexible(row, S::leastGap);
        row->addWidget(switch_, 0, Qt::AlignVCenter);
        connect(switch_, &QAbstractButton::clicked, this, [this] {
            if (write_) write_(!switch_->isOn());
        });
    }
    void set(const std::string& text, bool on, Color accent, std::function<void(bool)> write) {
        label_->setText(qs(text));
        setName(switch_, text);
        switch_->setOn(on);
        switch_->setTint(accent);
        write_ = std::move(write);
    }
    SwitchButton* toggle() const { return switch_; }

private:
    TextLabel* label_;
    SwitchButton* switch_;
    std::function<void(bool)> write_;
};

// A button: after a label, at the trailing edge; alone, at the leading edge.
class ButtonRow final : public QWidget {
public:
    explicit ButtonRow(bool labelled) : label_(labelled ? label() : nullptr), button_(new PillButton(QString(), S::buttonPill)) {
        auto* row = hbox(this, S::rowSpacing);
        if (label_) {
            row->addWidget(label_, 1, Qt::AlignVCenter);
            flexible(row, S::leastGap);
        }
        row->addWidget(button_, 0, Qt::AlignVCenter);
        if (!label_) row->addStretch();
        connect(button_, &QAbstractButton::clicked, this, [this] {
            if (tap_) tap_();
        });
    }
    void set(const S::ButtonRow& row, std::function<void()> tap) {
        if (label_) label_->setText(qs(row.label.value_or("")));
        setTitle(button_, row.title);
        setHelp(button_, row.help);
        tap_ = std::move(tap);
    }

private:
    TextLabel* label_;
    PillButton* button_;
    std::function<void()> tap_;
};

// The full-by mode, the time between its earlier and later buttons, and the sentence.
class FullByRow final : public QWidget {
public:
    FullByRow(AppModel& m, MainQueue& queue)
        : modes_(new SegmentsView),
          time_(new DotView([](double, double) { return DotLayout{}; }, {}, false)),
          note_(new TextLabel(QString(), note())) {
        auto* column = vbox(this, S::groupSpacing);
        column->addWidget(modes_, 0, Qt::AlignLeft);
        setName(modes_, "Full by a set time");
        QHBoxLayout* row = nullptr;
        column->addWidget(boxed(row, S::timeSpacing));
        auto* earlier = new PillButton(QStringLiteral("\u2212"), S::buttonPill);
        earlier->setAccessibleName(QStringLiteral("Half an hour earlier"));
        auto* later = new PillButton(QStringLiteral("+"), S::buttonPill);
        later->setAccessibleName(QStringLiteral("Half an hour later"));
        row->addWidget(earlier, 0, Qt::AlignVCenter);
        time_->setMinimumWidth(static_cast<int>(std::ceil(S::timeWidth())));  // drawn centred within
        row->addWidget(time_, 0, Qt::AlignVCenter);
        row->addWidget(later, 0, Qt::AlignVCenter);
        row->addStretch();
        column->addWidget(note_);
        connect(earlier, &QAbstractButton::clicked, this,
                [&m, &queue] { S::perform(S::Action::earlier, m, queue.now()); });
        connect(later, &QAbstractButton::clicked, this, [&m, &queue] { S::perform(S::Action::later, m, queue.now()); });
        modes_->setOnTap([this, &m](std::size_t index) {
            if (index < shown_.modes.size()) m.setFullBy(shown_.modes[index], m.fullByMinutes());
        });
    }
    void set(const S::FullByRow& row) {
        shown_ = row;
        modes_->setSegments(row.segments);
        time_->setFixed(DotText{row.time, row.dimmed ? S::dimmedTime : Color::white(), S::timePitch}.layout());
        setName(time_, row.accessibility);
        note_->setText(qs(row.note));
    }

private:
    SegmentsView* modes_;
    DotView* time_;
    TextLabel* note_;
    S::FullByRow shown_;
};

// "Version …", "Check now" and the last check's outcome.
class VersionRow final : public QWidget {
public:
    VersionRow(AppModel& m, MainQueue& queue)
        : text_(label()), check_(new PillButton(QStringLiteral("Check now"), S::buttonPill)),
          note_(new TextLabel(QString(), note())) {
        auto* column = vbox(this, S::blockSpacing);
        QHBoxLayout* row = nullptr;
        column->addWidget(boxed(row, S::rowSpacing));
        row->addWidget(text_, 1, Qt::AlignVCenter);
        flexible(row, S::leastGap);
        row->addWidget(check_, 0, Qt::AlignVCenter);
        column->addWidget(note_);
        connect(check_, &QAbstractButton::clicked, this,
                [&m, &queue] { S::perform(S::Action::checkNow, m, queue.now()); });
    }
    void set(const S::VersionRow& row) {
        text_->setText(qs(row.text));
        check_->setEnabled(row.checkEnabled);
        note_->setVisible(row.note.has_value());
        note_->setText(qs(row.note.value_or("")));
    }

private:
    TextLabel* text_;
    PillButton* check_;
    TextLabel* note_;
};

// An example link: the whole row is the button, and a click copies the link.
class LinkRow final : public QAbstractButton {
public:
    LinkRow() : url_(new TextLabel(QString(), S::urlStyle())), label_(new TextLabel(QString(), caps())) {
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_TranslucentBackground);
        setFocusPolicy(Qt::NoFocus);
        url_->setElideMode(Qt::ElideMiddle);
        label_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        auto* row = hbox(this, S::rowSpacing);
        row->addWidget(url_, 1, Qt::AlignVCenter);
        flexible(row, S::leastGap);
        row->addWidget(label_, 0, Qt::AlignVCenter);
        url_->setAttribute(Qt::WA_TransparentForMouseEvents);
        label_->setAttribute(Qt::WA_TransparentForMouseEvents);
        setToolTip(QString::fromUtf8(S::copyHelp));
        connect(this, &QAbstractButton::clicked, this, [this] {
            // The clipboard's text replaces whatever it held.
            if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(qs(shown_.url));
        });
    }
    void set(const S::LinkRow& row) {
        shown_ = row;
        url_->setText(qs(row.url));
        label_->setText(qs(row.label));
        setName(this, row.accessibility);
    }
    QSize sizeHint() const override { return layout()->totalSizeHint(); }
    QSize minimumSizeHint() const override { return layout()->totalMinimumSize(); }

protected:
    void paintEvent(QPaintEvent*) override {}

private:
    TextLabel* url_;
    TextLabel* label_;
    S::LinkRow shown_;
};

// One card: the title in capitals over its rows, kept by their keys.
class GroupCard final : public CardFrame {
public:
    GroupCard() : CardFrame(card(14)), title_(new TextLabel(QString(), caps())) {
        content()->setSpacing(static_cast<int>(S::groupSpacing));
        content()->addWidget(title_);
        QVBoxLayout* rows = nullptr;
        content()->addWidget(boxed(rows, S::groupSpacing));
        rows_ = std::make_unique<Parts>(rows);
    }
    void setTitle(const std::string& title) { title_->setText(qs(title)); }
    Parts& rows() { return *rows_; }

private:
    TextLabel* title_;
    std::unique_ptr<Parts> rows_;
};

}  // namespace

SettingsView::SettingsView(AppModel& model, MainQueue& queue, const PanelShell& shell, Color accent, QWidget* parent)
    : QWidget(parent),
      m_(model),
      queue_(queue),
      shell_(shell),
      accent_(accent),
      groups_(vbox(this, S::spacing)),
      runningVersion_(model.runningVersion()) {
    setAttribute(Qt::WA_TranslucentBackground);
    new ModelWatch(*this, m_, queue_, S::fields(), [this] { refresh(); });
    refresh();
}

SettingsView::~SettingsView() = default;

void SettingsView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

HotkeyRow* SettingsView::hotkeyRow(HotkeyAction action) const {
    auto* group = static_cast<GroupCard*>(groups_.find("Keyboard shortcuts"));
    return group ? static_cast<HotkeyRow*>(group->rows().find("shortcut " + std::string(rawValue(action)))) : nullptr;
}

void SettingsView::refresh() {
    const S::Context context{shell_.fromBundle, shell_.tourOffered && shell_.tour, runningVersion_};
    for (const S::Group& group : S::groups(m_, context)) {
        auto* card = groups_.part<GroupCard>(group.title, [] { return new GroupCard; });
        card->setTitle(group.title);
        Parts& rows = card->rows();
        for (const S::Row& row : group.rows) {
            const std::string key = S::key(row);
            std::visit(
                Visitor{
                    [&](const S::LevelRow& r) {
                        rows.part<PickerRow>(key, [] { return new PickerRow; })
                            ->set(r.label, r.segments, r.note, [this, r](std::size_t index) {
                                if (index < r.options.size()) S::set(m_, r.setting, r.options[index]);
                            });
                    },
                    [&](const S::IconStyleRow& r) {
                        rows.part<PickerRow>(key, [] { return new PickerRow; })
                            ->set(r.label, r.segments, r.note, [this, r](std::size_t index) {
                                if (index < r.options.size()) m_.setIconStyle(r.options[index]);
                            });
                    },
                    [&](const S::FlagRow& r) {
                        rows.part<SwitchRow>(key, [&] { return new SwitchRow(accent_); })
                            ->set(r.label, r.on, accent_, [this, flag = r.setting](bool on) { S::set(m_, flag, on); });
                    },
                    [&](const S::LoginRow& r) {
                        rows.part<SwitchRow>(key, [&] { return new SwitchRow(accent_); })
                            ->set(r.label, r.on, accent_, [this](bool on) { m_.setOpenAtLogin(on); });
                    },
                    [&](const S::ButtonRow& r) {
                        rows.part<ButtonRow>(key, [&] { return new ButtonRow(r.label.has_value()); })->set(r, [this, action = r.action] {
                            if (action == S::Action::openTour) {
                                if (shell_.showTour) shell_.showTour();
                            } else if (action == S::Action::quit) {
                                if (shell_.quit) shell_.quit();
                            } else {
                                S::perform(action, m_, queue_.now());
                            }
                        });
                    },
                    [&](const S::FullByRow& r) {
                        rows.part<FullByRow>(key, [this] { return new FullByRow(m_, queue_); })->set(r);
                    },
                    [&](const S::ShortcutRow& r) {
                        rows.part<HotkeyRow>(key, [&] { return new HotkeyRow(m_, queue_, r.action, accent_); })
                            ->setAccent(accent_);
                    },
                    [&](const S::NoteRow& r) {
                        rows.part<TextLabel>(key, [] { return new TextLabel(QString(), note()); })->setText(qs(r.text));
                    },
                    [&](const S::VersionRow& r) {
                        rows.part<VersionRow>(key, [this] { return new VersionRow(m_, queue_); })->set(r);
                    },
                    [&](const S::LinkRow& r) { rows.part<LinkRow>(key, [] { return new LinkRow; })->set(r); },
                },
                row);
        }
        rows.end();
    }
    groups_.end();
}

}  // namespace norvane
