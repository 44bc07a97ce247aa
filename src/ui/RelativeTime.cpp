#include "ui/RelativeTime.h"

#include "platform/Text.h"

#include <QDate>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 minute = 60;
constexpr qint64 hour = 60 * minute;
constexpr qint64 day = 24 * hour;

QString unit(qint64 n, const QString &name)
{
    return Text::counted(n, name, name + u's');
}

QString past(qint64 n, const QString &name, const QString &lastOne)
{
    return n == 1 && !lastOne.isEmpty() ? lastOne : unit(n, name) + u" ago"_s;
}

QString future(qint64 n, const QString &name, const QString &nextOne)
{
    return n == 1 && !nextOne.isEmpty() ? nextOne : u"in "_s + unit(n, name);
}

// Whole calendar months from `earlier` to `later` (both local dates), counting a month only
// once its day of the month has been reached.
int monthsBetween(QDate earlier, QDate later)
{
    int months = (later.year() - earlier.year()) * 12 + (later.month() - earlier.month());
    if (later.day() < earlier.day())
        --months;
    return std::max(0, months);
}

} // namespace

namespace RelativeTime {

QString duration(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    if (seconds < minute)
        return unit(seconds, u"second"_s);
    if (seconds < hour)
        return unit(seconds / minute, u"minute"_s);
    if (seconds < day) {
        const qint64 minutes = (seconds % hour) / minute;
        const QString hours = unit(seconds / hour, u"hour"_s);
        return minutes == 0 ? hours : hours + u", "_s + unit(minutes, u"minute"_s);
    }
    const qint64 hours = (seconds % day) / hour;
    const QString days = unit(seconds / day, u"day"_s);
    return hours == 0 ? days : days + u", "_s + unit(hours, u"hour"_s);
}

QString durationSince(const QDateTime &date, const QDateTime &now)
{
    return duration(date.secsTo(now));
}

std::chrono::milliseconds untilNextChange(qint64 seconds)
{
    if (seconds < 0)
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::seconds(-seconds));
    if (seconds < minute)
        return std::chrono::seconds(1);
    if (seconds < day)
        return std::chrono::seconds(minute - seconds % minute);
    return std::chrono::seconds(hour - seconds % hour);
}

QString named(const QDateTime &date, const QDateTime &now)
{
    const qint64 span = date.secsTo(now);
    const qint64 magnitude = span < 0 ? -span : span;
    const bool isPast = span >= 0;
    if (magnitude < minute)
        return u"just now"_s;
    if (magnitude < hour) {
        const qint64 n = magnitude / minute;
        return isPast ? past(n, u"minute"_s, {}) : future(n, u"minute"_s, {});
    }
    const QDate from = date.toLocalTime().date();
    const QDate to = now.toLocalTime().date();
    const qint64 days = std::abs(from.daysTo(to));
    // Within the last day, or later the same calendar day, hours say more than "today".
    if (magnitude < day || days == 0) {
        const qint64 n = magnitude / hour;
        return isPast ? past(n, u"hour"_s, {}) : future(n, u"hour"_s, {});
    }
    if (days < 7)
        return isPast ? past(days, u"day"_s, u"yesterday"_s) : future(days, u"day"_s, u"tomorrow"_s);
    const int months = isPast ? monthsBetween(from, to) : monthsBetween(to, from);
    if (months == 0) {
        const qint64 weeks = days / 7;
        return isPast ? past(weeks, u"week"_s, u"last week"_s) : future(weeks, u"week"_s, u"next week"_s);
    }
    if (months < 12)
        return isPast ? past(months, u"month"_s, u"last month"_s) : future(months, u"month"_s, u"next month"_s);
    const qint64 years = months / 12;
    return isPast ? past(years, u"year"_s, u"last year"_s) : future(years, u"year"_s, u"next year"_s);
}

} // namespace RelativeTime
