#include "app/visuals/qt/DotView.h"

#include "app/visuals/qt/Accessibility.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

// Whole pixels, rounded up; a size that is not a finite, sane number of pixels gives 0.
int whole(double length) { return std::isfinite(length) ? static_cast<int>(std::ceil(std::clamp(length, 0.0, 16384.0))) : 0; }
QSize whole(QSizeF size) { return {whole(size.width()), whole(size.height())}; }

// Fixed-size layouts are drawn at their own frame, centred in the widget.
DotView::Layout centred(DotLayout layout) {
    return [layout](double width, double height) {
        DotLayout out = layout;
        const double dx = (width - layout.width) / 2, dy = (height - layout.height) / 2;
        for (Dot& d : out.dots) {
            d.x += dx;
            d.y += dy;
        }
        return out;
    };
}

DotView* fixed(const DotLayout& layout) {
    return new DotView(centred(layout), QSizeF(layout.width, layout.height), false);
}

}  // namespace

DotView::DotView(Layout layout, QSizeF size, bool stretches, QWidget* parent)
    : QWidget(parent), layout_(std::move(layout)), size_(whole(size)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(stretches ? QSizePolicy::Expanding : QSizePolicy::Fixed, QSizePolicy::Fixed);
    resize(size_);
}

void DotView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintDots(painter, currentLayout());
}

void DotView::setLayout(Layout layout, QSizeF size) {
    layout_ = std::move(layout);
    if (const QSize wanted = whole(size); wanted != size_) {
        size_ = wanted;
        updateGeometry();
    }
    update();
}

void DotView::setFixed(const DotLayout& layout) { setLayout(centred(layout), QSizeF(layout.width, layout.height)); }

DotView* DotView::text(const DotText& text) { return fixed(text.layout()); }
DotView* DotView::glyph(const DotGlyph& glyph) { return fixed(glyph.layout()); }
DotView* DotView::bar(const DotBar& bar) { return fixed(bar.layout()); }

DotView* DotView::ring(const Ring& ring, QSizeF size) {
    auto* view = new DotView([ring](double w, double h) { return ring.layout(w, h); }, size, false);
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return view;
}

DotView* DotView::progress(const DotProgress& progress, double width) {
    auto* view = new DotView([progress](double w, double) { return progress.layout(w); },
                             QSizeF(width, DotProgress::height), true);
    setAccessibleRole(view, QAccessible::ProgressBar);
    view->setAccessibleName(QString::fromUtf8(DotProgress::accessibilityLabel));
    view->setAccessibleDescription(QString::fromStdString(progress.accessibilityValue()));
    return view;
}

DotView* DotView::columns(const DotColumns& columns, double width) {
    return new DotView([columns](double w, double) { return columns.layout(w); }, QSizeF(width, DotColumns::height),
                       true);
}

DotView* DotView::history(const HistoryChart& chart, double width) {
    return new DotView([chart](double w, double) { return chart.layout(w); }, QSizeF(width, HistoryChart::height),
                       true);
}

DotView* DotView::icon(const DotIcon& icon, const DotIcon::Sampler& sample) {
    // The samples are looked up at paint time, so an icon that could not be had yet is
    // asked for again on the next paint.
    const double side = icon.pitch * icon.cells;
    return new DotView([icon, sample](double, double) { return icon.layout(icon.colors(sample)); }, QSizeF(side, side),
                       false);
}

}  // namespace norvane
