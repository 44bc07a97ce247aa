#include "AsyncTest.h"
#include "FakeBrew.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "TestHttpServer.h"
#include "UsedMac.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "ui/main/CatalogView.h"
#include "ui/main/InstalledTableModel.h"
#include "ui/main/InstalledView.h"
#include "ui/main/OutdatedTableModel.h"
#include "ui/main/UpdatesView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using quillrig::test::FakeBrew;
using quillrig::test::Sandbox;
using quillrig::test::saveScreenshot;
using quillrig::test::TestHttpServer;
using Kind = FakeBrew::Kind;

namespace {

const QString brewPath = u"/opt/homebrew/bin/brew"_s;

// The catalog, the Installed, Packages and Updates screens side by side over one store and the
// fake brew of a Mac in use: a leaf with its dependencies, a pinned formula, an old keg and
// download, a dependency nothing needs, and two apps (one with data to zap), one outdated.
struct Fixture {
    std::unique_ptr<Sandbox> sandbox = std::make_unique<Sandbox>();
    TestHttpServer server;
    std::unique_ptr<FakeBrew> brew;
    std::unique_ptr<ActivityStore> activity;
    std::unique_ptr<BrewStore> store;
    QWidget window;
    InstalledView *installed = nullptr;

    Fixture()
    {
        sandbox->configure([this](Platform::Settings &settings) {
            settings.catalogApiBase = server.baseUrl();
            settings.releaseApiBase = server.baseUrl();
            settings.successFade = 60s;
        });
        server.setRoute(u"/api/formula.json"_s,
            { 200,
                R"([{"name":"libidn2","versions":{"stable":"2.3.8"}},{"name":"node","versions":{"stable":"24.1.0"}},
                {"name":"openssl@3","versions":{"stable":"3.5.0"}},{"name":"orphan","versions":{"stable":"1.0"}},
                {"name":"tree","desc":"Display directories as trees","versions":{"stable":"2.2.1"}},
                {"name":"wget","desc":"Internet file retriever","versions":{"stable":"1.25.0"}}])",
                0 });
        server.setRoute(u"/api/cask.json"_s,
            { 200,
                R"([{"token":"firefox","name":["Mozilla Firefox"],"version":"138.0.4"},
                {"token":"rectangle","name":["Rectangle"],"version":"0.87"}])",
                0 });
        brew = std::make_unique<FakeBrew>(*sandbox);
        quillrig::test::addUsedMac(*brew, u"5.1.12"_s);
        activity = std::make_unique<ActivityStore>();
        store = std::make_unique<BrewStore>(activity.get());
        const auto outcome = quillrig::test::runTask(store->refresh());
        if (!outcome.ok())
            qFatal("refresh failed: %s", qPrintable(outcome.failure));
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        installed = new InstalledView(store.get(), &window);
        layout->addWidget(installed);
        window.resize(1100, 560);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qFatal("window not shown");
    }

    template<typename T> T *child(const QString &name) const
    {
        T *widget = window.findChild<T *>(name);
        if (!widget)
            qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return widget;
    }

    QTableView *table() const { return child<QTableView>(u"installedTable"_s); }

    int rowOf(const QString &name) const
    {
        const QAbstractItemModel *model = table()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, InstalledTableModel::nameColumn).data() == name)
                return row;
        return -1;
    }

    void select(const QStringList &names) const
    {
        for (qsizetype i = 0; i < names.size(); ++i) {
            const int row = rowOf(names.at(i));
            if (row < 0)
                qFatal("no row %s", qPrintable(names.at(i)));
            const QRect rect = table()->visualRect(table()->model()->index(row, InstalledTableModel::nameColumn));
            QTest::mouseClick(
                table()->viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier, rect.center());
        }
    }

    QList<QStringList> calls(const QString &verb) const
    {
        QList<QStringList> found;
        for (const QStringList &call : sandbox->calls(brewPath))
            if (!call.isEmpty() && call.first() == verb)
                found.append(call);
        return found;
    }
};

QWidget *sheetNamed(const QString &name)
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name && widget->isVisible())
            return widget;
    return nullptr;
}

template<typename T> T *in(QWidget *parent, const QString &name)
{
    T *widget = parent ? parent->findChild<T *>(name) : nullptr;
    if (!widget)
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    return widget;
}

