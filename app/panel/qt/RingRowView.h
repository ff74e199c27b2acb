#pragma once
// The Now page's ring row: the charge ring with its digits in a square card, and beside it
// the time-left card above the energy-mode card. A caption too long for its card's line
// takes a second one, and the row grows for it rather than cut the caption. While the battery charges and the row is
// shown, the ring blinks on its 0.6 s timeline through the main queue; otherwise no timer
// runs.

#include <QRegion>
#include <QWidget>
#include <memory>
#include <optional>

#include "app/panel/RingRow.h"
#include "app/visuals/qt/CardFrame.h"
#include "platform/MainQueue.h"

namespace norvane {

class Parts;
class TextLabel;
class SegmentsView;
class SwitchButton;

// The square card with the ring, the percent in dot digits and the "%" beside them.
class ChargeRing final : public CardFrame {
public:
    ChargeRing(MainQueue& queue, RingRow::Charge charge, QWidget* parent = nullptr);
    ~ChargeRing() override;
    void set(const RingRow::Charge& charge);
    const RingRow::Charge& charge() const { return charge_; }
    bool blinking() const { return blink_.valid() && !blink_.cancelled(); }
    // The ring and the digits as drawn at `date`, in the card's coordinates.
    DotLayout dots(Date date) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void schedule();
    // Where two frames differ: around each dot that changed, came or went; none where that
    // is not a few dots within the card.
    std::optional<QRegion> changedDots(const DotLayout& before, const DotLayout& after) const;

    MainQueue& queue_;
    RingRow::Charge charge_;
    Task blink_;
};

// The time left, or the Mac's draw, in dot digits with a unit beside them.
class DigitsLine final : public QWidget {
public:
    explicit DigitsLine(const RingRow::TimeLeft& shown, QWidget* parent = nullptr);
    void set(const RingRow::TimeLeft& shown);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    RingRow::TimeLeft shown_;
};

class RingRowView final : public QWidget {
public:
    // The model and the queue must outlive the view.
    RingRowView(AppModel& model, MainQueue& queue, Color accent, QWidget* parent = nullptr);
    ~RingRowView() override;
    void setAccent(Color accent);
    void refresh();

    ChargeRing* ring() const { return ring_; }
    // The energy control shown now: the segments or the switch (the other is null).
    SegmentsView* modes() const;
    SwitchButton* lowPowerSwitch() const;
    DigitsLine* digits() const { return digits_; }
    TextLabel* timeCaption() const { return timeCaption_; }
    TextLabel* energyCaption() const { return energyCaption_; }

private:
    void refreshEnergy();

    AppModel& m_;
    Color accent_;
    ChargeRing* ring_;
    QWidget* timeCard_;
    DigitsLine* digits_;
    TextLabel* timeCaption_;
    std::unique_ptr<Parts> energyParts_;  // the segments or the switch
    TextLabel* energyCaption_;
};

}  // namespace norvane
