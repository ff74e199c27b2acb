#pragma once
// The small circular progress indicator: twelve spokes, the brightest one turning. It
// turns through the main queue, and only while it is shown.

#include <QWidget>

#include "platform/MainQueue.h"

namespace norvane {

class Spinner final : public QWidget {
public:
    static constexpr int side = 16;
    static constexpr int spokes = 12;
    static constexpr double step = 1.0 / spokes;  // a turn a second

    // The queue must outlive the spinner.
    explicit Spinner(MainQueue& queue, QWidget* parent = nullptr);
    ~Spinner() override;
    bool turning() const { return turn_.valid() && !turn_.cancelled(); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    MainQueue& queue_;
    Task turn_;
    int phase_ = 0;
};

}  // namespace norvane
