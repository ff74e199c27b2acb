#pragma once
// The tour's pictures on Qt: each frame is drawn from the clock (seconds since the
// reference date) and `still`, on a timeline that runs through the main queue only while
// the picture is shown.

#include <QWidget>
#include <cstdint>
#include <string>

#include "app/onboarding/Access.h"
#include "app/onboarding/LogoMark.h"
#include "app/onboarding/MenuBarHero.h"
#include "app/onboarding/TourPages.h"
#include "app/onboarding/qt/TourWidgets.h"
#include "platform/DateFormatter.h"


namespace norvane {

// The dot battery of the product's mark, filling one column a tick.
class LogoMarkView final : public ClockView {
public:
    LogoMarkView(MainQueue& queue, bool still, double pitch, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LogoMark mark_;
};

// The small 5 x 5 mark of a permission; it turns while checking or waiting.
class AccessMarkView final : public ClockView {
public:
    AccessMarkView(MainQueue& queue, bool still, Access access, QWidget* parent = nullptr);
    void setAccess(const Access& access);
    const Access& access() const { return access_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool still_;
    Access access_;
};

// The control page's picture: a keep-awake card and a charge-limit card whose badge takes
// the app's tint, in place when it changes.
class ControlHeroView final : public QWidget {
public:
    ControlHeroView(MainQueue& queue, Color accent, bool still, QWidget* parent = nullptr);
    void setAccent(Color accent);

private:
    bool still_;
    Drawing* badge_;
};

// The closing page's menu bar: other items, the app's item with its battery and text, a
// clock read when it is made; an arrow under it points at the item.
class MenuBarHeroView final : public QWidget {
public:
    MenuBarHeroView(MenuBarHero hero, std::string clock, QWidget* parent = nullptr);
    void setItem(const MenuBarHero& hero);

private:
    class Bar;
    Bar* bar_;
};

// What a page shows of the model in its picture: the app's tint and the menu-bar item.
struct HeroInputs {
    Color accent;
    MenuBarHero menuBar;
    std::string clock;  // for the menu-bar picture
};
// The picture of a page.
QWidget* heroView(Hero hero, MainQueue& queue, bool still, const HeroInputs& inputs);

}  // namespace norvane
