#include "app/panel/qt/HeadlineView.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "app/visuals/qt/Accessibility.h"
#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/Fade.h"
#include "app/panel/qt/Spinner.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/Parts.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {

// The chip: a pill, edged while the choices are open.
class ChipButton final : public PillButton {
public:
    explicit ChipButton(const NowTab::Chip& chip) : PillButton(qs(chip.label), chip.pill) { set(chip); }
    void set(const NowTab::Chip& chip) {
        setPill(chip.pill);
        setEdge(chip.outlined ? std::optional(NowTab::chipBorder) : std::nullopt);
        if (text() != qs(chip.label)) {
            setText(qs(chip.label));
            updateGeometry();
        }
        setAccessibleName(qs(chip.accessibility));
        setAccessibleDescription(QString::fromUtf8(NowTab::chipHint));
    }
};

namespace {

// The mark of a summary worded on the device: a four-pointed star with a small one beside it.
class Sparkles final : public QWidget {
public:
    Sparkles() {
        const int side = static_cast<int>(NowTab::aiMarkSize) + 2;
        setFixedSize(side, side);
        setToolTip(QString::fromUtf8(NowTab::aiHelp));
        setAccessibleRole(this, QAccessible::Graphic);  // before the name, which may make its interface
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

// While a charge to full once runs: what happens, and Cancel.
class FullOnceForm final : public QWidget {
public:
    explicit FullOnceForm(AppModel& m) {
        auto* row = hbox(this, NowTab::choiceSpacing);
        text_ = new TextLabel(QString(), note());
        row->addWidget(text_, 1);  // unaligned: a wrapped text takes the height of its lines
        flexible(row, NowTab::FullOnceChoice::leastGap);
        cancel_ = new PillButton(QString::fromUtf8(NowTab::FullOnceChoice::cancel), NowTab::quietPill);
        connect(cancel_, &QAbstractButton::clicked, this, [&m] { m.cancelFullOnce(); });
        row->addWidget(cancel_, 0, Qt::AlignTop);
    }
    void set(const NowTab::FullOnceChoice& choice) {
        text_->setText(qs(choice.text));
        cancel_->setEnabled(choice.cancelEnabled);
    }

private:
    TextLabel* text_;
    PillButton* cancel_;
};

// Otherwise: OFF and macOS's limits, the one-time full charge, the last change's outcome.
class LimitForm final : public QWidget {
public:
    LimitForm(AppModel& m, MainQueue& queue) {
        auto* column = vbox(this, NowTab::choiceSpacing);
        QHBoxLayout* row = nullptr;
        column->addWidget(boxed(row, NowTab::choiceSpacing));
        segments_ = new SegmentsView;
        segments_->setAccessibleName(QString::fromUtf8(NowTab::LimitList::label));
        segments_->setOnTap([this, &m](std::size_t index) {
            if (index < options_.size()) m.setLimit(options_[index]);
            segments_->setSegments(shown_);  // the model's limit, whatever the tap chose
        });
        row->addWidget(segments_);
        spinner_ = new Spinner(queue);
        row->addWidget(spinner_);
        row->addStretch();
        fullOnce_ = new PillButton(QString::fromUtf8(NowTab::LimitList::fullOnce), NowTab::quietPill);
        fullOnce_->setToolTip(QString::fromUtf8(NowTab::LimitList::fullOnceHelp));
        connect(fullOnce_, &QAbstractButton::clicked, this, [&m] { m.chargeFullOnce(); });
        column->addWidget(fullOnce_, 0, Qt::AlignLeft);
        note_ = new TextLabel(QString(), note());
        column->addWidget(note_);
    }
    void set(const NowTab::LimitList& list) {
        options_ = list.options;
        shown_ = list.segments;
        segments_->setSegments(shown_);
        segments_->setEnabled(list.enabled);
        spinner_->setVisible(list.busy);
        fullOnce_->setVisible(list.offersFullOnce);
        fullOnce_->setEnabled(list.enabled);
        note_->setText(qs(list.note.value_or("")));
        note_->setVisible(list.note.has_value());
    }
    SegmentsView* segments() const { return segments_; }

private:
    std::vector<std::int64_t> options_;
    std::vector<Segment> shown_;
    SegmentsView* segments_;
    Spinner* spinner_;
    PillButton* fullOnce_;
    TextLabel* note_;
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
    title_ = new TextLabel(QString(), NowTab::titleStyle());
    column->addWidget(title_);
    QHBoxLayout* detailRow = nullptr;
    QWidget* detail = boxed(detailRow, NowTab::detailSpacing);
    detail_ = new TextLabel(QString(), note());
    sparkles_ = new Sparkles;
    // The mark follows the detail: the detail is no wider than its text on one line.
    detailRow->addWidget(detail_, 1);
    detailRow->addWidget(sparkles_, 0, Qt::AlignVCenter);
    detailRow->addStretch(0);
    column->addWidget(detail);

    QWidget* row = boxed(row_, NowTab::rowSpacing);
    row_->addWidget(left, 1);  // unaligned: the wrapped lines take the height they need
    outer->addWidget(row);

    QVBoxLayout* choices = nullptr;
    choices_ = boxed(choices, 0);
    choiceParts_ = std::make_unique<Parts>(choices);
    choices_->hide();
    outer->addWidget(choices_);
    refresh();
}

HeadlineView::~HeadlineView() = default;

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
    title_->setText(qs(headline.title));
    detail_->setText(qs(headline.detail));
    detail_->setMaximumWidth(static_cast<int>(std::ceil(TextFace(detail_->style()).advance(detail_->text()))) + 1);
    sparkles_->setVisible(headline.byAI);
    refreshChip();
    refreshChoices();
}

void HeadlineView::refreshChip() {
    const auto chip = tab_.chip(m_, accent_);
    if (chip_) chip_->setVisible(chip.has_value());
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
    if (const auto* once = std::get_if<NowTab::FullOnceChoice>(&*choices))
        choiceParts_->part<FullOnceForm>("full once", [this] { return new FullOnceForm(m_); })->set(*once);
    else
        choiceParts_->part<LimitForm>("limits", [this] { return new LimitForm(m_, queue_); })
            ->set(std::get<NowTab::LimitList>(*choices));
    choiceParts_->end();
    if (choices_->isHidden() && !fade_.running()) choices_->show();
}

SegmentsView* HeadlineView::limitSegments() const {
    const auto* form = dynamic_cast<LimitForm*>(choiceParts_->find("limits"));
    return form ? form->segments() : nullptr;
}

}  // namespace norvane
