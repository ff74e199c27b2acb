// Starting the application until its item is on the screen, for bench/app-start.sh:
//   start_bench picture FILE WIDTH HEIGHT [16]
//                                           writes a photo-like picture (PNG or JPEG by the name;
//                                           a PNG of 16 bits a channel with 16)
//   start_bench run PROGRAM [ARGUMENT…]     starts the program on the X display of DISPLAY and
//                                           prints "MILLISECONDS CPU_MILLISECONDS PEAK_KIB
//                                           SETTLED_CPU_MILLISECONDS MAIN_MILLISECONDS
//                                           SETTLED_MAIN_MILLISECONDS": the time from its start to its
//                                           first window mapped, the CPU time its threads ran until
//                                           then (which a busy machine disturbs less), its peak of
//                                           resident memory a second later and the CPU time its
//                                           threads ran until then (work done after the first frame,
//                                           the desktop picture's too, counts there), and the CPU
//                                           time of its main thread alone at both moments; then ends it.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// A sky-like gradient with soft shapes and grain, so that it compresses as a photograph does.
int picture(const char* file, int width, int height, bool deep) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, width * 0.3, height);
    sky.setColorAt(0, QColor(38, 70, 140));
    sky.setColorAt(0.6, QColor(210, 120, 90));
    sky.setColorAt(1, QColor(60, 40, 70));
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor(random->bounded(256), random->bounded(256), random->bounded(256), 40));
        const int r = random->bounded(width / 20, width / 4);
        painter.drawEllipse(QPoint(random->bounded(width), random->bounded(height)), r, r / 2);
    }
    painter.end();
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = random->bounded(7) - 3;
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255),
                           std::clamp(qBlue(p) + n, 0, 255));
        }
    }
    if (!deep) return image.save(QString::fromLocal8Bit(file), nullptr, 90) ? 0 : 1;
    // 16 bits a channel, with grain in the low bits too, as a camera's or a render's would have.
    QImage wide = image.convertToFormat(QImage::Format_RGBX64);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgba64*>(wide.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const auto grain = [&](quint16 c) {
                return static_cast<quint16>(std::clamp(static_cast<int>(c) + random->bounded(512) - 256, 0, 65535));
            };
            const QRgba64 p = line[x];
            line[x] = QRgba64::fromRgba64(grain(p.red()), grain(p.green()), grain(p.blue()), 65535);
        }
    }
    return wide.save(QString::fromLocal8Bit(file), "PNG") ? 0 : 1;
}

// The CPU time of all the process's threads, from its CPU-time clock.
double cpuMilliseconds(pid_t pid) {
    timespec time{};
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(pid) << 3) | 2);
    if (::clock_gettime(clock, &time) != 0) return -1;
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) / 1e6;
}

// The CPU time of the process's main thread, from the scheduler's account of it.
double mainThreadMilliseconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat");
    double nanoseconds = -1e6;
    stat >> nanoseconds;
    return nanoseconds / 1e6;
}

long peakKib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

int run(char** program) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "start_bench: no X display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    pid_t pid = -1;
    if (::posix_spawn(&pid, program[0], nullptr, nullptr, program, environ) != 0) {
        std::fprintf(stderr, "start_bench: cannot start %s\n", program[0]);
        return 1;
    }
    double milliseconds = -1, cpu = -1, main = -1;
    const auto deadline = start + std::chrono::seconds(30);
    while (milliseconds < 0 && Clock::now() < deadline) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(connection), &std::free);
        if (!event) {
            if (xcb_connection_has_error(connection)) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            cpu = cpuMilliseconds(pid);
            main = mainThreadMilliseconds(pid);
        }
    }
    if (milliseconds >= 0) std::this_thread::sleep_for(std::chrono::seconds(1));
    const long peak = peakKib(pid);
    const double settled = cpuMilliseconds(pid);
    const double settledMain = mainThreadMilliseconds(pid);
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    xcb_disconnect(connection);
    if (milliseconds < 0) {
        std::fprintf(stderr, "start_bench: no window within 30 s\n");
        return 1;
    }
    std::printf("%.1f %.1f %ld %.1f %.1f %.1f\n", milliseconds, cpu, peak, settled, main, settledMain);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "picture") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return picture(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argc == 6 && std::strcmp(argv[5], "16") == 0);
    }
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0) return run(argv + 2);
    std::fprintf(stderr, "usage: start_bench picture FILE WIDTH HEIGHT [16] | start_bench run PROGRAM [ARGUMENT…]\n");
    return 2;
}
