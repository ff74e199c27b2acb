#include "app/panel/qt/TipCardView.h"

#include <QAbstractButton>
#include <QPainter>
#include <QVBoxLayout>
#include <numbers>

#include "app/model/AppModel.h"
#include "app/panel/qt/Boxes.h"
#include "app/panel/qt/Label.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/PillButton.h"

namespace norvane {
namespace {

// A button that is only its content: a row or a link, its whole rectangle the hit area.
class PlainButton final : public QAbstractButton {
public:
    PlainButton() {
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_TranslucentBackground);
    }
    // The content leaves its clicks to the button.
    void holds(QWidget* content) {
        content->setAttribute(Qt::WA_TransparentForMouseEvents);
        for (QWidget* child : content->findChildren<QWidget*>())
            child->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    bool hasHeightForWidth() const override { return layout() && layout()->hasHeightForWidth(); }
    int heightForWidth(int width) const override { return layout() ? layout()->totalHeightForWidth(width) : -1; }
    QSize sizeHint() const override { return layout() ? layout()->totalSizeHint() : QSize(); }

protected:
    void paintEvent(QPaintEvent*) override {}
};

// The chevron at the end of the summary: down while closed, turned half a turn while open.
class Chevron final : public QWidget {
public:
    Chevron() { setFixedSize(12, 12); }
    void setOpen(bool open) {
        if (open == open_) return;
        open_ = open;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(width() / 2.0, height() / 2.0);
        if (open_) painter.rotate(180);
        painter.setPen(QPen(toQColor(TipCard::chevron), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(QPolygonF({QPointF(-4, -2), QPointF(0, 2), QPointF(4, -2)}));
    }

private:
    bool open_ = false;
};

TextStyle wrappingCaps() {
    TextStyle style = caps();
    style.wraps = true;
    return style;
}

}  // namespace

TipCardView::TipCardView(AppModel& model, const Workspace& workspace, std::function<void()> toggled, QWidget* parent)
    : CardFrame(norvane::card(14), parent), m_(model), workspace_(workspace) {
    content()->setSpacing(static_cast<int>(TipCard::spacing));

    auto* summary = new PlainButton;
    auto* row = hbox(summary, TipCard::summarySpacing);
    QVBoxLayout* column = nullptr;
    QWidget* text = boxed(column, TipCard::lineSpacing);
    column->addWidget(new Label(TipCard::caption, caps()));
    line_ = new Label("", TipCard::lineStyle());
    column->addWidget(line_);
    row->addWidget(text, 1);
    flexible(row, TipCard::leastGap);
    auto* chevron = new Chevron;
    chevron_ = chevron;
    row->addWidget(chevron_, 0, Qt::AlignVCenter);
    summary->holds(text);
    summary->holds(chevron_);
    connect(summary, &QAbstractButton::clicked, this, std::move(toggled));
    summary_ = summary;
    content()->addWidget(summary_);

    QVBoxLayout* details = nullptr;
    details_ = boxed(details, TipCard::spacing);
    for (int i = 0; i < 3; ++i) {
        QVBoxLayout* part = nullptr;
        QWidget* box = boxed(part, TipCard::partSpacing);
        parts_.push_back(new Label("", caps()));
        parts_.push_back(new Label("", TipCard::textStyle()));
        part->addWidget(parts_[parts_.size() - 2]);
        part->addWidget(parts_.back());
        details->addWidget(box);
    }
    QVBoxLayout* origin = nullptr;
    QWidget* originBox = boxed(origin, TipCard::lineSpacing);
    evidence_ = new Label("", wrappingCaps());
    origin->addWidget(evidence_);
    QWidget* links = boxed(linksBox_, TipCard::lineSpacing);
    origin->addWidget(links);
    details->addWidget(originBox);
    QWidget* buttons = boxed(buttons_, TipCard::buttonSpacing);
    dismiss_ = new PillButton(QString::fromUtf8(TipCard::dismiss), TipCard::dismissPill);
    dismiss_->setToolTip(QString::fromUtf8(TipCard::dismissHelp));
    connect(dismiss_, &QAbstractButton::clicked, this, [this] { m_.dismissTip(); });
    buttons_->addWidget(dismiss_);
    buttons_->addStretch();
    details->addWidget(buttons);
    content()->addWidget(details_);
    details_->hide();
}

void TipCardView::set(const TipCard& card, Color accent) {
    if (shown_ == card && accent == accent_) return;
    const bool newAccent = accent != accent_;
    accent_ = accent;
    shown_ = card;
    line_->setText(card.line);
    static_cast<Chevron*>(chevron_)->setOpen(card.open);
    summary_->setAccessibleName(qs(card.line));
    summary_->setAccessibleDescription(qs(card.hint));
    details_->setVisible(card.open);
    if (!card.open) return;
    for (std::size_t i = 0; i < card.parts.size() && 2 * i + 1 < parts_.size(); ++i) {
        parts_[2 * i]->setText(card.parts[i].title);
        parts_[2 * i + 1]->setText(card.parts[i].text);
    }
    evidence_->setText(card.evidence);
    setLinks(card.links, accent);
    // The act button's look follows the accent: a new accent makes it anew.
    if (act_ && (newAccent || !card.act)) {
        act_->hide();
        act_->deleteLater();
        act_ = nullptr;
    }
    if (card.act && !act_) {
        act_ = new PillButton(qs(*card.act), TipCard::actPill(accent));
        connect(act_, &QAbstractButton::clicked, this, [this] {
            if (const auto& tip = m_.tip()) m_.act(*tip);
        });
        buttons_->insertWidget(0, act_);
    }
    if (act_ && act_->text() != qs(*card.act)) {
        act_->setText(qs(*card.act));
        act_->setAccessibleName(qs(*card.act));
        act_->updateGeometry();
    }
}

void TipCardView::setLinks(const std::vector<TipCard::Link>& links, Color accent) {
    // Made anew only when the sources change; a new accent recolours them in place.
    if (links != linksShown_) {
        linksShown_ = links;
        for (auto* link : links_) {
            link->hide();
            link->deleteLater();
        }
        links_.clear();
        for (const auto& link : links) {
            auto* button = new PlainButton;
            auto* label = new Label(link.name, TipCard::linkStyle(accent));
            vbox(button, 0)->addWidget(label);
            button->holds(label);
            button->setAccessibleName(qs(link.name));
            connect(button, &QAbstractButton::clicked, this, [this, url = link.url] { workspace_.open(url); });
            linksBox_->addWidget(button);
            links_.push_back(button);
        }
    }
    for (auto* link : links_)
        if (auto* label = link->findChild<Label*>()) label->setStyle(TipCard::linkStyle(accent));
}

}  // namespace norvane
