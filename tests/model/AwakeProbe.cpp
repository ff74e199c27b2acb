// Stands in for the application in the end-to-end test of keep-awake: a model on the
// machine folder in use, running from the given bundle, holds the Mac awake with the lid
// closed, writes its lid guard's pid to a file and waits to be killed.
//
//   norvane_awake_probe BUNDLE PIDFILE

#include <unistd.h>

#include <string>

#include "tests/model/ModelProbe.h"

using namespace norvane;

int main(int argc, char** argv) {
    const auto machine = Machine::current();
    if (argc != 3 || !machine) return 2;
    const Path bundle = argv[1];
    VirtualQueue queue;
    AppModel model(System::onMachine(*machine, {}, std::make_shared<FolderBundle>(bundle),
                                     std::make_shared<UserDefaults>(bundle.parent_path() / "defaults.plist"),
                                     std::make_shared<RecordingHotkeys>(), std::make_shared<FixedTint>()),
                   queue);
    ModelProbe probe(model);
    probe.battery(plugged(80, false));
    model.setAwakeLid(true);
    model.startAwake(AwakeMode::untilStopped());
    const auto& guard = probe.awakeHold().lidGuard();
    if (!guard || !writeFileAtomically(argv[2], std::to_string(guard->pid()))) return 1;
    for (;;) ::pause();
}
