#include "ui/Colors.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <algorithm>

namespace Colors {

QColor green()
{
    return QColor(52, 199, 89);
}

QColor orange()
{
    return QColor(255, 149, 0);
}

QColor red()
{
    return QColor(255, 59, 48);
}

QColor blue()
{
    return QColor(0, 122, 255);
}

QColor secondary(const QWidget *widget)
{
    return secondaryOf(widget ? widget->palette() : QApplication::palette());
}

QColor secondaryOf(const QPalette &palette)
{
    // Some styles leave the placeholder colour equal to the text colour; fall back to a
    // half-strength text colour then, so secondary text never looks primary.
    QColor placeholder = palette.color(QPalette::PlaceholderText);
    const QColor text = palette.color(QPalette::WindowText);
    if (placeholder.rgb() == text.rgb())
        placeholder = withOpacity(text, 0.55);
    return placeholder;
}

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(std::clamp(opacity, 0.0, 1.0) * color.alphaF()));
    return color;
}

QString css(const QColor &color, qreal opacity)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(qRound(255 * std::clamp(opacity, 0.0, 1.0) * color.alphaF()));
}

QColor brandStart()
{
    return QColor(0, 10, 104);
}

QColor brandEnd()
{
    return QColor(0, 196, 238);
}

QLinearGradient brandGradient(const QRectF &rect)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, brandStart());
    gradient.setColorAt(1, brandEnd());
    return gradient;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

} // namespace Colors
