#include "AsyncTest.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "TestHttpServer.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "ui/Colors.h"
#include "ui/EmptyStateView.h"
#include "ui/main/MainView.h"
#include "ui/main/OutdatedTableModel.h"
#include "ui/main/UpdatesView.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;
using quillrig::test::saveScreenshot;
using quillrig::test::TestHttpServer;

namespace {

// The screen's parts, found by name as a user's tools would.
QTableView *tableOf(const QWidget &view)
{
    return view.findChild<QTableView *>(u"outdatedTable"_s);
}

OutdatedTableModel *modelOf(const QWidget &view)
{
    return qobject_cast<OutdatedTableModel *>(tableOf(view)->model());
}

QSet<QString> selectedIDs(const QWidget &view)
{
    QSet<QString> ids;
    for (const QModelIndex &index : tableOf(view)->selectionModel()->selectedRows())
        ids.insert(index.data(OutdatedTableModel::idRole).toString());
    return ids;
}

const QString brewPath = u"/opt/homebrew/bin/brew"_s;

const QByteArray threeOutdated = R"({"formulae":[
    {"name":"wget","installed_versions":["1.24.5"],"current_version":"1.25.0"},
    {"name":"jq","installed_versions":["1.6","1.7"],"current_version":"1.7.1"}],
  "casks":[{"name":"iterm2","installed_versions":"3.5.0","current_version":"3.5.4"}]})";

// A scripted brew over files in the sandbox's temporary folder: `outdated` prints outdated.json
// (greedy.json with --greedy), `update` replaces outdated.json and greedy.json with after-update.json
// when there is one, `install`, `upgrade` and `update` take `runMs`.
struct Fixture {
    std::unique_ptr<Sandbox> sandbox = std::make_unique<Sandbox>();
    TestHttpServer server;
    std::unique_ptr<ActivityStore> activity;
    std::unique_ptr<BrewStore> store;

    explicit Fixture(const QByteArray &outdated, const QByteArray &greedy = QByteArray(),
        const QString &version = u"4.4.2"_s, const std::optional<QString> &latest = u"4.4.2"_s, int runMs = 0)
    {
        sandbox->configure([this](Platform::Settings &settings) {
            settings.catalogApiBase = server.baseUrl();
            settings.releaseApiBase = server.baseUrl();
        });
        if (latest)
            server.setRoute(
                u"/repos/Homebrew/brew/releases/latest"_s, { 200, R"({"tag_name":")" + latest->toUtf8() + R"("})", 0 });
        server.setRoute(u"/api/formula.json"_s, { 200, "[]", 0 });
        server.setRoute(u"/api/cask.json"_s, { 200, "[]", 0 });
        const QString temp = sandbox->temp();
        Sandbox::writeFile(temp + u"/outdated.json"_s, outdated);
        Sandbox::writeFile(temp + u"/greedy.json"_s, greedy.isEmpty() ? outdated : greedy);
        const QByteArray sleep = runMs > 0 ? "sleep " + QByteArray::number(runMs / 1000.0) + "; " : "";
        sandbox->addScript(brewPath,
            "T='" + temp.toUtf8() + "'\n"
                + "case \"$1\" in\n"
                  "  --version) echo 'Homebrew "
                + version.toUtf8()
                + "' ;;\n"
                  "  list) ;;\n"
                  "  outdated) if [ \"$3\" = --greedy ]; then cat \"$T/greedy.json\"; else cat \"$T/outdated.json\"; "
                  "fi ;;\n"
                  "  update) "
                + sleep
                + "if [ -f \"$T/after-update.json\" ]; then cp \"$T/after-update.json\" \"$T/outdated.json\"; "
                  "cp \"$T/after-update.json\" \"$T/greedy.json\"; fi; echo 'Updated 1 tap.' ;;\n"
                  "  upgrade|install) "
                + sleep + "echo \"==> $*\" ;;\nesac\nexit 0\n");
        activity = std::make_unique<ActivityStore>();
        store = std::make_unique<BrewStore>(activity.get());
        const auto outcome = quillrig::test::runTask(store->refresh());
        if (!outcome.ok())
            qFatal("refresh failed: %s", qPrintable(outcome.failure));
    }

    void afterUpdate(const QByteArray &json) { Sandbox::writeFile(sandbox->temp() + u"/after-update.json"_s, json); }
};

