#pragma once
// Keeps a view in step with the model (or the tour's model, which is observed alike). After a step of the model that changed one of the
// fields the view reads, its refresh runs once, posted to the main queue (a tick that
// changes five fields refreshes once). A view that is not shown does no work: it only
// notes that it is stale and refreshes when it shows again.

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "app/model/AppModel.h"
#include "platform/MainQueue.h"

class QWidget;

namespace norvane {

class ModelWatch final : public QObject {
public:
    // Lives as a child of `view`; the model (anything with `subscribe(fields, changed)`) and
    // the queue must outlive it.
    template <class Model>
    ModelWatch(QWidget& view, Model& model, MainQueue& queue, const std::vector<ModelField>& fields,
               std::function<void()> refresh)
        : ModelWatch(view, queue, std::move(refresh)) {
        subscription_ = model.subscribe(fields, [this] { changed(); });
    }
    ~ModelWatch() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ModelWatch(QWidget& view, MainQueue& queue, std::function<void()> refresh);
    void changed();

    QWidget& view_;
    MainQueue& queue_;
    std::function<void()> refresh_;
    bool stale_ = false;
    bool posted_ = false;
    std::shared_ptr<ModelWatch*> alive_;  // weak copies reach the watch from posted work
    Observers::Subscription subscription_;
};

}  // namespace norvane
