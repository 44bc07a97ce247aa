#include "ui/Colors.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

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

namespace {

double luminance(const QColor &color)
{
    const auto channel
        = [](double value) { return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a) + 0.05;
    const double lb = luminance(b) + 0.05;
    return std::max(la, lb) / std::min(la, lb);
}

} // namespace

QColor readableOn(const QColor &color, const QColor &background)
{
    // Three to one: what large and bold text needs, and enough for short coloured notes.
    constexpr double enough = 3.0;
    const bool lightBackground = luminance(background) > 0.4;
    QColor result = color;
    for (int step = 0; step < 12 && contrast(result, background) < enough; ++step)
        result = lightBackground ? result.darker(112) : result.lighter(112);
    return result;
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
