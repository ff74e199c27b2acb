#include "app/panel/qt/PanelView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/visuals/qt/Accessibility.h"
#include "app/visuals/qt/Boxes.h"
#include "app/visuals/qt/FocusRing.h"
#include "app/panel/qt/ModelWatch.h"
#include "app/panel/qt/NoticesView.h"
#include "app/panel/qt/SettingsView.h"
#include "app/visuals/ChargeTone.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/SegmentsView.h"
#include "app/visuals/qt/TextLabel.h"
#include "platform/CommandLine.h"

namespace norvane {
namespace {

constexpr int whole(double points) {
    return static_cast<int>(points);
}

// The red dot before the title.
class RedDot final : public QWidget {
public:
    RedDot() { setFixedSize(whole(Panel::dotSide), whole(Panel::dotSide)); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(signalRed));
        painter.drawEllipse(QRectF(rect()));
    }
};

// The settings gear: eight teeth around a hole, in the accent while the settings are open.
// Checked while they are open, which assistive tools read as the selected trait.
class GearButton final : public QAbstractButton {
public:
    GearButton() {
        setFixedSize(whole(Panel::gearSide), whole(Panel::gearSide));
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(QString::fromUtf8(Panel::gearLabel));
        setCheckable(true);
    }
    void set(Color color, bool selected) {
        setChecked(selected);
        if (color == color_) return;
        color_ = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(width() / 2.0, height() / 2.0);
        constexpr int teeth = 8;
        constexpr double outer = 8.5, root = 6.6, hole = 2.8;
        QPainterPath gear;
        for (int i = 0; i < 2 * teeth; ++i) {
            // Each tooth and each gap takes an eighth of a turn; a tooth is flat on top.
            const double middle = i * std::numbers::pi / teeth;
            const double half = std::numbers::pi / teeth * 0.42;
            const double r = i % 2 == 0 ? outer : root;
            const QPointF a(r * std::sin(middle - half), -r * std::cos(middle - half));
            const QPointF b(r * std::sin(middle + half), -r * std::cos(middle + half));
            if (i == 0)
                gear.moveTo(a);
            else
                gear.lineTo(a);
            gear.lineTo(b);
        }
        gear.closeSubpath();
        gear.addEllipse(QPointF(0, 0), hole, hole);
        gear.setFillRule(Qt::OddEvenFill);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(color_));
        painter.drawPath(gear);
    }

private:
    Color color_ = Color::white();
};

QScrollArea* scrollArea(QWidget* content) {
    auto* area = new QScrollArea;
    area->setWidget(content);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setAttribute(Qt::WA_TranslucentBackground);
    area->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    return area;
}

constexpr double contentWidth = Panel::width - 2 * Panel::padding;

}  // namespace

PanelView::PanelView(AppModel& model, MainQueue& queue, PanelContext context, Backdrop backdrop, bool translucent,
                     VisibleHeight visibleHeight)
    : BackdropView(backdrop, translucent),
      m_(model),
      queue_(queue),
      context_(std::move(context)),
      visibleHeight_(std::move(visibleHeight)),
      panel_(Panel::make(context_.arguments)),
      accent_(panelAccent(model.battery(), model.tint())),
      short_(hasArgument(context_.arguments, "--short")),
      tall_(hasArgument(context_.arguments, "--tall")) {
    installAccessibility();
    new FocusRing(this);
    setFixedWidth(whole(Panel::width));
    auto* layout = vbox(this, Panel::spacing);

    auto* header = new QWidget;
    auto* row = hbox(header, Panel::headerSpacing);
    row->setContentsMargins(whole(Panel::headerPadding), 0, whole(Panel::headerPadding), 0);
    row->addWidget(new RedDot, 0, Qt::AlignVCenter);
    row->addWidget(new TextLabel(qs(Panel::title), Panel::titleStyle()), 0, Qt::AlignVCenter);
    row->addStretch(1);
    pageSwitch_ = new SegmentsView;
    pageSwitch_->setOnTap([this](std::size_t index) {
        const auto& options = panel_.header(accent_).pages.options;
        if (index < options.size()) panel_.choose(options[index]);
        showPage();
    });
    row->addWidget(pageSwitch_, 0, Qt::AlignVCenter);
    auto* gear = new GearButton;
    connect(gear, &QAbstractButton::clicked, this, [this] {
        panel_.toggleSettings();
        showPage();
    });
    gear_ = gear;
    row->addWidget(gear_, 0, Qt::AlignVCenter);
    layout->addWidget(header);
    // The notices stay above the Stats page and the settings screen; the pages follow them.
    pages_ = new QWidget;
    pages_->setAttribute(Qt::WA_TranslucentBackground);
    pageNotices_ = new NoticesView(m_, queue_, shell_, *context_.workspace, accent_);
    auto* pages = vbox(pages_, 0);
    pages->addWidget(pageNotices_);
    pages->addStretch();  // room the window has beyond the page stays empty below it
    layout->addWidget(pages_);

    new ModelWatch(*this, m_, queue_, {ModelField::battery, ModelField::tint}, [this] { refreshAccent(); });
    new ModelWatch(*this, m_, queue_, {ModelField::wantedTab}, [this] {
        if (!m_.wantedTab()) return;
        panel_.takeWantedTab(m_);
        showPage();
    });
    showPage();
}

PanelView::~PanelView() = default;

void PanelView::showEvent(QShowEvent* event) {
    BackdropView::showEvent(event);
    // A request made while the panel was closed is taken as it opens.
    if (m_.wantedTab()) {
        panel_.takeWantedTab(m_);
        showPage();
    }
}

