#pragma once
// The Now page's tip card: the summary row that opens and closes the details, then what to
// do, what it gives, why now, where the advice comes from (its web sources open in the
// browser through the workspace), and the buttons to act on it or to never see it again.

#include <functional>
#include <vector>

#include "app/panel/TipCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "platform/Workspace.h"

class QAbstractButton;
class QHBoxLayout;
class QVBoxLayout;

namespace norvane {

class AppModel;
class Label;
class PillButton;

class TipCardView final : public CardFrame {
public:
    // The model and the workspace must outlive the view; `toggled` hears a tap on the
    // summary row, which opens or closes the details (the page holds that state).
    TipCardView(AppModel& model, const Workspace& workspace, std::function<void()> toggled, QWidget* parent = nullptr);
    void set(const TipCard& card, Color accent);

    QAbstractButton* summary() const { return summary_; }
    const std::vector<QAbstractButton*>& links() const { return links_; }
    PillButton* act() const { return act_; }
    PillButton* dismiss() const { return dismiss_; }

private:
    void setLinks(const std::vector<TipCard::Link>& links, Color accent);

    AppModel& m_;
    const Workspace& workspace_;
    std::optional<TipCard> shown_;
    Color accent_;
    QAbstractButton* summary_;
    Label* line_;
    QWidget* chevron_;
    QWidget* details_;
    std::vector<Label*> parts_;  // title and text of each part
    Label* evidence_;
    QVBoxLayout* linksBox_;
    std::vector<QAbstractButton*> links_;
    std::vector<TipCard::Link> linksShown_;
    QHBoxLayout* buttons_;
    PillButton* act_ = nullptr;
    PillButton* dismiss_;
};

}  // namespace norvane
