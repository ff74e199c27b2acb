#pragma once
// The Now page's top-apps card: the last quit's effect, one row per heavy app with its
// share, advice, possible gain and a Quit button, and a note on where the gains come from.
// Rows are kept per app while it stays in the list, so a press on a Quit button survives
// the model's changes.

#include <memory>
#include <string>

#include "app/panel/TopApps.h"
#include "app/visuals/qt/CardFrame.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"

namespace norvane {

class AppMarkView;
class TextLabel;
class Parts;
class PillButton;
class Spinner;

class AppRowView final : public QWidget {
public:
    AppRowView(AppModel& model, MainQueue& queue, const Workspace& workspace, const TopApps::Row& row, Color accent);
    void set(const TopApps::Row& row, Color accent, IconStyle style);
    PillButton* quitButton() const { return quit_; }

private:
    AppModel& m_;
    TopApps::Row row_;
    AppMarkView* mark_;
    TextLabel* name_;
    TextLabel* share_;
    TextLabel* inUse_;
    PillButton* quit_;
    Spinner* spinner_;
    TextLabel* advice_;
    TextLabel* gain_;
};

class TopAppsView final : public CardFrame {
public:
    // The model, the queue and the workspace must outlive the view.
    TopAppsView(AppModel& model, MainQueue& queue, const Workspace& workspace, Color accent, QWidget* parent = nullptr);
    ~TopAppsView() override;
    void setAccent(Color accent);
    void refresh();
    AppRowView* row(const std::string& id) const;

private:
    AppModel& m_;
    MainQueue& queue_;
    const Workspace& workspace_;
    Color accent_;
    QWidget* quit_;
    TextLabel* quitFirst_;
    TextLabel* quitSecond_;
    TextLabel* measuring_;
    QWidget* rowsBox_;
    std::unique_ptr<Parts> rows_;  // one per app, by its path
    TextLabel* note_;
};

}  // namespace norvane
