#pragma once
// The tour's window content on Qt: the top bar (red dot, name, progress dots, close), the
// page of the current step, sliding (or cross-fading) with the spring when the step
// changes, and the footer with the buttons of the step and its permission. While it is
// shown it asks for the permissions again a second after each answer; Esc closes it, Return
// presses the step's main button, and a drag on its background moves the window. The window
// may make it shorter than its page (a small screen): the page then scrolls between the bars.

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "app/model/AppModel.h"
#include "app/onboarding/RefreshLoop.h"
#include "app/onboarding/TourWindow.h"
#include "app/onboarding/qt/TourPageView.h"
#include "app/visuals/Backdrop.h"
#include "app/visuals/qt/Parts.h"
#include "platform/DateFormatter.h"

class QHBoxLayout;

namespace norvane {

class PillButton;

// What the shell hands the tour's window besides the models.
struct TourSetup {
    bool still = false;  // the system's reduce-motion setting, read when the window opens
    Color granted = grantedGreen;
    Color waiting = waitingAmber;
    Backdrop backdrop;
    bool translucent = false;  // a compositor shows what lies behind the window
    bool inBundle = false;     // the app runs from its bundle: the closing page offers the login item
    DateFormatter format = DateFormatter::current();  // the menu-bar picture's clock
    TourDoors doors;
    std::function<void()> relaunch;  // the access card's restart link
};

class OnboardingView final : public QWidget {
public:
    // The model, the tour and the queue must outlive the view.
    OnboardingView(AppModel& model, Onboarding& tour, MainQueue& queue, TourSetup setup, QWidget* parent = nullptr);
    ~OnboardingView() override;

    TourPageView* page() const { return page_; }
    // The scroll area the page lies in, which slides and fades with it.
    QWidget* pageFrame() const { return frame_; }
    // The footer's buttons as shown: Back (when shown), then those on the right.
    std::vector<QAbstractButton*> footerButtons() const;
    QAbstractButton* closeButton() const { return close_; }
    const TourWindow::Progress& progress() const { return progress_; }
    bool moving() const { return motion_.running(); }  // a page change is under way

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    class ProgressDots;
    class PageArea;

    QWidget* topBar();
    QWidget* footer();
    // Shows what the tour holds now: the page of its step, its states, the dots, the footer.
    void refresh();
    void showPage(const TourState& state, bool animated);
    // The footer's buttons for the step; with `retint`, their pills again though the footer
    // is the same (the tint changed).
    void showFooter(const TourWindow::Footer& footer, bool retint = false);
    // The desktop picture's tint, decoded after the window showed: the page and the buttons
    // take it in place.
    void retint();
    void act(const TourWindow::Button& button);
    // Makes the page of the state in a scroll area of its own: the new `page_` and `frame_`.
    void makePage(const TourState& state);

    AppModel& m_;
    Onboarding& tour_;
    MainQueue& queue_;
    TourSetup setup_;
    RefreshLoop loop_;
    SpringAnimation motion_;
    TourState shown_;
    TourWindow::Progress progress_;
    std::optional<TourWindow::Footer> footer_;
    bool animateNext_ = false;  // the next step change moves with the spring

    ProgressDots* dots_ = nullptr;
    QAbstractButton* close_ = nullptr;
    PageArea* area_ = nullptr;
    TourPageView* page_ = nullptr;
    QWidget* frame_ = nullptr;  // the page's scroll area
    PillButton* back_ = nullptr;
    std::unique_ptr<Parts> buttons_;  // on the right of the footer, by title
    std::optional<QPoint> grab_;  // where a drag of the background took the window
    Observers::Subscription tourFields_;
    Observers::Subscription tint_;
};

}  // namespace norvane
