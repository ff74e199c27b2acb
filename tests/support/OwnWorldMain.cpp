// norvane_own_world COMMAND [ARGUMENT…]: runs the command in a world of its own
// (tests/support/OwnWorld.h) and ends with its status. The journeys start themselves again
// through it.

#include <stdio.h>

#include "tests/support/OwnWorld.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        ::fprintf(stderr, "usage: norvane_own_world COMMAND [ARGUMENT…]\n");
        return 2;
    }
    return norvane::testing::runInOwnWorld({argv + 1, argv + argc});
}
