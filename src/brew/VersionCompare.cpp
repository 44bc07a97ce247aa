#include "brew/VersionCompare.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace VersionCompare {

namespace {

// Only ASCII digits count as digits: other scripts' digits have no value we could compare runs
// by, and mixing both made the order intransitive.
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

int compareNumeric(QStringView a, QStringView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype endA = i;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            qsizetype endB = j;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            qsizetype startA = i;
            while (startA + 1 < endA && a[startA] == u'0')
                ++startA;
            qsizetype startB = j;
            while (startB + 1 < endB && b[startB] == u'0')
                ++startB;
            const QStringView runA = a.sliced(startA, endA - startA);
            const QStringView runB = b.sliced(startB, endB - startB);
            // Longer run of significant digits is the larger number; equal lengths compare digit-wise.
            if (runA.size() != runB.size())
                return runA.size() < runB.size() ? -1 : 1;
            if (const int c = runA.compare(runB); c != 0)
                return c < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i].unicode() < b[j].unicode() ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool isNewerRelease(const QString &latestTag, const QString &installedVersion)
{
    static const QRegularExpression plainVersion(u"^\\d+(\\.\\d+)*$"_s);
    const QStringView latest = latestTag.startsWith(u'v') ? QStringView(latestTag).sliced(1) : QStringView(latestTag);
    const qsizetype dash = installedVersion.indexOf(u'-');
    const QStringView current = dash < 0 ? QStringView(installedVersion) : QStringView(installedVersion).left(dash);
    if (!plainVersion.match(latest).hasMatch() || !plainVersion.match(current).hasMatch())
        return false;
    return compareNumeric(latest, current) > 0;
}

} // namespace VersionCompare
