#include "app/onboarding/qt/TourPageView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/onboarding/qt/Illustrations.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/Painting.h"

namespace norvane {
namespace {

QWidget* tileIcon(const TileIcon& icon) {
    return std::visit(
        [](const auto& shape) -> QWidget* {
            using Shape = std::decay_t<decltype(shape)>;
            if constexpr (std::is_same_v<Shape, DotText>)
                return DotView::text(shape);
            else if constexpr (std::is_same_v<Shape, DotGlyph>)
                return DotView::glyph(shape);
            else if constexpr (std::is_same_v<Shape, DotBar>)
                return DotView::bar(shape);
            else {
                auto* bars = new QWidget;
                auto* column = vbox(bars, Bars::spacing);
                for (const DotBar& bar : shape.bars)
                    column->addWidget(DotView::bar(bar), 0, Qt::AlignLeft);
                return bars;
            }
        },
        icon);
}

// Another icon of the same shape in the widget `tileIcon` made (the bars take no tint).
void showIcon(QWidget* view, const TileIcon& icon) {
    std::visit(
        [view](const auto& shape) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(shape)>, Bars>)
                static_cast<DotView*>(view)->setFixed(shape.layout());
        },
        icon);
}

CardFrame* tileCard(const Tile& tile, QWidget* iconView) {
    auto* card = tourCard(Tile::padding);
    card->setMinimumHeight(points(Tile::minimumHeight + 2 * Tile::padding));
    card->content()->setSpacing(points(Tile::stackSpacing));
    auto* icon = new QWidget;
    icon->setFixedHeight(points(Tile::iconHeight));
    hbox(icon, 0)->addWidget(iconView, 0, Qt::AlignLeft | Qt::AlignVCenter);
    card->content()->addWidget(icon);
    TextStyle title = Tile::titleStyle();
    title.wraps = true;
    card->content()->addWidget(textLabel(tile.title, title));
    card->content()->addWidget(textLabel(tile.text, note()));
    card->content()->addStretch(1);
    return card;
}

MenuBarHero menuBarHero(const AppModel& m) {
    return {m.menuText(), m.battery().percent};
}

}  // namespace

TourPageView::TourPageView(AppModel& model, MainQueue& queue, const TourState& state, PageInputs inputs,
                           QWidget* parent)
    : QWidget(parent), m_(model), queue_(queue), step_(state.step), inputs_(std::move(inputs)) {
    const TourPage page = tourPage(step_);
    auto* column = vbox(this, 0);

    // The picture in its dark box, stretched across the page.
    auto* box = new RoundedBox(PageLayout::heroCornerRadius, PageLayout::heroFill, PageLayout::heroEdge);
    box->setFixedHeight(points(PageLayout::heroHeight));
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const HeroInputs hero{inputs_.look.accent, menuBarHero(m_), inputs_.clock};
    QWidget* picture = heroView(page.hero, queue_, inputs_.look.still, hero);
    if (page.hero == Hero::menuBar) menuBar_ = static_cast<MenuBarHeroView*>(picture);
    if (page.hero == Hero::control) control_ = static_cast<ControlHeroView*>(picture);
    auto* boxLayout = vbox(box, 0);
    boxLayout->addWidget(picture, 0, page.hero == Hero::control ? Qt::AlignVCenter : Qt::AlignCenter);
    column->addWidget(box);

    column->addSpacing(points(PageLayout::titleGap));
    TextStyle title = PageLayout::titleStyle();
    title.wraps = true;
    column->addWidget(textLabel(page.title, title));
    column->addSpacing(points(PageLayout::textGap));
    column->addWidget(new Paragraph(page.text, PageLayout::textStyle(), PageLayout::textLineSpacing));
    column->addSpacing(points(PageLayout::contentGap));
    column->addWidget(content(state));
    column->addStretch(1);

    if (step_ == OnboardingStep::finish)
        modelFields_ = m_.subscribe(closingFields, [this] { showModel(); });
}

