#include "app/shell/qt/FollowingStatusItem.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QSystemTrayIcon>

#include "app/shell/qt/MenuBarStrip.h"
#include "app/shell/qt/StatusNotifierItem.h"
#include "app/shell/qt/TrayStatusItem.h"

namespace norvane {
namespace {

const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
constexpr int askDeadline = 2000;  // ms

QDBusMessage hostQuestion() {
    QDBusMessage question =
        QDBusMessage::createMethodCall(StatusNotifierItem::watcher, watcherPath,
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    question << QString::fromLatin1(StatusNotifierItem::watcher) << QStringLiteral("IsStatusNotifierHostRegistered");
    question.setAutoStartService(false);  // a watcher is looked for, not started
    return question;
}

bool saysHost(const QDBusMessage& answer) {
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().size() != 1) return false;
    const QVariant value = answer.arguments()[0].value<QDBusVariant>().variant();
    return value.metaType() == QMetaType::fromType<bool>() && value.toBool();
}

}  // namespace

FollowingStatusItem::FollowingStatusItem(std::unique_ptr<X11SystemTray> tray)
    : tray_(std::move(tray)),
      bus_(QDBusConnection::sessionBus()),
      watcher_(QString::fromLatin1(StatusNotifierItem::watcher), bus_, QDBusServiceWatcher::WatchForOwnerChange) {
    hostRegistered_.setSingleShot(true);
    hostRegistered_.setInterval(0);
    QObject::connect(&hostRegistered_, &QTimer::timeout, this, [this] { askHost(false); });
    QObject::connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                     [this](const QString&, const QString&, const QString& owner) {
                         refused_ = false;  // another watcher, or none
                         // A new watcher knows nothing of the item the old one had: it registers
                         // anew, also where both changes come before one look.
                         if (!owner.isEmpty()) newWatcher_ = true;
                         askHost(false);
                     });
    // A signal of the bus reaches a slot only: the timer's start() takes it for us.
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus_.connect(QString::fromLatin1(StatusNotifierItem::watcher), watcherPath,
                     QString::fromLatin1(StatusNotifierItem::watcher), QString::fromLatin1(signal), &hostRegistered_,
                     SLOT(start()));
    if (tray_) {
        // On the tray's thread: the item hears of it on the main one.
        tray_->watch(
            [this] { QMetaObject::invokeMethod(this, [this] { item_->trayColoursChanged(); }, Qt::QueuedConnection); },
            [this] { QMetaObject::invokeMethod(this, [this] { check(); }, Qt::QueuedConnection); });
    }
    askHost(true);
    moveTo(wanted());
}

FollowingStatusItem::~FollowingStatusItem() {
    item_.reset();  // a tray's item reads the tray
    tray_.reset();  // its thread ends before the item goes
}

void FollowingStatusItem::show(const StatusItemLook& look) {
    look_ = look;
    item_->show(look);
}

void FollowingStatusItem::setHighlighted(bool on) {
    highlighted_ = on;
    item_->setHighlighted(on);
}

void FollowingStatusItem::askHost(bool wait) {
    const unsigned asked = ++asked_;
    if (wait) {
        host_ = saysHost(bus_.call(hostQuestion(), QDBus::Block, askDeadline));
        return;
    }
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(hostQuestion(), askDeadline), this);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, this, [this, answer, asked] {
        answer->deleteLater();
        if (asked != asked_) return;
        host_ = saysHost(answer->reply());
        check();
    });
}

void FollowingStatusItem::check() {
    if (checkPosted_) return;
    checkPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            checkPosted_ = false;
            const Place place = wanted();
            if (place != place_ || (place == Place::sessionTray && newWatcher_)) moveTo(place);
        },
        Qt::QueuedConnection);
}

FollowingStatusItem::Place FollowingStatusItem::wanted() const {
    if (host_ && !refused_) return Place::sessionTray;
    // Qt's tray icon reaches an X tray only where it did not pick the session bus's kind.
    if (tray_ && tray_->present() && QSystemTrayIcon::isSystemTrayAvailable()) return Place::xTray;
    return Place::strip;
}

void FollowingStatusItem::moveTo(Place place) {
    std::unique_ptr<StatusItem> item;
    switch (place) {
    case Place::strip: item = std::make_unique<MenuBarStrip>(); break;
    case Place::sessionTray:
        newWatcher_ = false;
        item = std::make_unique<StatusNotifierItem>(bus_, tray_.get(), [this] {
            refused_ = true;
            check();
        });
        break;
    case Place::xTray: item = std::make_unique<TrayStatusItem>(tray_.get()); break;
    }
    item->clicked = [this] { clicked(); };
    item->moved = [this] { moved(); };
    if (look_) item->show(*look_);
    item->setHighlighted(highlighted_);
    const bool first = !item_;
    item_ = std::move(item);  // the one it takes over from goes
    place_ = place;
    if (!first) moved();
}

}  // namespace norvane