QScrollArea* PanelView::area(Panel::Page page) {
    QScrollArea*& area = areas_[static_cast<std::size_t>(page)];
    if (area) return area;
    QWidget* content = nullptr;
    if (page == Panel::Page::now) {
        // The notices come above the Now page's content and scroll with it.
        nowContent_ = new QWidget;
        nowContent_->setAttribute(Qt::WA_TranslucentBackground);
        auto* column = vbox(nowContent_, 0);
        // Room above the headline for the focus ring of its chip, which the scroll area would
        // cut; the area starts as much higher (showPage), so the page stands where it did.
        column->setContentsMargins(0, FocusRing::margin, 0, 0);
        nowNotices_ = new NoticesView(m_, queue_, shell_, *context_.workspace, accent_);
        column->addWidget(nowNotices_);
        now_ = new NowTabView(m_, queue_, context_, accent_);
        column->addWidget(now_);
        nowContent_->installEventFilter(this);
        content = nowContent_;
    } else if (page == Panel::Page::stats) {
        stats_ = new StatsTabView(m_, queue_, context_, accent_);
        content = stats_;
    } else {
        // The settings screen fills this; its content ends with the panel's bottom padding,
        // so it scrolls to the panel's edge.
        content = new QWidget;
        content->setAttribute(Qt::WA_TranslucentBackground);
        vbox(content, 0)->setContentsMargins(0, 0, 0, whole(Panel::padding));
        settings_ = new SettingsView(m_, queue_, shell_, accent_);
        content->layout()->addWidget(settings_);
    }
    area = scrollArea(content);
    // Under the notices, the pages made so far in their order.
    int place = 1;
    for (std::size_t i = 0; i < static_cast<std::size_t>(page); ++i)
        if (areas_[i]) ++place;
    static_cast<QVBoxLayout*>(pages_->layout())->insertWidget(place, area);
    return area;
}

void PanelView::showPage() {
    const Panel::Page shown = panel_.page();
    // Showing or hiding a page lays the panel out at once; the pages change while their
    // layout waits, so the panel never stands for a moment with two pages (taller than a
    // small screen) or none.
    QLayout* pages = pages_->layout();
    pages->setEnabled(false);
    for (std::size_t i = 0; i < areas_.size(); ++i)
        if (areas_[i] && static_cast<Panel::Page>(i) != shown) areas_[i]->hide();
    area(shown)->show();
    pages->setEnabled(true);
    pageNotices_->setVisible(shown != Panel::Page::now);
    layout()->setContentsMargins(whole(Panel::padding), whole(Panel::padding), whole(Panel::padding),
                                 whole(panel_.bottomPadding()));
    static_cast<QBoxLayout*>(layout())->setSpacing(whole(Panel::spacing) -
                                                   (shown == Panel::Page::now ? FocusRing::margin : 0));
    refreshHeader();
    fitPages();
}

void PanelView::refreshHeader() {
    const Panel::Header header = panel_.header(accent_);
    pageSwitch_->setSegments(header.pages.segments());
    static_cast<GearButton*>(gear_)->set(header.gear, header.gearSelected);
}

void PanelView::refreshAccent() {
    const Color accent = panelAccent(m_.battery(), m_.tint());
    if (accent == accent_) return;
    accent_ = accent;
    refreshHeader();
    if (now_) now_->setAccent(accent);
    if (stats_) stats_->setAccent(accent);
    pageNotices_->setAccent(accent);
    if (nowNotices_) nowNotices_->setAccent(accent);
    if (settings_) settings_->setAccent(accent);
}

void PanelView::setShell(PanelShell shell) {
    shell_ = std::move(shell);
    pageNotices_->shellChanged();
    if (nowNotices_) nowNotices_->shellChanged();
    if (settings_) settings_->shellChanged();
}

void PanelView::fitPages() {
    const std::optional<double> visible = visibleHeight_ ? visibleHeight_() : std::nullopt;
    for (const Panel::Page page : {Panel::Page::stats, Panel::Page::settings}) {
        QScrollArea* area = areas_[static_cast<std::size_t>(page)];
        const int height = whole(Panel::pageHeight(page, tall_, visible));
        if (area && (area->height() != height || area->minimumHeight() != height)) area->setFixedHeight(height);
    }
    QScrollArea* page = areas_[static_cast<std::size_t>(Panel::Page::now)];
    if (!page || !nowContent_) return;
    const int width = whole(contentWidth);
    const int content =
        nowContent_->hasHeightForWidth() ? nowContent_->heightForWidth(width) : nowContent_->sizeHint().height();
    const double cap = Panel::nowHeightCap(short_, visible);
    const int height = std::min(content, static_cast<int>(std::floor(cap)));
    if (page->height() != height || page->minimumHeight() != height) page->setFixedHeight(height);
}

void PanelView::keyPressEvent(QKeyEvent* event) {
    // Return presses the control that has the keyboard focus, as Space does: the panel has no
    // default button for it to stand for. A control that takes Return itself never lets it come here.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        if (button && isAncestorOf(button) && button->isEnabled()) {
            if (!event->isAutoRepeat()) button->animateClick();
            return;
        }
    }
    BackdropView::keyPressEvent(event);
}

bool PanelView::eventFilter(QObject* watched, QEvent* event) {
    // The Now page grows or shrinks with its content (choices, a tip, a list opening).
    if (watched == nowContent_ && event->type() == QEvent::LayoutRequest) fitPages();
    return BackdropView::eventFilter(watched, event);
}

}  // namespace norvane
