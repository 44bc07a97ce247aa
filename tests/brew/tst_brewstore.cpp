#include "AsyncTest.h"
#include "FakeBrew.h"
#include "Sandbox.h"
#include "TestHttpServer.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "brew/CatalogService.h"
#include "brew/VersionCompare.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using quillrig::test::FakeBrew;
using quillrig::test::runTask;
using quillrig::test::Sandbox;
using Phase = ActivityStore::Phase;

namespace {

const QString brewAt = u"/opt/homebrew/bin/brew"_s;

Package formula(const QString &name)
{
    return { PackageKind::formula, name, name, u"a formula"_s, QString(), u"1.0"_s, false, name + u' ' + name };
}

Package cask(const QString &name)
{
    return { PackageKind::cask, name, name, u"an app"_s, QString(), u"2.0"_s, false, name + u' ' + name };
}

// The machine most tests start from: wget (outdated) and git installed, iterm2 installed and
// outdated, and a few packages on offer.
void addStandardPackages(FakeBrew &brew)
{
    brew.setHomebrewVersion(u"4.4.2"_s);
    brew.addFormula({ .name = u"wget"_s, .version = u"1.25.0"_s, .installedVersions = { u"1.24.5"_s } });
    brew.addFormula({ .name = u"git"_s, .version = u"2.47.1"_s, .installedVersions = { u"2.47.1"_s } });
    brew.addFormula({ .name = u"jq"_s, .version = u"1.7.1"_s });
    brew.addCask({ .name = u"iterm2"_s, .version = u"3.5.4"_s, .installedVersions = { u"3.5.0"_s } });
    brew.addCask({ .name = u"firefox"_s, .version = u"133.0"_s });
    brew.addCask({ .name = u"slack"_s, .version = u"4.41.105"_s });
}

// A brew that answers every command with fixed text, for output the fake cannot produce: odd
// headings, lines cut between chunks, a slow `--version`.
void addScriptedBrew(Sandbox &sandbox, const QByteArray &version, const QByteArray &install)
{
    sandbox.addScript(brewAt,
        "case \"$1\" in\n"
        "--version)\n"
            + version
            + "\n;;\n"
              "list)\nif [ \"$2\" = --formula ]; then printf 'wget\\n'; else printf 'iterm2\\n'; fi\n;;\n"
              "outdated)\necho '{\"formulae\":[],\"casks\":[]}'\n;;\n"
              "install)\n"
            + install
            + "\n;;\n"
              "esac\n");
}

} // namespace

class TestBrewStore : public QObject {
    Q_OBJECT

    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<ActivityStore> m_activity;
    std::unique_ptr<BrewStore> m_store;
    std::unique_ptr<FakeBrew> m_brew;

    // A ready store: brew found, installed state read once.
    void makeReadyStore(bool fake = true)
    {
        if (fake && !m_brew) {
            m_brew = std::make_unique<FakeBrew>(*m_sandbox);
            addStandardPackages(*m_brew);
        }
        m_store = std::make_unique<BrewStore>(m_activity.get());
        auto outcome = runTask(m_store->refresh());
        QVERIFY2(outcome.ok(), qPrintable(outcome.failure));
        QCOMPARE(m_store->status(), BrewStatus::ready);
    }

