#include "app/shell/qt/AppDelegate.h"
#include "platform/Hardening.h"
#include "platform/Http.h"

int main(int argc, char** argv) {
    norvane::dropLoaderVariables(argv);
    norvane::hardenProcess();
    norvane::prepareHttp();
    return norvane::AppDelegate::main(std::vector<std::string>(argv + 1, argv + argc));
}
