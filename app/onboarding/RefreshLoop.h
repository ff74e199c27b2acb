#pragma once
// The tour window's re-probe: while the window is shown the permissions are asked again a
// second after each refresh has ended, so that one granted in System Settings shows by
// itself. Hidden, it asks nothing and keeps no timer.

#include <memory>

#include "app/onboarding/Onboarding.h"
#include "platform/MainQueue.h"

namespace norvane {

class RefreshLoop {
public:
    // Both must outlive the loop.
    RefreshLoop(Onboarding& tour, MainQueue& queue) : tour_(tour), queue_(queue) {}
    ~RefreshLoop() { hide(); }
    RefreshLoop(const RefreshLoop&) = delete;
    RefreshLoop& operator=(const RefreshLoop&) = delete;

    // The first refresh at once; nothing more when already shown.
    void show();
    // A refresh under way ends, but starts no other.
    void hide();
    bool shown() const { return token_ != nullptr; }

private:
    void cycle(const std::shared_ptr<RefreshLoop*>& token);

    Onboarding& tour_;
    MainQueue& queue_;
    std::shared_ptr<RefreshLoop*> token_;  // one per showing
    Task wait_;
};

}  // namespace norvane