    QList<QStringList> brewCalls(const QString &verb) const
    {
        QList<QStringList> result;
        for (const QStringList &call : m_sandbox->calls(brewAt)) {
            if (!call.isEmpty() && call.first() == verb)
                result.append(call);
        }
        return result;
    }

private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        m_sandbox->configure([](Platform::Settings &s) { s.successFade = 60s; });
        m_activity = std::make_unique<ActivityStore>();
    }

    void cleanup()
    {
        m_store.reset();
        m_brew.reset();
        m_activity.reset();
        m_sandbox.reset();
    }

    void versionComparison_data()
    {
        QTest::addColumn<QString>("installed");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<bool>("update");
        QTest::newRow("patch newer") << u"4.4.2"_s << u"4.4.10"_s << true;
        QTest::newRow("same") << u"4.4.2"_s << u"4.4.2"_s << false;
        QTest::newRow("numeric not textual") << u"4.9.3"_s << u"4.10.0"_s << true;
        QTest::newRow("older tag") << u"4.10.0"_s << u"4.9.3"_s << false;
        QTest::newRow("leading v") << u"4.4.2"_s << u"v4.4.3"_s << true;
        QTest::newRow("leading v same") << u"4.4.2"_s << u"v4.4.2"_s << false;
        QTest::newRow("git describe suffix") << u"4.4.2-15-gabc"_s << u"4.4.2"_s << false;
        QTest::newRow("git describe behind") << u"4.4.2-15-gabc"_s << u"4.4.3"_s << true;
        QTest::newRow("shallow clone text") << u">=4.3.0 (shallow or no git repository)"_s << u"4.4.2"_s << false;
        QTest::newRow("empty installed") << QString() << u"4.4.2"_s << false;
        QTest::newRow("garbage tag") << u"4.4.2"_s << u"nightly"_s << false;
    }

    void versionComparison()
    {
        QFETCH(QString, installed);
        QFETCH(QString, latest);
        QFETCH(bool, update);
        QCOMPARE(VersionCompare::isNewerRelease(latest, installed), update);
    }

    void includeSelfUpdatingDefaults_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("expected");
        QTest::newRow("missing") << QByteArray() << true;
        QTest::newRow("false") << QByteArray("includeSelfUpdating=false\n") << false;
        QTest::newRow("not a bool") << QByteArray("includeSelfUpdating=7\n") << true;
    }

    void includeSelfUpdatingDefaults()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, expected);
        if (!stored.isEmpty())
            Sandbox::writeFile(m_sandbox->settings().userDefaultsFile, "[General]\n" + stored);
        BrewStore store(m_activity.get());
        QCOMPARE(store.includeSelfUpdating(), expected);
        store.setIncludeSelfUpdating(!expected);
        QCOMPARE(Platform::current().boolDefault(u"includeSelfUpdating"_s), std::optional<bool>(!expected));
    }

    void refreshWithoutBrew()
    {
        BrewStore store(m_activity.get());
        QR_AWAIT_VOID(store.refresh());
        QCOMPARE(store.status(), BrewStatus::missing);
        QCOMPARE(store.brewPath(), std::nullopt);
    }

    void refreshFindsUsrLocalAndReadsState()
    {
        // Only the Intel location: it is found there.
        FakeBrew brew(*m_sandbox, u"/usr/local/bin/brew"_s);
        addStandardPackages(brew);

        BrewStore store(m_activity.get());
        QR_AWAIT_VOID(store.refresh());
        QCOMPARE(store.status(), BrewStatus::ready);
        QCOMPARE(store.brewPath(), m_sandbox->systemPath(u"/usr/local/bin/brew"_s));
        QCOMPARE(store.brewVersion(), u"4.4.2"_s);
        QCOMPARE(store.installedFormulae(), (QSet<QString>{ u"wget"_s, u"git"_s }));
        QCOMPARE(store.installedCasks(), QSet<QString>{ u"iterm2"_s });
        QCOMPARE(store.outdated().size(), 2);
        QCOMPARE(store.outdated().at(0).id(), u"formula:wget"_s);
        QCOMPARE(store.outdated().at(1).id(), u"cask:iterm2"_s);
        QCOMPARE(store.outdated().at(1).installed, u"3.5.0"_s);
        // The download failed (nothing listens on the sandbox's endpoint): shown, not thrown.
        QVERIFY(store.catalogError().has_value());
        QCOMPARE(m_activity->catalog().kind, ActivityStore::CatalogState::Kind::failed);
    }

    void installedStateAppliedInOrderWhateverFinishesFirst()
    {
        makeReadyStore();

        QStringList order;
        connect(m_store.get(), &BrewStore::brewVersionChanged, this, [&] { order << u"version"_s; });
        connect(m_store.get(), &BrewStore::installedChanged, this, [&] { order << u"installed"_s; });
        connect(m_store.get(), &BrewStore::outdatedChanged, this, [&] { order << u"outdated"_s; });
        addScriptedBrew(*m_sandbox, "sleep 0.4; echo 'Homebrew 4.5.0'", "exit 0");
        const qint64 revision = m_store->dataRevision();
        QR_AWAIT_VOID(m_store->refreshInstalled());
        QCOMPARE(order, (QStringList{ u"version"_s, u"installed"_s, u"outdated"_s }));
        QCOMPARE(m_store->dataRevision(), revision + 1);
    }

    void outdatedKeepsPreviousListOnGarbage()
    {
        makeReadyStore();
        QCOMPARE(m_store->outdated().size(), 2);
        m_brew->failCommand(u"outdated"_s, u"Permission denied @ rb_sysopen"_s);
        m_brew->failCommand(u"list"_s, u"Permission denied @ rb_sysopen"_s); // prints nothing: clears the set
        QR_AWAIT_VOID(m_store->refreshInstalled());
        QCOMPARE(m_store->outdated().size(), 2);
        QVERIFY(m_store->installedFormulae().isEmpty());
    }

    void greedyFollowsTheToggle()
    {
        makeReadyStore();
        QCOMPARE(brewCalls(u"outdated"_s).constLast(), (QStringList{ u"outdated"_s, u"--json=v2"_s, u"--greedy"_s }));
        m_store->setIncludeSelfUpdating(false);
        QR_AWAIT_VOID(m_store->refreshInstalled());
        QCOMPARE(brewCalls(u"outdated"_s).constLast(), (QStringList{ u"outdated"_s, u"--json=v2"_s }));
    }

    void installCommandsTitlesAndMessages_data()
    {
        QTest::addColumn<QList<Package>>("packages");
        QTest::addColumn<QList<QStringList>>("commands");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::newRow("one formula, two casks")
            << QList<Package>{ cask(u"firefox"_s), formula(u"jq"_s), cask(u"slack"_s) }
            << QList<QStringList>{ { u"install"_s, u"--formula"_s, u"jq"_s },
                   { u"install"_s, u"--cask"_s, u"firefox"_s, u"slack"_s } }
            << u"Installing 3 packages"_s << u"Installed 3 packages"_s;
        QTest::newRow("singular") << QList<Package>{ formula(u"jq"_s) }
                                  << QList<QStringList>{ { u"install"_s, u"--formula"_s, u"jq"_s } }
                                  << u"Installing 1 package"_s << u"Installed 1 package"_s;
        QTest::newRow("installed ones dropped")
            << QList<Package>{ formula(u"wget"_s), cask(u"iterm2"_s), formula(u"jq"_s) }
            << QList<QStringList>{ { u"install"_s, u"--formula"_s, u"jq"_s } } << u"Installing 1 package"_s
            << u"Installed 1 package"_s;
    }

    void installCommandsTitlesAndMessages()
    {
        QFETCH(QList<Package>, packages);
        QFETCH(QList<QStringList>, commands);
        QFETCH(QString, title);
        QFETCH(QString, message);
        makeReadyStore();
        QSignalSpy titles(m_activity.get(), &ActivityStore::titleChanged);
        QR_AWAIT_VOID(m_store->install(packages));
        QCOMPARE(brewCalls(u"install"_s), commands);
        QCOMPARE(m_activity->title(), title);
        QCOMPARE(m_activity->phase(), Phase::success(message));
        int names = 0;
        for (const QStringList &command : commands)
            names += int(command.size()) - 2;
        QCOMPARE(m_store->progressTotal(), std::optional<int>(names));
        QVERIFY(!m_store->isRunning());
        QCOMPARE(m_store->taskTitle(), std::nullopt);
        for (const QStringList &command : commands)
            QVERIFY(m_store->log().contains(u"$ brew "_s + command.join(u' ') + u'\n'));
    }

    void installOfInstalledPackagesDoesNothing()
    {
        makeReadyStore();
        QR_AWAIT_VOID(m_store->install({ formula(u"wget"_s), cask(u"iterm2"_s) }));
        QVERIFY(brewCalls(u"install"_s).isEmpty());
        QCOMPARE(m_activity->phase(), Phase::idle());
    }

    void failedFormulaThenSuccessfulCask()
    {
        makeReadyStore();
        m_brew->change(FakeBrew::Kind::formula, u"jq"_s, [](FakeBrew::Package &jq) {
            jq.fails = true;
            jq.failureMessage = u"jq: link step failed"_s;
        });
        QR_AWAIT_VOID(m_store->install({ formula(u"jq"_s), cask(u"slack"_s) }));
        QCOMPARE(brewCalls(u"install"_s).size(), 2);
        const QString log = m_store->log();
        QVERIFY(log.contains(u"\n✗ brew exited with status 1\n\n"_s));
        QVERIFY(log.contains(u"\n✓ Done\n\n"_s));
        QVERIFY(log.indexOf(u"✗"_s) < log.indexOf(u"✓"_s));
        const Phase phase = m_activity->phase();
        QCOMPARE(phase.kind, Phase::Kind::failure);
        QCOMPARE(phase.title, u"Installing 2 packages failed"_s);
        QVERIFY2(phase.message.startsWith(u"$ brew install --formula jq\n\nbrew exited with status 1\n\n"_s),
            qPrintable(phase.message));
        // The failing command's own output (stdout and stderr) is in the report.
        QVERIFY(phase.message.contains(u"Error: jq: link step failed"_s));
    }

    void failureReportKeepsTheLast8000Characters()
    {
        makeReadyStore();
        m_brew->change(FakeBrew::Kind::formula, u"jq"_s, [](FakeBrew::Package &jq) {
            jq.floodBytes = 20000;
            jq.fails = true;
            jq.failureMessage = u"THE END"_s;
        });
        QR_AWAIT_VOID(m_store->install({ formula(u"jq"_s) }));
        const QString message = m_activity->phase().message;
        const QString prefix = u"$ brew install --formula jq\n\n"_s;
        QVERIFY(message.startsWith(prefix));
        QCOMPARE(message.size() - prefix.size(), 8000);
        // The report ends with the newest output: the last line brew printed and the exit marker.
        QVERIFY(message.endsWith(u"Error: THE END\n\n✗ brew exited with status 1\n\n"_s));
    }

    void launchErrorWhenBrewVanished()
    {
        makeReadyStore();
        m_sandbox->removeTool(brewAt);
        QR_AWAIT_VOID(m_store->install({ formula(u"jq"_s) }));
        const Phase phase = m_activity->phase();
        QCOMPARE(phase.kind, Phase::Kind::failure);
        QCOMPARE(phase.title, u"Installing 1 package failed"_s);
        QVERIFY(phase.message.startsWith(u"$ brew install --formula jq\n\n"_s));
        QVERIFY(m_store->log().contains(u"\n✗ "_s));
        QVERIFY(!m_store->isRunning());
    }

    void progressCountsOnlyFinishedPackages()
    {
        addScriptedBrew(*m_sandbox, "echo 'Homebrew 4.4.2'",
            "printf '==> Installing dependencies for a: b\\n==> Installing b dependency: c\\n'; "
            "printf '==> Installing a\\n==> Installing Cask d\\n==> Upgrading 3 outdated packages:\\n'");
        makeReadyStore(false);
        QList<std::optional<double>> progress;
        connect(
            m_activity.get(), &ActivityStore::progressChanged, this, [&] { progress.append(m_activity->progress()); });
        QR_AWAIT_VOID(m_store->install({ formula(u"a"_s), formula(u"d"_s) }));
        QCOMPARE(m_store->progressDone(), 2);
        QCOMPARE(progress, (QList<std::optional<double>>{ 0.0, 0.5, 0.95 }));
    }

    void headingSplitAcrossChunksIsNotCounted()
    {
        addScriptedBrew(*m_sandbox, "echo 'Homebrew 4.4.2'",
            "printf '==> Insta'; sleep 0.3; printf 'lling jq\\n'; sleep 0.3; printf '==> Installing jq\\n'");
        makeReadyStore(false);
        QStringList details;
        connect(m_activity.get(), &ActivityStore::detailChanged, this, [&] { details.append(m_activity->detail()); });
        QR_AWAIT_VOID(m_store->install({ formula(u"jq"_s) }));
        // "==> Insta" is a heading piece that does not count; "lling jq" is no heading at all.
        QCOMPARE(m_store->progressDone(), 1);
        QCOMPARE(details, (QStringList{ u"Insta"_s, u"Installing jq"_s }));
    }

    void logIsTrimmedToItsNewestPart()
    {
        makeReadyStore();
        m_brew->change(FakeBrew::Kind::formula, u"jq"_s, [](FakeBrew::Package &jq) { jq.floodBytes = 260000; });
        QR_AWAIT_VOID(m_store->install({ formula(u"jq"_s) }));
        QVERIFY(m_store->log().size() <= 200000);
        QVERIFY(m_store->log().size() >= 150000 - 100);
        QVERIFY(m_store->log().endsWith(u"\n✓ Done\n\n"_s));
        QVERIFY(m_store->commandOutput().size() <= 40000);
    }

    void onlyOneSequenceAtATime()
    {
        makeReadyStore();
        m_brew->change(FakeBrew::Kind::formula, u"jq"_s, [](FakeBrew::Package &jq) { jq.delayMs = 300; });
        auto first = m_store->install({ formula(u"jq"_s) });
        auto second = m_store->upgradeAll(); // same event-loop turn
        QVERIFY(m_store->isRunning());
        QR_AWAIT_VOID(std::move(first));
        QR_AWAIT_VOID(std::move(second));
        QCOMPARE(brewCalls(u"install"_s).size(), 1);
        QVERIFY(brewCalls(u"upgrade"_s).isEmpty());
    }

    void upgradeCommandLines_data()
    {
        QTest::addColumn<bool>("greedy");
        QTest::addColumn<QList<QStringList>>("commands");
        QTest::newRow("greedy") << true
                                << QList<QStringList>{ { u"upgrade"_s, u"--formula"_s, u"wget"_s },
                                       { u"upgrade"_s, u"--cask"_s, u"--greedy"_s, u"iterm2"_s } };
        QTest::newRow("not greedy") << false
                                    << QList<QStringList>{ { u"upgrade"_s, u"--formula"_s, u"wget"_s },
                                           { u"upgrade"_s, u"--cask"_s, u"iterm2"_s } };
    }

    void upgradeCommandLines()
    {
        QFETCH(bool, greedy);
        QFETCH(QList<QStringList>, commands);
        makeReadyStore();
        m_store->setIncludeSelfUpdating(greedy);
        QR_AWAIT_VOID(m_store->upgrade(m_store->outdated()));
        QCOMPARE(brewCalls(u"upgrade"_s), commands);
        QCOMPARE(m_activity->phase(), Phase::success(u"Upgraded 2 packages"_s));
        QVERIFY(m_store->outdated().isEmpty());

        // Back to the old versions, so there is something to upgrade all of.
        m_brew->change(
            FakeBrew::Kind::formula, u"wget"_s, [](FakeBrew::Package &p) { p.installedVersions = { u"1.24.5"_s }; });
        m_brew->change(
            FakeBrew::Kind::cask, u"iterm2"_s, [](FakeBrew::Package &p) { p.installedVersions = { u"3.5.0"_s }; });
        QR_AWAIT_VOID(m_store->refreshInstalled());
        QR_AWAIT_VOID(m_store->upgradeAll());
        const QStringList expected = greedy ? QStringList{ u"upgrade"_s, u"--greedy"_s } : QStringList{ u"upgrade"_s };
        QCOMPARE(brewCalls(u"upgrade"_s).constLast(), expected);
        QCOMPARE(m_store->progressTotal(), std::optional<int>(2));
        QCOMPARE(m_activity->phase(), Phase::success(u"All packages upgraded"_s));
        QVERIFY(m_store->outdated().isEmpty());
    }

    void updateHomebrewIsIndeterminate()
    {
        makeReadyStore();
        m_brew->setPendingUpdate({ .homebrewVersion = u"4.4.3"_s, .newFormulae = { u"uv"_s } });
        QList<std::optional<double>> progress;
        connect(
            m_activity.get(), &ActivityStore::progressChanged, this, [&] { progress.append(m_activity->progress()); });
        QR_AWAIT_VOID(m_store->updateHomebrew());
        QCOMPARE(m_store->progressTotal(), std::nullopt);
        QVERIFY(progress.isEmpty());
        QCOMPARE(m_activity->phase(), Phase::success(u"Homebrew updated"_s));
        QCOMPARE(brewCalls(u"update"_s).size(), 1);
        QCOMPARE(m_store->brewVersion(), u"4.4.3"_s);
    }

    void selectionIsPrunedAfterInstalls()
    {
        makeReadyStore();
        m_store->applyCatalog({ formula(u"jq"_s), formula(u"wget"_s), cask(u"slack"_s) }, QDateTime::currentDateTime());
        m_store->setSelectedIDs({ u"formula:jq"_s, u"cask:slack"_s, u"formula:gone"_s });
        QR_AWAIT_VOID(m_store->install({ formula(u"jq"_s) }));
        QCOMPARE(m_store->selectedIDs(), QSet<QString>{ u"cask:slack"_s });
    }

    void applyCatalogKeysPackagesById()
    {
        BrewStore store(m_activity.get());
        const QDateTime date = QDateTime::currentDateTime();
        Package again = formula(u"x"_s);
        again.desc = u"a repeated id"_s;
        store.applyCatalog({ formula(u"x"_s), cask(u"x"_s), again, formula(u"y:z"_s) }, date);
        const PackageIndex &byID = store.packagesByID();
        QCOMPARE(byID.size(), 3);
        QCOMPARE(byID.value(u"formula:x"_s), formula(u"x"_s)); // the first of a repeated id
        QCOMPARE(byID.value(u"cask:x"_s), cask(u"x"_s));
        QCOMPARE(byID.value(u"formula:y:z"_s), formula(u"y:z"_s));
        for (const QString &id : { u"x"_s, u"keg:x"_s, u"formula:"_s, u":x"_s, u"formula:X"_s, u"cask:y:z"_s })
            QVERIFY2(!byID.find(id), qPrintable(id));
        QCOMPARE(store.catalogDate(), date);
        QCOMPARE(store.dataRevision(), 1);
    }

    void catalogDownloadOneAtATimeAndFailureKeepsCache()
    {
        quillrig::test::TestHttpServer server;
        server.setRoute(u"/api/formula.json"_s, { 500, "oops", 300 });
        server.setRoute(u"/api/cask.json"_s, { 200, "[]", 0 });
        m_sandbox->configure([&](Platform::Settings &s) {
            s.catalogApiBase = server.baseUrl();
            s.releaseApiBase = server.baseUrl();
            s.successFade = 60s;
        });
        BrewStore store(m_activity.get());
        const QDateTime cachedAt = QDateTime::currentDateTime().addDays(-2);
        store.applyCatalog({ formula(u"cached"_s) }, cachedAt);

        auto first = store.loadCatalog();
        QVERIFY(store.isLoadingCatalog());
        auto second = store.loadCatalog();
        QR_AWAIT_VOID(std::move(second)); // returned at once, changed nothing
        QVERIFY(store.isLoadingCatalog());
        QR_AWAIT_VOID(std::move(first));
        QCOMPARE(server.requests().count(u"/api/formula.json"_s), 1);

        QCOMPARE(store.catalog().size(), 1);
        QCOMPARE(store.catalogDate(), cachedAt);
        QCOMPARE(store.catalogError(), u"Server responded with HTTP 500"_s);
        const auto error = m_activity->currentError();
        QVERIFY(error);
        QCOMPARE(error->title, u"Couldn't update the package catalog"_s);
        QCOMPARE(error->message, u"Server responded with HTTP 500"_s);

        // The retry offered with the error downloads again.
        server.setRoute(u"/api/formula.json"_s, { 200, R"([{"name":"fresh"}])", 0 });
        error->retry();
        QTRY_VERIFY(!store.isLoadingCatalog());
        QCOMPARE(store.catalog().size(), 1);
        QCOMPARE(store.catalog().first().name, u"fresh"_s);
        QCOMPARE(m_activity->catalog().kind, ActivityStore::CatalogState::Kind::updated);
    }

    // A second refresh of a catalog the server still has: nothing is replaced, the date moves and
    // the store says so. Anything else downloads and replaces as before.
    void refreshOfAnUnchangedCatalog_data()
    {
        QTest::addColumn<bool>("restart"); // a new store, whose catalog comes from the cache
        QTest::addColumn<bool>("changed"); // the formulae have a new ETag and body
        QTest::addColumn<bool>("deleteCache");
        QTest::addColumn<bool>("unchanged");

        QTest::newRow("unchanged") << false << false << false << true;
        QTest::newRow("unchanged after a restart") << true << false << false << true;
        QTest::newRow("changed") << false << true << false << false;
        QTest::newRow("cache deleted") << false << false << true << false;
    }

    void refreshOfAnUnchangedCatalog()
    {
        QFETCH(bool, restart);
        QFETCH(bool, changed);
        QFETCH(bool, deleteCache);
        QFETCH(bool, unchanged);
        quillrig::test::TestHttpServer server;
        server.setRoute(u"/api/formula.json"_s, { 200, R"([{"name":"jq"}])", 0, 0, 0, false, "\"f1\"" });
        server.setRoute(u"/api/cask.json"_s, { 200, R"([{"token":"slack"}])", 0, 0, 0, false, "\"c1\"" });
        m_sandbox->configure([&](Platform::Settings &s) {
            s.catalogApiBase = server.baseUrl();
            s.successFade = 60s;
        });
        auto store = std::make_unique<BrewStore>(m_activity.get());
        QR_AWAIT_VOID(store->loadCatalog());
        QCOMPARE(store->catalog().size(), 2);
        // A new store has nothing in memory: an unchanged catalog is read from the cache.
        if (restart)
            store = std::make_unique<BrewStore>(m_activity.get());
        if (changed)
            server.setRoute(
                u"/api/formula.json"_s, { 200, R"([{"name":"jq"},{"name":"yq"}])", 0, 0, 0, false, "\"f2\"" });
        if (deleteCache)
            QVERIFY(QFile::remove(CatalogService::cachePath()));
        m_activity->dismiss();
        const QDateTime before = QDateTime::currentDateTime();
        QTest::qWait(20);
        QSignalSpy replaced(store.get(), &BrewStore::catalogChanged);

        QR_AWAIT_VOID(store->loadCatalog());
        QCOMPARE(store->catalog().size(), changed ? 3 : 2);
        QVERIFY(store->catalogDate() > before);
        QCOMPARE(m_activity->catalog().kind, ActivityStore::CatalogState::Kind::updated);
        QCOMPARE(replaced.size(), unchanged && !restart ? 0 : 1);
        QCOMPARE(m_activity->phase() == Phase::success(BrewStore::catalogUpToDateMessage()), unchanged);
        QCOMPARE(store->packagesByID().size(), store->catalog().size());
    }

    void stalledCatalogDownloadFailsAndRetries()
    {
        quillrig::test::TestHttpServer server;
        server.setRoute(u"/api/formula.json"_s, { 200, {}, 0, 0, 0, true });
        server.setRoute(u"/api/cask.json"_s, { 200, "[]", 0 });
        m_sandbox->configure([&](Platform::Settings &s) {
            s.catalogApiBase = server.baseUrl();
            s.successFade = 60s;
            s.networkStall = 200ms;
        });
        BrewStore store(m_activity.get());
        QR_AWAIT_VOID(store.loadCatalog());
        QVERIFY(!store.isLoadingCatalog());
        QVERIFY(store.catalogError().value_or(QString()).contains("stopped responding"_L1));
        QCOMPARE(m_activity->catalog().kind, ActivityStore::CatalogState::Kind::failed);

        server.setRoute(u"/api/formula.json"_s, { 200, R"([{"name":"fresh"}])", 0 });
        m_activity->currentError()->retry();
        QTRY_VERIFY(!store.isLoadingCatalog());
        QCOMPARE(store.catalog().size(), 1);
        QCOMPARE(m_activity->catalog().kind, ActivityStore::CatalogState::Kind::updated);
    }

    void installHomebrewWritesAndOpensTheInstaller()
    {
        BrewStore store(m_activity.get());
        store.installHomebrew();
        const QString path = m_sandbox->temp() + u"/install-homebrew.command"_s;
        const QList<QByteArray> lines = Sandbox::readFile(path).split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QByteArray("#!/bin/bash"));
        QVERIFY(lines[1].startsWith("/bin/bash -c \"$(curl -fsSL https://"));
        QVERIFY(lines[1].endsWith("/Homebrew/install/HEAD/install.sh)\""));
        QCOMPARE(lines[2], QByteArray("echo"));
        QCOMPARE(
            lines[3], QByteArray("echo \"Finished. Return to Quillrig - it will detect Homebrew automatically.\""));
        QCOMPARE(QFileInfo(path).permissions() & 0x7077,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
        QCOMPARE(m_sandbox->openedFiles, QStringList{ path });
    }

    void installHomebrewFailureGoesToTheLog()
    {
        m_sandbox->configure([&](Platform::Settings &s) { s.tempDir = m_sandbox->home() + u"/missing-folder"_s; });
        BrewStore store(m_activity.get());
        store.installHomebrew();
        QVERIFY(store.log().startsWith(u"Could not prepare the installer: "_s));
        QVERIFY(store.log().endsWith(u'\n'));
        QVERIFY(m_sandbox->openedFiles.isEmpty());
        QCOMPARE(m_activity->phase(), Phase::idle());
    }
};

QTEST_GUILESS_MAIN(TestBrewStore)
#include "tst_brewstore.moc"
