#pragma once
// How the tour moves: the damped spring that eases its changes, the slide (or cross-fade)
// between pages, and the frames of its pictures, which are locked to the clock so that a
// picture is in the same phase whenever it is shown.

#include "platform/Time.h"

namespace norvane {

// Seconds since 2001-01-01 00:00:00 UTC, the clock the pictures' frames count on.
double referenceSeconds(Date date);

// Frame `floor(t / period)` of a picture whose frames repeat every `cycle`, as a remainder in
// 0 … cycle − 1 also for a time before the reference date; 0 when the time is not finite.
int timelineFrame(double t, double period, int cycle);
// How often a picture redraws: every period, or once an hour when it stands still.
inline double timelinePeriod(double period, bool still) {
    return still ? 3600 : period;
}

// A damped spring from 0 to 1 (mass 1): `response` is the period of the undamped motion in
// seconds, `damping` the fraction of the critical damping.
struct Spring {
    double response = 0.32;
    double damping = 0.85;

    // Where it is `t` seconds after it started; 1 from the start when it has no response.
    double value(double t) const;
    // When it stays within a thousandth of its end: the animation can stop then.
    double duration() const;
};

inline constexpr Spring stepSpring{0.32, 0.85};    // a step change of the tour
inline constexpr Spring accessSpring{0.3, 0.85};   // the access card's state
inline constexpr Spring bannerSpring{0.35, 0.85};  // the mock banner's change
inline constexpr Spring modesSpring{0.25, 0.85};   // the mock energy-mode switch

// The change of page: the new page slides in 36 points from the side it comes from while
// fading in and the old one leaves to the other side; with reduce motion they cross-fade.
struct PageTransition {
    static constexpr double slide = 36;
    double enterFrom = 0;  // the new page's horizontal offset when it starts
    double leaveTo = 0;    // the old page's when it has gone

    struct Frame {
        double enteringOffset, enteringOpacity;
        double leavingOffset, leavingOpacity;
        bool operator==(const Frame&) const = default;
    };
    // At a progress of the spring (0 … 1, overshoot included).
    Frame at(double progress) const;
    bool operator==(const PageTransition&) const = default;
};
// Forward: in from the right (+36), out to the left (−36); back: the reverse.
PageTransition pageTransition(bool forward, bool still);

}  // namespace norvane
