#pragma once
// The keep-awake card on Qt: draws what `AwakeCard` decides from the model and sends
// every tap to the model. It rebuilds its parts whenever a field it reads changes; the
// open list is kept while what it shows stays the same, so a list scrolled by the user
// is not reset by a new battery reading.

#include <functional>
#include <variant>

#include "app/visuals/AwakeCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"

class QAbstractButton;
class QLabel;

namespace norvane {

class AwakeCardView : public CardFrame {
public:
    // The model, the queue and the workspace must outlive the view. Times are shown with
    // `format`, lists of names joined with `lists`.
    AwakeCardView(AppModel& model, MainQueue& queue, const Workspace& workspace, AwakeCard card, DateFormatter format,
                  LocaleText lists, QWidget* parent = nullptr);
    ~AwakeCardView() override;

    // Told whether a list is open: on every change, and once when the card first shows.
    void setListOpenHandler(std::function<void(bool)> handler) { listOpenHandler_ = std::move(handler); }
    const AwakeCard& card() const { return card_; }

    // The lists under the chips.
    QWidget* timerChoice();
    QWidget* agentList();
    QWidget* appList();
    // One row of the agent or app list: a button whose whole rectangle is its hit area.
    // `trailing` may be null.
    QAbstractButton* row(bool selected, QWidget* mark, QWidget* title, QWidget* trailing);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // What the open list shows; the list is built again only when this changes.
    using ListShown = std::variant<std::monostate, std::string, AwakeCard::AgentList, AwakeCard::AppList>;
    ListShown listShown() const;

    void refresh();
    // Runs a tap's action, tells whether a list is open when that changed, and redraws.
    void act(const std::function<void()>& action);
    QWidget* header();
    QWidget* status();
    QWidget* modeRow();
    QWidget* lidRow();

    AppModel& m_;
    MainQueue& queue_;
    const Workspace& workspace_;
    AwakeCard card_;
    DateFormatter format_;
    LocaleText lists_;
    std::function<void(bool)> listOpenHandler_;
    bool appeared_ = false;
    QWidget* list_ = nullptr;
    ListShown listShown_;
    Task countdown_;  // the countdown's redraws
    Observers::Subscription subscription_;
};

}  // namespace norvane
