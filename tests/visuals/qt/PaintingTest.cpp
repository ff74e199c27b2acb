#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "app/visuals/MenuBarIcon.h"
#include "app/visuals/qt/Accessibility.h"
#include "app/visuals/qt/BackdropView.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/MenuBarImage.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"
#include "tests/visuals/qt/QtApp.h"

namespace norvane {
namespace {

constexpr double scale = 4;  // so that even the ring's smallest dots cover whole pixels at their centres

class Painting : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::ensureQtApplication(); }
};

// The widget rendered at four times its size over `background`.
QImage render(QWidget& widget, QColor background = Qt::black) {
    return testing::rendered(widget, scale, background);
}

QColor at(const QImage& image, double x, double y) {
    return image.pixelColor(static_cast<int>(x * scale), static_cast<int>(y * scale));
}

// A dot's colour drawn over black.
QColor overBlack(Color c) {
    return QColor::fromRgbF(static_cast<float>(c.red * c.opacity), static_cast<float>(c.green * c.opacity),
                            static_cast<float>(c.blue * c.opacity));
}

void expectNear(QColor actual, QColor expected, const std::string& where) {
    EXPECT_NEAR(actual.red(), expected.red(), 24) << where;
    EXPECT_NEAR(actual.green(), expected.green(), 24) << where;
    EXPECT_NEAR(actual.blue(), expected.blue(), 24) << where;
}

TEST_F(Painting, DotViewsPaintEveryDotWhereTheLayoutPutsIt) {
    const Color green{0.2, 0.9, 0.4, 1};
    std::vector<std::pair<std::string, std::unique_ptr<DotView>>> views;
    views.emplace_back("ring", DotView::ring({50, green, true}, QSizeF(120, 100)));
    views.emplace_back("text", DotView::text({"9:41", green, 4}));
    views.emplace_back("columns", DotView::columns({{std::nullopt, 4, 10}}, 120));
    views.emplace_back(
        "history",
        DotView::history({{Sample{Date{0}, 35, true, true}, std::nullopt, Sample{Date{0}, 100, false, false}}, green},
                         24));  // ten rows of 8 fill the chart's 80 points
    views.emplace_back("progress", DotView::progress({0.5, green}, 216));
    for (auto& [name, view] : views) {
        const QImage image = render(*view);
        const auto layout = view->currentLayout();
        ASSERT_FALSE(layout.dots.empty()) << name;
        int lit = 0;
        for (const Dot& dot : layout.dots) {
            expectNear(at(image, dot.x, dot.y), overBlack(dot.color), name);
            lit += dot.color.opacity > 0.2;
        }
        EXPECT_GT(lit, 0) << name;
    }
}

TEST_F(Painting, OddNumbersGiveEmptyViewsNotGarbage) {
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    std::unique_ptr<DotView> views[] = {
        std::unique_ptr<DotView>(DotView::text({"12", Color::white(), nan})),
        std::unique_ptr<DotView>(DotView::glyph({{"11"}, Color::white(), -inf})),
        std::unique_ptr<DotView>(DotView::ring({50, Color::white(), false}, QSizeF(inf, nan))),
        std::unique_ptr<DotView>(DotView::history({{Sample{}}, Color::white()}, nan)),
    };
    for (std::size_t i = 0; i < std::size(views); ++i) {
        EXPECT_EQ(views[i]->sizeHint().width(), 0) << i;
        if (i > 1) continue;
        // Dots at places that are not numbers are left out rather than handed to the rasterizer.
        views[i]->resize(40, 40);
        const QImage image = render(*views[i]);
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black)) << i;
        EXPECT_EQ(image.pixelColor(80, 80), QColor(Qt::black)) << i;
    }
}

// The largest difference of any channel between two images of one size.
int largestDifference(const QImage& a, const QImage& b) {
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return most;
}

