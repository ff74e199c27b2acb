#include "app/onboarding/qt/OnboardingView.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

#include "app/onboarding/MenuBarHero.h"
#include "app/visuals/ChargeTone.h"
#include "app/visuals/qt/FocusRing.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/PillButton.h"

namespace norvane {
namespace {

// Out of sight now, gone once the event loop gets to it: a click may be replacing the very
// button that was clicked.
void discard(QWidget* widget) {
    widget->hide();
    widget->deleteLater();
}

// A cross on a faint circle, which is also its hit shape.
class CloseButton final : public QAbstractButton {
public:
    CloseButton() {
        using Close = TourWindow::CloseButton;
        setFixedSize(points(Close::side), points(Close::side));
        setAccessibleName(QString::fromUtf8(Close::accessibility));
        setToolTip(QString::fromUtf8(Close::help));
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    bool hitButton(const QPoint& pos) const override {
        const QPointF offset = QPointF(pos) - QRectF(rect()).center();
        return std::hypot(offset.x(), offset.y()) <= width() / 2.0;
    }
    void paintEvent(QPaintEvent*) override {
        using Close = TourWindow::CloseButton;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(Close::circle));
        painter.drawEllipse(QRectF(rect()));
        // The cross as an 11-point semibold symbol draws it: about 7 points wide.
        const double arm = Close::symbolSize * 0.32;
        const QPointF c = QRectF(rect()).center();
        painter.setPen(QPen(toQColor(Close::symbolColor), 1.7, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(c.x() - arm, c.y() - arm), QPointF(c.x() + arm, c.y() + arm));
        painter.drawLine(QPointF(c.x() - arm, c.y() + arm), QPointF(c.x() + arm, c.y() - arm));
    }
};

}  // namespace

// One dot a step, the current one larger; read by assistive tools as one "Step n of 6".
class OnboardingView::ProgressDots final : public QWidget {
public:
    ProgressDots() { setAttribute(Qt::WA_TranslucentBackground); }
    void set(const TourWindow::Progress& progress) {
        progress_ = progress;
        double width = 0, height = 0;
        for (const auto& dot : progress_.dots) {
            width += dot.diameter;
            height = std::max(height, dot.diameter);
        }
        if (!progress_.dots.empty()) width += TourWindow::Progress::spacing * (progress_.dots.size() - 1);
        setFixedSize(static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height)));
        setAccessibleName(QString::fromStdString(progress_.accessibility));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        double x = 0;
        for (const auto& dot : progress_.dots) {
            painter.setBrush(toQColor(dot.color));
            painter.drawEllipse(QRectF(x, (height() - dot.diameter) / 2, dot.diameter, dot.diameter));
            x += dot.diameter + TourWindow::Progress::spacing;
        }
    }

private:
    TourWindow::Progress progress_;
};

// Where the pages lie: each fills it, in a scroll area of its own whose content scrolls where
// the window is shorter than the page (a small screen), and what moves out of it is cut off.
class OnboardingView::PageArea final : public QWidget {
public:
    PageArea() { setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding); }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        for (QWidget* page : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            page->resize(size());
    }
};

OnboardingView::OnboardingView(AppModel& model, Onboarding& tour, MainQueue& queue, TourSetup setup, QWidget* parent)
    : QWidget(parent),
      m_(model),
      tour_(tour),
      queue_(queue),
      setup_(std::move(setup)),
      loop_(tour, queue),
      motion_(queue),
      shown_(TourState::of(tour)) {
    setFixedSize(points(TourWindow::width), points(TourWindow::height));  // the window may make it shorter
    setFocusPolicy(Qt::StrongFocus);
    new FocusRing(this);  // the button a key moved to is marked
    setAttribute(Qt::WA_TranslucentBackground, setup_.translucent);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::ButtonText, Qt::white);
    setPalette(palette);

    auto* column = vbox(this, 0);
    const int padding = points(TourWindow::padding);
    column->setContentsMargins(padding, padding, padding, padding);
    column->addWidget(topBar());
    column->addSpacing(points(TourWindow::topGap));
    area_ = new PageArea;
    column->addWidget(area_, 1);
    column->addSpacing(points(TourWindow::footerGap));
    column->addWidget(footer());

    showPage(shown_, false);
    refresh();
    tourFields_ = tour_.subscribe(tourFields, [this] { refresh(); });
    tint_ = m_.subscribe({ModelField::tint}, [this] { retint(); });
}

