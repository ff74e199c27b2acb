#include "app/onboarding/qt/Illustrations.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/onboarding/AccessMark.h"
#include "app/onboarding/BannerHero.h"
#include "app/onboarding/ChargeHero.h"
#include "app/onboarding/ControlHero.h"
#include "app/onboarding/ModesHero.h"
#include "app/visuals/MenuBarIcon.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/MenuBarImage.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

QSize wholeSize(double width, double height) {
    return {static_cast<int>(std::ceil(std::max(width, 0.0))), static_cast<int>(std::ceil(std::max(height, 0.0)))};
}

// A layout drawn centred in the widget.
void paintCentred(QWidget& widget, const DotLayout& layout) {
    QPainter painter(&widget);
    painter.translate((widget.width() - layout.width) / 2, (widget.height() - layout.height) / 2);
    paintDots(painter, layout);
}

// The size a text takes in a style on one line.
QSizeF textSize(const std::string& text, const TextStyle& style) {
    const TextFace face(style);
    return {face.advance(QString::fromStdString(text)), face.height()};
}

// ---- Welcome: the mark over the name ----

QWidget* welcomeHero(MainQueue& queue, bool still) {
    auto* view = new QWidget;
    auto* column = vbox(view, WelcomeHero::spacing);
    column->addWidget(new LogoMarkView(queue, still, WelcomeHero::markPitch), 0, Qt::AlignHCenter);
    column->addWidget(DotView::text(WelcomeHero::name()), 0, Qt::AlignHCenter);
    return view;
}

// ---- Know: the ring counting up ----

class ChargeHeroView final : public ClockView {
public:
    ChargeHeroView(MainQueue& queue, bool still) : ClockView(queue, ChargeHero::period, still), hero_{still} {
        setFixedSize(wholeSize(ChargeHero::size, ChargeHero::size));
    }

protected:
    void paintEvent(QPaintEvent*) override { paintCentred(*this, hero_.layout(now())); }

private:
    ChargeHero hero_;
};

// ---- Control: the keep-awake timer and the charge limit ----

class CountdownView final : public ClockView {
public:
    CountdownView(MainQueue& queue, ControlHero hero) : ClockView(queue, ControlHero::period, hero.still), hero_(hero) {
        const DotLayout layout = hero_.countdown(now()).layout();
        setFixedSize(wholeSize(layout.width, layout.height));
    }

protected:
    void paintEvent(QPaintEvent*) override { paintCentred(*this, hero_.countdown(now()).layout()); }

private:
    ControlHero hero_;
};

// Black capitals on a capsule of the accent.
QSize badgeSize(const ControlHero::Badge& badge) {
    const QSizeF text = textSize(badge.text, badge.style);
    return wholeSize(text.width() + 2 * ControlHero::Badge::horizontalPadding,
                     text.height() + 2 * ControlHero::Badge::verticalPadding);
}
Drawing::Draw drawBadge(const ControlHero::Badge& badge) {
    return [badge](QPainter& painter, const QRectF& box) {
        painter.setBrush(toQColor(badge.fill));
        painter.drawRoundedRect(box, box.height() / 2, box.height() / 2);
        TextFace(badge.style).draw(painter, box, Qt::AlignCenter, QString::fromStdString(badge.text));
    };
}

CardFrame* controlCard(const char* label, QWidget* below) {
    auto* card = tourCard(ControlHero::cardPadding);
    card->setFixedHeight(points(ControlHero::cardHeight + 2 * ControlHero::cardPadding));
    card->content()->setSpacing(points(ControlHero::cardSpacing));
    card->content()->addWidget(textLabel(label, caps()));
    card->content()->addWidget(below);
    card->content()->addStretch(1);  // the content at the top
    return card;
}

}  // namespace

