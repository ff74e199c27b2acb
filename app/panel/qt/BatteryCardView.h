#pragma once
// The Stats page's battery card on Qt: the facts, the year of capacity with the button that
// saves the battery report, and the charge-limit control in the form the limit's
// availability gives. The slider asks the model for a limit only when the user lets go of
// it on a new value (or moves it with a key); the model's own value arriving moves it
// without asking anything.

#include <QSlider>
#include <QVBoxLayout>
#include <array>

#include "app/panel/BatteryCard.h"
#include "app/visuals/qt/Accessibility.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/Parts.h"
#include "platform/MainQueue.h"
#include "platform/Workspace.h"

namespace norvane {

class DotView;
class TextLabel;

// The charge-limit slider: one step per value the control offers, in the accent. Assistive
// tools read and set it in percent ("Off" at 100). While a request is under way it takes no
// input and is drawn dimmed, but stays enabled: a disabled widget gives its keyboard focus
// away (and the page would scroll to whatever took it), so each key step would need a click.
class LimitSliderView final : public QSlider, public SteppedValue {
public:
    explicit LimitSliderView(Color accent);
    // Moves to the position and shows the values, the accent and the state without telling
    // anyone of a change.
    void set(const BatteryCard::LimitSlider& slider, Color accent);
    const std::vector<std::int64_t>& values() const { return values_; }

    QString valueText() const override { return valueText_; }
    double stepValue(int step) const override;
    bool answers() const override { return !busy_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // The wheel scrolls the page: a limit is never set by passing over the slider.
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::vector<std::int64_t> values_;
    Color accent_;
    bool busy_ = false;
    QString valueText_;
};

class BatteryCardView final : public CardFrame {
public:
    // The model, the queue, the workspace and the page's state must outlive the view; month
    // names are shown with `format`.
    BatteryCardView(AppModel& model, MainQueue& queue, const Workspace& workspace, const DateFormatter& format,
                    StatsTab& tab, Color accent, QWidget* parent = nullptr);
    void setAccent(Color accent);
    void refreshFacts();
    void refreshTrend();
    void refreshLimit();
    // The slider, while macOS offers a charge limit.
    LimitSliderView* slider() const;

private:
    // What the slider hands to the model, at most once per release or key.
    void send(std::optional<std::int64_t> limit);
    // The slider takes the model's limit when the control first offers it, when the limit
    // changes and when a request ends; a value the user set meanwhile goes.
    void followModel();

    AppModel& m_;
    MainQueue& queue_;
    const Workspace& workspace_;
    const DateFormatter& format_;
    StatsTab& tab_;
    Color accent_;
    std::array<std::array<TextLabel*, 3>, 3> facts_{};  // value labels by row
    std::array<std::array<TextLabel*, 3>, 3> labels_{};
    QWidget* third_;
    TextLabel* chargerLine_;
    TextLabel* summary_;
    DotView* chart_;
    TextLabel* trendNote_;
    QVBoxLayout* limitBox_;
    Parts limit_;
    // What the slider last saw of the model.
    bool wasReady_ = false;
    bool wasBusy_ = false;
    std::int64_t lastLimit_ = 100;
    Observers::Subscription limitWatch_;
};

}  // namespace norvane
