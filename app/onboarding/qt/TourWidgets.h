#pragma once
// Small pieces the tour's widgets share: boxes, labels of plain text, a paragraph with its
// own line spacing, a picture that redraws on its clock while it is shown, and a fade that
// a part gets when it appears.

#include <QAbstractButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/onboarding/SpringAnimation.h"
#include "app/onboarding/Timeline.h"
#include "app/visuals/TextStyle.h"
#include "app/visuals/qt/TextLabel.h"
#include "app/visuals/qt/Boxes.h"
#include "platform/MainQueue.h"

class QBoxLayout;
class QHBoxLayout;
class QPainter;
class QVBoxLayout;

namespace norvane {

int points(double length);  // whole pixels, rounded; 0 for a length that is not sane
// A card whose content spans its inner width, each part at the leading edge: text wraps at
// the card's edge rather than at a width of its own guessing.
class CardFrame;
CardFrame* tourCard(double padding, QWidget* parent = nullptr);
void spanContent(CardFrame& card);
// Text in a style, always plain; one line unless the style wraps.
TextLabel* textLabel(const std::string& text, const TextStyle& style);
// A label's text and style, changed in place.
void restyle(TextLabel& label, const std::string& text, const TextStyle& style);

// Wrapping text with extra space between its lines; its height follows the width it gets.
class Paragraph final : public QWidget {
public:
    Paragraph(const std::string& text, const TextStyle& style, double lineSpacing, QWidget* parent = nullptr);
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    TextStyle style_;
    double lineSpacing_;
};

// A picture drawn from the clock: it redraws every period (hourly when still) while it is
// shown and ticking, and keeps no timer otherwise.
class ClockView : public QWidget {
public:
    ClockView(MainQueue& queue, double period, bool still, QWidget* parent = nullptr);
    // Whether it moves at all (an access mark that is not turning stands still).
    void setTicking(bool ticking);
    bool ticking() const { return timeline_.shown(); }

protected:
    // Seconds since the reference date, the time every frame is drawn for.
    double now() const;
    // What a tick does: a redraw, unless the picture has more to do.
    virtual void tick() { update(); }
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    MainQueue& queue_;

private:
    void follow();

    Timeline timeline_;
    bool wanted_ = true;
};

// Qt cannot draw a graphics effect inside another (its painter is taken, and it warns
// "Painter not active"): a fade starts only where no enclosing widget has an effect, and a
// widget about to fade as a whole first drops its children's, which then show as they end.
bool insideEffect(const QWidget& widget);
void dropEffectsWithin(QWidget& widget);

// A fade in with a spring, for a part that has just appeared; the part is fully shown
// when the fade ends or is cut short, and at once inside a widget that fades itself.
class FadeIn {
public:
    explicit FadeIn(MainQueue& queue) : motion_(queue) {}
    // The widgets must outlive the fade or be its owner's children.
    void in(std::vector<QWidget*> widgets, Spring spring);
    void finish() { motion_.finish(); }

private:
    SpringAnimation motion_;
};

// A small fixed-size shape drawn by a function, on a painter that smooths its edges and
// fills without an outline.
class Drawing final : public QWidget {
public:
    using Draw = std::function<void(QPainter&, const QRectF& box)>;
    Drawing(QSize size, Draw draw, QWidget* parent = nullptr);
    // Another drawing of the same size, in place.
    void setDraw(Draw draw);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Draw draw_;
};

// A rounded rectangle behind (and an edge line inside) whatever it holds.
class RoundedBox final : public QWidget {
public:
    RoundedBox(double radius, Color fill, Color edge, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double radius_;
    Color fill_, edge_;
};

}  // namespace norvane
