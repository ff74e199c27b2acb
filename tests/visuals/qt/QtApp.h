#pragma once
// One Qt application object for a test program, on the offscreen platform: widgets are
// drawn into images, no display is needed.

#include <QApplication>

namespace norvane::testing {

inline void ensureQtApplication() {
    if (QApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "visuals_qt_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives until the program ends
}

}  // namespace norvane::testing
