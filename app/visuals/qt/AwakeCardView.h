#pragma once
// The keep-awake card on Qt: draws what `AwakeCard` decides from the model and sends
// every tap to the model. When a field it reads changes, it updates its parts in place
// (`Parts`): a chip pressed while the battery reading changes still gets its release, and
// a scrolled list, a tool tip and the focus stay.

#include <functional>

#include "app/visuals/AwakeCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/Parts.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"

namespace norvane {

class AwakeCardView : public CardFrame {
public:
    // The model, the queue and the workspace must outlive the view. Times are shown with
    // `format`, lists of names joined with `lists`.
    AwakeCardView(AppModel& model, MainQueue& queue, const Workspace& workspace, AwakeCard card, DateFormatter format,
                  LocaleText lists, QWidget* parent = nullptr);

    // Told whether a list is open: on every change, and once when the card first shows.
    void setListOpenHandler(std::function<void(bool)> handler) { listOpenHandler_ = std::move(handler); }
    const AwakeCard& card() const { return card_; }
    // Takes the panel's new accent in place (the desktop picture's tint may be decoded late).
    void setAccent(Color accent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Brings every part up to the model and the card's own state.
    void refresh();
    // Runs a tap's action, tells whether a list is open when that changed, and refreshes.
    void act(const std::function<void()>& action);
    // A note line under `key`.
    QWidget* note(std::string_view key, const std::string& text);

    AppModel& m_;
    MainQueue& queue_;
    const Workspace& workspace_;
    AwakeCard card_;
    DateFormatter format_;
    LocaleText lists_;
    std::function<void(bool)> listOpenHandler_;
    bool appeared_ = false;
    Parts parts_;
    QWidget* list_ = nullptr;  // the open list's part
    Observers::Subscription subscription_;
};

}  // namespace norvane
