#include "app/visuals/qt/SegmentsView.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>
#include <cmath>

#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

// One segment: its whole capsule is the tap area. Checked when selected, which is what
// assistive tools read as the selected trait.
class SegmentButton final : public QAbstractButton {
public:
    SegmentButton(const Segment& segment, QWidget* parent) : QAbstractButton(parent), segment_(segment) {
        const QString title = QString::fromStdString(segment.title);
        setText(title);
        setAccessibleName(title);
        setCheckable(true);
        setChecked(segment.selected);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override {
        // The label keeps its ideal size: long titles widen the control rather than being cut.
        const TextFace label(segment_.label);
        return {static_cast<int>(std::ceil(label.advance(text()) + 2 * segment_.horizontalPadding)),
                static_cast<int>(std::ceil(label.height() + 2 * SegmentsStyle::verticalPadding))};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = rect();
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(segment_.fill));
        painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
        TextFace(segment_.label).draw(painter, box, Qt::AlignCenter, text());
    }

private:
    Segment segment_;
};

}  // namespace

SegmentsView::SegmentsView(QWidget* parent) : QWidget(parent), row_(new QHBoxLayout(this)) {
    const int inset = static_cast<int>(SegmentsStyle::inset);
    row_->setContentsMargins(inset, inset, inset, inset);
    row_->setSpacing(static_cast<int>(SegmentsStyle::spacing));
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SegmentsView::setSegments(const std::vector<Segment>& segments) {
    while (QLayoutItem* item = row_->takeAt(0)) {
        if (QWidget* old = item->widget()) {
            old->hide();
            old->deleteLater();  // a tap may be replacing the very button being clicked
        }
        delete item;
    }
    for (std::size_t i = 0; i < segments.size(); ++i) {
        auto* button = new SegmentButton(segments[i], this);
        QObject::connect(button, &QAbstractButton::clicked, this, [this, i] {
            if (onTap_) onTap_(i);
        });
        row_->addWidget(button);
    }
    row_->activate();
    adjustSize();
    update();
}

void SegmentsView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(SegmentsStyle::track));
    const QRectF box = rect();
    painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
}

}  // namespace norvane
