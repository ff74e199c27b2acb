#include "app/panel/qt/HotkeyRow.h"

#include <QApplication>
#include <QKeyEvent>

#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/KeyPresses.h"
#include "app/panel/qt/ModelWatch.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {

HotkeyRow::HotkeyRow(AppModel& model, MainQueue& queue, HotkeyAction action, Color accent, QWidget* parent)
    : QWidget(parent),
      m_(model),
      state_{action},
      accent_(accent),
      title_(new TextLabel(QString(), {.size = 13, .weight = FontWeight::medium})),
      clear_(new PillButton(QString::fromUtf8(HotkeyRecording::clearTitle), HotkeyRecording::quietPill)),
      main_(new PillButton(QString(), HotkeyRecording::quietPill)),
      message_(new TextLabel(QString::fromUtf8(HotkeyRecording::refusal), note())) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = vbox(this, HotkeyRecording::spacing);
    QHBoxLayout* row = nullptr;
    column->addWidget(boxed(row, HotkeyRecording::rowSpacing));
    row->addWidget(title_, 0, Qt::AlignVCenter);
    flexible(row, HotkeyRecording::leastGap);
    row->addWidget(clear_, 0, Qt::AlignVCenter);
    row->addWidget(main_, 0, Qt::AlignVCenter);
    column->addWidget(message_);
    connect(clear_, &QAbstractButton::clicked, this, [this] {
        state_.clear(m_);
        refresh();
    });
    connect(main_, &QAbstractButton::clicked, this, [this] { state_.recording ? stop() : record(); });
    new ModelWatch(*this, m_, queue, {ModelField::hotkeys}, [this] { refresh(); });
    refresh();
}

HotkeyRow::~HotkeyRow() {
    if (!filtering_) return;
    qApp->removeEventFilter(this);
    m_.suspendHotkeys(false);
}

void HotkeyRow::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

void HotkeyRow::record() {
    state_.record();
    if (!filtering_) {
        qApp->installEventFilter(this);
        // The other action's keys must reach the row, not act.
        m_.suspendHotkeys(true);
    }
    filtering_ = true;
    refresh();
}

void HotkeyRow::stop() {
    state_.stop();
    if (filtering_) {
        qApp->removeEventFilter(this);
        m_.suspendHotkeys(false);
    }
    filtering_ = false;
    refresh();
}

void HotkeyRow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Shown again, the row starts as a new one would: idle, without the message.
    state_.refused = false;
    stop();
}

bool HotkeyRow::eventFilter(QObject* watched, QEvent* event) {
    if (!state_.recording) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Taken as a key press of its own, never as a shortcut of a window or a menu.
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyRelease) return false;
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (!isModifierKey(key.key())) {
        state_.press(m_, macKeyPress(key));
        if (!state_.recording) stop();
        refresh();
    }
    return true;
}

void HotkeyRow::refresh() {
    const HotkeyRecording::Row row = state_.row(m_, accent_);
    title_->setText(qs(row.title));
    clear_->setVisible(row.clear);
    if (main_->text() != qs(row.button)) {
        main_->setText(qs(row.button));
        main_->updateGeometry();
    }
    main_->setPill(row.pill);
    if (main_->accessibleName() != qs(row.accessibility)) main_->setAccessibleName(qs(row.accessibility));
    message_->setVisible(row.message);
}

}  // namespace norvane
