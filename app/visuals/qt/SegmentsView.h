#pragma once
// The segmented picker: a row of segment buttons on a faint capsule. The caller keeps the
// selection: a tap reports the segment's index, and the caller hands back new segments,
// which update the buttons in place. Disabled, it is drawn at 40 % and answers nothing.

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/visuals/Segments.h"
#include "app/visuals/qt/Parts.h"

class QHBoxLayout;

namespace norvane {

class SegmentsView : public QWidget {
public:
    explicit SegmentsView(QWidget* parent = nullptr);
    void setOnTap(std::function<void(std::size_t)> onTap) { onTap_ = std::move(onTap); }
    void setSegments(const std::vector<Segment>& segments);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void(std::size_t)> onTap_;
    QHBoxLayout* row_;
    Parts parts_;
};

// A picker that keeps itself in step with its selection; `chosen` hears of each tap.
template <class T>
SegmentsView* segmentsView(Segments<T> picker, std::function<void(const T&)> chosen = {}) {
    auto state = std::make_shared<Segments<T>>(std::move(picker));
    auto* view = new SegmentsView;
    view->setOnTap([state, view, chosen](std::size_t index) {
        state->tap(index);
        view->setSegments(state->segments());
        if (chosen) chosen(state->selection);
    });
    view->setSegments(state->segments());
    return view;
}

}  // namespace norvane
