#include "AsyncTest.h"
#include "FakeBrew.h"
#include "FindChild.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "TestHttpServer.h"
#include "app/MyApp.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "brew/PackageFormats.h"
#include "setup/engine/SetupStore.h"
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
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using quillrig::test::FakeBrew;
using quillrig::test::Sandbox;
using quillrig::test::saveScreenshot;

namespace {

BrewStore *storeOf(const ContentView &view)
{
    return quillrig::test::child<BrewStore>(view, u"brewStore"_s);
}

// Null until Homebrew was first found.
MainView *mainOf(const ContentView &view)
{
    return view.findChild<MainView *>(u"mainView"_s);
}

ActivityStore *activityOf(const ContentView &view)
{
    return quillrig::test::child<ActivityStore>(view, u"activityStore"_s);
}

const QString brew = u"/opt/homebrew/bin/brew"_s;

// Homebrew with wget installed and up to date, and jq to install, which takes a second.
void installBrew(FakeBrew &fake)
{
    fake.setHomebrewVersion(u"4.4.2"_s)
        .addFormula({ .name = u"wget"_s, .version = u"1.24"_s, .installedVersions = { u"1.24"_s } })
        .addFormula({ .name = u"jq"_s, .version = u"1.7.1"_s, .delayMs = 1000 });
}

// Makes wget and jq installed at older versions than the catalog's, or both current.
void setOutdated(FakeBrew &fake, bool outdated)
{
    fake.change(FakeBrew::Kind::formula, u"wget"_s,
        [&](FakeBrew::Package &wget) { wget.installedVersions = { outdated ? u"1.21"_s : wget.version }; });
    fake.change(FakeBrew::Kind::formula, u"jq"_s,
        [&](FakeBrew::Package &jq) { jq.installedVersions = outdated ? QStringList{ u"1.6"_s } : QStringList{}; });
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
        QCOMPARE(storeOf(view)->status(), BrewStatus::checking);
        auto *label = view.findChild<QLabel *>(u"checkingLabel"_s);
        QCOMPARE(label->text(), u"Looking for Homebrew…"_s);
        QVERIFY(visiblePage(view)->isAncestorOf(label));
        saveScreenshot(&view, u"main-checking"_s);
    }

    void activation_whileCheckingStartsNothing()
    {
        Sandbox sandbox;
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        ContentView view; // never shown, so the start-up refresh has not run
        emitActivation();
        QTest::qWait(200);
        QCOMPARE(storeOf(view)->status(), BrewStatus::checking);
        QVERIFY(sandbox.calls(brew).isEmpty());
    }

    void missing_showsTheInstallScreen()
    {
        Sandbox sandbox;
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_COMPARE(storeOf(view)->status(), BrewStatus::missing);
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
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        QTest::mouseClick(install->findChild<QPushButton *>(u"checkAgainButton"_s), Qt::LeftButton);
        QTRY_COMPARE(storeOf(view)->status(), BrewStatus::ready);
        QVERIFY(mainOf(view));
        QCOMPARE(visiblePage(view), mainOf(view));
        QCOMPARE(mainOf(view)->section(), SidebarSection::home);
    }

    void activation_whileMissingLooksAgain()
    {
        Sandbox sandbox;
        ContentView view;
        view.show();
        QTRY_COMPARE(storeOf(view)->status(), BrewStatus::missing);
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        emitActivation();
        QTRY_COMPARE(storeOf(view)->status(), BrewStatus::ready);
    }

    void sidebar_badgeFollowsTheOutdatedCount()
    {
        Sandbox sandbox;
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        setOutdated(fakeBrew, true);
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_COMPARE(storeOf(view)->outdated().size(), 2);
        auto *list = view.findChild<QListWidget *>(u"sidebarList"_s);
        QCOMPARE(list->count(), 5);
        QCOMPARE(list->item(0)->text(), u"Home"_s);
        QCOMPARE(list->item(1)->text(), u"Packages"_s);
        QCOMPARE(list->item(2)->text(), u"Installed"_s);
        QCOMPARE(list->item(3)->text(), u"Updates"_s);
        QCOMPARE(list->item(4)->text(), u"Services"_s);
        QCOMPARE(list->item(3)->data(MainView::badgeRole).toInt(), 2);
        QCOMPARE(list->item(0)->data(MainView::badgeRole).toInt(), 0);
        saveScreenshot(&view, u"main-home-badge"_s);

        setOutdated(fakeBrew, false);
        QR_AWAIT_VOID(storeOf(view)->refreshInstalled());
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
        QTest::newRow("services") << 4 << u"servicesScreen"_s;
        QTest::newRow("home") << 0 << u"homeScreen"_s;
    }