QStringList names(const QTableView *table, int column)
{
    QStringList found;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        found.append(table->model()->index(row, column).data().toString());
    return found;
}

bool pinMarked(const QTableView *table, int row)
{
    return !table->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().isNull();
}

} // namespace

class TestInstalledView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        // Sheets are windows of their own: none may leak into the next test.
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->inherits("QDialog"))
                delete widget;
    }

    void showsWhatIsInstalled()
    {
        Fixture fixture;
        QTableView *table = fixture.table();
        QCOMPARE(names(table, InstalledTableModel::nameColumn),
            QStringList({ u"libidn2"_s, u"node"_s, u"openssl@3"_s, u"orphan"_s, u"tree"_s, u"wget"_s, u"firefox"_s,
                u"rectangle"_s }));
        const int openssl = fixture.rowOf(u"openssl@3"_s);
        QCOMPARE(table->model()->index(openssl, InstalledTableModel::reasonColumn).data(), u"Dependency"_s);
        QCOMPARE(table->model()->index(openssl, InstalledTableModel::statusColumn).data(), u"Update 3.5.0"_s);
        QCOMPARE(table->model()->index(openssl, InstalledTableModel::versionColumn).data(), u"3.4.1"_s);
        QVERIFY(pinMarked(table, fixture.rowOf(u"node"_s)));
        QVERIFY(!pinMarked(table, openssl));

        // Asked for and needed by nothing else, as `brew leaves -r` says; apps are always asked for.
        fixture.child<QCheckBox>(u"onRequestOnlyToggle"_s)->setChecked(true);
        QCOMPARE(names(table, InstalledTableModel::nameColumn),
            QStringList({ u"node"_s, u"tree"_s, u"wget"_s, u"firefox"_s, u"rectangle"_s }));
        fixture.child<QToolButton>(u"kindCasks"_s)->click();
        QCOMPARE(names(table, InstalledTableModel::nameColumn), QStringList({ u"firefox"_s, u"rectangle"_s }));
        fixture.child<QToolButton>(u"kindAll"_s)->click();
        fixture.child<QCheckBox>(u"onRequestOnlyToggle"_s)->setChecked(false);
        QTest::keyClicks(fixture.child<QLineEdit>(u"searchField"_s), u"retriever"_s);
        QCOMPARE(names(table, InstalledTableModel::nameColumn), QStringList{ u"wget"_s });
        fixture.child<QLineEdit>(u"searchField"_s)->clear();

        fixture.select({ u"wget"_s });
        QTRY_VERIFY(fixture.window.findChild<QWidget *>(u"detailInstalledActions"_s));
        QCOMPARE(fixture.child<QLabel>(u"selectionPill"_s)->text(), u"1 selected"_s);
        saveScreenshot(&fixture.window, u"installed-screen"_s);
    }

    void uninstall_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<bool>("zap");
        QTest::addColumn<QStringList>("call");
        QTest::newRow("a formula with an older keg")
            << QStringList{ u"tree"_s } << false
            << QStringList{ u"uninstall"_s, u"--formula"_s, u"--force"_s, u"tree"_s };
        QTest::newRow("a cask with its data") << QStringList{ u"firefox"_s } << true
                                              << QStringList{ u"uninstall"_s, u"--cask"_s, u"--zap"_s, u"firefox"_s };
        QTest::newRow("an outdated cask, data kept")
            << QStringList{ u"rectangle"_s } << false << QStringList{ u"uninstall"_s, u"--cask"_s, u"rectangle"_s };
    }

    void uninstall()
    {
        QFETCH(QStringList, selected);
        QFETCH(bool, zap);
        QFETCH(QStringList, call);
        Fixture fixture;
        CatalogView packages(fixture.store.get());
        UpdatesView updates(fixture.store.get());
        auto *status = in<QComboBox>(&packages, u"statusPicker"_s);
        status->setCurrentIndex(status->findText(u"Installed"_s));
        Q_EMIT status->activated(status->currentIndex());
        QTableView *catalog = in<QTableView>(&packages, u"catalogTable"_s);
        QTableView *outdated = in<QTableView>(&updates, u"outdatedTable"_s);
        QTRY_VERIFY(names(catalog, 1).contains(selected.first()));
        const bool wasOutdated = names(outdated, OutdatedTableModel::nameColumn).contains(selected.first());

        fixture.select(selected);
        fixture.child<QPushButton>(u"uninstallButton"_s)->click();
        QWidget *sheet = nullptr;
        QTRY_VERIFY((sheet = sheetNamed(u"uninstallSheet"_s)));
        QVERIFY(in<QLabel>(sheet, u"uninstallPackageList"_s)->text().contains(selected.first()));
        auto *zapToggle = in<QCheckBox>(sheet, u"zapToggle"_s);
        // Zap is offered for apps only, and never ticked unless the user ticks it.
        QCOMPARE(zapToggle->isVisible(), call.contains(u"--cask"_s));
        QVERIFY(!zapToggle->isChecked());
        QVERIFY(fixture.calls(u"uninstall"_s).isEmpty());
        if (zap) {
            zapToggle->click();
            saveScreenshot(sheet, u"installed-uninstall-sheet-zap"_s);
        }
        in<QPushButton>(sheet, u"confirmUninstallButton"_s)->click();

        QTRY_VERIFY_WITH_TIMEOUT(fixture.activity->phase().kind == ActivityStore::Phase::Kind::success, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QCOMPARE(fixture.calls(u"uninstall"_s), QList<QStringList>{ call });
        QTRY_VERIFY(fixture.rowOf(selected.first()) < 0);
        QTRY_VERIFY(!names(catalog, 1).contains(selected.first()));
        QVERIFY(!names(outdated, OutdatedTableModel::nameColumn).contains(selected.first()));
        Q_UNUSED(wasOutdated);
    }

    void refusalIsAFailureWithHomebrewsText()
    {
        Fixture fixture;
        fixture.select({ u"openssl@3"_s });
        fixture.child<QPushButton>(u"uninstallButton"_s)->click();
        QWidget *sheet = nullptr;
        QTRY_VERIFY((sheet = sheetNamed(u"uninstallSheet"_s)));
        auto *dependents = in<QLabel>(sheet, u"uninstallDependents"_s);
        QTRY_VERIFY(dependents->isVisible());
        QCOMPARE(dependents->text(),
            u"openssl@3 is needed by wget, which is installed. Homebrew will refuse to uninstall it while it is "
            "there."_s);
        in<QPushButton>(sheet, u"confirmUninstallButton"_s)->click();

        QTRY_VERIFY_WITH_TIMEOUT(fixture.activity->phase().kind == ActivityStore::Phase::Kind::failure, 10000);
        QCOMPARE(fixture.activity->phase().title, u"Uninstalling 1 package failed"_s);
        QVERIFY(fixture.activity->phase().message.startsWith(u"$ brew uninstall --formula openssl@3\n\n"_s));
        QVERIFY(fixture.activity->phase().message.contains(
            u"Error: Refusing to uninstall /opt/homebrew/Cellar/openssl@3/3.4.1\nbecause it is required by wget"_s));
        QTRY_VERIFY(!fixture.store->isRunning());
        QVERIFY(fixture.rowOf(u"openssl@3"_s) >= 0);
    }

    void pinKeepsAPackageOutOfUpgradeAll()
    {
        Fixture fixture;
        UpdatesView updates(fixture.store.get());
        auto *note = in<QLabel>(&updates, u"pinnedNote"_s);
        QCOMPARE(note->text(), u"Leaves out 1 pinned package"_s);

        fixture.select({ u"openssl@3"_s });
        auto *pin = fixture.child<QToolButton>(u"pinButton"_s);
        QCOMPARE(pin->text(), u"Pin"_s);
        pin->click();
        QTRY_VERIFY_WITH_TIMEOUT(fixture.store->installedPackage(u"formula:openssl@3"_s)->pinned, 10000);
        QTRY_VERIFY(!fixture.store->isRunning());
        QVERIFY(pinMarked(fixture.table(), fixture.rowOf(u"openssl@3"_s)));
        QCOMPARE(pin->text(), u"Unpin"_s);
        QCOMPARE(note->text(), u"Leaves out 2 pinned packages"_s);
        QTableView *outdated = in<QTableView>(&updates, u"outdatedTable"_s);
        QVERIFY(pinMarked(outdated, int(names(outdated, OutdatedTableModel::nameColumn).indexOf(u"openssl@3"_s))));

        in<QPushButton>(&updates, u"upgradeAllButton"_s)->click();
        QTRY_VERIFY(fixture.store->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QCOMPARE(fixture.brew->package(Kind::formula, u"openssl@3"_s)->installedVersions, QStringList{ u"3.4.1"_s });
        QCOMPARE(fixture.brew->package(Kind::cask, u"rectangle"_s)->installedVersions, QStringList{ u"0.87"_s });
    }

    void cleanupShowsWhatWouldGoThenWhatWasFreed()
    {
        Fixture fixture;
        fixture.child<QToolButton>(u"cleanupButton"_s)->click();
        QWidget *sheet = nullptr;
        QTRY_VERIFY((sheet = sheetNamed(u"cleanupSheet"_s)));
        auto *total = in<QLabel>(sheet, u"cleanupTotalLabel"_s);
        QTRY_VERIFY_WITH_TIMEOUT(total->text().startsWith(u"This would free approximately "_s), 10000);
        QCOMPARE(in<QLabel>(sheet, u"cleanupUnneededLabel"_s)->text(), u"orphan"_s);
        saveScreenshot(sheet, u"installed-cleanup-sheet"_s);
        const QString size = total->text().section(u' ', 4, 4);
        QVERIFY(fixture.calls(u"cleanup"_s) == QList<QStringList>{ QStringList({ u"cleanup"_s, u"--dry-run"_s }) });

        in<QPushButton>(sheet, u"confirmCleanupButton"_s)->click();
        QTRY_VERIFY_WITH_TIMEOUT(fixture.activity->phase()
                == ActivityStore::Phase::success(
                    u"Cleaned up: freed approximately "_s + size + u", removed 1 unneeded dependency"_s),
            10000);
        QTRY_VERIFY(fixture.rowOf(u"orphan"_s) < 0);
    }

    void oneSequenceAtATime()
    {
        Fixture fixture;
        // Nothing goes without the sheet, and Cancel removes nothing.
        fixture.select({ u"tree"_s });
        fixture.child<QPushButton>(u"uninstallButton"_s)->click();
        QWidget *sheet = nullptr;
        QTRY_VERIFY((sheet = sheetNamed(u"uninstallSheet"_s)));
        in<QPushButton>(sheet, u"cancelUninstallButton"_s)->click();
        QTRY_VERIFY(!sheetNamed(u"uninstallSheet"_s));

        fixture.brew->change(Kind::cask, u"rectangle"_s, [](FakeBrew::Package &p) { p.delayMs = 1500; });
        fixture.child<QPushButton>(u"uninstallButton"_s)->click();
        QTRY_VERIFY((sheet = sheetNamed(u"uninstallSheet"_s)));
        auto *confirm = in<QPushButton>(sheet, u"confirmUninstallButton"_s);
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        // The sheet closes on the first click; the second one of a double click must not count.
        QTest::mouseClick(confirm, Qt::LeftButton);
        QTest::mouseClick(confirm, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QCOMPARE(fixture.calls(u"uninstall"_s).size(), 1);

        // While a run goes on, nothing else can be started from the screen.
        UpdatesView updates(fixture.store.get());
        in<QPushButton>(&updates, u"upgradeAllButton"_s)->click();
        QTRY_VERIFY(fixture.store->isRunning());
        fixture.select({ u"wget"_s });
        for (const QString &name :
            { u"uninstallButton"_s, u"detailUninstallButton"_s, u"detailReinstallButton"_s, u"detailPinButton"_s })
            QVERIFY2(!fixture.child<QPushButton>(name)->isEnabled(), qPrintable(name));
        for (const QString &name : { u"reinstallButton"_s, u"pinButton"_s, u"cleanupButton"_s })
            QVERIFY2(!fixture.child<QToolButton>(name)->isEnabled(), qPrintable(name));
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QVERIFY(fixture.child<QPushButton>(u"uninstallButton"_s)->isEnabled());
    }
};

QTEST_MAIN(TestInstalledView)
#include "tst_installedview.moc"
