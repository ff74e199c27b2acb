#include "platform/qt/QtMainQueue.h"

#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace norvane {
namespace {

double clockSeconds(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Qt's timers take whole milliseconds in an int, so a delay is at most 24 days; it is
// kept finite and, for a repeating timer, at least a millisecond (zero would spin).
constexpr double longestDelay = 24 * 86'400.0;

double sanitized(double seconds, double least) {
    if (!std::isfinite(seconds)) return seconds > 0 ? longestDelay : least;
    return std::clamp(seconds, least, longestDelay);
}

timespec toTimespec(double seconds) {
    const double whole = std::floor(seconds);
    return {static_cast<time_t>(whole), static_cast<long>((seconds - whole) * 1e9)};
}

// A timer on the boot-time clock: Linux's timerfd keeps counting it while the system
// sleeps, as a Mac's continuous clock does.
class BootTimer final : public QObject {
public:
    BootTimer(QObject* parent, double seconds, double interval) : QObject(parent) {
        fd_ = ::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd_ < 0) return;
        itimerspec timing{};
        timing.it_value = toTimespec(std::max(seconds, 1e-9));  // zero would disarm it
        timing.it_interval = toTimespec(interval);
        if (::timerfd_settime(fd_, 0, &timing, nullptr) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    }
    ~BootTimer() override {
        delete notifier_;
        if (fd_ >= 0) ::close(fd_);
    }
    bool armed() const { return notifier_ != nullptr; }
    QSocketNotifier* notifier() const { return notifier_; }
    // Clears the expirations; a timer that fell due many times during a sleep runs once.
    void acknowledge() const {
        std::uint64_t expirations = 0;
        [[maybe_unused]] auto n = ::read(fd_, &expirations, sizeof expirations);
    }

private:
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace

QtMainQueue::QtMainQueue() = default;

QtMainQueue::~QtMainQueue() { pool_.waitForDone(); }

void QtMainQueue::post(std::function<void()> work) {
    QMetaObject::invokeMethod(
        &context_, [work = std::move(work)] {
            if (work) work();
        },
        Qt::QueuedConnection);
}

Task QtMainQueue::after(double seconds, std::function<void()> work, ClockKind clock) {
    return schedule(sanitized(seconds, 0), 0, std::move(work), clock);
}

Task QtMainQueue::every(double seconds, std::function<void()> work, ClockKind clock) {
    const double interval = sanitized(seconds, 1e-3);
    return schedule(interval, interval, std::move(work), clock);
}

Task QtMainQueue::schedule(double seconds, double interval, std::function<void()> work, ClockKind clock) {
    Task task(std::make_shared<Task::State>(Task::State{std::move(work), false}));
    arm(task, seconds, interval, clock);
    return task;
}

void QtMainQueue::arm(const Task& task, double seconds, double interval, ClockKind clock) {
    const bool repeats = interval > 0;
    // Runs the work unless cancelled; tells whether the timer is finished with.
    auto fire = [task, repeats] {
        if (task.cancelled()) return true;
        auto work = task.state()->work;  // the work may cancel its own task
        if (work) work();
        return !repeats || task.cancelled();
    };

    if (clock == ClockKind::uptime) {
        // Qt's timers run on the monotonic clock, which stands still while the system sleeps.
        auto* timer = new QTimer(&context_);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(!repeats);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, fire] {
            if (fire()) {
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start(static_cast<int>(std::ceil(seconds * 1000)));
        return;
    }

    auto* timer = new BootTimer(&context_, seconds, interval);
    if (!timer->armed()) {
        // Without a timer descriptor the monotonic clock has to do.
        delete timer;
        arm(task, seconds, interval, ClockKind::uptime);
        return;
    }
    QObject::connect(timer->notifier(), &QSocketNotifier::activated, timer, [timer, fire] {
        timer->acknowledge();
        if (fire()) {
            timer->notifier()->setEnabled(false);
            timer->deleteLater();
        }
    });
}

void QtMainQueue::background(Priority priority, std::function<std::function<void()>()> job) {
    const int rank = priority == Priority::userInitiated ? 2 : priority == Priority::utility ? 1 : 0;
    pool_.start(
        [this, job = std::move(job)] {
            if (!job) return;
            if (auto back = job()) post(std::move(back));
        },
        rank);
}

Date QtMainQueue::now() const { return Date::now(); }
double QtMainQueue::continuous() const { return clockSeconds(CLOCK_BOOTTIME); }
double QtMainQueue::uptime() const { return clockSeconds(CLOCK_MONOTONIC); }

}  // namespace norvane
