// Writes a PNG of every visual component in named states into a folder, so a reviewer
// can see what a user would see. Runs without a display (Qt's offscreen platform) on the
// machine folder in use; usage: norvane_gallery [folder], default "gallery".

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <cstdio>

#include "app/visuals/ChargeTone.h"
#include "app/visuals/qt/AppMarkView.h"
#include "app/visuals/qt/AwakeCardView.h"
#include "app/visuals/qt/BackdropView.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/MenuBarImage.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"
#include "app/visuals/qt/WorkspaceImages.h"
// The model's own state (the battery, which only its tick reads, and the agents) is set
// the way the tests set it.
#include "tests/model/ModelProbe.h"
#include "examples/Gallery.h"

using namespace norvane;
using namespace norvane::gallery;

namespace {

QWidget* row(std::initializer_list<QWidget*> items, int spacing = 10) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* item : items) layout->addWidget(item);
    return box;
}

// The template image as the menu bar colours it: dark dots on a light bar, light dots on
// a dark one.
QImage menuBarStrip(std::int64_t percent, bool awake) {
    const double s = 4;
    const QImage icon = menuBarImage(percent, awake, s);
    const QSize cell = icon.size() + QSize(24, 16);
    QImage strip(cell.width() * 2, cell.height(), QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    const QColor bars[2] = {QColor(236, 236, 236), QColor(30, 30, 30)};
    const QColor inks[2] = {Qt::black, Qt::white};
    for (int i = 0; i < 2; ++i) {
        painter.fillRect(QRect(QPoint(cell.width() * i, 0), cell), bars[i]);
        QImage tinted = inked(icon, inks[i]);
        tinted.setDevicePixelRatio(1);
        painter.drawImage(QPoint(cell.width() * i + 12, 8), tinted);
    }
    return strip;
}

// A day of charge history: down from full through the day, on the charger in the evening.
std::vector<Sample> dayOfHistory(Date now) {
    std::vector<Sample> samples;
    for (int minutes = 24 * 60; minutes >= 0; minutes -= 10) {
        const Date time = now - minutes * 60.0;
        const int elapsed = 24 * 60 - minutes;
        const bool charging = elapsed >= 17 * 60 && elapsed < 20 * 60;
        std::int64_t percent;
        if (elapsed < 17 * 60) percent = 100 - elapsed * 70 / (17 * 60);
        else if (charging) percent = 30 + (elapsed - 17 * 60) * 55 / (3 * 60);
        else percent = 85 - (elapsed - 20 * 60) * 15 / (4 * 60);
        samples.push_back({time, percent, charging, charging});
    }
    samples.push_back({now - 9 * 3600.0, 0, false, false});  // a gap in the record shows as faint dots
    return samples;
}

// The machine's workspace with one more app running, once `running` is set: one whose name
// is longer than a row.
class WithApp final : public Workspace {
public:
    WithApp(std::shared_ptr<const Workspace> inner, RunningApplication app) : inner_(std::move(inner)), app_(std::move(app)) {}
    bool running = false;
    std::optional<Path> desktopPicture() const override { return inner_->desktopPicture(); }
    std::optional<Color> accentColor() const override { return inner_->accentColor(); }
    std::optional<Path> iconFile(std::string_view path) const override { return inner_->iconFile(path); }
    std::optional<Path> urlForApplication(std::string_view id) const override { return inner_->urlForApplication(id); }
    std::vector<RunningApplication> runningApplications() const override {
        auto apps = inner_->runningApplications();
        if (running) apps.push_back(app_);
        return apps;
    }
    std::optional<RunningApplication> frontmostApplication() const override { return inner_->frontmostApplication(); }
    bool terminate(std::string_view path) const override { return inner_->terminate(path); }
    bool activate(std::string_view path) const override { return inner_->activate(path); }
    bool open(std::string_view url) const override { return inner_->open(url); }
    bool selectFile(const Path& file) const override { return inner_->selectFile(file); }

private:
    std::shared_ptr<const Workspace> inner_;
    RunningApplication app_;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (!examples::takes(argc, argv, 1, "norvane_gallery [FOLDER]")) return 2;
    const auto where = place(argc, argv, "norvane_gallery");
    if (!where) return 1;
    const QString& folder = where->folder;
    const Machine& machine = where->machine;
    const MachineWorkspace workspace(machine);
    const Color tint = wallpaperTint(workspace);
    const Color white = Color::white();
    Gallery g(folder);

    // The dot font and glyphs.
    g.save(DotView::text({"9:41", white, 4}), "dot-text-9-41");
    g.save(DotView::text({"NORVANE", tint, 3}), "dot-text-norvane");
    g.save(DotView::text({"0:30:00", white.withOpacity(0.35), 4}), "dot-text-countdown-waiting");
    g.save(DotView::glyph({{"000111000", "001000100", "010000010", "100101001", "100000001", "100111001", "010000010",
                            "001000100", "000111000"},
                           tint, 2.5}),
           "dot-glyph");

    // Gauges and charts.
    for (std::int64_t percent : {5, 50, 100})
        g.save(DotView::ring({percent, color(chargeTone(percent)), false}, QSizeF(160, 160)),
               QStringLiteral("ring-%1").arg(percent));
    g.save(DotView::ring({64, color(chargeTone(64)), true}, QSizeF(160, 160)), "ring-64-charging");
    for (double fraction : {0.0, 0.05, 0.6, 1.0})
        g.save(DotView::bar({fraction, tint}), QStringLiteral("dot-bar-%1").arg(qRound(fraction * 100)));
    for (double fraction : {0.0, 0.5, 1.0})
        g.save(DotView::progress({fraction, tint}, 300), QStringLiteral("dot-progress-%1").arg(qRound(fraction * 100)));
    g.save(DotView::columns({{std::nullopt, 10, 10, 9, 9, 9, 8, std::nullopt, 8, 12, 3, 0}}, 300), "dot-columns");
    const Date now{1'780'000'000};
    g.save(DotView::history({buckets(dayOfHistory(now), now, 86'400, 48), tint}, 300), "history-chart-day");

    // The menu-bar battery.
    for (std::int64_t percent : {0, 16, 50, 84, 99, 100})
        g.write(menuBarStrip(percent, false), QStringLiteral("menubar-%1").arg(percent));
    g.write(menuBarStrip(50, true), "menubar-50-awake");
    g.write(menuBarStrip(100, true), "menubar-100-awake");

    // App icons in each style: marks in a list of apps, then the same apps as rows of the
    // energy list (which are not marks in a list), an app without an icon of its own, and
    // the system's processes.
    const char* apps[] = {"/Applications/Firefox.app", "/Applications/Visual Studio Code.app", "/Applications/Slack.app",
                          "/System/Applications/Utilities/Terminal.app", "/Applications/Unknown Tool.app"};
    for (IconStyle style : allIconStyles) {
        auto* icons = new QWidget;
        auto* layout = new QHBoxLayout(icons);
        layout->setContentsMargins(0, 0, 0, 0);
        for (const char* path : apps) layout->addWidget(new AppMarkView(workspace, AppMark{path, 22, true}, style));
        for (const char* path : apps)
            layout->addWidget(new AppMarkView(workspace, AppIcon{{path, appName(path), 10, 1}, 16}, style));
        layout->addWidget(new AppMarkView(workspace, AppIcon{{"", "System", 4, 12}, 22}, style));
        g.save(icons, QStringLiteral("app-icons-%1").arg(QString::fromUtf8(rawValue(style).data())));
    }

    // Pills and segments.
    const Pill faint{white.withOpacity(0.1), white};
    const Pill accent{tint, Color::black()};
    g.save(row({new PillButton("15m", faint), new PillButton("Start", accent)}), "pill");
    auto* pressed = new PillButton("Start", accent);
    pressed->setDown(true);
    g.save(pressed, "pill-pressed");
    auto* disabled = new PillButton("Start", accent);
    disabled->setEnabled(false);
    g.save(disabled, "pill-disabled");
    auto title = [](const bool& on) { return std::string(on ? "STAY AWAKE" : "SLEEP"); };
    g.save(segmentsView(Segments<bool>{{false, true}, false, false, title}), "segments");
    g.save(segmentsView(Segments<bool>{{false, true}, true, true, title}), "segments-compact");
    auto period = [](const std::string& s) { return s; };
    g.save(segmentsView(Segments<std::string>{{"NOW", "STATS"}, "NONE", false, period}), "segments-none-selected");
    g.save(segmentsView(Segments<std::string>{{"TODAY", "LAST SEVEN DAYS OF USE"}, "TODAY", false, period}),
           "segments-long-titles");

    // The backdrop variants over the desktop picture, so translucency shows.
    const QImage desktop = [&] {
        const auto picture = workspace.desktopPicture();
        return picture ? QImage(QString::fromStdString(picture->string())) : QImage();
    }();
    for (int major : {26, 15}) {
        for (bool translucent : {true, false}) {
            const QSize size(280, 160);
            QImage image((size + QSize(2 * margin, 2 * margin)) * scale, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(Qt::gray);
            QPainter painter(&image);
            if (!desktop.isNull()) painter.drawImage(QRectF(QPointF(0, 0), image.deviceIndependentSize()), desktop);
            auto* backdrop = new BackdropView(Backdrop::forSystem(major), translucent);
            backdrop->resize(size);
            backdrop->render(&painter, QPoint(margin, margin), QRegion(), QWidget::DrawChildren);
            painter.end();
            delete backdrop;
            g.write(image, QStringLiteral("backdrop-%1%2").arg(major >= 26 ? "glass" : "frost", translucent ? "" : "-opaque"));
        }
    }

    // The card look with the small text styles.
    auto* box = new CardFrame(card(14));
    box->content()->setSpacing(8);
    box->content()->addWidget(new TextLabel("Battery health", caps()));
    box->content()->addWidget(DotView::text({"91", white, 4}));
    box->content()->addWidget(DotView::columns({{10, 10, 9, 9, std::nullopt, 9}}, 200));
    box->content()->addWidget(
        new TextLabel("Your battery holds 91% of the charge it held when new. Most batteries wear to 80% over about "
                    "1000 cycles.",
                    note()));
    box->setFixedWidth(320);
    g.save(box, "card");

    // The fixed colours and the tint taken from this machine's desktop.
    {
        const Color swatches[] = {color(ChargeTone::empty), color(ChargeTone::low), color(ChargeTone::middle),
                                  color(ChargeTone::good),  color(ChargeTone::full), signalRed, tint};
        QImage image(QSize(7 * 40 + 2 * margin, 40 + 2 * margin) * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(toQColor(panelTone));
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        for (int i = 0; i < 7; ++i) {
            painter.setBrush(toQColor(swatches[i]));
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QRectF(margin + 40 * i + 4, margin + 4, 32, 32));
        }
        painter.end();
        g.write(image, "colours");
    }

    // The keep-awake card on a model of this machine, with defaults of its own, no process
    // of this computer counted as a coding agent, and times in one locale and zone.
    {
        QTemporaryDir scratch;
        const Path place(scratch.path().toStdString());
        VirtualQueue queue(now);
        System system = System::onMachine(machine, {}, std::make_shared<FolderBundle>(place / "Norvane.app"),
                                          std::make_shared<UserDefaults>(place / "defaults.plist"),
                                          std::make_shared<RecordingHotkeys>(), std::make_shared<FixedTint>());
        system.formatter = DateFormatter("en_US", "UTC");
        system.localeText = LocaleText("en_US");
        system.calendar = Calendar("UTC");
        system.processes = std::make_shared<FakeProcesses>();
        const std::string remote = "/Applications/Microsoft Remote Desktop Beta.app";
        const auto withRemote = std::make_shared<WithApp>(
            system.workspace, RunningApplication{remote, "Microsoft Remote Desktop Beta Preview Edition"});
        system.workspace = withRemote;
        AppModel m(std::move(system), queue);
        ModelProbe probe(m);
        probe.battery(onBattery(72));
        const auto picture = [&](const QString& name, std::vector<std::string> arguments) {
            auto* view = new AwakeCardView(m, queue, workspace, AwakeCard::make(tint, arguments, queue.now()),
                                           DateFormatter("en_US", "UTC"), LocaleText("en_US"));
            view->setFixedWidth(340);
            g.save(view, name, QSize(340, view->heightForWidth(340)));
        };
        picture("awake-card-idle", {});
        picture("awake-card-timer-list", {"--awake-timer"});
        m.startAwake(AwakeMode::timer(30));
        queue.advance(5 * 60 + 12);
        picture("awake-card-timer", {});
        probe.agentsInstalled({"Claude Code", "Codex"});
        m.startAwake(AwakeMode::agents());
        probe.agentsRunning({"Claude Code", "Codex"});
        probe.agentsWorking({"Claude Code"});
        probe.awakeState({AwakeStatus::Holding{}});
        probe.drain(9.5);
        probe.holders({{"Music", "playing audio"}});
        picture("awake-card-agents", {"--awake-agents"});
        probe.holders({});
        m.startAwake(AwakeMode::app("/Applications/Slack.app"));
        picture("awake-card-apps", {"--awake-apps"});
        withRemote->running = true;
        m.startAwake(AwakeMode::app(remote));
        picture("awake-card-apps-long-name", {"--awake-apps"});
        m.stopAwake();
    }
    return g.failed() ? 1 : 0;
}
