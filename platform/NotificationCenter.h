#pragma once
// The user-notification centre: the app adds requests, which are delivered at once; it asks
// the user once whether it may notify; and it names a delegate that decides how a
// notification shows while the app is frontmost (without one it does not show then).

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "platform/Machine.h"
#include "platform/Time.h"

namespace norvane {

struct NotificationContent {
    std::string title;
    std::string body;
};

// A request without a trigger: delivered as soon as it is added.
struct NotificationRequest {
    std::string identifier;
    NotificationContent content;
};

struct Notification {
    Date date;
    NotificationRequest request;
};

struct PresentationOptions {
    bool banner = false;
    bool list = false;
    bool sound = false;
    bool operator==(const PresentationOptions&) const = default;
};

struct AuthorizationOptions {
    bool alert = false;
    bool sound = false;
};

// What the user has allowed: not decided yet, refused, allowed, allowed quietly until the
// user decides (provisional), or allowed for a limited time (ephemeral).
enum class AuthorizationStatus { notDetermined, denied, authorized, provisional, ephemeral };

// The user's answer, or the error that kept the question from being asked.
struct AuthorizationAnswer {
    bool granted = false;
    std::optional<std::string> error;
};

class NotificationCenter;

class NotificationCenterDelegate {
public:
    virtual ~NotificationCenterDelegate() = default;
    // A notification arrives while the app is frontmost: complete with how to show it.
    virtual void willPresent(NotificationCenter& center, const Notification& notification,
                             std::function<void(PresentationOptions)> completionHandler) = 0;
};

class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;
    // The centre does not own its delegate, which must outlive it (or be unset first).
    virtual void setDelegate(NotificationCenterDelegate* delegate) = 0;
    // Failures are not reported; a request the user has not allowed is dropped.
    virtual void add(const NotificationRequest& request) = 0;
    // Asks the user the first time; later calls give the stored answer. Waits for the
    // user, so it belongs on a background job.
    virtual AuthorizationAnswer requestAuthorization(AuthorizationOptions options) = 0;
    // The permission as the settings hold it now, without asking anyone. A centre that keeps
    // no settings has decided nothing.
    virtual AuthorizationStatus authorizationStatus() const { return AuthorizationStatus::notDetermined; }
};

// The centre of a machine folder: the user's permission, their answer when asked and whether
// the app is frontmost come from notifications/center.json; every request is appended to
// notifications/requests.jsonl with its time (from `clock`), whether it was delivered and,
// when the app was frontmost, how the delegate had it shown.
class MachineNotificationCenter final : public NotificationCenter {
public:
    explicit MachineNotificationCenter(Machine machine, std::function<Date()> clock = &Date::now)
        : machine_(std::move(machine)), clock_(std::move(clock)) {}
    void setDelegate(NotificationCenterDelegate* delegate) override { delegate_ = delegate; }
    void add(const NotificationRequest& request) override;
    AuthorizationAnswer requestAuthorization(AuthorizationOptions options) override;
    AuthorizationStatus authorizationStatus() const override;

private:
    Machine machine_;
    std::function<Date()> clock_;
    std::atomic<NotificationCenterDelegate*> delegate_ = nullptr;
};

// A fresh random (version 4) UUID in the usual upper-case text form.
std::string uuidString();

}  // namespace norvane
