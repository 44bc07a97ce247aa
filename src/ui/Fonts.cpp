#include "ui/Fonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace {

// Sizes relative to body text, as the styles relate on the desktop the screens were drawn for.
qreal scale(Fonts::Style style)
{
    switch (style) {
    case Fonts::Style::largeTitle:
        return 26.0 / 13.0;
    case Fonts::Style::title:
        return 22.0 / 13.0;
    case Fonts::Style::title2:
        return 17.0 / 13.0;
    case Fonts::Style::title3:
        return 15.0 / 13.0;
    case Fonts::Style::headline:
    case Fonts::Style::body:
        return 1.0;
    case Fonts::Style::callout:
        return 12.0 / 13.0;
    case Fonts::Style::subheadline:
        return 11.0 / 13.0;
    case Fonts::Style::footnote:
    case Fonts::Style::caption:
        return 10.0 / 13.0;
    }
    return 1.0;
}

QFont scaled(QFont font, Fonts::Style style)
{
    // Whole point sizes: with fractional ones some platforms measure text narrower than they
    // draw it, and labels lose their last letter.
    if (font.pointSizeF() > 0)
        font.setPointSize(std::max(1, qRound(font.pointSizeF() * scale(style))));
    else
        font.setPixelSize(std::max(1, qRound(font.pixelSize() * scale(style))));
    if (style == Fonts::Style::headline)
        font.setWeight(QFont::DemiBold);
    return font;
}

} // namespace

namespace Fonts {

QFont font(Style style)
{
    return scaled(QApplication::font(), style);
}

QFont font(Style style, QFont::Weight weight)
{
    QFont result = font(style);
    result.setWeight(weight);
    return result;
}

const QStringList &emojiFamilies()
{
    static const QStringList families{ QStringLiteral("Apple Color Emoji"), QStringLiteral("Noto Color Emoji"),
        QStringLiteral("Segoe UI Emoji"), QStringLiteral("Twemoji"), QStringLiteral("Symbola") };
    return families;
}

QFont monospaced(Style style)
{
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // The fixed font carries its own size; line it up with the application's body size first.
    const QFont body = QApplication::font();
    if (body.pointSizeF() > 0)
        fixed.setPointSizeF(body.pointSizeF());
    // Homebrew prints emoji (🍺, ✔︎); a fixed font seldom has them, so name the colour emoji
    // fonts of the desktops as fallbacks before the system's own substitution.
    QStringList families{ fixed.family() };
    for (const QString &emoji : emojiFamilies()) {
        if (!families.contains(emoji))
            families.append(emoji);
    }
    fixed.setFamilies(families);
    return scaled(fixed, style);
}

} // namespace Fonts