template<typename T> T *child(QWidget &parent, const QString &name)
{
    T *widget = parent.findChild<T *>(name);
    if (!widget)
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    return widget;
}

QStringList shownNames(const QAbstractItemModel *model)
{
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(model->index(row, OutdatedTableModel::nameColumn).data().toString());
    return names;
}

void selectRows(UpdatesView &view, const QList<int> &rows)
{
    QTableView *table = tableOf(view);
    for (int i = 0; i < rows.size(); ++i) {
        const QRect rect = table->visualRect(table->model()->index(rows.at(i), OutdatedTableModel::nameColumn));
        QTest::mouseClick(
            table->viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier, rect.center());
    }
}

// The colour of the Homebrew row away from its content.
QColor rowBackground(UpdatesView &view)
{
    QWidget *row = child<QWidget>(view, u"homebrewRow"_s);
    return view.grab(QRect(row->mapTo(&view, QPoint(2, 2)), QSize(1, 1))).toImage().pixelColor(0, 0);
}

} // namespace

class TestUpdatesView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void header_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<std::optional<QString>>("latest");
        QTest::addColumn<QString>("versionText");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<bool>("update");
        QTest::newRow("update available") << u"4.4.2"_s << std::optional(u"4.4.10"_s) << u"Homebrew 4.4.2"_s
                                          << u"Version 4.4.10 is available"_s << true;
        QTest::newRow("up to date") << u"4.4.2"_s << std::optional(u"4.4.2"_s) << u"Homebrew 4.4.2"_s
                                    << u"Homebrew is up to date"_s << false;
        QTest::newRow("latest release unknown")
            << u"4.4.2"_s << std::optional<QString>() << u"Homebrew 4.4.2"_s << u"Homebrew is up to date"_s << false;
        QTest::newRow("development build, tag with v")
            << u"4.4.2-15-gabc123"_s << std::optional(u"v4.4.3"_s) << u"Homebrew 4.4.2-15-gabc123"_s
            << u"Version v4.4.3 is available"_s << true;
    }

    void header()
    {
        QFETCH(QString, version);
        QFETCH(std::optional<QString>, latest);
        QFETCH(QString, versionText);
        QFETCH(QString, statusText);
        QFETCH(bool, update);
        Fixture fixture(threeOutdated, QByteArray(), version, latest);
        UpdatesView view(fixture.store.get());
        view.resize(900, 420);
        view.show();
        QCOMPARE(child<QLabel>(view, u"homebrewVersionLabel"_s)->text(), versionText);
        auto *status = child<QLabel>(view, u"homebrewStatusLabel"_s);
        QCOMPARE(status->text(), statusText);
        // Orange, as dark as the window needs to read it.
        const QColor orange = Colors::readableOn(Colors::orange(), view.palette().color(QPalette::Window));
        QCOMPARE(status->palette().color(QPalette::WindowText) == orange, update);
        auto *button = child<QPushButton>(view, u"updateHomebrewButton"_s);
        QCOMPARE(button->isVisible(), update);
        auto *toggle = child<QCheckBox>(view, u"selfUpdatingToggle"_s);
        QCOMPARE(toggle->text(), u"Include self-updating apps"_s);
        QCOMPARE(toggle->toolTip(),
            u"Also upgrade casks that update themselves (brew --greedy), such as Chrome or VS Code"_s);
        QVERIFY(toggle->isEnabled());

        const QColor background = rowBackground(view);
        const QColor window = view.palette().color(QPalette::Window);
        if (update)
            QVERIFY(background.red() > background.blue() + 10);
        else
            QCOMPARE(background.rgb(), window.rgb());
        saveScreenshot(&view, u"updates-"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));

        if (update) {
            QTest::mouseClick(button, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(fixture.sandbox->calls(brewPath).contains(QStringList{ u"update"_s }), 10000);
        }
    }

    void mainWindow_smallestSize()
    {
        Fixture fixture(threeOutdated, QByteArray(), u"4.4.2"_s, u"4.5.0"_s);
        MainView main(fixture.store.get(), fixture.activity.get(), nullptr);
        main.resize(960, 600);
        main.show();
        main.setSection(SidebarSection::updates);
        auto *view = qobject_cast<UpdatesView *>(main.currentScreen());
        QVERIFY(view);
        auto *button = child<QPushButton>(*view, u"updateHomebrewButton"_s);
        QTRY_VERIFY(button->isVisible());
        QVERIFY(button->mapTo(view, QPoint(button->width(), 0)).x() <= view->width());
        saveScreenshot(&main, u"updates-main-window"_s);
    }

    void header_unknownVersionLeavesNothingAfterTheName()
    {
        Sandbox sandbox;
        ActivityStore activity;
        BrewStore store(&activity);
        UpdatesView view(&store);
        view.show();
        QCOMPARE(child<QLabel>(view, u"homebrewVersionLabel"_s)->text(), u"Homebrew "_s);
        QCOMPARE(child<QLabel>(view, u"homebrewStatusLabel"_s)->text(), u"Homebrew is up to date"_s);
        QVERIFY(!child<QPushButton>(view, u"updateHomebrewButton"_s)->isVisible());
    }

    void table_listsTheOutdatedPackages()
    {
        Fixture fixture(threeOutdated);
        UpdatesView view(fixture.store.get());
        QAbstractItemModelTester tester(modelOf(view), QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.resize(900, 420);
        view.show();
        QCOMPARE(child<QStackedWidget>(view, u"updatesContent"_s)->currentWidget(), tableOf(view));
        const QAbstractItemModel *model = modelOf(view);
        QStringList headers;
        for (int column = 0; column < model->columnCount(); ++column)
            headers.append(model->headerData(column, Qt::Horizontal).toString());
        // The narrow first column carries the pin mark and no title.
        QCOMPARE(headers, (QStringList{ QString(), u"Name"_s, u"Type"_s, u"Installed"_s, u"Available"_s }));
        QVERIFY(tableOf(view)->horizontalHeader()->sectionSize(OutdatedTableModel::typeColumn)
            > tableOf(view)->fontMetrics().horizontalAdvance(u"Formula"_s));
        QCOMPARE(tableOf(view)->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(shownNames(model), (QStringList{ u"wget"_s, u"jq"_s, u"iterm2"_s }));
        QCOMPARE(model->index(1, OutdatedTableModel::typeColumn).data().toString(), u"Formula"_s);
        QCOMPARE(model->index(1, OutdatedTableModel::installedColumn).data().toString(), u"1.6, 1.7"_s);
        QCOMPARE(model->index(2, OutdatedTableModel::typeColumn).data().toString(), u"Cask"_s);
        QCOMPARE(model->index(2, OutdatedTableModel::installedColumn).data().toString(), u"3.5.0"_s);
        QCOMPARE(model->index(2, OutdatedTableModel::availableColumn).data().toString(), u"3.5.4"_s);
        QCOMPARE(model->index(2, OutdatedTableModel::availableColumn).data(Qt::ForegroundRole).value<QColor>(),
            Colors::green());

        QVERIFY(child<QPushButton>(view, u"upgradeAllButton"_s)->isEnabled());
        QVERIFY(!child<QToolButton>(view, u"upgradeSelectedButton"_s)->isEnabled());
        QVERIFY(child<QToolButton>(view, u"checkForUpdatesButton"_s)->isEnabled());
        selectRows(view, { 0, 2 });
        QCOMPARE(selectedIDs(view), (QSet<QString>{ u"formula:wget"_s, u"cask:iterm2"_s }));
        QVERIFY(child<QToolButton>(view, u"upgradeSelectedButton"_s)->isEnabled());
        saveScreenshot(&view, u"updates-table-selected"_s);

        QTest::mouseClick(child<QPushButton>(view, u"upgradeAllButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            fixture.sandbox->calls(brewPath).contains((QStringList{ u"upgrade"_s, u"--greedy"_s })), 10000);
    }

    void empty_showsThePanelAndDisablesUpgradeAll()
    {
        Fixture fixture(R"({"formulae":[],"casks":[]})");
        UpdatesView view(fixture.store.get());
        view.resize(900, 420);
        view.show();
        auto *empty = child<EmptyStateView>(view, u"updatesEmptyState"_s);
        QCOMPARE(child<QStackedWidget>(view, u"updatesContent"_s)->currentWidget(), empty);
        QCOMPARE(empty->title(), u"Everything is up to date"_s);
        QCOMPARE(empty->description(), u"Press “Check for updates” to refresh the Homebrew index."_s);
        QVERIFY(!child<QPushButton>(view, u"upgradeAllButton"_s)->isEnabled());
        QVERIFY(!child<QToolButton>(view, u"upgradeSelectedButton"_s)->isEnabled());
        QVERIFY(child<QToolButton>(view, u"checkForUpdatesButton"_s)->isEnabled());
        saveScreenshot(&view, u"updates-empty"_s);
    }

    void upgradeSelected_actsOnlyOnRowsStillOutdated()
    {
        Fixture fixture(threeOutdated);
        // The check finds iterm2 up to date now, and a new one.
        fixture.afterUpdate(R"({"formulae":[
            {"name":"wget","installed_versions":["1.24.5"],"current_version":"1.25.1"},
            {"name":"jq","installed_versions":["1.6"],"current_version":"1.7.1"},
            {"name":"git","installed_versions":["2.44.0"],"current_version":"2.45.0"}],"casks":[]})");
        UpdatesView view(fixture.store.get());
        view.resize(900, 420);
        view.show();
        selectRows(view, { 0, 2 });
        QCOMPARE(selectedIDs(view), (QSet<QString>{ u"formula:wget"_s, u"cask:iterm2"_s }));

        QTest::mouseClick(child<QToolButton>(view, u"checkForUpdatesButton"_s), Qt::LeftButton);
        QTRY_VERIFY(fixture.store->isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(shownNames(modelOf(view)), (QStringList{ u"wget"_s, u"jq"_s, u"git"_s }), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QCOMPARE(fixture.store->selectedIDs(), QSet<QString>());
        QCOMPARE(view.selectedOutdated().size(), 1);
        QCOMPARE(view.selectedOutdated().first().current, u"1.25.1"_s);
        // The table still marks the row that is left.
        const QModelIndexList selected = tableOf(view)->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().row(), 0);

        auto *upgrade = child<QToolButton>(view, u"upgradeSelectedButton"_s);
        QTRY_VERIFY(upgrade->isEnabled());
        QTest::mouseClick(upgrade, Qt::LeftButton);
        auto upgrades = [&] {
            QList<QStringList> calls;
            for (const QStringList &call : fixture.sandbox->calls(brewPath))
                if (call.value(0) == u"upgrade"_s)
                    calls.append(call);
            return calls;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!upgrades().isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QCOMPARE(upgrades(), (QList<QStringList>{ { u"upgrade"_s, u"--formula"_s, u"wget"_s } }));
    }

    void selfUpdatingToggle_relistsAtOnceAndIsLockedWhileRunning()
    {
        const QByteArray greedy = R"({"formulae":[{"name":"wget","installed_versions":["1.24.5"],
            "current_version":"1.25.0"}],"casks":[{"name":"google-chrome","installed_versions":["120.0"],
            "current_version":"121.0"}]})";
        Fixture fixture(R"({"formulae":[{"name":"wget","installed_versions":["1.24.5"],"current_version":"1.25.0"}],
            "casks":[]})",
            greedy, u"4.4.2"_s, u"4.4.2"_s, 1000);
        UpdatesView view(fixture.store.get());
        view.resize(900, 420);
        view.show();
        QVERIFY(fixture.store->includeSelfUpdating());
        QCOMPARE(shownNames(modelOf(view)), (QStringList{ u"wget"_s, u"google-chrome"_s }));
        auto *toggle = child<QCheckBox>(view, u"selfUpdatingToggle"_s);
        QVERIFY(toggle->isChecked());

        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!fixture.store->includeSelfUpdating());
        QTRY_COMPARE(shownNames(modelOf(view)), QStringList{ u"wget"_s });
        QTest::mouseClick(toggle, Qt::LeftButton);
        QTRY_COMPARE(shownNames(modelOf(view)), (QStringList{ u"wget"_s, u"google-chrome"_s }));

        // A run locks the toggle and the commands.
        QTest::mouseClick(child<QPushButton>(view, u"upgradeAllButton"_s), Qt::LeftButton);
        QTRY_VERIFY(fixture.store->isRunning());
        QVERIFY(!toggle->isEnabled());
        QVERIFY(!child<QToolButton>(view, u"checkForUpdatesButton"_s)->isEnabled());
        QVERIFY(!child<QPushButton>(view, u"upgradeAllButton"_s)->isEnabled());
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(fixture.store->includeSelfUpdating());
        saveScreenshot(&view, u"updates-running"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QVERIFY(toggle->isEnabled());
    }
};

QTEST_MAIN(TestUpdatesView)
#include "tst_updatesview.moc"