TEST_F(Painting, DotsLookAsIfFilledOneByOneWhereverThePainterPutsThem) {
    // Centres off the pixel grid, diameters of the ring's and the digits' dots and larger,
    // colours with and without opacity.
    DotLayout layout{40, 40, {}};
    const Color colors[] = {Color::white(), {0.2, 0.9, 0.4, 0.7}, Color::white(0.18)};
    const double diameters[] = {2.5, 4.5, 9.0};
    for (int i = 0; i < 24; ++i)
        layout.dots.push_back({4 + i * 1.37, 6 + (i % 5) * 6.29, diameters[i % 3], colors[i % 3]});
    struct Case {
        const char* what;
        double ratio;  // device pixels a point
        std::function<void(QPainter&)> place;
    };
    const Case cases[] = {
        {"as drawn", 1, [](QPainter&) {}},
        {"at scale 2", 2, [](QPainter&) {}},
        {"moved by a fraction", 1, [](QPainter& p) { p.translate(0.3, 0.71); }},
        {"scaled by the painter", 1, [](QPainter& p) { p.scale(1.5, 1.5); }},
        {"upside down, as the menu bar's picture", 2,
         [](QPainter& p) {
             p.translate(0, 40);
             p.scale(1, -1);
         }},
        {"turned", 1, [](QPainter& p) { p.rotate(10); }},
    };
    for (const auto& c : cases) {
        const auto draw = [&](bool filled) {
            QImage image(QSize(60, 60) * c.ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(c.ratio);
            image.fill(Qt::black);
            QPainter painter(&image);
            c.place(painter);
            if (!filled) {
                paintDots(painter, layout);
                return image;
            }
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            for (const Dot& d : layout.dots) {
                painter.setBrush(toQColor(d.color));
                painter.drawEllipse(QRectF(d.x - d.diameter / 2, d.y - d.diameter / 2, d.diameter, d.diameter));
            }
            return image;
        };
        const QImage filled = draw(true);
        // Twice: the second time from what the first one kept.
        EXPECT_LE(largestDifference(draw(false), filled), 8) << c.what;
        EXPECT_LE(largestDifference(draw(false), filled), 8) << c.what;
    }
}

TEST_F(Painting, ACardOrTheBackdropRepaintedInPartLooksAsPaintedWhole) {
    CardFrame card(norvane::card(14));
    card.resize(200, 100);
    BackdropView backdrop(Backdrop::forSystem(26), true);
    backdrop.resize(200, 100);
    struct Case {
        const char* what;
        QRegion part;
    };
    const Case cases[] = {
        {"a label in the middle", QRegion(30, 30, 120, 16)},
        {"two labels in the middle", QRegion(30, 30, 40, 16) + QRegion(100, 60, 50, 16)},
        {"over a corner", QRegion(8, 4, 60, 16)},
        {"along an edge", QRegion(60, 86, 40, 14)},
    };
    for (QWidget* widget : {static_cast<QWidget*>(&card), static_cast<QWidget*>(&backdrop)}) {
        const QImage whole = render(*widget);
        for (const auto& c : cases) {
            const QImage image = testing::rendered(*widget, scale, Qt::black, c.part);
            for (const QRect& r : c.part)
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x)
                        ASSERT_EQ(at(image, x, y), at(whole, x, y)) << c.what << " at " << x << "," << y;
        }
    }
}

TEST_F(Painting, TheMenuBarImageIsOpacityOnlyWithItsRowsUpsideDown) {
    const QImage image = menuBarImage(50, true, scale);
    ASSERT_EQ(image.size(), QSize(101, 44));
    for (const Dot& dot : menuBarIcon(50, true).dots) {
        const QColor pixel = at(image, dot.x, MenuBarIcon::height - dot.y);
        EXPECT_NEAR(pixel.alpha(), dot.color.opacity * 255, 3) << dot.x << "," << dot.y;
        EXPECT_EQ(pixel.red(), 0);
    }
    // Row 2 is drawn at the top of the image: the awake dot above the tip, nothing below it.
    EXPECT_EQ(at(image, 6 * 3.6 + 1.3, 1.8).alpha(), 255);
    EXPECT_EQ(at(image, 6 * 3.6 + 1.3, 10.8 - 1.8).alpha(), 0);
}

TEST_F(Painting, TheCardsHairlineShowsWholeOnEverySide) {
    CardFrame frame(card(14));
    frame.resize(200, 100);
    const QImage image = render(frame);
    const int fill = at(image, 100, 50).red();
    EXPECT_NEAR(fill, 0.06 * 255, 3);
    for (auto [x, y] : {std::pair{0.5, 50.0}, {199.5, 50.0}, {100.0, 0.5}, {100.0, 99.5}})
        EXPECT_GT(at(image, x, y).red(), fill + 10) << x << "," << y;
    EXPECT_EQ(at(image, 1, 1).red(), 0);  // outside the rounded corner
}

