#include "brew/HeadingCounter.h"

using namespace Qt::StringLiterals;

namespace HeadingCounter {

bool countsAsStep(QStringView heading)
{
    if (!heading.startsWith(u"Installing "_s) && !heading.startsWith(u"Upgrading "_s))
        return false;
    if (heading.contains(u"dependencies for"_s) || heading.contains(u" dependency:"_s))
        return false;
    const auto words = heading.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2)
        return true;
    bool isNumber = false;
    (void)words.at(1).toLongLong(&isNumber);
    return !isNumber;
}

QList<Heading> headings(QStringView chunk)
{
    QList<Heading> found;
    const qsizetype size = chunk.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && chunk[end] != u'\n' && chunk[end] != u'\r')
            ++end;
        const QStringView piece = chunk.sliced(start, end - start);
        if (piece.startsWith(u"==> "_s)) {
            const QStringView heading = piece.sliced(4);
            found.append({ heading.toString(), countsAsStep(heading) });
        }
        start = end + 1;
    }
    return found;
}

} // namespace HeadingCounter
