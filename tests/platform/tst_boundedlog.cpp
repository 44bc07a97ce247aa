#include "platform/BoundedLog.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class TestBoundedLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void append_data();
    void append();
    void clearResets();
};

void TestBoundedLog::append_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("reset");

    const QString emoji = u"\U0001F600"_s; // two UTF-16 units
    const QString full(BoundedLog::limit, u'a');
    QTest::newRow("grows") << u"ab"_s << u"cd"_s << u"abcd"_s << false;
    QTest::newRow("empty chunk changes nothing") << u"ab"_s << QString() << u"ab"_s << false;
    QTest::newRow("exactly at the limit stays")
        << full.first(BoundedLog::limit - 1) << u"z"_s << full.first(BoundedLog::limit - 1) + u"z"_s << false;
    QTest::newRow("past the limit keeps the newest part")
        << full << u"xyz"_s << QString(BoundedLog::keep - 3, u'a') + u"xyz"_s << true;
    QTest::newRow("one chunk longer than the limit") << u"old"_s << QString(BoundedLog::limit, u'b') + u"end"_s
                                                     << QString(BoundedLog::keep - 3, u'b') + u"end"_s << true;
    // The cut falls between the two halves of the emoji: the orphaned half goes too.
    const QString beforeEmoji = QString(BoundedLog::limit - BoundedLog::keep + 1, u'a') + emoji;
    QTest::newRow("cut inside a surrogate pair")
        << beforeEmoji << QString(BoundedLog::keep - 1, u'c') << QString(BoundedLog::keep - 1, u'c') << true;
    QTest::newRow("cut just before a surrogate pair")
        << beforeEmoji << QString(BoundedLog::keep - 2, u'c') << emoji + QString(BoundedLog::keep - 2, u'c') << true;
}

void TestBoundedLog::append()
{
    QFETCH(QString, before);
    QFETCH(QString, chunk);
    QFETCH(QString, after);
    QFETCH(bool, reset);
    BoundedLog log;
    log.append(before);
    QSignalSpy appended(&log, &BoundedLog::appended);
    QSignalSpy resets(&log, &BoundedLog::reset);

    log.append(chunk);
    QCOMPARE(log.text().size(), after.size());
    QVERIFY(log.text() == after);
    QCOMPARE(resets.size(), reset ? 1 : 0);
    QCOMPARE(appended.size(), reset || chunk.isEmpty() ? 0 : 1);
    if (!appended.isEmpty())
        QCOMPARE(appended.first().first().toString(), chunk);
}

void TestBoundedLog::clearResets()
{
    BoundedLog log;
    log.append(u"text"_s);
    QSignalSpy resets(&log, &BoundedLog::reset);
    log.clear();
    QVERIFY(log.text().isEmpty());
    QCOMPARE(resets.size(), 1);
}

QTEST_GUILESS_MAIN(TestBoundedLog)
#include "tst_boundedlog.moc"
