#include "app/shell/qt/StatusPanel.h"

#include <QEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputEvent>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>
#include <limits>

#include "app/shell/PanelPlacement.h"

namespace norvane {
namespace {

constexpr double reopenGuard = 0.25;  // seconds after a close in which a click does not open
constexpr double openWithOption = 0.5;

}  // namespace

KeyPanel::KeyPanel() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Norvane"));
    setFocusPolicy(Qt::StrongFocus);
}

bool KeyPanel::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowDeactivate) resignedKey();
    if (event->type() == QEvent::Resize) resized();
    return handled;
}

StatusPanel::StatusPanel(AppModel& model, MainQueue& queue, std::unique_ptr<StatusItem> item, PanelLook look,
                         PanelContext context, bool openAtLaunch)
    : model_(model),
      queue_(queue),
      item_(std::move(item)),
      panel_(std::make_unique<KeyPanel>()),
      closedAt_(-std::numeric_limits<double>::infinity()),
      alive_(std::make_shared<StatusPanel*>(this)) {
    panel_->setAttribute(Qt::WA_TranslucentBackground, look.translucent);
    auto* layout = new QVBoxLayout(panel_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // the panel takes its content's size
    view_ = new PanelView(model_, queue_, std::move(context), look.backdrop, look.translucent, [this] {
        const auto visible = item_->visibleFrame();
        return visible ? std::optional(visible->height) : std::nullopt;
    });
    layout->addWidget(view_);
    const double radius = look.backdrop.cornerRadius();
    const bool masked = !look.translucent && radius > 0;
    panel_->resized = [this, masked, radius] {
        if (masked) {
            // Without a compositor the corners outside the rounded backdrop are cut away.
            QPainterPath path;
            path.addRoundedRect(QRectF(panel_->rect()), radius, radius);
            panel_->setMask(QRegion(path.toFillPolygon().toPolygon()));
        }
        place();
    };
    panel_->resignedKey = [this] { close(); };

    item_->clicked = [this] { toggle(); };
    item_->moved = [this] { screenChanged(); };
    watchScreens();
    renderItem();
    std::weak_ptr<StatusPanel*> weak = alive_;
    itemFields_ = model_.subscribe({statusItemFields.begin(), statusItemFields.end()}, [this, weak] {
        // Several fields change in one step of the model: the item is drawn once after it.
        if (redrawPosted_) return;
        redrawPosted_ = true;
        queue_.post([weak] {
            if (const auto self = weak.lock()) {
                (*self)->redrawPosted_ = false;
                (*self)->renderItem();
            }
        });
    });
    if (openAtLaunch) {
        delayedShow_ = queue_.after(
            openWithOption,
            [weak] {
                if (const auto self = weak.lock()) (*self)->show();
            },
            ClockKind::uptime);
    }
}

StatusPanel::~StatusPanel() {
    if (clicks_) clicks_->installHandler({});
    alive_.reset();
    delayedShow_.cancel();
    panel_->resized = [] {};
    panel_->resignedKey = [] {};
    item_->moved = [] {};
}

void StatusPanel::closeOnClicksOutside(ClickMonitor& monitor) {
    clicks_ = &monitor;
    // On X11 an input event's time is the display server's, as a monitored press's is.
    struct InputTimes final : QObject {
        std::optional<std::uint32_t>& last;
        explicit InputTimes(std::optional<std::uint32_t>& l) : last(l) {}
        bool eventFilter(QObject* watched, QEvent* event) override {
            switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
                if (const auto time = static_cast<QInputEvent*>(event)->timestamp()) last = static_cast<std::uint32_t>(time);
                break;
            default: break;
            }
            return QObject::eventFilter(watched, event);
        }
    };
    inputTimes_ = std::make_unique<InputTimes>(lastInput_);
    QCoreApplication::instance()->installEventFilter(inputTimes_.get());
    // Presses come on the monitor's thread; the panel hears of them on the main queue.
    monitor.installHandler([&queue = queue_, weak = std::weak_ptr<StatusPanel*>(alive_)](const ClickMonitor::Press& press) {
        queue.post([weak, press] {
            if (const auto self = weak.lock()) (*self)->pressed(press);
        });
    });
}

void StatusPanel::pressed(const ClickMonitor::Press& press) {
    if (!panel_->isVisible()) return;
    std::vector<Rect> own{toRect(panel_->frameGeometry())};
    if (const auto item = item_->frame()) own.push_back(*item);
    const QScreen* screen = panel_->screen();
    if (pressClosesPanel(press, screen ? screen->devicePixelRatio() : 1, own, openedBy_)) close();
}

bool StatusPanel::isOpen() const {
    return panel_->isVisible();
}

void StatusPanel::show() {
    openedBy_ = lastInput_;
    view_->fitPages();  // the screen may have changed while the panel was closed
    panel_->adjustSize();
    place();
    panel_->show();
    panel_->raise();
    panel_->activateWindow();
    model_.setPanelOpen(true);
    queue_.post([weak = std::weak_ptr<StatusPanel*>(alive_)] {
        if (const auto self = weak.lock()) (*self)->item_->setHighlighted(true);
    });
}

void StatusPanel::close() {
    if (!panel_->isVisible()) return;
    closedAt_ = queue_.uptime();
    panel_->hide();
    model_.setPanelOpen(false);
    item_->setHighlighted(false);
}

void StatusPanel::toggle() {
    if (panel_->isVisible()) return close();
    if (queue_.uptime() - closedAt_ > reopenGuard) show();
}

void StatusPanel::place() {
    const auto item = item_->frame();
    const auto visible = item_->visibleFrame();
    if (!item || !visible) return;
    const Point origin = panelOrigin(*item, panel_->width(), panel_->height(), *visible);
    const QPoint target(static_cast<int>(origin.x), static_cast<int>(origin.y));
    if (panel_->pos() != target) panel_->move(target);
}

void StatusPanel::watchScreens() {
    const auto watch = [this](QScreen* screen) {
        for (const auto change : {&QScreen::geometryChanged, &QScreen::availableGeometryChanged})
            QObject::connect(screen, change, panel_.get(), [this] { screenChanged(); });
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qApp, &QGuiApplication::screenAdded, panel_.get(), [this, watch](QScreen* screen) {
        watch(screen);
        screenChanged();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, panel_.get(), [this] { screenChanged(); });
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, panel_.get(), [this] { screenChanged(); });
}

void StatusPanel::screenChanged() {
    if (refitPosted_) return;
    refitPosted_ = true;
    queue_.post([weak = std::weak_ptr<StatusPanel*>(alive_)] {
        const auto self = weak.lock();
        if (!self) return;
        StatusPanel& panel = **self;
        panel.item_->followScreens();
        panel.refitPosted_ = false;  // after the item's own move, which is part of this change
        if (panel.panel_->isVisible()) {
            panel.view_->fitPages();
            panel.panel_->adjustSize();
            panel.place();
        }
        panel.afterScreenChange();
    });
}

void StatusPanel::renderItem() {
    const StatusItemLook look =
        statusItemLook(model_.hasBattery() ? std::optional(model_.battery().percent) : std::nullopt, model_.awake(),
                       model_.awakeState(), model_.menuText());
    if (shown_ == look) return;
    shown_ = look;
    item_->show(look);
}

}  // namespace norvane
