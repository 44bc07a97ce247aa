#include "AsyncTest.h"
#include "FakeBrew.h"
#include "Sandbox.h"
#include "UsedMac.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"

#include <QTest>

#include <chrono>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using quillrig::test::FakeBrew;
using quillrig::test::runTask;
using quillrig::test::Sandbox;
using Kind = FakeBrew::Kind;

namespace {

const QString brewAt = u"/opt/homebrew/bin/brew"_s;

} // namespace

class TestBrewStoreInstalled : public QObject {
    Q_OBJECT

    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<FakeBrew> m_brew;
    std::unique_ptr<ActivityStore> m_activity;
    std::unique_ptr<BrewStore> m_store;

    void makeStore(const QString &version)
    {
        m_brew = std::make_unique<FakeBrew>(*m_sandbox);
        quillrig::test::addUsedMac(*m_brew, version);
        m_store = std::make_unique<BrewStore>(m_activity.get());
        const auto outcome = runTask(m_store->refresh());
        QVERIFY2(outcome.ok(), qPrintable(outcome.failure));
    }

    QList<InstalledPackage> packages(const QStringList &ids) const
    {
        QList<InstalledPackage> found;
        for (const QString &id : ids)
            if (const auto package = m_store->installedPackage(id))
                found.append(*package);
        return found;
    }

