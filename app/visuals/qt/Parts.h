#pragma once
// How a view refreshes: in place. A view keeps the widgets of a box layout as `Parts`;
// each refresh asks for the parts its description holds now, in their order, each by a
// key that names it (a fixed name, or a row's identity such as an app's path), and updates
// each one in place:
//
//     parts.part<Header>("header", [&] { return new Header(...); })->set(on);
//     for (const auto& app : apps) parts.part<AppRow>("app " + app.path, make)->set(app);
//     parts.end();
//
// A part asked for again is the same widget, so a press under way, a tool tip and the
// keyboard focus survive the refresh; a key not held before makes its widget, and `end`
// removes the parts not asked for since the last `end`. Widgets are made or removed only
// when the description's structure changes (a row appears), and the setters of the kit's
// widgets repaint only what changed.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QBoxLayout;

namespace norvane {

class Parts {
public:
    // The parts are the first items of `layout`; items put there otherwise (a stretch)
    // stay after them.
    explicit Parts(QBoxLayout* layout) : layout_(layout) {}
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;

    // The part under `key`, put next in order: the widget held under it when it is a `W`,
    // else (none, or one of another type, which is removed) a new one from `make`, which
    // returns a `W*` whose owner becomes the layout's widget.
    template <class W, class Make>
    W* part(std::string_view key, Make&& make) {
        return static_cast<W*>(partOf(
            key, [](QWidget* held) { return dynamic_cast<W*>(held) != nullptr; },
            [&]() -> QWidget* { return make(); }));
    }

    // Ends a refresh: removes the parts not asked for since the last `end`. True when parts
    // were made, removed or moved since then.
    bool end();

    // The part held under `key` (until the next `end`, also one not asked for yet).
    QWidget* find(std::string_view key) const;
    std::size_t size() const { return held_.size(); }

private:
    struct Held {
        std::string key;
        QPointer<QWidget> widget;
    };

    QWidget* partOf(std::string_view key, const std::function<bool(QWidget*)>& fits,
                    const std::function<QWidget*()>& make);
    void remove(QWidget* widget);

    QBoxLayout* layout_;
    std::vector<Held> held_;  // the parts asked for in this refresh come first, in order
    std::size_t next_ = 0;    // how many have been asked for in this refresh
    bool changed_ = false;
};

}  // namespace norvane
