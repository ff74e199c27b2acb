#pragma once
// What the panel asks of the application around it, which the shell hands it: the tour's
// model and the way to show the tour, whether this copy runs from an application bundle,
// and how to quit.

#include <functional>

namespace norvane {

class Onboarding;

struct PanelShell {
    Onboarding* tour = nullptr;  // the shell's tour model, which outlives the panel
    bool tourOffered = false;    // fixed for the process: no tour, no way into it
    bool fromBundle = false;     // the login item is offered only to a bundle
    std::function<void()> showTour;  // opens the tour window or brings it forward
    std::function<void()> quit;      // asks the application to terminate
};

}  // namespace norvane
