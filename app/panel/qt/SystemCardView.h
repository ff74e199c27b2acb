#pragma once
// The Stats page's system card on Qt: the header with the processor's name and one row per
// figure, kept by label and updated in place. While it is shown it keeps its figures fresh
// (SystemRefresh); hidden, it reads nothing and keeps no timer.

#include "app/panel/SystemCard.h"
#include "app/panel/SystemRefresh.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/Parts.h"
#include "platform/MainQueue.h"

class QVBoxLayout;

namespace norvane {

class TextLabel;

class SystemCardView final : public CardFrame {
public:
    // The model and the queue must outlive the view.
    SystemCardView(AppModel& model, MainQueue& queue, Color accent, QWidget* parent = nullptr);
    void setAccent(Color accent);
    void refresh();
    const SystemRefresh& loop() const { return loop_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    AppModel& m_;
    Color accent_;
    TextLabel* chip_;
    QVBoxLayout* rowsBox_;  // a column of its own under the header
    Parts rows_;
    SystemRefresh loop_;
};

}  // namespace norvane
