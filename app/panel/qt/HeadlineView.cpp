#include "app/panel/qt/HeadlineView.h"

#include <QPainter>
#include <QPainterPath>

#include "app/panel/qt/Boxes.h"
#include "app/panel/qt/Label.h"
#include "app/panel/qt/Spinner.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"

namespace norvane {

// The chip: a pill, outlined while the choices are open.
class ChipButton final : public PillButton {
public:
    explicit ChipButton(const NowTab::Chip& chip) : PillButton(qs(chip.label), chip.pill), pill_(chip.pill) {
        set(chip);
    }
    const Pill& pill() const { return pill_; }
    void set(const NowTab::Chip& chip) {
        if (text() != qs(chip.label)) {
            setText(qs(chip.label));
            updateGeometry();
        }
        setAccessibleName(qs(chip.accessibility));
        setAccessibleDescription(QString::fromUtf8(NowTab::chipHint));
        if (chip.outlined != outlined_) {
            outlined_ = chip.outlined;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        PillButton::paintEvent(event);
        if (!outlined_) return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(toQColor(NowTab::chipBorder), 1));
        const QRectF inner = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);  // inside the edge
        painter.drawRoundedRect(inner, inner.height() / 2, inner.height() / 2);
    }

private:
    Pill pill_;
    bool outlined_ = false;
};

namespace {

// The mark of a summary worded on the device: a four-pointed star with a small one beside it.
class Sparkles final : public QWidget {
public:
    Sparkles() {
        const int side = static_cast<int>(NowTab::aiMarkSize) + 2;
        setFixedSize(side, side);
        setToolTip(QString::fromUtf8(NowTab::aiHelp));
        setAccessibleName(QString::fromUtf8(NowTab::aiLabel));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(NowTab::aiMark));
        const auto star = [&](QPointF c, double r) {
            QPainterPath path;
            path.moveTo(c.x(), c.y() - r);
            path.quadTo(c, QPointF(c.x() + r, c.y()));
            path.quadTo(c, QPointF(c.x(), c.y() + r));
            path.quadTo(c, QPointF(c.x() - r, c.y()));
            path.quadTo(c, QPointF(c.x(), c.y() - r));
            painter.drawPath(path);
        };
        const double s = NowTab::aiMarkSize;
        star({s * 0.42 + 1, s * 0.58 + 1}, s * 0.42);
        star({s * 0.82 + 1, s * 0.2 + 1}, s * 0.2);
    }
};

}  // namespace

HeadlineView::HeadlineView(AppModel& model, MainQueue& queue, NowTab& tab, Color accent, std::function<void()> toggled,
                           QWidget* parent)
    : QWidget(parent),
      m_(model),
      queue_(queue),
      tab_(tab),
      accent_(accent),
      toggled_(std::move(toggled)),
      fade_(queue) {
    auto* outer = vbox(this, NowTab::rowSpacing);
    const int padding = static_cast<int>(NowTab::sectionPadding);
    outer->setContentsMargins(padding, 0, padding, 0);

    QVBoxLayout* column = nullptr;
    QWidget* left = boxed(column, NowTab::columnSpacing);
    title_ = new Label("", NowTab::titleStyle());
    column->addWidget(title_);
    QHBoxLayout* detailRow = nullptr;
    QWidget* detail = boxed(detailRow, NowTab::detailSpacing);
    detail_ = new Label("", note());
    sparkles_ = new Sparkles;
    // The mark follows the detail: the detail is no wider than its text on one line.
    detailRow->addWidget(detail_, 1);
    detailRow->addWidget(sparkles_, 0, Qt::AlignVCenter);
    detailRow->addStretch(0);
    column->addWidget(detail);

    QWidget* row = boxed(row_, NowTab::rowSpacing);
    row_->setAlignment(Qt::AlignTop);
    row_->addWidget(left, 1, Qt::AlignTop);
    outer->addWidget(row);

    choices_ = boxed(choicesBox_, NowTab::choiceSpacing);
    choices_->hide();
    outer->addWidget(choices_);
    refresh();
}

void HeadlineView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

QAbstractButton* HeadlineView::chip() const {
    return chip_;
}

void HeadlineView::refresh() {
    const auto headline = NowTab::headline(m_);
    title_->setText(headline.title);
    detail_->setText(headline.detail);
    detail_->setMaximumWidth(detail_->naturalWidth());
    sparkles_->setVisible(headline.byAI);
    refreshChip();
    refreshChoices();
}

