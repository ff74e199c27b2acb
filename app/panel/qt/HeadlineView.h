#pragma once
// The Now page's headline: the model's summary, the charge-limit chip at its trailing edge
// and, while the chip has opened them, the limit choices. Every control calls the model;
// what the limit becomes comes back through the model's fields.

#include <QWidget>
#include <functional>

#include "app/panel/NowTab.h"
#include "app/panel/qt/Fade.h"
#include "platform/MainQueue.h"

class QAbstractButton;
class QHBoxLayout;
class QVBoxLayout;

namespace norvane {

class Label;
class PillButton;
class SegmentsView;
class Spinner;
class ChipButton;

class HeadlineView final : public QWidget {
public:
    // The model, the queue and the page's state must outlive the view; `toggled` hears
    // when the chip opened or closed the choices.
    HeadlineView(AppModel& model, MainQueue& queue, NowTab& tab, Color accent, std::function<void()> toggled,
                 QWidget* parent = nullptr);
    void setAccent(Color accent);
    void refresh();

    QAbstractButton* chip() const;
    SegmentsView* limitSegments() const { return segments_; }

private:
    void tapChip();
    void refreshChip();
    void refreshChoices();
    // The choices in one of their two forms, made when the form changes.
    void fullOnceForm(const NowTab::FullOnceChoice& choice);
    void listForm(const NowTab::LimitList& list);
    void clearChoices();

    AppModel& m_;
    MainQueue& queue_;
    NowTab& tab_;
    Color accent_;
    std::function<void()> toggled_;

    Label* title_;
    Label* detail_;
    QWidget* sparkles_;
    QHBoxLayout* row_;
    ChipButton* chip_ = nullptr;
    std::optional<NowTab::Chip> chipShown_;

    QWidget* choices_;
    QVBoxLayout* choicesBox_;
    std::optional<std::size_t> form_;  // the variant's index that the choices show
    // The parts of either form.
    Label* choiceNote_ = nullptr;
    PillButton* cancel_ = nullptr;
    SegmentsView* segments_ = nullptr;
    std::vector<std::int64_t> options_;
    std::vector<Segment> segmentsShown_;
    Spinner* spinner_ = nullptr;
    PillButton* fullOnce_ = nullptr;
    Label* limitNote_ = nullptr;
    Fade fade_;
};

}  // namespace norvane
