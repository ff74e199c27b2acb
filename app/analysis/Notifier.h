#pragma once
// Every notification of the app goes through the notifier, over the system's notification
// centre. A program outside an application bundle cannot use the centre, so nothing is sent
// or asked then.

#include <functional>
#include <string>
#include <string_view>

#include "platform/MainBundle.h"
#include "platform/NotificationCenter.h"

namespace norvane {

// The centre's delegate: notifications show as a banner, stay in the list and sound even
// while the app is frontmost (its panel open).
class BannerAlways final : public NotificationCenterDelegate {
public:
    void willPresent(NotificationCenter& center, const Notification& notification,
                     std::function<void(PresentationOptions)> completionHandler) override;
};

struct Notifier {
    // Delivered at once under a fresh identifier, so equal notices show twice; delivery
    // failures are not reported.
    static void send(const MainBundle& bundle, NotificationCenter& center, const std::string& title,
                     const std::string& body);
    // Asks the user for alerts and sounds and logs the answer; nothing depends on it. Waits
    // for the user, so it belongs on a background job.
    static void ask(const MainBundle& bundle, NotificationCenter& center,
                    const std::function<void(std::string_view)>& log);
    // The one delegate, made on first use and kept for the run.
    static BannerAlways& banners();
};

}  // namespace norvane
