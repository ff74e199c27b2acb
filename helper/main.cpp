#include "helper/Helper.h"

int main(int argc, char** argv) { return norvane::daemon::helperMain(argc, argv); }
