#pragma once
// What the Stats page's cards share on Qt: their header row, a column of parts, the figure
// at a row's end, and accessibility names set only when they change.

#include <QAccessible>
#include <QVBoxLayout>
#include <QWidget>
#include <initializer_list>

#include "app/panel/StatsTab.h"

namespace norvane {

class TextLabel;

// The card's title in small capitals, whole, then a clear space (`StatsTab::headerGap` at
// least), then `trailing` at the trailing edge
// (a one-line text there is cut to what is left).
QWidget* header(const char* title, std::initializer_list<QWidget*> trailing);
// A box of its own in a new widget (`parentWidget()`), for parts that come and go.
QVBoxLayout* column(double spacing);
// A figure at the end of a row: white, monospaced, in a fixed width, trailing-aligned.
TextLabel* figure(double width);
// A block read as one element: its role (a text unless said otherwise) and its name, which
// assistive tools are told of only when it differs.
void setName(QWidget* widget, const QString& name, QAccessible::Role role = QAccessible::StaticText);

// A hairline across the card.
class Divider final : public QWidget {
public:
    explicit Divider(Color color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Color color_;
};

}  // namespace norvane