ControlHeroView::ControlHeroView(MainQueue& queue, Color accent, bool still, QWidget* parent)
    : QWidget(parent), still_(still) {
    const ControlHero hero{accent, still};
    auto* row = hbox(this, ControlHero::spacing);
    row->setContentsMargins(points(ControlHero::horizontalPadding), 0, points(ControlHero::horizontalPadding), 0);
    row->addWidget(controlCard(ControlHero::awakeLabel, new CountdownView(queue, hero)));
    auto* limit = new QWidget;
    auto* limitRow = hbox(limit, ControlHero::limitSpacing);
    limitRow->addWidget(DotView::text(ControlHero::limit()), 0, Qt::AlignVCenter);
    badge_ = new Drawing(badgeSize(hero.badge()), drawBadge(hero.badge()));
    limitRow->addWidget(badge_, 0, Qt::AlignVCenter);
    limitRow->addStretch();
    row->addWidget(controlCard(ControlHero::limitLabel, limit));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ControlHeroView::setAccent(Color accent) {
    badge_->setDraw(drawBadge(ControlHero{accent, still_}.badge()));
}

namespace {

// ---- Notifications: the mock banner ----

// The app's icon: the mark standing still on a dark rounded tile.
Drawing* iconTile() {
    const DotLayout mark = BannerHero::icon().layout(0);
    const double padding = BannerHero::iconPadding;
    return new Drawing(wholeSize(mark.width + 2 * padding, mark.height + 2 * padding),
                       [mark, padding](QPainter& painter, const QRectF& box) {
                           painter.setBrush(toQColor(BannerHero::iconTile));
                           painter.drawRoundedRect(box, BannerHero::iconCornerRadius, BannerHero::iconCornerRadius);
                           painter.translate(padding, padding);
                           paintDots(painter, mark);
                       });
}

CardFrame* bannerCard(const BannerHero::Alert& alert, QWidget* parent) {
    auto* card = tourCard(BannerHero::padding, parent);
    card->setFixedWidth(points(BannerHero::width));
    auto* row = new QHBoxLayout;
    row->setSpacing(points(BannerHero::spacing));
    row->addWidget(iconTile(), 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(points(BannerHero::textSpacing));
    TextStyle title = BannerHero::titleStyle(), body = BannerHero::bodyStyle();
    title.wraps = body.wraps = true;  // a long alert takes another line rather than being cut
    texts->addWidget(textLabel(alert.title, title));
    texts->addWidget(textLabel(alert.body, body));
    row->addLayout(texts, 1);
    row->addWidget(textLabel(BannerHero::time, caps()), 0, Qt::AlignVCenter);
    card->content()->addLayout(row);
    card->adjustSize();
    return card;
}

class BannerHeroView final : public ClockView {
public:
    BannerHeroView(MainQueue& queue, bool still)
        : ClockView(queue, BannerHero::period, still), hero_{still}, motion_(queue) {
        index_ = hero_.index(now());
        shown_ = bannerCard(hero_.alert(now()), this);
        int tallest = 0;
        for (const auto& alert : BannerHero::alerts()) {
            const std::unique_ptr<CardFrame> probe(bannerCard(alert, nullptr));
            tallest = std::max(tallest, cardHeight(*probe));
        }
        // Room above and below for the banner that comes down from above.
        setFixedSize(points(BannerHero::width), tallest + 2 * points(BannerHero::entrance));
        place(shown_, 0);
    }

protected:
    void tick() override {
        const int index = hero_.index(now());
        if (index == index_) return;
        index_ = index;
        motion_.finish();
        CardFrame* leaving = shown_;
        shown_ = bannerCard(hero_.alert(now()), this);
        if (insideEffect(*this)) {
            // The page itself fades (it comes or goes): the banner changes without its own.
            place(shown_, 0);
            shown_->show();
            delete leaving;
            return;
        }
        place(shown_, -BannerHero::entrance);
        shown_->show();
        QPointer<QGraphicsOpacityEffect> in = fade(shown_, 0), out = fade(leaving, 1);
        QPointer<CardFrame> entering = shown_, old = leaving;
        motion_.start(
            bannerSpring,
            [this, in, out, entering, old](double v) {
                // Both move down from 14 points above: the new one into place, the old one
                // the same way in reverse, up and out.
                if (entering) place(entering, -BannerHero::entrance * (1 - v));
                if (in) in->setOpacity(std::clamp(v, 0.0, 1.0));
                if (old) place(old, -BannerHero::entrance * v);
                if (out) out->setOpacity(std::clamp(1 - v, 0.0, 1.0));
            },
            [entering, old] {
                if (entering) entering->setGraphicsEffect(nullptr);
                if (old) {
                    old->hide();
                    old->deleteLater();
                }
            });
    }
    void hideEvent(QHideEvent* event) override {
        ClockView::hideEvent(event);
        motion_.finish();
    }

private:
    static QGraphicsOpacityEffect* fade(QWidget* widget, double opacity) {
        auto* effect = new QGraphicsOpacityEffect(widget);
        effect->setOpacity(opacity);
        widget->setGraphicsEffect(effect);
        return effect;
    }
    // A banner's height at its fixed width; its texts may wrap.
    static int cardHeight(QWidget& card) {
        return card.hasHeightForWidth() ? card.heightForWidth(card.width()) : card.sizeHint().height();
    }
    // Centred, `offset` points below its resting place.
    void place(QWidget* card, double offset) {
        const int h = cardHeight(*card);
        card->setGeometry((width() - card->width()) / 2, (height() - h) / 2 + static_cast<int>(std::lround(offset)),
                          card->width(), h);
    }

    BannerHero hero_;
    int index_ = 0;
    CardFrame* shown_ = nullptr;
    SpringAnimation motion_;
};

// ---- Helper: the energy-mode switch moving by itself ----

// The segmented switch of the mock: its light capsule slides to the selected mode with a
// spring; a label is dark as far as the capsule lies under it. Clicks do nothing.
class ModesSwitch final : public QWidget {
public:
    ModesSwitch(MainQueue& queue, std::vector<Segment> segments) : segments_(std::move(segments)), motion_(queue) {
        double x = SegmentsStyle::inset, height = 0;
        for (const Segment& segment : segments_) {
            const QSizeF text = textSize(segment.title, segment.label);
            const QSizeF size(std::ceil(text.width() + 2 * segment.horizontalPadding),
                              std::ceil(text.height() + 2 * SegmentsStyle::verticalPadding));
            rects_.emplace_back(x, SegmentsStyle::inset, size.width(), size.height());
            x += size.width() + SegmentsStyle::spacing;
            height = std::max(height, size.height());
        }
        const double width = rects_.empty() ? 0 : rects_.back().right() + SegmentsStyle::inset;
        setFixedSize(wholeSize(width, height + 2 * SegmentsStyle::inset));
        setAttribute(Qt::WA_TranslucentBackground);
        const auto selected = selectedRect(segments_);
        highlight_ = selected.value_or(QRectF());
    }
    void select(std::vector<Segment> segments) {
        const auto from = highlight_;
        const auto to = selectedRect(segments);
        segments_ = std::move(segments);
        if (!to) return;
        motion_.start(
            modesSpring,
            [this, from, to = *to](double v) {
                highlight_ = QRectF(from.x() + (to.x() - from.x()) * v, to.y(),
                                    from.width() + (to.width() - from.width()) * v, to.height());
                update();
            },
            [this, to = *to] {
                highlight_ = to;
                update();
            });
    }
    void finish() { motion_.finish(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        const QRectF track = rect();
        painter.setBrush(toQColor(SegmentsStyle::track));
        painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);
        const Segment* selected = nullptr;
        for (const Segment& segment : segments_)
            if (segment.selected) selected = &segment;
        if (selected && !highlight_.isEmpty()) {
            painter.setBrush(toQColor(selected->fill));
            painter.drawRoundedRect(highlight_, highlight_.height() / 2, highlight_.height() / 2);
        }
        const Segment* plain = nullptr;
        for (const Segment& segment : segments_)
            if (!segment.selected) plain = &segment;
        for (std::size_t i = 0; i < segments_.size() && i < rects_.size(); ++i) {
            const QRectF& box = rects_[i];
            // How much of the label the light capsule covers decides its colour.
            const double covered = std::clamp(
                (std::min(box.right(), highlight_.right()) - std::max(box.left(), highlight_.left())) / box.width(), 0.0,
                1.0);
            const Color dark = selected ? selected->label.color : segments_[i].label.color;
            const Color light = plain ? plain->label.color : segments_[i].label.color;
            const Color mixed{light.red + (dark.red - light.red) * covered,
                              light.green + (dark.green - light.green) * covered,
                              light.blue + (dark.blue - light.blue) * covered,
                              light.opacity + (dark.opacity - light.opacity) * covered};
            TextStyle label = segments_[i].label;
            label.color = mixed;
            TextFace(label).draw(painter, box, Qt::AlignCenter, QString::fromStdString(segments_[i].title));
        }
    }

private:
    std::optional<QRectF> selectedRect(const std::vector<Segment>& segments) const {
        for (std::size_t i = 0; i < segments.size() && i < rects_.size(); ++i)
            if (segments[i].selected) return rects_[i];
        return std::nullopt;
    }

    std::vector<Segment> segments_;
    std::vector<QRectF> rects_;
    QRectF highlight_;
    SpringAnimation motion_;
};

class ModesHeroView final : public ClockView {
public:
    ModesHeroView(MainQueue& queue, bool still) : ClockView(queue, ModesHero::period, still), hero_{still} {
        index_ = hero_.index(now());
        auto* card = tourCard(ModesHero::padding, this);
        card->setFixedWidth(points(ModesHero::width));
        card->content()->setSpacing(points(ModesHero::spacing));
        switch_ = new ModesSwitch(queue, hero_.segments(now()).segments());
        caption_ = textLabel(hero_.entry(now()).caption, note());
        card->content()->addWidget(switch_);
        card->content()->addWidget(caption_);
        auto* layout = vbox(this, 0);
        layout->addWidget(card);
    }

protected:
    void tick() override {
        const double t = now();
        const int index = hero_.index(t);
        if (index == index_) return;
        const bool moved = ModesHero::entries()[static_cast<std::size_t>(index)].mode !=
                           ModesHero::entries()[static_cast<std::size_t>(index_)].mode;
        index_ = index;
        if (moved) switch_->select(hero_.segments(t).segments());
        restyle(*caption_, hero_.entry(t).caption, note());
    }
    void hideEvent(QHideEvent* event) override {
        ClockView::hideEvent(event);
        switch_->finish();
    }

private:
    ModesHero hero_;
    int index_ = 0;
    ModesSwitch* switch_ = nullptr;
    TextLabel* caption_ = nullptr;
};

}  // namespace

// ---- LogoMarkView ----

LogoMarkView::LogoMarkView(MainQueue& queue, bool still, double pitch, QWidget* parent)
    : ClockView(queue, LogoMark::period, still, parent), mark_{still, pitch} {
    setFixedSize(sizeHint());
}

QSize LogoMarkView::sizeHint() const {
    const DotLayout layout = mark_.layout(0);
    return wholeSize(layout.width, layout.height);
}

void LogoMarkView::paintEvent(QPaintEvent*) {
    paintCentred(*this, mark_.layout(now()));
}

// ---- AccessMarkView ----

AccessMarkView::AccessMarkView(MainQueue& queue, bool still, Access access, QWidget* parent)
    : ClockView(queue, AccessMark::period, still, parent), still_(still), access_(std::move(access)) {
    setFixedSize(sizeHint());
    setTicking(AccessMark::turns(access_));
}

void AccessMarkView::setAccess(const Access& access) {
    if (access == access_) return;
    access_ = access;
    setTicking(AccessMark::turns(access_));
    update();
}

QSize AccessMarkView::sizeHint() const {
    const DotLayout layout = AccessMark::glyph(access_, still_, 0).layout();
    return wholeSize(layout.width, layout.height);
}

void AccessMarkView::paintEvent(QPaintEvent*) {
    paintCentred(*this, AccessMark::glyph(access_, still_, now()).layout());
}

// ---- MenuBarHeroView ----

// The bar: a faint capsule with two other items, the app's item and the clock.
class MenuBarHeroView::Bar final : public QWidget {
public:
    Bar(MenuBarHero hero, std::string clock) : hero_(std::move(hero)), clock_(std::move(clock)) {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedSize(sizeHint());
    }
    void setHero(const MenuBarHero& hero) {
        hero_ = hero;
        setFixedSize(sizeHint());
        update();
    }
    QSize sizeHint() const override {
        const Geometry g = geometry();
        return wholeSize(g.width, g.height);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const Geometry g = geometry();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(MenuBarHero::barFill));
        painter.drawRoundedRect(QRectF(0, 0, g.width, g.height), g.height / 2, g.height / 2);
        const double middle = g.height / 2;
        const QColor dimmed = toQColor(MenuBarHero::dimmed);
        paintWifi(painter, QRectF(g.wifi, middle - symbol / 2, symbol, symbol), dimmed);
        paintMagnifier(painter, QRectF(g.search, middle - symbol / 2, symbol, symbol), dimmed);
        // The app's item.
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(MenuBarHero::itemFill));
        const QRectF item(g.item, middle - g.itemHeight / 2, g.itemWidth, g.itemHeight);
        painter.drawRoundedRect(item, MenuBarHero::itemCornerRadius, MenuBarHero::itemCornerRadius);
        const double scale = std::max(devicePixelRatioF(), 1.0);
        const QImage icon = inked(menuBarImage(hero_.percent, false, scale), Qt::white);
        const double iconLeft = item.left() + MenuBarHero::itemHorizontalPadding;
        painter.drawImage(QRectF(iconLeft, middle - MenuBarIcon::height / 2, MenuBarIcon::width, MenuBarIcon::height),
                          icon);
        const double textLeft = iconLeft + MenuBarIcon::width + MenuBarHero::itemSpacing;
        TextFace(itemText()).draw(painter, QRectF(textLeft, 0, g.textWidth + 1, g.height),
                                  Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(hero_.text));
        TextFace(clockText()).draw(painter, QRectF(g.clock, 0, g.clockWidth + 1, g.height),
                                   Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(clock_));
    }

private:
    static constexpr double symbol = 13;  // the other items' symbols, as a 13-point font draws them
    static TextStyle itemText() { return {.size = MenuBarHero::textSize}; }
    static TextStyle clockText() { return {.size = MenuBarHero::textSize, .color = MenuBarHero::dimmed}; }

    struct Geometry {
        double width, height;
        double wifi, search, item, clock;  // left edges
        double itemWidth, itemHeight, textWidth, clockWidth;
    };
    Geometry geometry() const {
        const QSizeF title = textSize(hero_.text, itemText()), clock = textSize(clock_, clockText());
        Geometry g{};
        g.textWidth = title.width();
        g.clockWidth = clock.width();
        g.itemWidth = 2 * MenuBarHero::itemHorizontalPadding + MenuBarIcon::width + MenuBarHero::itemSpacing + g.textWidth;
        g.itemHeight = 2 * MenuBarHero::itemVerticalPadding + std::max(MenuBarIcon::height, title.height());
        g.height = 2 * MenuBarHero::barVerticalPadding + std::max({g.itemHeight, clock.height(), symbol});
        g.wifi = MenuBarHero::barHorizontalPadding;
        g.search = g.wifi + symbol + MenuBarHero::barSpacing;
        g.item = g.search + symbol + MenuBarHero::barSpacing;
        g.clock = g.item + g.itemWidth + MenuBarHero::barSpacing;
        g.width = g.clock + g.clockWidth + MenuBarHero::barHorizontalPadding;
        return g;
    }
    // Two arcs over a dot, opening upwards.
    static void paintWifi(QPainter& painter, const QRectF& box, const QColor& color) {
        painter.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        const QPointF base(box.center().x(), box.bottom() - 1.5);
        for (const double radius : {4.5, 8.5}) {
            const QRectF circle(base.x() - radius, base.y() - radius, 2 * radius, 2 * radius);
            painter.drawArc(circle, 45 * 16, 90 * 16);
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(base, 1.5, 1.5);
    }
    // A ring with a handle to the lower right.
    static void paintMagnifier(QPainter& painter, const QRectF& box, const QColor& color) {
        painter.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        const double radius = box.width() * 0.3;
        const QPointF centre(box.left() + radius + 1.5, box.top() + radius + 1.5);
        painter.drawEllipse(centre, radius, radius);
        const double reach = radius * std::sqrt(0.5);
        painter.drawLine(QPointF(centre.x() + reach, centre.y() + reach), QPointF(box.right() - 1, box.bottom() - 1));
    }

    MenuBarHero hero_;
    std::string clock_;
};

MenuBarHeroView::MenuBarHeroView(MenuBarHero hero, std::string clock, QWidget* parent) : QWidget(parent) {
    auto* column = vbox(this, MenuBarHero::spacing);
    bar_ = new Bar(std::move(hero), std::move(clock));
    column->addWidget(bar_, 0, Qt::AlignHCenter);
    column->addWidget(DotView::glyph(MenuBarHero::arrow()), 0, Qt::AlignHCenter);
}

void MenuBarHeroView::setItem(const MenuBarHero& hero) {
    bar_->setHero(hero);
}

// ---- The picture of a page ----

QWidget* heroView(Hero hero, MainQueue& queue, bool still, const HeroInputs& inputs) {
    switch (hero) {
        case Hero::logo:
            return welcomeHero(queue, still);
        case Hero::charge:
            return new ChargeHeroView(queue, still);
        case Hero::control:
            return new ControlHeroView(queue, inputs.accent, still);
        case Hero::banner:
            return new BannerHeroView(queue, still);
        case Hero::modes:
            return new ModesHeroView(queue, still);
        case Hero::menuBar:
            return new MenuBarHeroView(inputs.menuBar, inputs.clock);
    }
    return new QWidget;
}

}  // namespace norvane
