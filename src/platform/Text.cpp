#include "platform/Text.h"

namespace Text {

QString tail(const QString &text, qsizetype count)
{
    QString result = text.right(count);
    if (!result.isEmpty() && result.front().isLowSurrogate())
        result.remove(0, 1);
    return result;
}

} // namespace Text
