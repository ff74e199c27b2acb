#include "app/panel/qt/TopAppsView.h"

#include <QVBoxLayout>

#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/Spinner.h"
#include "app/visuals/qt/AppMarkView.h"
#include "app/visuals/qt/Parts.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {

AppRowView::AppRowView(AppModel& model, MainQueue& queue, const Workspace& workspace, const TopApps::Row& row,
                       Color accent)
    : m_(model), row_(row) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = hbox(this, TopApps::rowSpacing);
    mark_ = new AppMarkView(workspace, AppIcon{row.app, TopApps::iconSide}, model.iconStyle());
    layout->addWidget(mark_, 0, Qt::AlignTop);

    QVBoxLayout* lines = nullptr;
    QWidget* text = boxed(lines, TopApps::lineSpacing);
    QHBoxLayout* top = nullptr;
    QWidget* nameRow = boxed(top, TopApps::nameRowSpacing);
    nameRow->setFixedHeight(static_cast<int>(TopApps::nameRowHeight));
    name_ = new TextLabel(qs(row.app.name), TopApps::nameStyle());
    top->addWidget(name_, 1);
    flexible(top, TopApps::leastNameGap);
    share_ = new TextLabel(qs(row.share), TopApps::shareStyle());
    share_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    share_->setFixedWidth(static_cast<int>(TopApps::shareWidth));
    top->addWidget(share_);
    // The control at the end, one of three, right-aligned in its frame.
    QHBoxLayout* end = nullptr;
    QWidget* action = boxed(end, 0);
    action->setFixedWidth(static_cast<int>(TopApps::actionWidth));
    end->addStretch();
    inUse_ = new TextLabel(qs(TopApps::inUse), caps());
    quit_ = new PillButton(QString::fromUtf8(TopApps::quit), TopApps::quitPill);
    connect(quit_, &QAbstractButton::clicked, this, [this] { m_.quit(row_.app); });
    spinner_ = new Spinner(queue);
    end->addWidget(inUse_);
    end->addWidget(quit_);
    end->addWidget(spinner_);
    top->addWidget(action);
    lines->addWidget(nameRow);
    advice_ = new TextLabel(qs(row.advice), note());
    lines->addWidget(advice_);
    gain_ = new TextLabel(QString(), TopApps::accentLine(accent));
    lines->addWidget(gain_);
    layout->addWidget(text, 1);
    set(row, accent, model.iconStyle());
}

void AppRowView::set(const TopApps::Row& row, Color accent, IconStyle style) {
    row_ = row;
    mark_->setIconStyle(style);
    name_->setText(qs(row.app.name));
    share_->setText(qs(row.share));
    advice_->setText(qs(row.advice));
    gain_->setStyle(TopApps::accentLine(accent));
    gain_->setText(qs(row.gain.value_or("")));
    gain_->setVisible(row.gain.has_value());
    inUse_->setVisible(row.action == TopApps::Action::inUse);
    quit_->setVisible(row.action == TopApps::Action::quit);
    spinner_->setVisible(row.action == TopApps::Action::quitting);
    quit_->setAccessibleName(qs(row.accessibility));
    spinner_->setAccessibleName(qs(row.accessibility));
}

TopAppsView::TopAppsView(AppModel& model, MainQueue& queue, const Workspace& workspace, Color accent, QWidget* parent)
    : CardFrame(norvane::card(14), parent), m_(model), queue_(queue), workspace_(workspace), accent_(accent) {
    content()->setSpacing(static_cast<int>(TopApps::spacing));
    content()->addWidget(new TextLabel(qs(TopApps::title), caps()));
    QVBoxLayout* quitLines = nullptr;
    quit_ = boxed(quitLines, TopApps::quitSpacing);
    quitFirst_ = new TextLabel(QString(), TopApps::accentLine(accent));
    quitSecond_ = new TextLabel(QString(), note());
    quitLines->addWidget(quitFirst_);
    quitLines->addWidget(quitSecond_);
    content()->addWidget(quit_);
    measuring_ = new TextLabel(qs(TopApps::measuring), note());
    content()->addWidget(measuring_);
    QVBoxLayout* rows = nullptr;
    rowsBox_ = boxed(rows, TopApps::spacing);
    rows_ = std::make_unique<Parts>(rows);
    content()->addWidget(rowsBox_);
    note_ = new TextLabel(QString(), note());
    content()->addWidget(note_);
    refresh();
}

void TopAppsView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

TopAppsView::~TopAppsView() = default;

AppRowView* TopAppsView::row(const std::string& id) const {
    return dynamic_cast<AppRowView*>(rows_->find("app " + id));
}

void TopAppsView::refresh() {
    const TopApps::Card card = TopApps::card(m_);
    quit_->setVisible(card.quit.has_value());
    if (card.quit) {
        quitFirst_->setStyle(TopApps::accentLine(accent_));
        quitFirst_->setText(qs(card.quit->first));
        quitSecond_->setText(qs(card.quit->second.value_or("")));
        quitSecond_->setVisible(card.quit->second.has_value());
    }
    measuring_->setVisible(card.measuring);

    // Rows are kept by app; only an app that joins or leaves the list adds or removes one.
    for (const auto& row : card.rows)
        rows_
            ->part<AppRowView>("app " + row.app.id,
                               [&] { return new AppRowView(m_, queue_, workspace_, row, accent_); })
            ->set(row, accent_, m_.iconStyle());
    rows_->end();
    rowsBox_->setVisible(!card.rows.empty());
    note_->setText(qs(card.note.value_or("")));
    note_->setVisible(card.note.has_value());
}

}  // namespace norvane
