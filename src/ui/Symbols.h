#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

// The system symbols the screens name ("house", "checkmark.circle.fill"…), drawn from the SVGs
// bundled under resources/icons. An icon is tinted with one colour; the SVGs paint with
// currentColor, so only the parts meant to follow the tint change.
namespace Symbols {

// Makes everything bundled under resources/ (icons, the application icon, the support QR image)
// reachable under ":/". Every function here calls it; others that read ":/" call it first.
void loadResources();

// Resource path of the SVG behind a symbol name, or an empty string when none is bundled.
QString resourcePath(const QString &name);
bool contains(const QString &name);
// Every bundled symbol name, sorted.
QStringList names();

// An icon that renders sharply at any size. An invalid colour follows the palette's text colour
// of the widget it is drawn for (at the time it is drawn). An unknown name gives a null icon.
QIcon icon(const QString &name, const QColor &color = QColor());
// One rendering, `size` device-independent pixels square.
QPixmap pixmap(const QString &name, int size, const QColor &color, qreal devicePixelRatio = 1.0);

} // namespace Symbols
