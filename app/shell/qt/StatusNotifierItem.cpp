#include "app/shell/qt/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QtEndian>
#include <optional>
#include <utility>

#include "app/shell/qt/TrayStatusItem.h"

namespace norvane::sni {

// An icon as the protocol sends it: ARGB32 in network byte order.
struct Pixmap {
    int width = 0;
    int height = 0;
    QByteArray data;
};
using Pixmaps = QList<Pixmap>;
struct ToolTip {
    QString iconName;
    Pixmaps pixmaps;
    QString title;
    QString text;
};

}  // namespace norvane::sni

Q_DECLARE_METATYPE(norvane::sni::Pixmap)
Q_DECLARE_METATYPE(norvane::sni::ToolTip)

namespace norvane::sni {

QDBusArgument& operator<<(QDBusArgument& out, const Pixmap& pixmap) {
    out.beginStructure();
    out << pixmap.width << pixmap.height << pixmap.data;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, Pixmap& pixmap) {
    in.beginStructure();
    in >> pixmap.width >> pixmap.height >> pixmap.data;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const ToolTip& tip) {
    out.beginStructure();
    out << tip.iconName << tip.pixmaps << tip.title << tip.text;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, ToolTip& tip) {
    in.beginStructure();
    in >> tip.iconName >> tip.pixmaps >> tip.title >> tip.text;
    in.endStructure();
    return in;
}

}  // namespace norvane::sni

namespace norvane {
namespace {

const QString path = QStringLiteral("/StatusNotifierItem");
const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int largestSent = 64;  // as Qt's tray icon sends a host
constexpr int registerDeadline = 5000;  // ms

sni::Pixmap pixmap(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    sni::Pixmap out{argb.width(), argb.height(), QByteArray()};
    out.data.resize(static_cast<qsizetype>(argb.width()) * argb.height() * 4);
    auto* bytes = reinterpret_cast<quint32*>(out.data.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            *bytes++ = qToBigEndian(line[x]);
    }
    return out;
}

}  // namespace

class StatusNotifierItem::Object final : public QDBusVirtualObject {
public:
    explicit Object(StatusNotifierItem& item) : item_(item) {}

    QString introspect(const QString&) const override {
        return QStringLiteral(R"xml(<interface name="org.kde.StatusNotifierItem">
  <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
  <method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
  <signal name="NewTitle"/><signal name="NewIcon"/><signal name="NewAttentionIcon"/><signal name="NewOverlayIcon"/>
  <signal name="NewMenu"/><signal name="NewToolTip"/><signal name="NewStatus"><arg name="status" type="s"/></signal>
  <property name="Category" type="s" access="read"/><property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/><property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/><property name="IconThemePath" type="s" access="read"/>
  <property name="Menu" type="o" access="read"/><property name="ItemIsMenu" type="b" access="read"/>
  <property name="IconName" type="s" access="read"/><property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/><property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/><property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/><property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
</interface>)xml");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QString signature = message.signature();
        const QList<QVariant> arguments = message.arguments();
        if (message.interface() == propertiesInterface) {
            if (member == QLatin1String("GetAll") && signature == QLatin1String("s")) {
                const QVariantMap all = arguments[0].toString() == itemInterface ? properties() : QVariantMap();
                connection.send(message.createReply(QVariant::fromValue(all)));
                return true;
            }
            if (member == QLatin1String("Get") && signature == QLatin1String("ss") &&
                arguments[0].toString() == itemInterface) {
                const QVariantMap all = properties();
                const auto found = all.find(arguments[1].toString());
                if (found != all.end()) {
                    connection.send(message.createReply(QVariant::fromValue(QDBusVariant(*found))));
                    return true;
                }
            }
            connection.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such property")));
            return true;
        }
        if (message.interface() == itemInterface || message.interface().isEmpty()) {
            const bool click = (member == QLatin1String("Activate") || member == QLatin1String("ContextMenu")) &&
                               signature == QLatin1String("ii");
            const bool other = (member == QLatin1String("SecondaryActivate") && signature == QLatin1String("ii")) ||
                               (member == QLatin1String("Scroll") && signature == QLatin1String("is")) ||
                               (member == QLatin1String("ProvideXdgActivationToken") && signature == QLatin1String("s"));
            if (click || other) {
                connection.send(message.createReply());
                // On the loop's next turn, after the reply: the click may open the panel.
                if (click) QMetaObject::invokeMethod(this, [this] { item_.clicked(); }, Qt::QueuedConnection);
                return true;
            }
        }
        connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method")));
        return true;
    }