TEST_F(Painting, ACardGivesAWrappedTextEveryLineItNeeds) {
    CardFrame frame(card(14));
    auto* text = new TextLabel(QString("A sentence long enough to wrap. ").repeated(8), note());
    frame.content()->addWidget(text);
    frame.resize(316, frame.heightForWidth(316));
    frame.show();
    QCoreApplication::sendPostedEvents();
    EXPECT_GE(text->height(), text->heightForWidth(text->width()));
    EXPECT_EQ(text->width(), 316 - 28);
}

TEST_F(Painting, AssistiveToolsReadATextWholeAsItsNameAndAsShownAsItsCharacters) {
    installAccessibility();
    TextLabel label("Automatic · on battery", caps());
    const int whole = label.sizeHint().width();
    for (const auto& [width, cut] : {std::pair{whole, false}, std::pair{whole / 2, true}}) {
        label.resize(width, label.sizeHint().height());
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(&label);
        ASSERT_TRUE(read && read->textInterface());
        EXPECT_EQ(read->text(QAccessible::Name), "Automatic · on battery");
        const QString characters = read->textInterface()->text(0, read->textInterface()->characterCount());
        if (cut)
            EXPECT_TRUE(characters.startsWith("AUTO") && characters.endsWith(QChar(0x2026)))
                << characters.toStdString();
        else
            EXPECT_EQ(characters, "AUTOMATIC · ON BATTERY");
    }
}

// Counts the new layouts asked of a widget, or its paints.
struct Events final : QObject {
    QEvent::Type type;
    int count = 0;
    explicit Events(QEvent::Type counted) : type(counted) {}
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == type;
        return false;
    }
    // Runs Qt's events until one was counted, for at most a second.
    bool arrived() {
        QElapsedTimer clock;
        clock.start();
        while (count == 0 && clock.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return count > 0;
    }
};

TEST_F(Painting, ALabelAsksForANewLayoutOnlyWhenItsSizeChangesAndShowsWhatItHoldsNow) {
    TextStyle wrapping = note();
    TextStyle dimmer = note();
    dimmer.color = Color::white(0.3);
    TextStyle larger = note();
    larger.size = 17;
    const QString quit = QStringLiteral("If you quit: 2h 45m \u2192 \u22483h 21m");
    const QString longer = QString("A sentence long enough to wrap. ").repeated(3);
    struct Case {
        const char* what;
        TextStyle style;
        QString before;
        std::function<void(TextLabel&, QWidget& holder)> change;
        std::optional<bool> relayout;  // none where the holder's own resize lays it out
        int lines = 0;                 // the label's most lines after the change
    };
    const Case cases[] = {
        {"a figure as wide", caps(), "72%", [](TextLabel& l, QWidget&) { l.setText("71%"); }, false},
        {"a wider figure", caps(), "72%", [](TextLabel& l, QWidget&) { l.setText("100%"); }, true},
        {"wrapped text as wide", wrapping, quit,
         [](TextLabel& l, QWidget&) { l.setText(QStringLiteral("If you quit: 2h 42m \u2192 \u22483h 17m")); }, false},
        {"wrapped onto more lines", wrapping, quit, [&](TextLabel& l, QWidget&) { l.setText(longer); }, true},
        {"another colour", wrapping, longer, [&](TextLabel& l, QWidget&) { l.setStyle(dimmer); }, false},
        {"a larger size", wrapping, longer, [&](TextLabel& l, QWidget&) { l.setStyle(larger); }, true},
        {"one line at most", wrapping, longer, [](TextLabel& l, QWidget&) { l.setMaximumLines(1); }, true, 1},
        {"a narrower width", wrapping, longer, [](TextLabel&, QWidget& h) { h.resize(90, 400); }, std::nullopt},
        {"a narrower width, then text as wide", wrapping, quit,
         [](TextLabel& l, QWidget& h) {
             h.resize(90, 400);
             QCoreApplication::sendPostedEvents();
             l.setText(QStringLiteral("If you quit: 2h 42m \u2192 \u22483h 17m"));
         },
         std::nullopt},
    };
    for (const auto& c : cases) {
        QWidget holder;
        auto* label = new TextLabel(c.before, c.style);
        auto* layout = new QVBoxLayout(&holder);
        layout->addWidget(label);
        layout->addStretch();
        holder.resize(160, 400);
        Events requests(QEvent::LayoutRequest), paints(QEvent::Paint);
        label->installEventFilter(&paints);
        holder.show();
        ASSERT_TRUE(paints.arrived()) << c.what;
        const QImage before = render(*label);
        paints.count = 0;
        holder.installEventFilter(&requests);
        c.change(*label, holder);
        QCoreApplication::sendPostedEvents();
        if (c.relayout) {
            EXPECT_EQ(requests.count > 0, *c.relayout) << c.what;
        }
        EXPECT_TRUE(paints.arrived()) << c.what;
        // What it measures and shows now is what a label made with the new text does.
        TextLabel fresh(label->text(), label->style());
        fresh.setMaximumLines(c.lines);
        EXPECT_EQ(label->sizeHint(), fresh.sizeHint()) << c.what;
        const int height = c.style.wraps ? fresh.heightForWidth(label->width()) : fresh.sizeHint().height();
        EXPECT_EQ(label->height(), height) << c.what;
        fresh.resize(label->size());
        const QImage after = render(*label);
        EXPECT_EQ(after, render(fresh)) << c.what;
        EXPECT_FALSE(after == before) << c.what;
    }
}

