#include "app/panel/qt/UpdateCardView.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/onboarding/Motion.h"
#include "app/visuals/qt/Accessibility.h"
#include "app/visuals/qt/Boxes.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

// "UPDATE" and the running version, apart.
class Header final : public QWidget {
public:
    Header() : running_(new TextLabel(QString(), caps())) {
        auto* row = hbox(this, 8);
        row->addWidget(new TextLabel(QString::fromUtf8(UpdateCard::caption), caps()), 0, Qt::AlignVCenter);
        flexible(row, 8);
        row->addWidget(running_, 0, Qt::AlignVCenter);
    }
    void set(const std::string& running) { running_->setText(qs(running)); }

private:
    TextLabel* running_;
};

// The download's progress as a line of dots.
class Progress final : public DotView {
public:
    Progress() : DotView([](double, double) { return DotLayout{}; }, QSizeF(0, DotProgress::height), true) {
        setAccessibleRole(this, QAccessible::ProgressBar);
        setAccessibleName(QString::fromUtf8(DotProgress::accessibilityLabel));
    }
    void set(const UpdateCard::Bar& bar) {
        const DotProgress progress{bar.fraction, bar.color};
        setLayout([progress](double width, double) { return progress.layout(width); }, QSizeF(0, DotProgress::height));
        if (const QString value = qs(progress.accessibilityValue()); value != accessibleDescription())
            setAccessibleDescription(value);
    }
};

// The stage's buttons, kept by title, in a row at the leading edge.
class Buttons final : public QWidget {
public:
    Buttons() : parts_(hbox(this, UpdateCard::buttonSpacing)) {
        setAttribute(Qt::WA_TranslucentBackground);
        static_cast<QHBoxLayout*>(layout())->addStretch();
    }
    void set(const std::vector<UpdateCard::Button>& buttons, const std::function<void(UpdateCard::Action)>& tap) {
        for (const auto& b : buttons) {
            auto* button = parts_.part<PillButton>(b.title, [&] { return new PillButton(qs(b.title), b.pill); });
            button->setPill(b.pill);
            // A button keeps its title; its action follows the stage.
            QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
            QObject::connect(button, &QAbstractButton::clicked, button, [tap, action = b.action] { tap(action); });
        }
        parts_.end();
    }

private:
    Parts parts_;
};

TextLabel* noteOf(int lines) {
    auto* label = new TextLabel(QString(), note());
    label->setMaximumLines(lines);
    return label;
}

}  // namespace

UpdateCardView::UpdateCardView(AppModel& model, MainQueue& queue, const Workspace& workspace, QWidget* parent)
    : CardFrame(card(14), parent), m_(model), queue_(queue), workspace_(workspace), parts_(content()) {
    content()->setSpacing(static_cast<int>(UpdateCard::spacing));
}

UpdateCardView::~UpdateCardView() {
    frames_.cancel();
}

void UpdateCardView::set(const UpdateCard& card, std::size_t stage) {
    if (shown_ == card) return;
    const bool newStage = stage_ && stage_ != stage && isVisible();
    const int from = height();
    stage_ = stage;
    shown_ = card;
    parts_.part<Header>("header", [] { return new Header; })->set(card.running);
    parts_.part<TextLabel>("title", [] { return new TextLabel(QString(), UpdateCard::titleStyle()); })
        ->setText(qs(card.title));
    if (card.bar) parts_.part<Progress>("bar", [] { return new Progress; })->set(*card.bar);
    if (card.text) {
        // The offer's note shows at most three lines; a failure's message wraps as far as it needs.
        auto* text = parts_.part<TextLabel>("text", [] { return noteOf(0); });
        text->setStyle(card.failure ? UpdateCard::failureStyle() : note());
        text->setMaximumLines(card.bar || card.failure ? 0 : UpdateCard::noteLines);
        text->setText(qs(*card.text));
    }
    if (!card.buttons.empty())
        parts_.part<Buttons>("buttons", [] { return new Buttons; })
            ->set(card.buttons, [this](UpdateCard::Action action) {
                UpdateCard::perform(action, m_, workspace_);
            });
    if (card.blocker)
        parts_.part<TextLabel>("blocker", [] { return new TextLabel(QString(), note()); })->setText(qs(*card.blocker));
    parts_.end();
    if (newStage) spring(from);
}

void UpdateCardView::spring(int from) {
    frames_.cancel();
    settle();
    // Qt shows a part made while the card is shown only when the event loop gets to it; the
    // new height must count it now, or the card springs short of it and jumps at the end.
    for (auto* part : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (part->isHidden() && !part->testAttribute(Qt::WA_WState_ExplicitShowHide)) part->show();
    const int to = heightForWidth(width());
    if (to <= 0 || to == from) return;
    // The content stands where it will stay from the first frame, so a press aimed at a
    // button lands on it however slowly the frames come.
    holdContent(to);
    const Spring motion{UpdateCard::springResponse, UpdateCard::springDamping};
    const double start = queue_.uptime();
    const auto frame = [this, motion, start, from, to] {
        const double t = queue_.uptime() - start;
        if (t >= motion.duration()) return settle();
        // The content keeps its place; the card's edge moves, overshoot included.
        setFixedHeight(std::max(0, static_cast<int>(std::lround(from + (to - from) * motion.value(t)))));
    };
    frame();
    frames_ = queue_.every(1.0 / 60, frame);
}

void UpdateCardView::settle() {
    frames_.cancel();
    holdContent(std::nullopt);
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
}

void UpdateCardView::hideEvent(QHideEvent* event) {
    CardFrame::hideEvent(event);
    settle();  // a hidden card runs no frames
}

}  // namespace norvane
