#include "app/panel/qt/ModelWatch.h"

#include <QEvent>
#include <QWidget>

namespace norvane {

ModelWatch::ModelWatch(QWidget& view, MainQueue& queue, std::function<void()> refresh)
    : QObject(&view),
      view_(view),
      queue_(queue),
      refresh_(std::move(refresh)),
      alive_(std::make_shared<ModelWatch*>(this)) {
    view_.installEventFilter(this);
}

ModelWatch::~ModelWatch() {
    alive_.reset();
}

void ModelWatch::changed() {
    if (!view_.isVisible()) {
        stale_ = true;
        return;
    }
    if (posted_) return;
    posted_ = true;
    queue_.post([weak = std::weak_ptr<ModelWatch*>(alive_)] {
        const auto self = weak.lock();
        if (!self) return;
        (*self)->posted_ = false;
        (*self)->stale_ = false;
        (*self)->refresh_();
    });
}

bool ModelWatch::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &view_ && event->type() == QEvent::Show && stale_) {
        stale_ = false;
        refresh_();
    }
    return false;
}

}  // namespace norvane
