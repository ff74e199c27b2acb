#pragma once
// A widget that paints one dot layout, laid out afresh for its size on every paint.

#include <QWidget>
#include <functional>

#include "app/visuals/DotColumns.h"
#include "app/visuals/DotBar.h"
#include "app/visuals/DotGlyph.h"
#include "app/visuals/DotIcon.h"
#include "app/visuals/DotProgress.h"
#include "app/visuals/DotText.h"
#include "app/visuals/HistoryChart.h"
#include "app/visuals/Ring.h"

namespace norvane {

class DotView : public QWidget {
public:
    using Layout = std::function<DotLayout(double width, double height)>;
    // `size` is the preferred size; with `stretches` the width follows what the parent offers.
    DotView(Layout layout, QSizeF size, bool stretches, QWidget* parent = nullptr);

    // A new description in place: laid out again when its size changes, repainted.
    void setLayout(Layout layout, QSizeF size);
    // Fixed-size layouts (text, a glyph), drawn centred.
    void setFixed(const DotLayout& layout);

    DotLayout currentLayout() const { return layout_(width(), height()); }
    QSize sizeHint() const override { return size_; }

    static DotView* text(const DotText& text);
    static DotView* glyph(const DotGlyph& glyph);
    static DotView* ring(const Ring& ring, QSizeF size);
    static DotView* bar(const DotBar& bar);
    static DotView* progress(const DotProgress& progress, double width);
    static DotView* columns(const DotColumns& columns, double width);
    static DotView* history(const HistoryChart& chart, double width);
    static DotView* icon(const DotIcon& icon, const DotIcon::Sampler& sample);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Layout layout_;
    QSize size_;
};

}  // namespace norvane
