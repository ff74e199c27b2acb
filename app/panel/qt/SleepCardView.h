#pragma once
// The Stats page's sleep card on Qt: the header with the average drain, the note while
// nothing is recorded, and a row per stretch, kept by when it began.

#include <QVBoxLayout>

#include "app/panel/SleepCard.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/Parts.h"

namespace norvane {

class TextLabel;

class SleepCardView final : public CardFrame {
public:
    // The model must outlive the view; times are shown with `format`.
    SleepCardView(const AppModel& model, const DateFormatter& format, Color accent, QWidget* parent = nullptr);
    void setAccent(Color accent);
    void refresh();

private:
    const AppModel& m_;
    const DateFormatter& format_;
    Color accent_;
    TextLabel* drain_;
    TextLabel* empty_;
    QVBoxLayout* rowsBox_;
    Parts rows_;
};

}  // namespace norvane
