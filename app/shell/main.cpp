#include "app/shell/qt/AppDelegate.h"

int main(int argc, char** argv) {
    return norvane::AppDelegate::main(std::vector<std::string>(argv + 1, argv + argc));
}