OnboardingView::~OnboardingView() {
    motion_.stop();
}

QWidget* OnboardingView::topBar() {
    auto* bar = new QWidget;
    auto* row = hbox(bar, TourWindow::barSpacing);
    const int dot = points(TourWindow::redDot);
    row->addWidget(new Drawing(QSize(dot, dot),
                               [](QPainter& painter, const QRectF& box) {
                                   painter.setBrush(toQColor(signalRed));
                                   painter.drawEllipse(box);
                               }),
                   0, Qt::AlignVCenter);
    row->addWidget(textLabel(TourWindow::name, TourWindow::nameStyle()), 0, Qt::AlignVCenter);
    row->addStretch(1);
    dots_ = new ProgressDots;
    row->addWidget(dots_, 0, Qt::AlignVCenter);
    row->addStretch(1);
    close_ = new CloseButton;
    connect(close_, &QAbstractButton::clicked, this, [this] { perform(TourWindow::Action::close, tour_, setup_.doors); });
    row->addWidget(close_, 0, Qt::AlignVCenter);
    return bar;
}

QWidget* OnboardingView::footer() {
    auto* bar = new QWidget;
    auto* row = hbox(bar, TourWindow::barSpacing);
    const TourWindow::Button back = *TourWindow::footer({OnboardingStep::know}).back;
    back_ = new PillButton(QString::fromStdString(back.title), back.pill(m_.tint()));
    connect(back_, &QAbstractButton::clicked, this, [this, back] { act(back); });
    row->addWidget(back_, 0, Qt::AlignVCenter);
    row->addStretch(1);
    auto* buttons = new QWidget;
    buttons_ = std::make_unique<Parts>(hbox(buttons, TourWindow::barSpacing));
    row->addWidget(buttons, 0, Qt::AlignVCenter);
    // The bar keeps its height whichever buttons it holds.
    bar->setFixedHeight(back_->sizeHint().height());
    return bar;
}

std::vector<QAbstractButton*> OnboardingView::footerButtons() const {
    std::vector<QAbstractButton*> out;
    if (!back_->isHidden()) out.push_back(back_);
    if (footer_)
        for (const auto& description : footer_->buttons)
            if (auto* button = dynamic_cast<QAbstractButton*>(buttons_->find(description.title))) out.push_back(button);
    return out;
}

void OnboardingView::refresh() {
    const TourState state = TourState::of(tour_);
    if (state.step != shown_.step)
        showPage(state, animateNext_ && isVisible());
    else if (state != shown_)
        page_->setState(state);
    shown_ = state;
    page_->setRelaunchFailure(tour_.relaunchFailure());
    const auto progress = TourWindow::progress(state, setup_.granted, setup_.waiting);
    if (progress != progress_) {
        progress_ = progress;
        dots_->set(progress_);
    }
    showFooter(TourWindow::footer(state));
}

void OnboardingView::makePage(const TourState& state) {
    PageInputs inputs{AccessLook{m_.tint(), setup_.granted, setup_.waiting, setup_.still}, setup_.inBundle,
                      MenuBarHero::clock(setup_.format, queue_.now()), setup_.relaunch};
    auto* scroll = new QScrollArea(area_);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // as the panel's pages
    scroll->setAttribute(Qt::WA_TranslucentBackground);
    scroll->viewport()->setAutoFillBackground(false);
    auto* page = new TourPageView(m_, queue_, state, std::move(inputs));
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    page->setAutoFillBackground(false);  // which setting it in the scroll area turned on
    scroll->setGeometry(area_->rect());
    page_ = page;
    frame_ = scroll;
}

