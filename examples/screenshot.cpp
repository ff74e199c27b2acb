// Saves what the X display shows as a PNG, for the scripts that run the application under
// a virtual display: norvane_screenshot FILE.png [X Y WIDTH HEIGHT] (the display of
// $DISPLAY; with a rectangle, only that part of it).

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

#include "examples/Usage.h"

int main(int argc, char** argv) {
    constexpr const char* usage = "norvane_screenshot FILE.png [X Y WIDTH HEIGHT]";
    if (!norvane::examples::takes(argc, argv, 5, usage)) return 2;
    if (argc != 2 && argc != 6) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    int part[4] = {0, 0, -1, -1};  // the whole screen
    for (int i = 0; argc == 6 && i < 4; ++i) {
        char* end = nullptr;
        const long value = std::strtol(argv[2 + i], &end, 10);
        if (*end != '\0' || value < (i < 2 ? 0 : 1) || value > 100'000) {
            std::fprintf(stderr, "norvane_screenshot: %s is not a place on the screen\n", argv[2 + i]);
            return 2;
        }
        part[i] = static_cast<int>(value);
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "norvane_screenshot: no screen\n");
        return 1;
    }
    if (!screen->grabWindow(0, part[0], part[1], part[2], part[3]).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "norvane_screenshot: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
