// Saves what the X display shows as a PNG, for the scripts that run the application under
// a virtual display: norvane_screenshot FILE.png (the display of $DISPLAY).

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: norvane_screenshot FILE.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        std::fprintf(stderr, "norvane_screenshot: no screen\n");
        return 1;
    }
    if (!screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "norvane_screenshot: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
