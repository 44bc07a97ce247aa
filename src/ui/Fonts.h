#pragma once

#include <QFont>

// The text styles the screens are described in ("headline", "callout"…), derived from the
// application font so they follow the user's size setting.
namespace Fonts {

enum class Style { largeTitle, title, title2, title3, headline, body, callout, subheadline, footnote, caption };

QFont font(Style style);
// The fixed-pitch system font at the size of `style` (logs, error messages, commands).
QFont monospaced(Style style);
// `style` in the given weight.
QFont font(Style style, QFont::Weight weight);

} // namespace Fonts
