#pragma once
// The Now page's headline: the model's summary, the charge-limit chip at its trailing edge
// and, while the chip has opened them, the limit choices. Every control calls the model;
// what the limit becomes comes back through the model's fields.

#include <QWidget>
#include <functional>
#include <memory>

#include "app/panel/NowTab.h"
#include "app/panel/qt/Fade.h"
#include "platform/MainQueue.h"

class QAbstractButton;
class QHBoxLayout;
class QVBoxLayout;

namespace norvane {

class TextLabel;
class ChipButton;
class Parts;
class SegmentsView;

class HeadlineView final : public QWidget {
public:
    // The model, the queue and the page's state must outlive the view; `toggled` hears
    // when the chip opened or closed the choices.
    HeadlineView(AppModel& model, MainQueue& queue, NowTab& tab, Color accent, std::function<void()> toggled,
                 QWidget* parent = nullptr);
    ~HeadlineView() override;
    void setAccent(Color accent);
    void refresh();

    QAbstractButton* chip() const;
    // The limit segments, while the choices show them.
    SegmentsView* limitSegments() const;

private:
    void tapChip();
    void refreshChip();
    void refreshChoices();

    AppModel& m_;
    MainQueue& queue_;
    NowTab& tab_;
    Color accent_;
    std::function<void()> toggled_;

    TextLabel* title_;
    TextLabel* detail_;
    QWidget* sparkles_;
    QHBoxLayout* row_;
    ChipButton* chip_ = nullptr;
    QWidget* choices_;
    std::unique_ptr<Parts> choiceParts_;  // one of the two forms
    Fade fade_;
};

}  // namespace norvane
