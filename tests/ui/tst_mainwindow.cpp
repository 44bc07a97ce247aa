#include "AsyncTest.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "TestHttpServer.h"
#include "app/MyApp.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "ui/LiveLogView.h"
#include "ui/main/ContentView.h"
#include "ui/main/ErrorDetailsSheet.h"
#include "ui/main/HelpView.h"
#include "ui/main/InstallHomebrewView.h"
#include "ui/main/LogPanel.h"
#include "ui/main/MainView.h"
#include "ui/main/StatusBar.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;
using quillrig::test::saveScreenshot;

namespace {

const QString brew = u"/opt/homebrew/bin/brew"_s;

// A brew that answers the refresh commands; `outdated` prints the file "outdated.json" of the
// sandbox's temporary folder and `install` takes a second.
void installBrew(Sandbox &sandbox)
{
    const QString outdated = sandbox.temp() + u"/outdated.json"_s;
    Sandbox::writeFile(outdated, R"({"formulae":[],"casks":[]})");
    sandbox.addScript(brew,
        "case \"$1\" in\n"
        "  --version) echo 'Homebrew 4.4.2' ;;\n"
        "  list) [ \"$2\" = --formula ] && echo wget ;;\n"
        "  outdated) cat '"
            + outdated.toUtf8()
            + "' ;;\n"
              "  install) echo '==> Installing jq'; sleep 1 ;;\n"
              "esac\nexit 0\n");
}

void setOutdated(Sandbox &sandbox, const QByteArray &json)
{
    Sandbox::writeFile(sandbox.temp() + u"/outdated.json"_s, json);
}

QWidget *visiblePage(ContentView &view)
{
    return view.findChild<QStackedWidget *>()->currentWidget();
}

void emitActivation()
{
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void start_showsLookingForHomebrew()
    {
        Sandbox sandbox;
        ContentView view;
        view.resize(960, 600);
        QCOMPARE(view.store()->status(), BrewStatus::checking);
        auto *label = view.findChild<QLabel *>(u"checkingLabel"_s);
        QCOMPARE(label->text(), u"Looking for Homebrew…"_s);
        QVERIFY(visiblePage(view)->isAncestorOf(label));
        saveScreenshot(&view, u"main-checking"_s);
    }

    void activation_whileCheckingStartsNothing()
    {
        Sandbox sandbox;
        installBrew(sandbox);
        ContentView view; // never shown, so the start-up refresh has not run
        emitActivation();
        QTest::qWait(200);
        QCOMPARE(view.store()->status(), BrewStatus::checking);
        QVERIFY(sandbox.calls(brew).isEmpty());
    }

    void missing_showsTheInstallScreen()
    {
        Sandbox sandbox;
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_COMPARE(view.store()->status(), BrewStatus::missing);
        auto *install = view.findChild<InstallHomebrewView *>();
        QVERIFY(install);
        QCOMPARE(visiblePage(view), install);
        QCOMPARE(install->findChild<QLabel *>(u"installTitle"_s)->text(), u"Homebrew is not installed"_s);
        QCOMPARE(install->findChild<QLabel *>(u"installExplanation"_s)->text(),
            u"Homebrew is the package manager for macOS. This app uses it to install developer tools and "
            u"applications."_s);
        QCOMPARE(install->findChild<QLabel *>(u"installFootnote"_s)->text(),
            u"The official installer opens in Terminal, because it asks for your password. This window updates "
            u"automatically when it finishes."_s);
        saveScreenshot(&view, u"main-install-homebrew"_s);

        QTest::mouseClick(install->findChild<QPushButton *>(u"installButton"_s), Qt::LeftButton);
        QCOMPARE(sandbox.openedFiles, QStringList{ sandbox.temp() + u"/install-homebrew.command"_s });

        // Homebrew arrives; "Check again" finds it and the main view replaces the install screen.
        installBrew(sandbox);
        QTest::mouseClick(install->findChild<QPushButton *>(u"checkAgainButton"_s), Qt::LeftButton);
        QTRY_COMPARE(view.store()->status(), BrewStatus::ready);
        QVERIFY(view.mainView());
        QCOMPARE(visiblePage(view), view.mainView());
        QCOMPARE(view.mainView()->section(), SidebarSection::home);
    }

    void activation_whileMissingLooksAgain()
    {
        Sandbox sandbox;
        ContentView view;
        view.show();
        QTRY_COMPARE(view.store()->status(), BrewStatus::missing);
        installBrew(sandbox);
        emitActivation();
        QTRY_COMPARE(view.store()->status(), BrewStatus::ready);
    }

    void sidebar_badgeFollowsTheOutdatedCount()
    {
        Sandbox sandbox;
        installBrew(sandbox);
        setOutdated(sandbox, R"({"formulae":[{"name":"wget","installed_versions":["1.21"],"current_version":"1.24"},
            {"name":"jq","installed_versions":["1.6"],"current_version":"1.7.1"}],"casks":[]})");
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_COMPARE(view.store()->outdated().size(), 2);
        auto *list = view.findChild<QListWidget *>(u"sidebarList"_s);
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->item(0)->text(), u"Home"_s);
        QCOMPARE(list->item(1)->text(), u"Packages"_s);
        QCOMPARE(list->item(2)->text(), u"Installed"_s);
        QCOMPARE(list->item(3)->text(), u"Updates"_s);
        QCOMPARE(list->item(3)->data(MainView::badgeRole).toInt(), 2);
        QCOMPARE(list->item(0)->data(MainView::badgeRole).toInt(), 0);
        saveScreenshot(&view, u"main-home-badge"_s);

        setOutdated(sandbox, R"({"formulae":[],"casks":[]})");
        QR_AWAIT_VOID(view.store()->refreshInstalled());
        QCOMPARE(list->item(3)->data(MainView::badgeRole).toInt(), 0);
        saveScreenshot(&view, u"main-home-no-badge"_s);
    }

    void sidebar_selectsTheScreen_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("screen");
        QTest::newRow("packages") << 1 << u"catalogScreen"_s;
        QTest::newRow("installed") << 2 << u"installedScreen"_s;
        QTest::newRow("updates") << 3 << u"updatesScreen"_s;
        QTest::newRow("home") << 0 << u"homeScreen"_s;
    }

    void sidebar_selectsTheScreen()
    {
        QFETCH(int, row);
        QFETCH(QString, screen);
        Sandbox sandbox;
        installBrew(sandbox);
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_VERIFY(view.mainView());
        MainView *main = view.mainView();
        main->setSection(
            SidebarSection::updates == SidebarSection(row) ? SidebarSection::home : SidebarSection::updates);
        auto *list = view.findChild<QListWidget *>(u"sidebarList"_s);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        QCOMPARE(main->section(), SidebarSection(row));
        QCOMPARE(main->currentScreen()->objectName(), screen);
        // A new screen each time: the catalog starts with a fresh search, the updates unticked.
        QWidget *shown = main->currentScreen();
        main->setSection(SidebarSection::home);
        main->setSection(SidebarSection(row));
        QVERIFY(row == 0 || main->currentScreen() != shown);

        // Deselecting the row shows Home.
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualItemRect(list->item(row)).center());
        QCOMPARE(main->section(), std::nullopt);
        QCOMPARE(main->currentScreen()->objectName(), u"homeScreen"_s);
    }

    void logPanel_neverOnHome()
    {
        Sandbox sandbox;
        installBrew(sandbox);
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_VERIFY(view.mainView());
        MainView *main = view.mainView();
        BrewStore *store = view.store();
        auto *panel = main->findChild<LogPanel *>();
        QTRY_VERIFY(!store->isRunning());
        store->clearLog();

        const auto visibleOn = [&](std::optional<SidebarSection> section) {
            main->setSection(section);
            return panel->isVisible();
        };
        // Nothing ran and nothing was printed: no panel anywhere.
        QVERIFY(!visibleOn(SidebarSection::catalog));
        QVERIFY(!visibleOn(SidebarSection::updates));

        Package jq;
        jq.kind = PackageKind::formula;
        jq.name = u"jq"_s;
        main->setSection(SidebarSection::catalog);
        auto install = store->install({ jq });
        QVERIFY(store->isRunning());
        QVERIFY(panel->isVisible());
        QVERIFY(!visibleOn(SidebarSection::home));
        QVERIFY(!visibleOn(std::nullopt));
        QVERIFY(visibleOn(SidebarSection::updates));
        auto *clear = panel->findChild<QPushButton *>(u"logClear"_s);
        QVERIFY(!clear->isEnabled());
        QTRY_VERIFY(panel->findChild<LiveLogView *>(u"logText"_s)->shownText().contains(u"==> Installing jq"_s));
        saveScreenshot(&view, u"main-updates-running"_s);

        QR_AWAIT_VOID(std::move(install));
        QVERIFY(!store->isRunning());
        QVERIFY(panel->isVisible()); // the output is still there to read
        QVERIFY(!visibleOn(SidebarSection::home));
        QVERIFY(visibleOn(SidebarSection::catalog));
        QVERIFY(clear->isEnabled());
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(store->log().isEmpty());
        QVERIFY(!panel->isVisible());
    }

    void statusBar_clickOpensTheErrorSheet()
    {
        Sandbox sandbox;
        installBrew(sandbox);
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_VERIFY(view.mainView());
        QTRY_VERIFY(!view.store()->isLoadingCatalog());
        ActivityStore *activity = view.activity();
        activity->setPhase(ActivityStore::Phase::failure(u"Installing 1 package failed"_s, u"$ brew install jq\n"_s));
        auto *bar = view.mainView()->findChild<StatusBar *>();
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(100, bar->height() / 2));
        QVERIFY(activity->showingError());
        ErrorDetailsSheet *sheet = nullptr;
        QTRY_VERIFY((sheet = view.window()->findChild<ErrorDetailsSheet *>()) && sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        saveScreenshot(&view, u"main-error"_s);
        saveScreenshot(sheet, u"main-error-sheet"_s);

        // "Close" hides the sheet and hands showingError back; the error stays.
        QTest::mouseClick(sheet->findChild<QPushButton *>(u"errorClose"_s), Qt::LeftButton);
        QVERIFY(!activity->showingError());
        QVERIFY(activity->currentError());
        QTRY_VERIFY(!view.window()->findChild<ErrorDetailsSheet *>());

        // Opened again, "Dismiss error" clears it and the bar is no longer red.
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(100, bar->height() / 2));
        QTRY_VERIFY((sheet = view.window()->findChild<ErrorDetailsSheet *>()) && sheet->isVisible());
        QTest::mouseClick(sheet->findChild<QPushButton *>(u"errorDismiss"_s), Qt::LeftButton);
        QVERIFY(!activity->showingError());
        QVERIFY(bar->level() != StatusBar::Level::error);
    }

    // With a catalog from an earlier run on disk, a failed download turns the bar red; its sheet
    // offers "Try again", which downloads the catalog again.
    void failedCatalog_tryAgainDownloadsAgain()
    {
        Sandbox sandbox;
        installBrew(sandbox);
        quillrig::test::TestHttpServer server;
        server.setRoute(u"/api/formula.json"_s, { 503, {}, 0 });
        server.setRoute(u"/api/cask.json"_s, { 503, {}, 0 });
        sandbox.configure([&](Platform::Settings &settings) { settings.catalogApiBase = server.baseUrl(); });
        Sandbox::writeFile(sandbox.appSupport() + u"/quillrig-gui/catalog.json"_s,
            R"([{"kind":"formula","name":"wget","displayName":"wget","desc":"Internet file retriever",)"
            R"("homepage":"https://www.gnu.org/software/wget/","version":"1.25.0","deprecated":false,)"
            R"("searchKey":"wget wget internet file retriever"}])");
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_VERIFY(view.mainView());
        QTRY_COMPARE(view.activity()->catalog().kind, ActivityStore::CatalogState::Kind::failed);
        QCOMPARE(view.store()->catalog().size(), 1); // the saved catalog stays on screen
        auto *bar = view.mainView()->findChild<StatusBar *>();
        QCOMPARE(bar->text(), u"Couldn't update the package catalog — using the saved one"_s);
        const qsizetype requestsBefore = server.requests().size();

        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(100, bar->height() / 2));
        ErrorDetailsSheet *sheet = nullptr;
        QTRY_VERIFY((sheet = view.window()->findChild<ErrorDetailsSheet *>()) && sheet->isVisible());
        auto *retry = sheet->findChild<QPushButton *>(u"errorTryAgain"_s);
        QVERIFY(retry->isVisible());
        QTest::mouseClick(retry, Qt::LeftButton);
        QVERIFY(!view.activity()->showingError());
        QTRY_VERIFY(server.requests().size() > requestsBefore);
        QVERIFY(server.requests().mid(requestsBefore).contains(u"/api/formula.json"_s));
        QTRY_COMPARE(view.activity()->catalog().kind, ActivityStore::CatalogState::Kind::failed);
    }

    void app_singleInstanceWindows()
    {
        Sandbox sandbox;
        MyApp app;
        app.start();
        QMainWindow *window = app.mainWindow();
        QCOMPARE(window->windowTitle(), u"Quillrig"_s);
        QCOMPARE(window->centralWidget()->minimumSize(), QSize(960, 600));

        auto *helpAction = window->findChild<QAction *>(u"helpAction"_s);
        QCOMPARE(helpAction->text(), u"Quillrig Help"_s);
        QVERIFY(helpAction->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Question)));
        helpAction->trigger();
        HelpView *help = app.helpWindow();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->windowTitle(), u"Quillrig Help"_s);
        QCOMPARE(help->selection()->title, u"Getting started"_s);
        help->setSelection(HelpView::topics().at(3));
        helpAction->trigger();
        QCOMPARE(app.helpWindow(), help); // the same window, brought forward
        help->close();
        helpAction->trigger();
        QCOMPARE(app.helpWindow(), help);
        QVERIFY(help->isVisible());

        auto *aboutAction = window->findChild<QAction *>(u"aboutAction"_s);
        QCOMPARE(aboutAction->text(), u"About Quillrig"_s);
        QCOMPARE(aboutAction->menuRole(), QAction::AboutRole);
        aboutAction->trigger();
        AboutView *about = app.aboutWindow();
        QVERIFY(about && about->isVisible());
        QCOMPARE(about->windowTitle(), u"About Quillrig"_s);
        aboutAction->trigger();
        QCOMPARE(app.aboutWindow(), about);

        auto *support = window->findChild<QAction *>(u"supportAction"_s);
        QCOMPARE(support->text(), u"Support the Project…"_s);
        support->trigger();
        QCOMPARE(sandbox.openedUrls.size(), 1);
        QCOMPARE(sandbox.openedUrls.first().scheme(), u"https"_s);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
