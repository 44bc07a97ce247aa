#include "Sandbox.h"
#include "brew/ActivityStore.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using quillrig::test::Sandbox;
using Phase = ActivityStore::Phase;
using CatalogState = ActivityStore::CatalogState;

class TestActivityStore : public QObject {
    Q_OBJECT

    std::unique_ptr<Sandbox> m_sandbox;

private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        m_sandbox->configure([](Platform::Settings &s) { s.successFade = 300ms; });
    }
    void cleanup() { m_sandbox.reset(); }

    void updateOnlyWhileRunning()
    {
        ActivityStore store;
        QSignalSpy detail(&store, &ActivityStore::detailChanged);
        store.update(u"ignored"_s, 0.5);
        QCOMPARE(store.detail(), QString());
        QCOMPARE(store.progress(), std::nullopt);
        QCOMPARE(detail.count(), 0);

        store.begin(u"Installing 1 package"_s, QString(), std::nullopt);
        store.update(u"Installing wget"_s, std::nullopt);
        store.update(std::nullopt, 0.5);
        QCOMPARE(store.detail(), u"Installing wget"_s);
        QCOMPARE(store.progress(), std::optional<double>(0.5));
        // An absent progress never clears the bar.
        store.update(u"Pouring"_s, std::nullopt);
        QCOMPARE(store.progress(), std::optional<double>(0.5));
    }

    void equalAssignmentsNotifyNobody()
    {
        ActivityStore store;
        QSignalSpy phase(&store, &ActivityStore::phaseChanged);
        store.setPhase(Phase::idle());
        QCOMPARE(phase.count(), 0);
        store.setPhase(Phase::failure(u"T"_s, u"M"_s));
        store.setPhase(Phase::failure(u"T"_s, u"M"_s));
        QCOMPARE(phase.count(), 1);
    }

    void successFadesToIdle()
    {
        ActivityStore store;
        store.succeed(u"Installed 1 package"_s);
        QCOMPARE(store.phase(), Phase::success(u"Installed 1 package"_s));
        QTRY_COMPARE_WITH_TIMEOUT(store.phase(), Phase::idle(), 2000);
    }

    void newerSuccessRestartsTheFade()
    {
        ActivityStore store;
        store.succeed(u"A"_s);
        QTest::qWait(200);
        store.succeed(u"B"_s);
        QTest::qWait(200); // 400 ms after A, 200 ms after B: A's fade would have fired by now
        QCOMPARE(store.phase(), Phase::success(u"B"_s));
        QTRY_COMPARE_WITH_TIMEOUT(store.phase(), Phase::idle(), 2000);
    }

    void fadeNeverClearsWhatReplacedTheSuccess_data()
    {
        QTest::addColumn<int>("replacement");
        QTest::newRow("begin") << 0;
        QTest::newRow("failure") << 1;
    }

    void fadeNeverClearsWhatReplacedTheSuccess()
    {
        QFETCH(int, replacement);
        ActivityStore store;
        store.succeed(u"A"_s);
        Phase expected;
        if (replacement == 0) {
            store.begin(u"Upgrading all packages"_s, QString(), std::nullopt);
            expected = Phase::running();
        } else {
            // Stores assign failures directly (and cancel the fade first, but an uncancelled fade
            // must not clear a failure either).
            store.setPhase(Phase::failure(u"T"_s, u"M"_s));
            expected = Phase::failure(u"T"_s, u"M"_s);
        }
        QTest::qWait(600);
        QCOMPARE(store.phase(), expected);
    }

    void currentError()
    {
        ActivityStore store;
        int retries = 0;
        store.setCatalogRetry([&retries] { ++retries; });
        store.setCatalog(CatalogState::failed(u"Server responded with HTTP 503"_s));

        auto error = store.currentError();
        QVERIFY(error);
        QCOMPARE(error->title, u"Couldn't update the package catalog"_s);
        QCOMPARE(error->message, u"Server responded with HTTP 503"_s);
        QVERIFY(error->retry);
        error->retry();
        QCOMPARE(retries, 1);

        // While something runs (or a success shows) the catalog failure is not the current error.
        store.begin(u"Installing 1 package"_s, QString(), std::nullopt);
        QVERIFY(!store.currentError());
        store.succeed(u"done"_s);
        QVERIFY(!store.currentError());

        // A failed run wins over the catalog and offers no retry.
        store.setPhase(Phase::failure(u"Installing 1 package failed"_s, u"$ brew install --formula x"_s));
        error = store.currentError();
        QVERIFY(error);
        QCOMPARE(error->title, u"Installing 1 package failed"_s);
        QVERIFY(!error->retry);

        store.setShowingError(true);
        store.dismiss();
        QCOMPARE(store.phase(), Phase::idle());
        QCOMPARE(store.catalog(), CatalogState::idle());
        QVERIFY(!store.showingError());
        QVERIFY(!store.currentError());
    }

    void dismissLeavesARunAlone()
    {
        ActivityStore store;
        store.begin(u"Updating Homebrew"_s, QString(), std::nullopt);
        store.dismiss();
        QCOMPARE(store.phase(), Phase::running());
    }

    void dismissCancelsTheFade()
    {
        ActivityStore store;
        store.succeed(u"A"_s);
        store.dismiss();
        store.begin(u"B"_s, QString(), std::nullopt);
        store.succeed(u"B done"_s);
        QCOMPARE(store.phase(), Phase::success(u"B done"_s));
    }
};

QTEST_GUILESS_MAIN(TestActivityStore)
#include "tst_activitystore.moc"
