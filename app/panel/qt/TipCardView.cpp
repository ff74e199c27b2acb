#include "app/panel/qt/TipCardView.h"

#include <QAbstractButton>
#include <QPainter>
#include <QVBoxLayout>
#include <numbers>

#include "app/model/AppModel.h"
#include "app/visuals/qt/Boxes.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/Parts.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

// A button that is only its content: a row or a link, its whole rectangle the hit area.
class PlainButton : public QAbstractButton {
public:
    PlainButton() {
        // As narrow as the width offered: its text wraps (a button's own policy keeps its hint).
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
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

// A source of the tip: its name in the accent, opened in the browser through the workspace.
class LinkButton final : public PlainButton {
public:
    LinkButton(const TipCard::Link& link, const Workspace& workspace) {
        label_ = new TextLabel(qs(link.name), TipCard::linkStyle(Color::white()));
        vbox(this, 0)->addWidget(label_);
        holds(label_);
        setAccessibleName(qs(link.name));
        connect(this, &QAbstractButton::clicked, this, [url = link.url, &workspace] { workspace.open(url); });
    }
    void setAccent(Color accent) { label_->setStyle(TipCard::linkStyle(accent)); }

private:
    TextLabel* label_;
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

TipCardView::~TipCardView() = default;

TipCardView::TipCardView(AppModel& model, const Workspace& workspace, std::function<void()> toggled, QWidget* parent)
    : CardFrame(norvane::card(14), parent), m_(model), workspace_(workspace) {
    content()->setSpacing(static_cast<int>(TipCard::spacing));

    auto* summary = new PlainButton;
    auto* row = hbox(summary, TipCard::summarySpacing);
    QVBoxLayout* column = nullptr;
    QWidget* text = boxed(column, TipCard::lineSpacing);
    column->addWidget(new TextLabel(qs(TipCard::caption), caps()));
    line_ = new TextLabel(QString(), TipCard::lineStyle());
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
        parts_.push_back(new TextLabel(QString(), caps()));
        parts_.push_back(new TextLabel(QString(), TipCard::textStyle()));
        part->addWidget(parts_[parts_.size() - 2]);
        part->addWidget(parts_.back());
        details->addWidget(box);
    }
    QVBoxLayout* origin = nullptr;
    QWidget* originBox = boxed(origin, TipCard::lineSpacing);
    evidence_ = new TextLabel(QString(), wrappingCaps());
    origin->addWidget(evidence_);
    QVBoxLayout* links = nullptr;
    linksBox_ = boxed(links, TipCard::lineSpacing);
    links_ = std::make_unique<Parts>(links);
    origin->addWidget(linksBox_);
    details->addWidget(originBox);
    QWidget* buttons = boxed(buttons_, TipCard::buttonSpacing);
    dismiss_ = new PillButton(QString::fromUtf8(TipCard::dismiss), TipCard::dismissPill);
    dismiss_->setToolTip(QString::fromUtf8(TipCard::dismissHelp));
    connect(dismiss_, &QAbstractButton::clicked, this, [this] { m_.dismissTip(); });
    act_ = new PillButton(QString(), TipCard::actPill(accent_));
    act_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);  // "Quit " and a name from outside
    connect(act_, &QAbstractButton::clicked, this, [this] {
        if (const auto& tip = m_.tip()) m_.act(*tip);
    });
    buttons_->addWidget(act_);
    buttons_->addWidget(dismiss_);
    buttons_->addStretch();
    details->addWidget(buttons);
    content()->addWidget(details_);
    details_->hide();
}

void TipCardView::set(const TipCard& card, Color accent) {
    if (shown_ == card && accent == accent_) return;
    accent_ = accent;
    shown_ = card;
    line_->setText(qs(card.line));
    static_cast<Chevron*>(chevron_)->setOpen(card.open);
    summary_->setAccessibleName(qs(card.line));
    summary_->setAccessibleDescription(qs(card.hint));
    details_->setVisible(card.open);
    if (!card.open) return;
    for (std::size_t i = 0; i < card.parts.size() && 2 * i + 1 < parts_.size(); ++i) {
        parts_[2 * i]->setText(qs(card.parts[i].title));
        parts_[2 * i + 1]->setText(qs(card.parts[i].text));
    }
    evidence_->setText(qs(card.evidence));
    // A source is kept while it stays; a new accent recolours it in place.
    for (const auto& link : card.links)
        links_->part<LinkButton>("link " + link.url + " " + link.name, [&] { return new LinkButton(link, workspace_); })
            ->setAccent(accent);
    links_->end();
    act_->setVisible(card.act.has_value());
    if (!card.act) return;
    act_->setPill(TipCard::actPill(accent));
    if (act_->text() != qs(*card.act)) {
        act_->setText(qs(*card.act));
        act_->setAccessibleName(qs(*card.act));
        act_->setToolTip(plainTip(*card.act));  // the whole title where the pill cuts it
        act_->updateGeometry();
    }
}

std::vector<QAbstractButton*> TipCardView::links() const {
    std::vector<QAbstractButton*> out;
    for (auto* child : linksBox_->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
        if (dynamic_cast<LinkButton*>(child) && !child->isHidden()) out.push_back(child);
    return out;
}

}  // namespace norvane
