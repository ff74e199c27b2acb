#include "app/onboarding/Motion.h"

#include <algorithm>
#include <cmath>

namespace norvane {
namespace {

constexpr double referenceDate = 978'307'200;  // 2001-01-01 00:00:00 UTC in Unix time
constexpr double settled = 0.001;
constexpr double pi = 3.14159265358979323846;

}  // namespace

double referenceSeconds(Date date) {
    return date.seconds - referenceDate;
}

int timelineFrame(double t, double period, int cycle) {
    if (cycle < 1 || !(period > 0)) return 0;
    const double whole = std::floor(t / period);
    if (!std::isfinite(whole)) return 0;
    // fmod keeps the sign of `whole`: a time before the reference date wraps round.
    double frame = std::fmod(whole, static_cast<double>(cycle));
    if (frame < 0) frame += cycle;
    return std::clamp(static_cast<int>(frame), 0, cycle - 1);
}

double Spring::value(double t) const {
    if (!(response > 0) || !(t > 0)) return response > 0 ? 0 : 1;
    const double omega = 2 * pi / response;
    const double zeta = std::max(damping, 0.0);
    if (zeta < 1) {
        const double decay = zeta * omega;
        const double damped = omega * std::sqrt(1 - zeta * zeta);
        return 1 - std::exp(-decay * t) * (std::cos(damped * t) + decay / damped * std::sin(damped * t));
    }
    if (zeta == 1) return 1 - std::exp(-omega * t) * (1 + omega * t);
    const double root = omega * std::sqrt(zeta * zeta - 1);
    const double fast = -zeta * omega - root, slow = -zeta * omega + root;
    return 1 - (fast * std::exp(slow * t) - slow * std::exp(fast * t)) / (fast - slow);
}

double Spring::duration() const {
    if (!(response > 0)) return 0;
    const double omega = 2 * pi / response;
    const double zeta = std::max(damping, 0.0);
    if (zeta < 1) {
        // The motion stays inside its envelope, which shrinks with the decay.
        const double decay = zeta * omega;
        if (!(decay > 0)) return 0;
        const double damped = omega * std::sqrt(1 - zeta * zeta);
        const double amplitude = std::sqrt(1 + (decay / damped) * (decay / damped));
        return std::log(amplitude / settled) / decay;
    }
    // Without overshoot the distance left only shrinks: step until it is small enough.
    double t = 0;
    while (1 - value(t) > settled && t < 60 * response)
        t += response / 100;
    return t;
}

PageTransition::Frame PageTransition::at(double progress) const {
    return {enterFrom * (1 - progress), std::clamp(progress, 0.0, 1.0), leaveTo * progress,
            std::clamp(1 - progress, 0.0, 1.0)};
}

PageTransition pageTransition(bool forward, bool still) {
    if (still) return {0, 0};
    constexpr double slide = PageTransition::slide;
    return forward ? PageTransition{slide, -slide} : PageTransition{-slide, slide};
}

}  // namespace norvane
