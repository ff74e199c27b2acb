#include "app/visuals/qt/SegmentsView.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <cmath>

#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

// One segment: its whole capsule is the tap area. Checked when selected, which is what
// assistive tools read as the selected trait.
class SegmentButton final : public QAbstractButton {
public:
    explicit SegmentButton(const Segment& segment) {
        setCheckable(true);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        set(segment);
    }
    void set(const Segment& segment) {
        const QString title = QString::fromStdString(segment.title);
        setText(title);
        setAccessibleName(title);
        setChecked(segment.selected);
        if (segment == segment_) return;
        if (segment.label != segment_.label || segment.horizontalPadding != segment_.horizontalPadding) updateGeometry();
        segment_ = segment;
        update();
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
        painter.setOpacity(isEnabled() ? 1 : SegmentsStyle::disabledOpacity);
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

SegmentsView::SegmentsView(QWidget* parent) : QWidget(parent), row_(new QHBoxLayout(this)), parts_(row_) {
    const int inset = static_cast<int>(SegmentsStyle::inset);
    row_->setContentsMargins(inset, inset, inset, inset);
    row_->setSpacing(static_cast<int>(SegmentsStyle::spacing));
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SegmentsView::setSegments(const std::vector<Segment>& segments) {
    for (std::size_t i = 0; i < segments.size(); ++i) {
        parts_.part<SegmentButton>(std::to_string(i), [this, i] {
                  auto* button = new SegmentButton({});
                  QObject::connect(button, &QAbstractButton::clicked, this, [this, i] {
                      if (onTap_) onTap_(i);
                  });
                  return button;
              })
            ->set(segments[i]);
    }
    if (parts_.end()) {
        row_->activate();
        adjustSize();
    }
}

void SegmentsView::paintEvent(QPaintEvent*) {
    // Dimmed while disabled by its own painting, not by a graphics effect: a part that fades
    // in or out holds one already, and Qt cannot paint one effect inside another.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1 : SegmentsStyle::disabledOpacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(SegmentsStyle::track));
    const QRectF box = rect();
    painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
}

}  // namespace norvane