QWidget* TourPageView::content(const TourState& state) {
    const TourPage page = tourPage(step_);
    switch (page.content) {
        case PageContent::tiles:
            tiles_ = tiles(step_, inputs_.look.accent, inputs_.look.waiting);
            return tileGrid(tiles_, page.columns);
        case PageContent::accessCard:
            card_ = new AccessCardView(queue_, *permissionTexts(step_), *state.access(step_), inputs_.look,
                                       inputs_.relaunch);
            return card_;
        case PageContent::closing:
            return closing(state);
    }
    return new QWidget;
}

QWidget* TourPageView::tileGrid(const std::vector<Tile>& tiles, int columns) {
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(points(Tile::spacing));
    const int count = std::max(columns, 1);
    for (int column = 0; column < count; ++column) {
        layout->setColumnStretch(column, 1);
        layout->setColumnMinimumWidth(column, points(Tile::minimumColumn));
    }
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        tileIcons_.push_back(tileIcon(tiles[i].icon));
        layout->addWidget(tileCard(tiles[i], tileIcons_.back()), static_cast<int>(i) / count,
                          static_cast<int>(i) % count);
    }
    return grid;
}

QWidget* TourPageView::closing(const TourState& state) {
    const ClosingRows rows = closingRows(state.notifications, state.helper, inputs_.inBundle, m_.openAtLogin(),
                                         inputs_.look.accent, inputs_.look.granted, inputs_.look.waiting);
    auto* list = new QWidget;
    auto* column = vbox(list, ClosingRows::spacing);
    for (const SummaryRow& row : rows.permissions) {
        rows_.push_back(new SummaryRowView(queue_, row, inputs_.look));
        column->addWidget(rows_.back());
    }
    if (rows.login) {
        auto* card = tourCard(ClosingRows::padding);
        auto* line = new QHBoxLayout;
        line->addWidget(textLabel(LoginRow::label, AccessCard::titleStyle()), 0, Qt::AlignVCenter);
        line->addStretch(1);
        login_ = new SwitchButton(rows.login->on, rows.login->tint);
        login_->setAccessibleName(QString::fromUtf8(LoginRow::label));
        // The switch then shows what the model reports back, which may be the old state.
        connect(login_, &QAbstractButton::clicked, this, [this] { m_.setOpenAtLogin(!login_->isOn()); });
        line->addWidget(login_, 0, Qt::AlignVCenter);
        card->content()->addLayout(line);
        column->addWidget(card);
    }
    return list;
}

void TourPageView::setState(const TourState& state) {
    if (card_) card_->setAccess(*state.access(step_));
    if (rows_.empty()) return;
    const ClosingRows rows = closingRows(state.notifications, state.helper, inputs_.inBundle, m_.openAtLogin(),
                                         inputs_.look.accent, inputs_.look.granted, inputs_.look.waiting);
    for (std::size_t i = 0; i < rows_.size() && i < rows.permissions.size(); ++i)
        rows_[i]->setRow(rows.permissions[i]);
}

void TourPageView::setRelaunchFailure(const std::optional<std::string>& reason) {
    if (card_) card_->setRelaunchFailure(reason);
}

void TourPageView::setAccent(Color accent) {
    if (accent == inputs_.look.accent) return;
    inputs_.look.accent = accent;
    const std::vector<Tile> shown = tiles(step_, accent, inputs_.look.waiting);
    for (std::size_t i = 0; i < shown.size() && i < tiles_.size(); ++i)
        if (shown[i].icon != tiles_[i].icon) showIcon(tileIcons_[i], shown[i].icon);
    tiles_ = shown;
    if (control_) control_->setAccent(accent);
    if (card_) card_->setAccent(accent);
    if (login_) login_->setTint(accent);
}

void TourPageView::showModel() {
    if (menuBar_) menuBar_->setItem(menuBarHero(m_));
    if (login_) login_->setOn(m_.openAtLogin());
}

}  // namespace norvane
