#pragma once
// What assistive tools read of the kit's widgets. The kit's widgets carry no meta-object of
// their own, so Qt would take each for the class it derives from (a text for a bare widget,
// a slider's step for its value); `installAccessibility` adds the interfaces that say what
// they are: a text in a style is a static text named by its text, a widget given a role
// has that role, and a slider whose steps stand for values tells the value in words.

#include <QAccessible>
#include <QString>

class QWidget;

namespace norvane {

// Once per process; the panel and the tour call it as they are made.
void installAccessibility();

// The role a widget shows assistive tools (a block read as one text, for instance). Set it
// before the widget's accessible name: naming it may already make its interface.
void setAccessibleRole(QWidget* widget, QAccessible::Role role);

// A slider whose steps stand for values ("Off", "85 percent"): assistive tools read and set
// the value in those units. A slider that does not answer now reads as unavailable.
class SteppedValue {
public:
    virtual ~SteppedValue() = default;
    virtual QString valueText() const = 0;                // the words of the step shown
    virtual double stepValue(int step) const = 0;         // the value a step stands for
    virtual bool answers() const = 0;                     // it takes input now
};

}  // namespace norvane
