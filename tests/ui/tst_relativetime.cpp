#include "ui/RelativeTime.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestRelativeTime : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void duration_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << qint64(0) << u"0 seconds"_s;
        QTest::newRow("negative counts as none") << qint64(-30) << u"0 seconds"_s;
        QTest::newRow("one second") << qint64(1) << u"1 second"_s;
        QTest::newRow("seconds") << qint64(59) << u"59 seconds"_s;
        QTest::newRow("one minute") << qint64(60) << u"1 minute"_s;
        QTest::newRow("minutes drop seconds") << qint64(5 * 60 + 42) << u"5 minutes"_s;
        QTest::newRow("last minute of the hour") << qint64(3599) << u"59 minutes"_s;
        QTest::newRow("one hour") << qint64(3600) << u"1 hour"_s;
        QTest::newRow("hours and minutes") << qint64(2 * 3600 + 3 * 60 + 10) << u"2 hours, 3 minutes"_s;
        QTest::newRow("hour and one minute") << qint64(3600 + 60) << u"1 hour, 1 minute"_s;
        QTest::newRow("one day") << qint64(86400 + 59 * 60) << u"1 day"_s;
        QTest::newRow("days and hours") << qint64(3 * 86400 + 4 * 3600 + 5) << u"3 days, 4 hours"_s;
    }

    void duration()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, expected);
        QCOMPARE(RelativeTime::duration(seconds), expected);
        const QDateTime now = QDateTime::fromSecsSinceEpoch(1'700'000'000);
        QCOMPARE(RelativeTime::durationSince(now.addSecs(-seconds), now), expected);
    }

    void untilNextChange_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<qint64>("expectedMs");
        QTest::newRow("seconds tick every second") << qint64(12) << qint64(1000);
        QTest::newRow("next whole minute") << qint64(5 * 60 + 42) << qint64(18'000);
        QTest::newRow("on the minute") << qint64(3 * 3600) << qint64(60'000);
        QTest::newRow("days change by the hour") << qint64(86400 + 59 * 60) << qint64(60'000);
        QTest::newRow("future date waits until it passes") << qint64(-5) << qint64(5000);
    }

    void untilNextChange()
    {
        QFETCH(qint64, seconds);
        QFETCH(qint64, expectedMs);
        QCOMPARE(qint64(RelativeTime::untilNextChange(seconds).count()), expectedMs);
        // Waiting that long really changes the text (or crosses into the seconds display).
        if (seconds >= 60)
            QVERIFY(RelativeTime::duration(seconds + expectedMs / 1000) != RelativeTime::duration(seconds));
    }

    void named_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("expected");
        const QDateTime noon(QDate(2024, 6, 15), QTime(12, 0));
        QTest::newRow("seconds") << noon.addSecs(-40) << noon << u"just now"_s;
        QTest::newRow("one minute") << noon.addSecs(-60) << noon << u"1 minute ago"_s;
        QTest::newRow("minutes") << noon.addSecs(-5 * 60) << noon << u"5 minutes ago"_s;
        QTest::newRow("hours") << noon.addSecs(-3 * 3600 - 100) << noon << u"3 hours ago"_s;
        QTest::newRow("last evening is hours, not yesterday")
            << QDateTime(QDate(2024, 6, 14), QTime(23, 0)) << QDateTime(QDate(2024, 6, 15), QTime(1, 0))
            << u"2 hours ago"_s;
        QTest::newRow("yesterday") << noon.addDays(-1) << noon << u"yesterday"_s;
        QTest::newRow("early yesterday, late today") << QDateTime(QDate(2024, 6, 14), QTime(6, 0))
                                                     << QDateTime(QDate(2024, 6, 15), QTime(22, 0)) << u"yesterday"_s;
        QTest::newRow("days") << noon.addDays(-4) << noon << u"4 days ago"_s;
        QTest::newRow("last week") << noon.addDays(-8) << noon << u"last week"_s;
        QTest::newRow("weeks") << noon.addDays(-22) << noon << u"3 weeks ago"_s;
        QTest::newRow("last month") << noon.addMonths(-1) << noon << u"last month"_s;
        QTest::newRow("months") << noon.addMonths(-5).addDays(-3) << noon << u"5 months ago"_s;
        QTest::newRow("last year") << noon.addMonths(-13) << noon << u"last year"_s;
        QTest::newRow("years") << noon.addYears(-2) << noon << u"2 years ago"_s;
        QTest::newRow("in minutes") << noon.addSecs(5 * 60) << noon << u"in 5 minutes"_s;
        QTest::newRow("tomorrow") << noon.addDays(1) << noon << u"tomorrow"_s;
        QTest::newRow("next week") << noon.addDays(9) << noon << u"next week"_s;
    }

    void named()
    {
        QFETCH(QDateTime, date);
        QFETCH(QDateTime, now);
        QFETCH(QString, expected);
        QCOMPARE(RelativeTime::named(date, now), expected);
    }
};

QTEST_MAIN(TestRelativeTime)
#include "tst_relativetime.moc"
