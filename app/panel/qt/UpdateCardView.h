#pragma once
// The update card on Qt: the header with the running version, the offer's title, then the
// part of the stage (progress, text, buttons, the reason this copy cannot replace itself),
// updated in place as the stage moves on.

#include "app/panel/UpdateCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/Parts.h"

namespace norvane {

class UpdateCardView final : public CardFrame {
public:
    // The model and the workspace must outlive the view.
    UpdateCardView(AppModel& model, const Workspace& workspace, QWidget* parent = nullptr);
    void set(const UpdateCard& card);
    const std::optional<UpdateCard>& shown() const { return shown_; }

private:
    AppModel& m_;
    const Workspace& workspace_;
    Parts parts_;
    std::optional<UpdateCard> shown_;
};

}  // namespace norvane