TEST_F(Painting, BackdropIsTranslucentOnlyWhereSomethingShowsThrough) {
    for (int major : {15, 26}) {
        for (bool translucent : {true, false}) {
            BackdropView view(Backdrop::forSystem(major), translucent);
            view.resize(120, 80);
            const QImage image = render(view, Qt::transparent);
            const int alpha = at(image, 60, 40).alpha();
            if (translucent)
                EXPECT_LT(alpha, 250) << major;
            else
                EXPECT_EQ(alpha, 255) << major;
        }
    }
}

TEST_F(Painting, TappingASegmentSelectsItsOption) {
    std::vector<int> chosen;
    std::unique_ptr<SegmentsView> view(
        segmentsView<int>({{15, 30, 60}, 15, false, [](const int& m) { return std::to_string(m); }},
                          [&](const int& m) { chosen.push_back(m); }));
    auto buttons = [&] { return view->findChildren<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly); };
    auto checked = [&] {
        std::vector<bool> out;
        for (auto* b : buttons())
            out.push_back(b->isChecked());
        return out;
    };
    EXPECT_EQ(checked(), (std::vector<bool>{true, false, false}));
    buttons()[2]->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(chosen, std::vector<int>{60});
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, true}));
}

TEST_F(Painting, FractionalTextSizesAreDrawnAtTheirSizeNotTheNearestWholePixel) {
    // DejaVu Sans Mono advances 1233/2048 of its size a character; letter spacing follows
    // each character. At the nearest whole pixel, 24 characters would be 7 points off.
    const QString text(24, 'M');
    const auto width = [&](double size, double tracking) { return 24 * (1233.0 / 2048 * size + tracking); };
    struct Case {
        const char* what;
        double measured, expected;
    };
    TextLabel caps(text, norvane::caps());
    const Pill pill{Color::white(0.1), Color::white()};
    const Case cases[] = {
        {"caps label", static_cast<double>(caps.sizeHint().width()), width(9.5, 1.2)},
        {"pill", static_cast<double>(PillButton(text, pill).sizeHint().width()), width(10.5, 0) + 22},
        {"segment",
         static_cast<double>(segmentsView(Segments<int>{{1}, 1, false, [&](const int&) { return text.toStdString(); }})
                                 ->findChild<QAbstractButton*>()
                                 ->sizeHint()
                                 .width()),
         width(10.5, 0) + 20},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.measured, c.expected, 1.5) << c.what;

    // What is drawn is as wide as what is measured: the ink of the caps label spans its width
    // less the last letter's spacing and the side bearings.
    caps.resize(caps.sizeHint());
    EXPECT_NEAR(testing::inkWidth(render(caps), 40) / scale, width(9.5, 1.2) - 1.2, 2.0);
}

}  // namespace
}  // namespace norvane
