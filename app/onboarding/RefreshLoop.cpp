#include "app/onboarding/RefreshLoop.h"

#include "app/onboarding/TourWindow.h"

namespace norvane {

void RefreshLoop::show() {
    if (token_) return;
    token_ = std::make_shared<RefreshLoop*>(this);
    cycle(token_);
}

void RefreshLoop::hide() {
    token_.reset();
    wait_.cancel();
    wait_ = Task();
}

void RefreshLoop::cycle(const std::shared_ptr<RefreshLoop*>& token) {
    tour_.refresh([weak = std::weak_ptr(token)] {
        const auto alive = weak.lock();
        if (!alive) return;  // hidden meanwhile
        RefreshLoop& loop = **alive;
        loop.wait_ = loop.queue_.after(
            TourWindow::refreshInterval,
            [weak] {
                if (const auto again = weak.lock()) (*again)->cycle(again);
            },
            ClockKind::uptime);
    });
}

}  // namespace norvane