void HeadlineView::refreshChip() {
    const auto chip = tab_.chip(m_, accent_);
    if (chip == chipShown_) return;
    chipShown_ = chip;
    // A new look needs a new pill; the label and the outline change in place.
    if (chip_ && (!chip || chip_->pill() != chip->pill)) {
        chip_->hide();
        chip_->deleteLater();  // the tap that changed it may still be under way
        chip_ = nullptr;
    }
    if (!chip) return;
    if (!chip_) {
        chip_ = new ChipButton(*chip);
        connect(chip_, &QAbstractButton::clicked, this, [this] { tapChip(); });
        row_->addWidget(chip_, 0, Qt::AlignTop);
    }
    chip_->set(*chip);
}

void HeadlineView::tapChip() {
    tab_.tapChip();
    if (tab_.limitOpen) {
        refresh();
        if (!choices_->isHidden()) fade_.run(choices_, true);
    } else {
        fade_.run(choices_, false);  // what they show stays until they are hidden
        refresh();
    }
    toggled_();
}

void HeadlineView::refreshChoices() {
    const auto choices = tab_.choices(m_);
    if (!choices) {
        // Closing fades out; what the choices showed stays until they are hidden.
        if (!fade_.running()) choices_->hide();
        return;
    }
    if (form_ != choices->index()) {
        clearChoices();
        form_ = choices->index();
    }
    if (const auto* once = std::get_if<NowTab::FullOnceChoice>(&*choices))
        fullOnceForm(*once);
    else
        listForm(std::get<NowTab::LimitList>(*choices));
    if (choices_->isHidden() && !fade_.running()) choices_->show();
}

void HeadlineView::clearChoices() {
    while (QLayoutItem* item = choicesBox_->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    choiceNote_ = limitNote_ = nullptr;
    cancel_ = fullOnce_ = nullptr;
    segments_ = nullptr;
    spinner_ = nullptr;
    segmentsShown_.clear();
}

void HeadlineView::fullOnceForm(const NowTab::FullOnceChoice& choice) {
    if (!cancel_) {
        QHBoxLayout* row = nullptr;
        QWidget* box = boxed(row, NowTab::choiceSpacing);
        row->setAlignment(Qt::AlignTop);
        choiceNote_ = new Label(choice.text, note());
        row->addWidget(choiceNote_, 1, Qt::AlignTop);
        flexible(row, NowTab::FullOnceChoice::leastGap);
        cancel_ = new PillButton(QString::fromUtf8(NowTab::FullOnceChoice::cancel), NowTab::quietPill);
        connect(cancel_, &QAbstractButton::clicked, this, [this] { m_.endFullOnce(); });
        row->addWidget(cancel_, 0, Qt::AlignTop);
        choicesBox_->addWidget(box);
    }
    choiceNote_->setText(choice.text);
    cancel_->setEnabled(choice.cancelEnabled);
}

void HeadlineView::listForm(const NowTab::LimitList& list) {
    if (!segments_) {
        QHBoxLayout* row = nullptr;
        QWidget* box = boxed(row, NowTab::choiceSpacing);
        segments_ = new SegmentsView;
        segments_->setAccessibleName(QString::fromUtf8(NowTab::LimitList::label));
        segments_->setOnTap([this](std::size_t index) {
            if (index < options_.size()) m_.setLimit(options_[index]);
            // The limit shown is the model's, whatever the tap chose.
            segments_->setSegments(segmentsShown_);
        });
        row->addWidget(segments_);
        spinner_ = new Spinner(queue_);
        row->addWidget(spinner_);
        row->addStretch();
        choicesBox_->addWidget(box);
        fullOnce_ = new PillButton(QString::fromUtf8(NowTab::LimitList::fullOnce), NowTab::quietPill);
        fullOnce_->setToolTip(QString::fromUtf8(NowTab::LimitList::fullOnceHelp));
        connect(fullOnce_, &QAbstractButton::clicked, this, [this] { m_.chargeFullOnce(); });
        choicesBox_->addWidget(fullOnce_, 0, Qt::AlignLeft);
        limitNote_ = new Label("", note());
        choicesBox_->addWidget(limitNote_);
    }
    options_ = list.options;
    if (list.segments != segmentsShown_) {
        segmentsShown_ = list.segments;
        segments_->setSegments(segmentsShown_);
    }
    setUsable(segments_, list.enabled);
    spinner_->setVisible(list.busy);
    fullOnce_->setVisible(list.offersFullOnce);
    fullOnce_->setEnabled(list.enabled);
    limitNote_->setText(list.note.value_or(""));
    limitNote_->setVisible(list.note.has_value());
}

}  // namespace norvane
