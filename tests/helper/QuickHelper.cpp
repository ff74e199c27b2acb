// The helper program with a short idle time, so that a test sees it quit and start again
// without waiting the product's 20 seconds.
#include "helper/Helper.h"

int main(int argc, char** argv) { return norvane::daemon::helperMain(argc, argv, 3.0); }