    QVariantMap properties() const {
        const QString name = QCoreApplication::applicationName();
        const QString none;
        return {{QStringLiteral("Category"), QStringLiteral("ApplicationStatus")},
                {QStringLiteral("Id"), name},
                {QStringLiteral("Title"), QGuiApplication::applicationDisplayName()},
                {QStringLiteral("Status"), QStringLiteral("Active")},
                {QStringLiteral("WindowId"), 0},
                {QStringLiteral("IconThemePath"), none},
                {QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(QStringLiteral("/NO_DBUSMENU")))},
                {QStringLiteral("ItemIsMenu"), false},
                {QStringLiteral("IconName"), none},
                {QStringLiteral("IconPixmap"), QVariant::fromValue(pixmaps)},
                {QStringLiteral("OverlayIconName"), none},
                {QStringLiteral("OverlayIconPixmap"), QVariant::fromValue(sni::Pixmaps())},
                {QStringLiteral("AttentionIconName"), none},
                {QStringLiteral("AttentionIconPixmap"), QVariant::fromValue(sni::Pixmaps())},
                {QStringLiteral("AttentionMovieName"), none},
                {QStringLiteral("ToolTip"), QVariant::fromValue(sni::ToolTip{none, {}, toolTip, none})}};
    }

    std::optional<StatusItemLook> look;
    std::optional<TrayInk> ink;  // as last worked out
    std::optional<std::pair<StatusItemLook, TrayInk>> drawn;  // what the pixmaps show
    sni::Pixmaps pixmaps;
    QString toolTip;

private:
    StatusNotifierItem& item_;
};

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, const X11SystemTray* tray, std::function<void()> refused)
    : bus_(std::move(bus)), tray_(tray), refused_(std::move(refused)), object_(std::make_unique<Object>(*this)) {
    static const bool typesKnown = [] {
        qDBusRegisterMetaType<sni::Pixmap>();
        qDBusRegisterMetaType<sni::Pixmaps>();
        qDBusRegisterMetaType<sni::ToolTip>();
        return true;
    }();
    (void)typesKnown;
}

StatusNotifierItem::~StatusNotifierItem() {
    if (onBus_) bus_.unregisterObject(path);
}

void StatusNotifierItem::show(const StatusItemLook& look) {
    const QString tip = QString::fromStdString(look.accessibilityLabel);
    if (onBus_ && tip != object_->toolTip)
        bus_.send(QDBusMessage::createSignal(path, itemInterface, QStringLiteral("NewToolTip")));
    object_->toolTip = tip;
    object_->look = look;
    if (!object_->ink) object_->ink = trayInk(tray_ ? tray_->foreground() : std::nullopt, {});
    draw();
    if (registering_) return;
    registering_ = true;
    // On the loop's next turn: an item this one takes over from has gone by then, with its object.
    QMetaObject::invokeMethod(
        object_.get(),
        [this] {
            onBus_ = bus_.registerVirtualObject(path, object_.get());
            if (!onBus_) return refused_();
            QDBusMessage call = QDBusMessage::createMethodCall(watcher, QStringLiteral("/StatusNotifierWatcher"),
                                                               watcher, QStringLiteral("RegisterStatusNotifierItem"));
            call << bus_.baseService();
            auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(call, registerDeadline), object_.get());
            QObject::connect(answer, &QDBusPendingCallWatcher::finished, object_.get(), [this, answer] {
                answer->deleteLater();
                if (answer->isError()) refused_();
            });
        },
        Qt::QueuedConnection);
}

void StatusNotifierItem::trayColoursChanged() {
    object_->ink = trayInk(tray_ ? tray_->foreground() : std::nullopt, {});
    draw();
}

void StatusNotifierItem::draw() {
    if (!object_->look || !object_->ink) return;
    auto now = std::pair(*object_->look, *object_->ink);
    if (object_->drawn == now) return;
    object_->pixmaps.clear();
    for (const int side : trayIconSides)
        if (side <= largestSent) object_->pixmaps.append(pixmap(trayIconImage(now.first, now.second, side)));
    object_->drawn = std::move(now);
    if (onBus_) bus_.send(QDBusMessage::createSignal(path, itemInterface, QStringLiteral("NewIcon")));
}

}  // namespace norvane
