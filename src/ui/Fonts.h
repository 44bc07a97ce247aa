#pragma once

#include <QFont>
#include <QStringList>

// The text styles the screens are described in ("headline", "callout"…), derived from the
// application font so they follow the user's size setting.
namespace Fonts {

enum class Style { largeTitle, title, title2, title3, headline, body, callout, subheadline, footnote, caption };

QFont font(Style style);
// The fixed-pitch system font at the size of `style` (logs, error messages, commands), falling
// back to a colour emoji font for the emoji in Homebrew's output.
QFont monospaced(Style style);
// The emoji fonts the fixed-pitch font falls back to, in order.
const QStringList &emojiFamilies();
// `style` in the given weight.
QFont font(Style style, QFont::Weight weight);

} // namespace Fonts