    QList<QStringList> callsOf(const QString &verb) const
    {
        QList<QStringList> calls;
        for (const QStringList &call : m_sandbox->calls(brewAt))
            if (!call.isEmpty() && call.first() == verb)
                calls.append(call);
        return calls;
    }

private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        m_sandbox->configure([](Platform::Settings &s) {
            s.successFade = 60s;
            // Nothing listens there: the catalog stays empty and out of the way.
            s.catalogApiBase = QUrl(u"http://127.0.0.1:9"_s);
            s.releaseApiBase = QUrl(u"http://127.0.0.1:9"_s);
        });
        m_activity = std::make_unique<ActivityStore>();
    }

    void cleanup()
    {
        m_store.reset();
        m_activity.reset();
        m_brew.reset();
        m_sandbox.reset();
    }

    void readsWhatIsInstalled()
    {
        makeStore(u"5.1.12"_s);
        QStringList ids;
        for (const InstalledPackage &package : m_store->installedPackages())
            ids.append(package.id());
        QCOMPARE(ids,
            QStringList({ u"formula:libidn2"_s, u"formula:node"_s, u"formula:openssl@3"_s, u"formula:orphan"_s,
                u"formula:tree"_s, u"formula:wget"_s, u"cask:firefox"_s, u"cask:rectangle"_s }));
        const InstalledPackage tree = *m_store->installedPackage(u"formula:tree"_s);
        QCOMPARE(tree.installedVersions, QStringList({ u"2.1.0"_s, u"2.2.1"_s }));
        QVERIFY(tree.onRequest && !tree.pinned && tree.installedTime);
        QVERIFY(!m_store->installedPackage(u"formula:openssl@3"_s)->onRequest);
        QVERIFY(m_store->installedPackage(u"formula:node"_s)->pinned);
        QCOMPARE(m_store->requestedLeaves(), QSet<QString>({ u"node"_s, u"tree"_s, u"wget"_s }));
        // node is outdated and pinned; a plain upgrade leaves it out.
        QCOMPARE(m_store->pinnedOutdatedCount(), 1);
    }

    void operations_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QStringList>("call"); // empty: brew is not asked to change anything
        QTest::addColumn<QString>("outcome"); // success / failure text the activity shows; empty = none
        QTest::addColumn<QStringList>("gone");

        QTest::newRow("uninstall a formula and a cask")
            << u"5.1.12"_s << u"uninstall"_s << QStringList{ u"formula:tree"_s, u"cask:rectangle"_s }
            << QStringList{ u"uninstall"_s, u"--formula"_s, u"--force"_s, u"tree"_s } << u"Uninstalled 2 packages"_s
            << QStringList{ u"formula:tree"_s, u"cask:rectangle"_s };
        QTest::newRow("zap only when asked") << u"5.1.12"_s << u"zap"_s << QStringList{ u"cask:firefox"_s }
                                             << QStringList{ u"uninstall"_s, u"--cask"_s, u"--zap"_s, u"firefox"_s }
                                             << u"Uninstalled 1 package"_s << QStringList{ u"cask:firefox"_s };
        QTest::newRow("refused while a dependent is installed")
            << u"5.1.12"_s << u"uninstall"_s << QStringList{ u"formula:openssl@3"_s }
            << QStringList{ u"uninstall"_s, u"--formula"_s, u"openssl@3"_s }
            << u"Uninstalling 1 package failed|Refusing to uninstall /opt/homebrew/Cellar/openssl@3/3.4.1"_s
            << QStringList();
        // brew skips a pinned formula with an error but exits 0: not a success.
        QTest::newRow("pinned formula stays") << u"5.1.12"_s << u"uninstall"_s << QStringList{ u"formula:node"_s }
                                              << QStringList{ u"uninstall"_s, u"--formula"_s, u"node"_s }
                                              << u"Uninstalling 1 package failed|Still installed after the "
                                                 "uninstall: node"_s
                                              << QStringList();
        QTest::newRow("reinstall of a pinned formula")
            << u"5.1.12"_s << u"reinstall"_s << QStringList{ u"formula:node"_s }
            << QStringList{ u"reinstall"_s, u"--formula"_s, u"node"_s }
            << u"Reinstalling node failed|node is pinned. You must unpin it to reinstall."_s << QStringList();
        QTest::newRow("reinstall a cask") << u"5.1.12"_s << u"reinstall"_s << QStringList{ u"cask:rectangle"_s }
                                          << QStringList{ u"reinstall"_s, u"--cask"_s, u"rectangle"_s }
                                          << u"Reinstalled rectangle"_s << QStringList();
        QTest::newRow("pin a formula") << u"5.1.9"_s << u"pin"_s << QStringList{ u"formula:tree"_s }
                                       << QStringList{ u"pin"_s, u"tree"_s } << u"Pinned tree"_s << QStringList();
        QTest::newRow("pin a cask") << u"5.1.12"_s << u"pin"_s << QStringList{ u"cask:rectangle"_s }
                                    << QStringList{ u"pin"_s, u"--cask"_s, u"rectangle"_s } << u"Pinned rectangle"_s
                                    << QStringList();
        QTest::newRow("no cask pins before 5.1.12") << u"5.1.11"_s << u"pin"_s << QStringList{ u"cask:rectangle"_s }
                                                    << QStringList() << QString() << QStringList();
    }

    void operations()
    {
        QFETCH(QString, version);
        QFETCH(QString, operation);
        QFETCH(QStringList, ids);
        QFETCH(QStringList, call);
        QFETCH(QString, outcome);
        QFETCH(QStringList, gone);
        makeStore(version);
        const QList<InstalledPackage> chosen = packages(ids);
        QCOMPARE(chosen.size(), ids.size());

        QCoro::Task<> task = operation == u"uninstall"_s ? m_store->uninstall(chosen, false)
            : operation == u"zap"_s                      ? m_store->uninstall(chosen, true)
            : operation == u"reinstall"_s                ? m_store->reinstall(chosen.first())
                                                         : m_store->setPinned(chosen.first(), true);
        const auto result = runTask(std::move(task));
        QVERIFY2(result.ok(), qPrintable(result.failure));

        const QString verb = call.isEmpty() ? operation : call.first();
        QCOMPARE(callsOf(verb == u"zap"_s ? u"uninstall"_s : verb).contains(call), !call.isEmpty());
        if (call.isEmpty())
            QVERIFY(callsOf(u"pin"_s).isEmpty());
        const ActivityStore::Phase phase = m_activity->phase();
        if (outcome.isEmpty()) {
            QCOMPARE(phase.kind, ActivityStore::Phase::Kind::idle);
        } else if (outcome.contains(u'|')) {
            QCOMPARE(phase.kind, ActivityStore::Phase::Kind::failure);
            QCOMPARE(phase.title, outcome.section(u'|', 0, 0));
            QVERIFY2(phase.message.contains(outcome.section(u'|', 1)), qPrintable(phase.message));
        } else {
            QCOMPARE(phase, ActivityStore::Phase::success(outcome));
        }
        for (const QString &id : ids)
            QCOMPARE(m_store->installedPackage(id).has_value(), !gone.contains(id));
        if (operation == u"pin"_s && !call.isEmpty())
            QVERIFY(m_store->installedPackage(ids.first())->pinned);
    }

    void cleanUp()
    {
        makeStore(u"5.1.12"_s);
        QR_AWAIT(preview, m_store->previewCleanup());
        QCOMPARE(preview.removals.size(), 2);
        QVERIFY(preview.removals.first().startsWith(u"/opt/homebrew/Cellar/tree/2.1.0 ("_s));
        QCOMPARE(preview.unneeded, QStringList{ u"orphan"_s });
        QVERIFY(!preview.total.isEmpty());
        // The dry runs changed nothing.
        QCOMPARE(m_brew->package(Kind::formula, u"tree"_s)->installedVersions.size(), 2);

        QVERIFY(runTask(m_store->cleanUp(preview)).ok());
        QCOMPARE(m_activity->phase(),
            ActivityStore::Phase::success(
                u"Cleaned up: freed approximately "_s + preview.total + u", removed 1 unneeded dependency"_s));
        QCOMPARE(m_brew->package(Kind::formula, u"tree"_s)->installedVersions, QStringList{ u"2.2.1"_s });
        QVERIFY(!m_store->installedPackage(u"formula:orphan"_s));
        QCOMPARE(callsOf(u"autoremove"_s).last(), QStringList{ u"autoremove"_s });
        QCOMPARE(callsOf(u"cleanup"_s).last(), QStringList{ u"cleanup"_s });
    }
};

QTEST_GUILESS_MAIN(TestBrewStoreInstalled)
#include "tst_brewstoreinstalled.moc"
