#pragma once
// A part fading in or out over 0.15 s with an ease-out, as the Now page opens and closes
// its details. The frames run through the main queue; a part faded out is hidden at the end.
// The fade is the part's graphics effect: nothing inside it may hold one of its own.

#include <QPointer>
#include <QWidget>

#include "platform/MainQueue.h"

class QGraphicsOpacityEffect;

namespace norvane {

class Fade {
public:
    static constexpr double duration = 0.15;
    static constexpr double frame = 1.0 / 60;

    // The queue must outlive the fade.
    explicit Fade(MainQueue& queue) : queue_(queue) {}
    ~Fade() { frames_.cancel(); }
    Fade(const Fade&) = delete;
    Fade& operator=(const Fade&) = delete;

    // Shows the widget and fades it in, or fades it out and hides it.
    void run(QWidget* widget, bool in);
    bool running() const { return frames_.valid() && !frames_.cancelled(); }
    // The opacity at a share of the duration: 1 - (1 - t)^3, reversed when fading out.
    static double opacity(double t, bool in);

private:
    void finish();

    MainQueue& queue_;
    Task frames_;
    QPointer<QWidget> widget_;
    QPointer<QGraphicsOpacityEffect> effect_;
    bool in_ = true;
    double start_ = 0;
};

}  // namespace norvane
