#pragma once
// One page of the tour on Qt: its picture in a dark box, its title and text, and its
// content (tiles, the access card of its permission, or the closing rows). A page is made
// for one step; the permission states, the model's figures and the app's tint it shows
// change in place.

#include <QAbstractButton>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/model/AppModel.h"
#include "app/onboarding/TourWindow.h"
#include "app/onboarding/qt/AccessCardView.h"
#include "app/visuals/qt/SwitchButton.h"

namespace norvane {

class ControlHeroView;
class MenuBarHeroView;

// What a page reads besides the tour's state.
struct PageInputs {
    AccessLook look;                 // the accent is the app's tint
    bool inBundle = false;           // the login switch shows only in the app's bundle
    std::string clock;               // the menu-bar picture's, read when the page is made
    std::function<void()> relaunch;  // the access card's restart link
};

class TourPageView final : public QWidget {
public:
    // The model and the queue must outlive the page.
    TourPageView(AppModel& model, MainQueue& queue, const TourState& state, PageInputs inputs,
                 QWidget* parent = nullptr);
    OnboardingStep step() const { return step_; }
    // The permissions' states, shown in place.
    void setState(const TourState& state);
    // Why the last restart from the tour did not happen: said on a permission page's card.
    void setRelaunchFailure(const std::optional<std::string>& reason);
    // The app's tint, decoded after the page was made: the tiles' figures, the picture's
    // badge, the restart link and the login switch take it.
    void setAccent(Color accent);

    AccessCardView* accessCard() const { return card_; }
    SwitchButton* loginSwitch() const { return login_; }

private:
    QWidget* content(const TourState& state);
    QWidget* tileGrid(const std::vector<Tile>& tiles, int columns);
    QWidget* closing(const TourState& state);
    void showModel();  // the closing page's figures

    AppModel& m_;
    MainQueue& queue_;
    OnboardingStep step_;
    PageInputs inputs_;
    AccessCardView* card_ = nullptr;
    std::vector<SummaryRowView*> rows_;
    SwitchButton* login_ = nullptr;
    std::vector<Tile> tiles_;  // as shown, with the widget of each one's icon
    std::vector<QWidget*> tileIcons_;
    ControlHeroView* control_ = nullptr;
    MenuBarHeroView* menuBar_ = nullptr;
    Observers::Subscription modelFields_;
};

}  // namespace norvane
