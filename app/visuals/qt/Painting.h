#pragma once
// Drawing the visual descriptions with Qt: colours, fonts and dots.

#include <QColor>
#include <QFont>
#include <QString>

#include "app/visuals/DotLayout.h"
#include "app/visuals/TextStyle.h"

class QLabel;
class QPainter;

namespace norvane {

// Components outside 0...1 (or not numbers) are taken to the nearest end.
QColor toQColor(Color color);
// DejaVu Sans, or DejaVu Sans Mono for monospaced styles; the size in whole pixels.
QFont qtFont(const TextStyle& style);
QString styledText(const QString& text, const TextStyle& style);
// A label in the style: its font, colour, letter case and wrapping.
QLabel* styledLabel(const QString& text, const TextStyle& style);
void paintDots(QPainter& painter, const DotLayout& layout);

}  // namespace norvane
