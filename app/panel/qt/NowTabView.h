#pragma once
// The Now page on Qt: the headline with the charge-limit chip, the ring row, the keep-awake
// card, the top apps and the tip. It holds the page's own state (`NowTab`); each section
// follows the model fields it reads and is updated in place.

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/panel/NowTab.h"
#include "app/visuals/AwakeCard.h"
#include "platform/DateFormatter.h"
#include "platform/LocaleText.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"

namespace norvane {

class AwakeCardView;
class HeadlineView;
class RingRowView;
class TipCardView;
class TopAppsView;

// What the pages need of the desktop besides the model: the workspace (app icons, web
// links), the user's formats for times and lists, and the command line's launch flags.
struct PanelContext {
    std::shared_ptr<const Workspace> workspace;
    DateFormatter format;
    LocaleText lists;
    std::vector<std::string> arguments;
};

class NowTabView final : public QWidget {
public:
    // The model and the queue must outlive the view.
    NowTabView(AppModel& model, MainQueue& queue, const PanelContext& context, Color accent, QWidget* parent = nullptr);
    ~NowTabView() override;
    void setAccent(Color accent);

    const NowTab& tab() const { return tab_; }
    HeadlineView* headline() const { return headline_; }
    RingRowView* ringRow() const { return ring_; }
    AwakeCardView* awakeCard() const { return awake_; }
    TopAppsView* topApps() const { return apps_; }
    TipCardView* tipCard() const { return tip_; }

private:
    void refreshTip();

    AppModel& m_;
    MainQueue& queue_;
    const PanelContext& context_;
    Color accent_;
    NowTab tab_;
    std::optional<std::string> tipShown_;  // the id of the tip last shown
    HeadlineView* headline_;
    RingRowView* ring_;
    AwakeCardView* awake_ = nullptr;
    TopAppsView* apps_;
    TipCardView* tip_;
};

}  // namespace norvane