    void sidebar_selectsTheScreen()
    {
        QFETCH(int, row);
        QFETCH(QString, screen);
        Sandbox sandbox;
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_VERIFY(mainOf(view));
        MainView *main = mainOf(view);
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
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_VERIFY(mainOf(view));
        MainView *main = mainOf(view);
        BrewStore *store = storeOf(view);
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
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_VERIFY(mainOf(view));
        QTRY_VERIFY(!storeOf(view)->isLoadingCatalog());
        ActivityStore *activity = activityOf(view);
        activity->setPhase(ActivityStore::Phase::failure(u"Installing 1 package failed"_s, u"$ brew install jq\n"_s));
        auto *bar = mainOf(view)->findChild<StatusBar *>();
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
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        quillrig::test::TestHttpServer server;
        server.setRoute(u"/api/formula.json"_s, { 503, {}, 0 });
        server.setRoute(u"/api/cask.json"_s, { 503, {}, 0 });
        sandbox.configure([&](Platform::Settings &settings) { settings.catalogApiBase = server.baseUrl(); });
        Sandbox::writeFile(sandbox.appSupport() + u"/quillrig-gui/catalog.json"_s,
            PackageFormats::encodeCache({ { PackageKind::formula, u"wget"_s, u"wget"_s, u"Internet file retriever"_s,
                u"https://www.gnu.org/software/wget/"_s, u"1.25.0"_s, false,
                u"wget wget internet file retriever"_s } }));
        ContentView view;
        view.resize(960, 600);
        view.show();
        QTRY_VERIFY(mainOf(view));
        QTRY_COMPARE(activityOf(view)->catalog().kind, ActivityStore::CatalogState::Kind::failed);
        QCOMPARE(storeOf(view)->catalog().size(), 1); // the saved catalog stays on screen
        auto *bar = mainOf(view)->findChild<StatusBar *>();
        QCOMPARE(bar->text(), u"Couldn't update the package catalog — using the saved one"_s);
        const qsizetype requestsBefore = server.requests().size();

        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(100, bar->height() / 2));
        ErrorDetailsSheet *sheet = nullptr;
        QTRY_VERIFY((sheet = view.window()->findChild<ErrorDetailsSheet *>()) && sheet->isVisible());
        auto *retry = sheet->findChild<QPushButton *>(u"errorTryAgain"_s);
        QVERIFY(retry->isVisible());
        QTest::mouseClick(retry, Qt::LeftButton);
        QVERIFY(!activityOf(view)->showingError());
        QTRY_VERIFY(server.requests().size() > requestsBefore);
        QVERIFY(server.requests().mid(requestsBefore).contains(u"/api/formula.json"_s));
        QTRY_COMPARE(activityOf(view)->catalog().kind, ActivityStore::CatalogState::Kind::failed);
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

        // Help and About belong to the main window: closing it leaves nothing running.
        QCOMPARE(about->parentWidget(), window);
        QCOMPARE(app.helpWindow()->parentWidget(), window);
        QVERIFY(about->isWindow() && app.helpWindow()->isWindow());

        // The View menu lists the keys of the sections and of Find.
        QStringList keys;
        for (QAction *action : window->findChild<QMenu *>(u"viewMenu"_s)->actions())
            keys.append(action->text() + u' ' + action->shortcut().toString());
        QCOMPARE(keys,
            (QStringList{ u"Home Ctrl+1"_s, u"Packages Ctrl+2"_s, u"Installed Ctrl+3"_s, u"Updates Ctrl+4"_s,
                u"Services Ctrl+5"_s, u" "_s, u"Find Ctrl+F"_s }));

        auto *support = window->findChild<QAction *>(u"supportAction"_s);
        QCOMPARE(support->text(), u"Support the Project…"_s);
        support->trigger();
        QCOMPARE(sandbox.openedUrls.size(), 1);
        QCOMPARE(sandbox.openedUrls.first().scheme(), u"https"_s);
    }

    void keyboard_shortcutsSwitchSectionsAndFocusSearch()
    {
        Sandbox sandbox;
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        ContentView view;
        quillrig::test::child<SetupStore>(view, u"setupStore"_s)->setHasSeenWizard(true);
        view.resize(1000, 640);
        view.show();
        QTRY_COMPARE(storeOf(view)->status(), BrewStatus::ready);
        QApplication::setActiveWindow(&view);
        QVERIFY(QTest::qWaitForWindowActive(&view));
        MainView *main = mainOf(view);
        const QList<SidebarSection> sections = allSidebarSections();
        for (int i = sections.size() - 1; i >= 0; --i) {
            QTest::keyClick(&view, Qt::Key(Qt::Key_1 + i), Qt::ControlModifier);
            QCOMPARE(main->section(), sections[i]);
        }
        QTest::keyClick(&view, Qt::Key_2, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_F, Qt::ControlModifier);
        QWidget *focused = QApplication::focusWidget();
        QVERIFY(focused && main->currentScreen()->isAncestorOf(focused));
        QCOMPARE(focused->objectName(), u"searchField"_s);
    }

    void app_brewfileCommandsWaitForTheSequence()
    {
        Sandbox sandbox;
        FakeBrew fakeBrew(sandbox);
        installBrew(fakeBrew);
        MyApp app;
        app.start();
        QMainWindow *window = app.mainWindow();
        auto *exportAction = window->findChild<QAction *>(u"exportBrewfileAction"_s);
        auto *importAction = window->findChild<QAction *>(u"importBrewfileAction"_s);
        QCOMPARE(exportAction->text(), u"Export Brewfile…"_s);
        QCOMPARE(importAction->text(), u"Import Brewfile…"_s);
        QTRY_VERIFY(exportAction->isEnabled() && importAction->isEnabled());

        Package jq;
        jq.name = u"jq"_s;
        BrewStore *store = app.contentView()->store();
        auto install = store->install({ jq });
        QVERIFY(store->isRunning());
        QVERIFY(!exportAction->isEnabled() && !importAction->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!store->isRunning(), 10000);
        QVERIFY(exportAction->isEnabled() && importAction->isEnabled());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
