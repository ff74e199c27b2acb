#pragma once
// Box layouts as the views' descriptions give them (no margins, spacing in points), and
// texts of the descriptions as Qt strings and plain tool tips.

#include <QBoxLayout>
#include <QString>
#include <QTextDocument>
#include <QWidget>
#include <string>
#include <type_traits>

namespace norvane {

inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

inline QHBoxLayout* hbox(QWidget* owner, double spacing) {
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(static_cast<int>(spacing));
    return layout;
}

inline QVBoxLayout* vbox(QWidget* owner, double spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(static_cast<int>(spacing));
    return layout;
}

// A tool tip that shows text from outside (an app's name) as written: Qt would take a tip
// that looks like markup as rich text.
inline QString plainTip(const std::string& text) {
    return Qt::convertFromPlainText(qs(text), Qt::WhiteSpaceNormal);
}

// A widget that holds a box of its own, for a part that shows or hides as one.
template <class Box>
QWidget* boxed(Box*& layout, double spacing) {
    auto* widget = new QWidget;
    widget->setAttribute(Qt::WA_TranslucentBackground);
    if constexpr (std::is_same_v<Box, QHBoxLayout>)
        layout = hbox(widget, spacing);
    else
        layout = vbox(widget, spacing);
    return widget;
}

// A spacer that takes what is left, but at least `minimum` points.
inline void flexible(QHBoxLayout* layout, double minimum) {
    // Not `Expanding`: a spacer that may shrink takes no room at all once the row is full.
    layout->addSpacerItem(
        new QSpacerItem(static_cast<int>(minimum), 0, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));
}

}  // namespace norvane
