#pragma once

#include <QDateTime>
#include <QString>

#include <chrono>

// Our own wording for elapsed time, so the status bar and the screens read the same on every
// desktop and in every test.
namespace RelativeTime {

// Elapsed time in at most two units: "12 seconds", "5 minutes", "2 hours, 3 minutes",
// "1 day, 4 hours". Seconds only count under a minute; a negative span counts as none.
QString duration(qint64 seconds);
QString durationSince(const QDateTime &date, const QDateTime &now);

// How long until duration(seconds) can next read differently, so a view showing it can refresh
// exactly then instead of polling.
std::chrono::milliseconds untilNextChange(qint64 seconds);

// A date named relative to now: "just now", "5 minutes ago", "3 hours ago", "yesterday",
// "4 days ago", "last week", "3 weeks ago", "last month", "5 months ago", "last year",
// "2 years ago", and the matching future forms ("in 5 minutes", "tomorrow", "next week"…).
QString named(const QDateTime &date, const QDateTime &now);

} // namespace RelativeTime
