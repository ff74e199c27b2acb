#pragma once
// The panel's notices on Qt: the cards `Notices` says are present, in their order, each
// kept while it stays present and updated in place. With no card it takes no room; with
// cards it ends with the spacing to what follows it. On the Now page it scrolls with the
// page; above the Stats page and the settings screen it stays put.

#include <QWidget>

#include "app/panel/Notices.h"
#include "app/panel/qt/PanelShell.h"
#include "app/visuals/qt/Parts.h"
#include "platform/MainQueue.h"

namespace norvane {

class ModelWatch;
class UpdateCardView;

class NoticesView final : public QWidget {
public:
    // The model, the queue, the shell's links and the workspace must outlive the view.
    NoticesView(AppModel& model, MainQueue& queue, const PanelShell& shell, const Workspace& workspace, Color accent,
                QWidget* parent = nullptr);
    ~NoticesView() override;
    void setAccent(Color accent);
    // The shell's links changed (the tour model came).
    void shellChanged();

    std::vector<Notices::Kind> shown() const { return shown_; }
    UpdateCardView* updateCard() const;

private:
    void refresh();
    Notices::Tour tour() const;

    AppModel& m_;
    MainQueue& queue_;
    const PanelShell& shell_;
    const Workspace& workspace_;
    Color accent_;
    Parts parts_;
    std::vector<Notices::Kind> shown_;
    ModelWatch* tourWatch_ = nullptr;  // of the shell's tour, while there is one
};

}  // namespace norvane
