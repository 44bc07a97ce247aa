#pragma once

#include <QString>

namespace Text {

// The newest `count` characters of `text`, never starting in the middle of a surrogate pair
// (a cut emoji would show as a replacement character at the top of a log).
QString tail(const QString &text, qsizetype count);

// "1 package", "3 packages", "0 packages": the singular only for exactly one.
QString counted(qint64 n, const QString &singular, const QString &plural);

} // namespace Text
