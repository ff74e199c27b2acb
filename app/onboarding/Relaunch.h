#pragma once
// Starting the app again from the tour, so that it resumes at the same step (a permission
// granted in System Settings often shows only in a new process).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/model/System.h"
#include "platform/MainQueue.h"

namespace norvane {

struct RelaunchCommand {
    std::string program;
    std::vector<std::string> arguments;
    bool operator==(const RelaunchCommand&) const = default;
};

// From an application bundle: `open -n BUNDLE`, with "--args" and this process's arguments
// when it has any. Otherwise the executable itself with those arguments.
RelaunchCommand relaunchCommand(const MainBundle& bundle, const Path& executable,
                                const std::vector<std::string>& arguments);

// What the running instance gives up while the new one starts: it stops answering second
// starts (`release`), so the new instance does not hand itself back to this one and end, and
// answers them again (`reclaim`) when the new one could not start.
struct Handover {
    std::function<void()> release;
    std::function<void()> reclaim;
};

// Marks the tour to resume at the next launch and starts a new instance (`executable` is
// this program's path). Once it has started, the app is asked to terminate. When it cannot
// be started, the app stays: the resume mark is taken back, the reason logged and handed to
// `failed` (on the queue), so the tour can say so.
void relaunch(std::shared_ptr<const System> system, MainQueue& queue, const Path& executable,
              Handover handover = {}, std::function<void(const std::string& reason)> failed = {});

}  // namespace norvane
