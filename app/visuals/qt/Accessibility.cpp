#include "app/visuals/qt/Accessibility.h"

#include <QAbstractSlider>
#include <QAccessibleWidget>
#include <QVariant>
#include <cmath>

#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

constexpr const char* roleProperty = "norvaneAccessibleRole";

// A slider read in the units its steps stand for.
class SteppedSlider final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    SteppedSlider(QAbstractSlider* slider, const SteppedValue& steps)
        : QAccessibleWidget(slider, QAccessible::Slider), steps_(steps) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value) return steps_.valueText();
        return QAccessibleWidget::text(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (!steps_.answers()) state.disabled = true;
        return state;
    }
    QVariant currentValue() const override { return steps_.stepValue(slider()->value()); }
    QVariant minimumValue() const override { return steps_.stepValue(slider()->minimum()); }
    QVariant maximumValue() const override { return steps_.stepValue(slider()->maximum()); }
    QVariant minimumStepSize() const override {
        double least = 0;
        for (int step = slider()->minimum(); step < slider()->maximum(); ++step) {
            const double size = steps_.stepValue(step + 1) - steps_.stepValue(step);
            if (least == 0 || size < least) least = size;
        }
        return least;
    }
    // The step nearest the value asked for, as a key would move the slider to it.
    void setCurrentValue(const QVariant& value) override {
        const double wanted = value.toDouble();
        if (!steps_.answers() || !std::isfinite(wanted)) return;
        int best = slider()->minimum();
        for (int step = best; step <= slider()->maximum(); ++step)
            if (std::abs(steps_.stepValue(step) - wanted) < std::abs(steps_.stepValue(best) - wanted)) best = step;
        slider()->setValue(best);
    }

private:
    QAbstractSlider* slider() const { return static_cast<QAbstractSlider*>(widget()); }
    const SteppedValue& steps_;
};

QAccessibleInterface* kitInterface(const QString&, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (auto* slider = dynamic_cast<QAbstractSlider*>(widget))
        if (const auto* steps = dynamic_cast<const SteppedValue*>(widget)) return new SteppedSlider(slider, *steps);
    if (const QVariant role = widget->property(roleProperty); role.isValid())
        return new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
    if (dynamic_cast<TextLabel*>(widget)) return new QAccessibleWidget(widget, QAccessible::StaticText);
    return nullptr;
}

}  // namespace

void installAccessibility() {
    static const bool installed = (QAccessible::installFactory(&kitInterface), true);
    (void)installed;
}

void setAccessibleRole(QWidget* widget, QAccessible::Role role) {
    widget->setProperty(roleProperty, static_cast<int>(role));
}

}  // namespace norvane
