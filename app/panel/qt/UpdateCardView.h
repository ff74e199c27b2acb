#pragma once
// The update card on Qt: the header with the running version, the offer's title, then the
// part of the stage (progress, text, buttons, the reason this copy cannot replace itself),
// updated in place as the stage moves on. While shown, a change of stage springs the card
// from its old height to its new one, frame by frame on the main queue, while its content
// stands where it will stay.

#include "app/panel/UpdateCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/Parts.h"
#include "platform/MainQueue.h"

namespace norvane {

class UpdateCardView final : public CardFrame {
public:
    // The model, the queue and the workspace must outlive the view.
    UpdateCardView(AppModel& model, MainQueue& queue, const Workspace& workspace, QWidget* parent = nullptr);
    ~UpdateCardView() override;
    // `stage` is the index of the update's stage: a new one springs the card's height.
    void set(const UpdateCard& card, std::size_t stage);
    const std::optional<UpdateCard>& shown() const { return shown_; }
    bool springing() const { return frames_.valid() && !frames_.cancelled(); }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void spring(int from);
    void settle();

    AppModel& m_;
    MainQueue& queue_;
    const Workspace& workspace_;
    Parts parts_;
    std::optional<UpdateCard> shown_;
    std::optional<std::size_t> stage_;
    Task frames_;
};

}  // namespace norvane
