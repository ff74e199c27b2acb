#include "app/visuals/qt/Parts.h"

#include <QBoxLayout>
#include <algorithm>
#include <utility>

namespace norvane {

QWidget* Parts::partOf(std::string_view key, const std::function<bool(QWidget*)>& fits,
                       const std::function<QWidget*()>& make) {
    const auto position = static_cast<std::ptrdiff_t>(next_);
    const auto found = std::find_if(held_.begin() + position, held_.end(),
                                    [&](const Held& held) { return held.key == key && held.widget; });
    QWidget* widget = found == held_.end() ? nullptr : found->widget.data();
    if (widget && fits(widget)) {
        if (found != held_.begin() + position) {
            std::rotate(held_.begin() + position, found, found + 1);
            changed_ = true;
        }
        if (layout_->indexOf(widget) != position) {
            layout_->removeWidget(widget);
            layout_->insertWidget(static_cast<int>(position), widget);
        }
    } else {
        if (widget) {
            remove(widget);
            held_.erase(found);
        }
        widget = make();
        held_.insert(held_.begin() + position, Held{std::string(key), widget});
        layout_->insertWidget(static_cast<int>(position), widget);
        changed_ = true;
    }
    ++next_;
    return widget;
}

bool Parts::end() {
    for (std::size_t i = next_; i < held_.size(); ++i) {
        if (held_[i].widget) remove(held_[i].widget);
        changed_ = true;
    }
    held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(next_), held_.end());
    next_ = 0;
    return std::exchange(changed_, false);
}

QWidget* Parts::find(std::string_view key) const {
    for (const Held& held : held_)
        if (held.key == key) return held.widget;
    return nullptr;
}

void Parts::remove(QWidget* widget) {
    // Out of the layout and out of sight now, gone once the event loop gets to it: a tap may
    // be removing the very button that was clicked.
    layout_->removeWidget(widget);
    widget->hide();
    widget->deleteLater();
}

}  // namespace norvane
