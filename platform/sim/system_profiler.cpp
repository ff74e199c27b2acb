// system_profiler: answers `system_profiler <DataType> -json` with the machine folder's
// system_profiler/<DataType>.json, as the real command prints it.

#include <string>
#include <vector>

#include "platform/sim/SimCommand.h"

using namespace norvane;

int main(int argc, char** argv) {
    std::vector<std::string> types;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-json") {
            json = true;
        } else if (arg == "-detailLevel" || arg == "-timeout") {
            ++i;  // accepted and ignored, as their values do not change our answer
        } else if (!arg.empty() && arg[0] == '-') {
            sim::writeError("system_profiler: unknown option " + arg + "\n");
            return 1;
        } else {
            types.push_back(arg);
        }
    }
    if (!json || types.size() != 1) {
        sim::writeError("system_profiler: this machine answers only `system_profiler <DataType> -json`\n");
        return 1;
    }
    auto machine = sim::machine("system_profiler");
    if (!machine) return 1;
    if (types[0].find('/') != std::string::npos) return 1;
    auto text = readFile(machine->file("system_profiler/" + types[0] + ".json"));
    // A data type the Mac does not know prints an empty list.
    sim::writeOut(text ? *text : "{\n  \"" + types[0] + "\" : [\n\n  ]\n}\n");
    return 0;
}
