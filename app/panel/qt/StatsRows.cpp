#include "app/panel/qt/StatsRows.h"

#include <QPainter>

#include "app/visuals/qt/Accessibility.h"
#include "app/visuals/qt/Boxes.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {

QWidget* header(const char* title, std::initializer_list<QWidget*> trailing) {
    auto* widget = new QWidget;
    widget->setAttribute(Qt::WA_TranslucentBackground);
    auto* row = hbox(widget, 0);
    auto* name = new TextLabel(QString::fromUtf8(title), caps());
    name->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);  // a long name beside it is cut, never the title
    row->addWidget(name, 0, Qt::AlignVCenter);
    flexible(row, StatsTab::headerGap);
    for (QWidget* part : trailing) row->addWidget(part, 0, Qt::AlignVCenter);
    return widget;
}

QVBoxLayout* column(double spacing) {
    QVBoxLayout* layout = nullptr;
    boxed(layout, spacing);
    return layout;
}

TextLabel* figure(double width) {
    auto* label = new TextLabel(QString(), StatsTab::figureStyle(Color::white()));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFixedWidth(static_cast<int>(width));
    return label;
}

void setName(QWidget* widget, const QString& name, QAccessible::Role role) {
    setAccessibleRole(widget, role);
    if (widget->accessibleName() != name) widget->setAccessibleName(name);
}

Divider::Divider(Color color) : color_(color) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TranslucentBackground);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), toQColor(color_));
}

}  // namespace norvane
