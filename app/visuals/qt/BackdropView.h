#pragma once
// The dark background behind the panel and the tour. Its look is settled when it is made;
// resizing only redraws it.

#include <QWidget>

#include "app/visuals/Backdrop.h"

namespace norvane {

class BackdropView : public QWidget {
public:
    // `translucent`: a compositor shows what lies behind the window.
    BackdropView(Backdrop backdrop, bool translucent, QWidget* parent = nullptr);
    const Backdrop& backdrop() const { return backdrop_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const Backdrop backdrop_;
    const bool translucent_;
};

}  // namespace norvane
