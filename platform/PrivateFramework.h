#pragma once
// A private framework reached at run time: an image loaded by path, a class found by name,
// objects that do or do not respond to a selector, and calls that hand back a value and
// the error they wrote to their error out-parameter.

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/Machine.h"
#include "platform/Value.h"

namespace norvane {

class FrameworkObject;

// What one call gives back. A Boolean result is a Boolean, a number an integer, a list an
// array, and nil is null; a call that returns an object (an initialiser) gives `object`.
struct FrameworkReply {
    Value result;
    std::shared_ptr<FrameworkObject> object;
    std::optional<std::string> error;  // the error's localized description
};

class FrameworkObject {
public:
    virtual ~FrameworkObject() = default;
    virtual bool respondsToSelector(std::string_view selector) const = 0;
    // Performs a selector the object responds to, with its one argument (null for none).
    virtual FrameworkReply perform(std::string_view selector, const Value& argument = Value()) = 0;
};

class PrivateFramework {
public:
    virtual ~PrivateFramework() = default;
    // Loads the image at the path (its result is not reported: the class lookup decides).
    virtual void loadImage(std::string_view path) = 0;
    // A new, uninitialised instance of the class; null when no loaded image has it.
    virtual std::shared_ptr<FrameworkObject> allocate(std::string_view className) = 0;
};

inline constexpr std::string_view powerUIImage = "/System/Library/PrivateFrameworks/PowerUI.framework/Versions/A/PowerUI";

// The frameworks of a machine folder. The charge-limit image exists when the folder holds
// PowerUI/SmartChargeClient.json; its class is "PowerUISmartChargeClient".
class MachineFrameworks final : public PrivateFramework {
public:
    explicit MachineFrameworks(Machine machine) : machine_(std::move(machine)) {}
    void loadImage(std::string_view path) override;
    std::shared_ptr<FrameworkObject> allocate(std::string_view className) override;

private:
    Machine machine_;
    std::mutex mutex_;
    std::set<std::string, std::less<>> loaded_;
};

}  // namespace norvane
