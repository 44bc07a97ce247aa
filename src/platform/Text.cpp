#include "platform/Text.h"

namespace Text {

QString tail(const QString &text, qsizetype count)
{
    QString result = text.right(count);
    if (!result.isEmpty() && result.front().isLowSurrogate())
        result.remove(0, 1);
    return result;
}

QString counted(qint64 n, const QString &singular, const QString &plural)
{
    return QString::number(n) + u' ' + (n == 1 ? singular : plural);
}

} // namespace Text
