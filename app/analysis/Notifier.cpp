#include "app/analysis/Notifier.h"

namespace norvane {

void BannerAlways::willPresent(NotificationCenter&, const Notification&,
                               std::function<void(PresentationOptions)> completionHandler) {
    completionHandler(PresentationOptions{.banner = true, .list = true, .sound = true});
}

void Notifier::send(const MainBundle& bundle, NotificationCenter& center, const std::string& title,
                    const std::string& body) {
    if (!bundle.identifier()) return;
    center.add(NotificationRequest{uuidString(), NotificationContent{title, body}});
}

void Notifier::ask(const MainBundle& bundle, NotificationCenter& center,
                   const std::function<void(std::string_view)>& log) {
    if (!bundle.identifier()) return;
    const AuthorizationAnswer answer = center.requestAuthorization(AuthorizationOptions{.alert = true, .sound = true});
    if (answer.error)
        log("Norvane notifications: not allowed (" + *answer.error + ")");
    else
        log(std::string("Norvane notifications: ") + (answer.granted ? "allowed" : "not allowed"));
}

BannerAlways& Notifier::banners() {
    static BannerAlways instance;
    return instance;
}

}  // namespace norvane
