#include "app/panel/qt/TopAppsView.h"

#include <QVBoxLayout>

#include "app/panel/qt/Boxes.h"
#include "app/panel/qt/Label.h"
#include "app/panel/qt/Spinner.h"
#include "app/visuals/qt/AppMarkView.h"
#include "app/visuals/qt/PillButton.h"

namespace norvane {

AppRowView::AppRowView(AppModel& model, MainQueue& queue, const Workspace& workspace, const TopApps::Row& row,
                       Color accent)
    : m_(model), row_(row) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = hbox(this, TopApps::rowSpacing);
    layout->setAlignment(Qt::AlignTop);
    mark_ = new AppMarkView(workspace, AppIcon{row.app, TopApps::iconSide}, model.iconStyle());
    layout->addWidget(mark_, 0, Qt::AlignTop);

    QVBoxLayout* lines = nullptr;
    QWidget* text = boxed(lines, TopApps::lineSpacing);
    QHBoxLayout* top = nullptr;
    QWidget* nameRow = boxed(top, TopApps::nameRowSpacing);
    nameRow->setFixedHeight(static_cast<int>(TopApps::nameRowHeight));
    name_ = new Label(row.app.name, TopApps::nameStyle());
    top->addWidget(name_, 1);
    flexible(top, TopApps::leastNameGap);
    share_ = new Label(row.share, TopApps::shareStyle());
    share_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    share_->setFixedWidth(static_cast<int>(TopApps::shareWidth));
    top->addWidget(share_);
    // The control at the end, one of three, right-aligned in its frame.
    QHBoxLayout* end = nullptr;
    QWidget* action = boxed(end, 0);
    action->setFixedWidth(static_cast<int>(TopApps::actionWidth));
    end->addStretch();
    inUse_ = new Label(TopApps::inUse, caps());
    quit_ = new PillButton(QString::fromUtf8(TopApps::quit), TopApps::quitPill);
    connect(quit_, &QAbstractButton::clicked, this, [this] { m_.quit(row_.app); });
    spinner_ = new Spinner(queue);
    end->addWidget(inUse_);
    end->addWidget(quit_);
    end->addWidget(spinner_);
    top->addWidget(action);
    lines->addWidget(nameRow);
    advice_ = new Label(row.advice, note());
    lines->addWidget(advice_);
    gain_ = new Label("", TopApps::accentLine(accent));
    lines->addWidget(gain_);
    layout->addWidget(text, 1);
    set(row, accent, model.iconStyle());
}

void AppRowView::set(const TopApps::Row& row, Color accent, IconStyle style) {
    row_ = row;
    mark_->setIconStyle(style);
    name_->setText(row.app.name);
    share_->setText(row.share);
    advice_->setText(row.advice);
    gain_->setStyle(TopApps::accentLine(accent));
    gain_->setText(row.gain.value_or(""));
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
    content()->addWidget(new Label(TopApps::title, caps()));
    QVBoxLayout* quitLines = nullptr;
    quit_ = boxed(quitLines, TopApps::quitSpacing);
    quitFirst_ = new Label("", TopApps::accentLine(accent));
    quitSecond_ = new Label("", note());
    quitLines->addWidget(quitFirst_);
    quitLines->addWidget(quitSecond_);
    content()->addWidget(quit_);
    measuring_ = new Label(TopApps::measuring, note());
    content()->addWidget(measuring_);
    QWidget* rows = boxed(rowsBox_, TopApps::spacing);
    content()->addWidget(rows);
    note_ = new Label("", note());
    content()->addWidget(note_);
    refresh();
}

void TopAppsView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

AppRowView* TopAppsView::row(const std::string& id) const {
    const auto found = rows_.find(id);
    return found == rows_.end() ? nullptr : found->second;
}

void TopAppsView::refresh() {
    const TopApps::Card card = TopApps::card(m_);
    quit_->setVisible(card.quit.has_value());
    if (card.quit) {
        quitFirst_->setStyle(TopApps::accentLine(accent_));
        quitFirst_->setText(card.quit->first);
        quitSecond_->setText(card.quit->second.value_or(""));
        quitSecond_->setVisible(card.quit->second.has_value());
    }
    measuring_->setVisible(card.measuring);

    // Rows are kept by app; only an app that joins or leaves the list adds or removes one.
    std::vector<std::string> order;
    std::map<std::string, AppRowView*> kept;
    for (const auto& row : card.rows) {
        AppRowView* view = this->row(row.app.id);
        if (view)
            view->set(row, accent_, m_.iconStyle());
        else
            view = new AppRowView(m_, queue_, workspace_, row, accent_);
        kept.emplace(row.app.id, view);
        order.push_back(row.app.id);
    }
    for (const auto& [id, view] : rows_) {
        if (kept.contains(id)) continue;
        view->hide();
        view->deleteLater();  // its Quit button may be the one being pressed
    }
    rows_ = std::move(kept);
    if (order != order_) {
        while (QLayoutItem* item = rowsBox_->takeAt(0))
            delete item;
        for (const auto& id : order)
            rowsBox_->addWidget(rows_.at(id));
        order_ = std::move(order);
    }
    rowsBox_->parentWidget()->setVisible(!rows_.empty());
    note_->setText(card.note.value_or(""));
    note_->setVisible(card.note.has_value());
}

}  // namespace norvane
