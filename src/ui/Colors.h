#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QRectF>
#include <QString>

class QPalette;
class QWidget;

// The few fixed colours the screens use beside the palette, in one place. They match the
// system colours of the platform the application was designed for, so a state reads the same
// on every desktop.
namespace Colors {

QColor green();
QColor orange();
QColor red();
QColor blue();

// Text that stands back from the primary text: the palette's placeholder colour, which every
// style derives from the text colour.
QColor secondary(const QWidget *widget = nullptr);
// The same, from a given palette.
QColor secondaryOf(const QPalette &palette);
// `color` at the given opacity (0…1).
QColor withOpacity(QColor color, qreal opacity);

// `color` at the given opacity as a style-sheet colour, "rgba(r, g, b, a)" with a in 0…255.
QString css(const QColor &color, qreal opacity = 1.0);

// The brand gradient: sRGB (0, 10, 104) at the top-leading corner of `rect` to
// (0, 196, 238) at its bottom-trailing corner.
QColor brandStart();
QColor brandEnd();
QLinearGradient brandGradient(const QRectF &rect);

// `color` darkened (on a light background) or lightened (on a dark one) just enough to read as
// text on `background`; the bright system orange on a light window is too faint as it is.
QColor readableOn(const QColor &color, const QColor &background);

// Draws the widget's text (labels, fields, buttons) in `color`.
void setTextColor(QWidget *widget, const QColor &color);

} // namespace Colors