void OnboardingView::showPage(const TourState& state, bool animated) {
    motion_.finish();  // a change under way ends where it was going
    QPointer<QWidget> leaving = frame_;
    makePage(state);
    frame_->show();
    if (!leaving) return;
    if (!animated) return discard(leaving);

    // The new page slides in from the side it comes from, the old one out to the other;
    // with reduce motion they only cross-fade.
    const PageTransition transition = pageTransition(state.forward, setup_.still);
    leaving->setAttribute(Qt::WA_TransparentForMouseEvents);
    dropEffectsWithin(*leaving);  // its banner or card may be fading still
    const auto fade = [](QWidget* widget, double opacity) {
        auto* effect = new QGraphicsOpacityEffect(widget);
        effect->setOpacity(opacity);
        widget->setGraphicsEffect(effect);
        return QPointer<QGraphicsOpacityEffect>(effect);
    };
    QPointer<QWidget> entering = frame_;
    auto in = fade(entering, 0), out = fade(leaving, 1);
    motion_.start(
        stepSpring,
        [transition, entering, leaving, in, out](double progress) {
            const auto frame = transition.at(progress);
            if (entering) entering->move(static_cast<int>(std::lround(frame.enteringOffset)), 0);
            if (in) in->setOpacity(frame.enteringOpacity);
            if (leaving) leaving->move(static_cast<int>(std::lround(frame.leavingOffset)), 0);
            if (out) out->setOpacity(frame.leavingOpacity);
        },
        [entering, leaving] {
            if (entering) {
                entering->move(0, 0);
                entering->setGraphicsEffect(nullptr);
            }
            if (leaving) discard(leaving);
        });
}

void OnboardingView::showFooter(const TourWindow::Footer& footer, bool retint) {
    if (footer_ == footer && !retint) return;
    back_->setVisible(footer.back.has_value());
    if (footer.back) back_->setPill(footer.back->pill(m_.tint()));
    footer_ = footer;
    // A button whose title stays is the same button, updated: a press under way survives.
    for (const TourWindow::Button& description : footer.buttons) {
        const std::string title = description.title;
        auto* button = buttons_->part<PillButton>(title, [&] {
            auto* made = new PillButton(QString::fromStdString(title), description.pill(m_.tint()));
            connect(made, &QAbstractButton::clicked, this, [this, title] {
                for (const auto& shown : footer_->buttons)
                    if (shown.title == title) return act(shown);
            });
            return made;
        });
        button->setPill(description.pill(m_.tint()));
        button->setEnabled(description.enabled);
    }
    buttons_->end();
}

void OnboardingView::retint() {
    page_->setAccent(m_.tint());
    showFooter(TourWindow::footer(shown_), true);
}

void OnboardingView::act(const TourWindow::Button& button) {
    if (!button.enabled) return;
    animateNext_ = button.animated;
    perform(button.action, tour_, setup_.doors);
    animateNext_ = false;
}

void OnboardingView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(setup_.backdrop.fill(setup_.translucent)));
    painter.drawRoundedRect(QRectF(rect()), TourWindow::cornerRadius, TourWindow::cornerRadius);
}

void OnboardingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    loop_.show();
}

void OnboardingView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    loop_.hide();
    motion_.finish();
}

void OnboardingView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        perform(TourWindow::Action::close, tour_, setup_.doors);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Return presses the step's main button; while a permission is checked there is none.
        for (const auto& description : footer_->buttons)
            if (description.primary && description.enabled) return act(description);
        return;
    }
    QWidget::keyPressEvent(event);
}

void OnboardingView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    grab_ = event->globalPosition().toPoint() - window()->pos();
}

void OnboardingView::mouseMoveEvent(QMouseEvent* event) {
    if (!grab_ || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    window()->move(event->globalPosition().toPoint() - *grab_);
}

void OnboardingView::mouseReleaseEvent(QMouseEvent* event) {
    grab_.reset();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace norvane
