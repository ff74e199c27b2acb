#pragma once
// The Now page's tip card: the summary row that opens and closes the details, then what to
// do, what it gives, why now, where the advice comes from (its web sources open in the
// browser through the workspace), and the buttons to act on it or to never see it again.

#include <functional>
#include <memory>
#include <vector>

#include "app/panel/TipCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "platform/Workspace.h"

class QAbstractButton;
class QHBoxLayout;
class QVBoxLayout;

namespace norvane {

class AppModel;
class TextLabel;
class Parts;
class PillButton;

class TipCardView final : public CardFrame {
public:
    // The model and the workspace must outlive the view; `toggled` hears a tap on the
    // summary row, which opens or closes the details (the page holds that state).
    TipCardView(AppModel& model, const Workspace& workspace, std::function<void()> toggled, QWidget* parent = nullptr);
    ~TipCardView() override;
    void set(const TipCard& card, Color accent);

    QAbstractButton* summary() const { return summary_; }
    // The sources shown, in order.
    std::vector<QAbstractButton*> links() const;
    PillButton* act() const { return act_; }
    PillButton* dismiss() const { return dismiss_; }

private:
    AppModel& m_;
    const Workspace& workspace_;
    std::optional<TipCard> shown_;
    Color accent_;
    QAbstractButton* summary_;
    TextLabel* line_;
    QWidget* chevron_;
    QWidget* details_;
    std::vector<TextLabel*> parts_;  // title and text of each part
    TextLabel* evidence_;
    QWidget* linksBox_;
    std::unique_ptr<Parts> links_;
    QHBoxLayout* buttons_;
    PillButton* act_;
    PillButton* dismiss_;
};

}  // namespace norvane
