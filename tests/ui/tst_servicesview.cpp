#include "AsyncTest.h"
#include "FakeBrew.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "TestHttpServer.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "ui/EmptyStateView.h"
#include "ui/main/BrewfileCommands.h"
#include "ui/main/BrewfileImportSheet.h"
#include "ui/main/FileDialogs.h"
#include "ui/main/MainView.h"
#include "ui/main/ServicesTableModel.h"
#include "ui/main/ServicesView.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;
using quillrig::test::FakeBrew;
using quillrig::test::Sandbox;
using quillrig::test::saveScreenshot;
using quillrig::test::TestHttpServer;
using Kind = FakeBrew::Kind;

namespace {

// The demo Mac with four services: redis (off), postgresql@16 (running), broken (dies with 78
// when started) and nginx (started by root).
struct Fixture {
    std::unique_ptr<Sandbox> sandbox = std::make_unique<Sandbox>();
    TestHttpServer server;
    std::unique_ptr<FakeBrew> brew;
    std::unique_ptr<ActivityStore> activity;
    std::unique_ptr<BrewStore> store;

    explicit Fixture(const QString &homebrewVersion = u"5.1.9"_s)
    {
        sandbox->configure([this](Platform::Settings &settings) {
            settings.catalogApiBase = server.baseUrl();
            settings.releaseApiBase = server.baseUrl();
        });
        server.setRoute(u"/api/formula.json"_s, { 200, "[]", 0 });
        server.setRoute(u"/api/cask.json"_s, { 200, "[]", 0 });
        brew = std::make_unique<FakeBrew>(*sandbox);
        // No pending Homebrew update: the auto-update of a command still running in the background
        // would save the fake's state over a test's later edit (failCommand).
        brew->addDemoMac().setHomebrewVersion(homebrewVersion).setPendingUpdate({});
        for (const QString &name : { u"redis"_s, u"postgresql@16"_s, u"broken"_s, u"nginx"_s })
            brew->addFormula({ .name = name, .version = u"1.0"_s, .installedVersions = { u"1.0"_s } });
        brew->addService({ .name = u"redis"_s })
            .addService({ .name = u"postgresql@16"_s, .status = u"started"_s, .pid = 812, .registered = true })
            .addService({ .name = u"broken"_s, .crashExitCode = 78 })
            .addService({ .name = u"nginx"_s, .status = u"started"_s, .pid = 90, .user = u"root"_s });
        activity = std::make_unique<ActivityStore>();
        store = std::make_unique<BrewStore>(activity.get());
        const auto outcome = quillrig::test::runTask(store->refresh());
        if (!outcome.ok())
            qFatal("refresh failed: %s", qPrintable(outcome.failure));
    }
};

template<typename T> T *child(QWidget &parent, const QString &name)
{
    T *widget = parent.findChild<T *>(name);
    if (!widget)
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    return widget;
}

int rowOf(ServicesView &view, const QString &name)
{
    for (int row = 0; row < view.model()->rowCount(); ++row)
        if (view.model()->index(row, 0).data(ServicesTableModel::nameRole).toString() == name)
            return row;
    return -1;
}

void selectService(ServicesView &view, const QString &name)
{
    const int row = rowOf(view, name);
    QVERIFY2(row >= 0, qPrintable(name));
    const QRect rect = view.table()->visualRect(view.model()->index(row, ServicesTableModel::nameColumn));
    QTest::mouseClick(view.table()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

QString cell(ServicesView &view, const QString &name, int column)
{
    return view.model()->index(rowOf(view, name), column).data().toString();
}

const QStringList actionNames{ u"startServiceButton"_s, u"stopServiceButton"_s, u"restartServiceButton"_s,
    u"runServiceOnceButton"_s };

// Answers the file panels the Brewfile commands open.
struct Panels {
    Panels(const QString &path, bool describe)
    {
        FileDialogs::setHooks(
            [path, describe](QWidget *, const QString &, const QString &, const QString &) {
                return std::optional(FileDialogs::SaveChoice{ path, describe });
            },
            [path](QWidget *, const QString &, const QString &) { return std::optional(path); });
    }
    ~Panels() { FileDialogs::setHooks({}, {}); }
};

BrewfileImportSheet *checkedImport(Fixture &fixture, QWidget &parent)
{
    BrewfileImportSheet *sheet = BrewfileCommands::importBrewfile(&parent, fixture.store.get());
    if (!sheet)
        return nullptr;
    QTest::mouseClick(child<QPushButton>(*sheet, u"checkBrewfileButton"_s), Qt::LeftButton);
    const bool checked = QTest::qWaitFor([&] { return sheet->check().has_value(); }, 10000);
    return checked ? sheet : nullptr;
}

} // namespace

class TestServicesView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void actions_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("status"); // in the fake afterwards
        QTest::addColumn<bool>("registered"); // starts at login afterwards
        QTest::addColumn<QString>("outcome"); // success message, or failure title
        QTest::addColumn<QString>("exitCode"); // as the table shows it

        QTest::newRow("start") << u"redis"_s << u"startServiceButton"_s << u"started"_s << true << u"Started redis"_s
                               << QString();
        QTest::newRow("stop") << u"postgresql@16"_s << u"stopServiceButton"_s << u"none"_s << false
                              << u"Stopped postgresql@16"_s << QString();
        QTest::newRow("restart") << u"postgresql@16"_s << u"restartServiceButton"_s << u"started"_s << true
                                 << u"Restarted postgresql@16"_s << QString();
        QTest::newRow("run once") << u"redis"_s << u"runServiceOnceButton"_s << u"started"_s << false
                                  << u"Ran redis once"_s << QString();
        QTest::newRow("start that dies") << u"broken"_s << u"startServiceButton"_s << u"error"_s << true
                                         << u"Starting broken failed"_s << u"78"_s;
    }

    void actions()
    {
        QFETCH(QString, service);
        QFETCH(QString, button);
        QFETCH(QString, status);
        QFETCH(bool, registered);
        QFETCH(QString, outcome);
        QFETCH(QString, exitCode);
        Fixture fixture;
        ServicesView view(fixture.store.get());
        QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.resize(900, 480);
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(rowOf(view, service) >= 0, 10000);
        selectService(view, service);
        auto *action = child<QToolButton>(view, button);
        QTRY_VERIFY(action->isEnabled());

        QTest::mouseClick(action, Qt::LeftButton);
        QVERIFY(fixture.store->isRunning());
        for (const QString &name : actionNames)
            QVERIFY2(!child<QToolButton>(view, name)->isEnabled(), qPrintable(name));
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);

        QCOMPARE(fixture.brew->service(service)->status, status);
        QCOMPARE(fixture.brew->service(service)->registered, registered);
        QCOMPARE(cell(view, service, ServicesTableModel::statusColumn), status);
        QCOMPARE(cell(view, service, ServicesTableModel::exitCodeColumn), exitCode);
        const ActivityStore::Phase phase = fixture.activity->phase();
        if (exitCode.isEmpty()) {
            QCOMPARE(phase, ActivityStore::Phase::success(outcome));
        } else {
            QVERIFY(phase.kind == ActivityStore::Phase::Kind::failure);
            QCOMPARE(phase.title, outcome);
            QVERIFY2(phase.message.contains(u"exit code "_s + exitCode), qPrintable(phase.message));
            QVERIFY(phase.message.startsWith(u"$ brew services start broken"_s));
        }
    }

    void rootOwnedServiceIsReadOnly()
    {
        Fixture fixture;
        MainView main(fixture.store.get(), fixture.activity.get(), nullptr);
        main.resize(1000, 600);
        main.show();
        main.setSection(SidebarSection::services);
        auto *view = qobject_cast<ServicesView *>(main.currentScreen());
        QVERIFY(view);
        QTRY_COMPARE_WITH_TIMEOUT(view->model()->rowCount(), 4, 10000);
        selectService(*view, u"nginx"_s);
        QCOMPARE(cell(*view, u"nginx"_s, ServicesTableModel::userColumn), u"root"_s);
        for (const QString &name : actionNames)
            QVERIFY2(!child<QToolButton>(*view, name)->isEnabled(), qPrintable(name));
        auto *reason = child<QLabel>(*view, u"serviceReadOnlyReason"_s);
        QVERIFY(reason->isVisible());
        QVERIFY(reason->text().contains(u"sudo brew services stop nginx"_s));

        // The details come from brew and open the log through the desktop.
        auto *openLog = child<QPushButton>(*view, u"openServiceLogButton"_s);
        QTRY_VERIFY_WITH_TIMEOUT(openLog->isEnabled(), 10000);
        QTest::mouseClick(openLog, Qt::LeftButton);
        QCOMPARE(fixture.sandbox->openedFiles, QStringList{ u"/opt/homebrew/var/log/nginx.log"_s });
        QVERIFY(child<QLabel>(*view, u"serviceDetailFields"_s)->text().contains(u"PID"_s));
        saveScreenshot(&main, u"services-main-window"_s);
    }

    void listStates()
    {
        Fixture fixture;
        // A failed refresh keeps the list and says why.
        {
            ServicesView view(fixture.store.get());
            view.show();
            QTRY_COMPARE_WITH_TIMEOUT(view.model()->rowCount(), 4, 10000);
            fixture.brew->failCommand(u"services"_s, u"launchctl is not answering"_s);
            auto *refresh = child<QToolButton>(view, u"refreshServicesButton"_s);
            QTRY_VERIFY(refresh->isEnabled());
            QTest::mouseClick(refresh, Qt::LeftButton);
            auto *banner = child<QLabel>(view, u"servicesRefreshError"_s);
            QTRY_VERIFY_WITH_TIMEOUT(banner->isVisible(), 10000);
            QVERIFY(banner->text().contains(u"Error: launchctl is not answering"_s));
            QCOMPARE(view.model()->rowCount(), 4);
        }
        // Never read: the error state, whose Retry reads again.
        BrewStore fresh(fixture.activity.get());
        QVERIFY(quillrig::test::runTask(fresh.refresh()).ok());
        ServicesView view(&fresh);
        view.show();
        auto *error = child<EmptyStateView>(view, u"servicesErrorState"_s);
        auto *content = child<QStackedWidget>(view, u"servicesContent"_s);
        QTRY_COMPARE_WITH_TIMEOUT(content->currentWidget(), error, 10000);
        QVERIFY(error->description().contains(u"launchctl is not answering"_s));
        // No formula with a service installed: the empty state.
        fixture.brew->edit([](FakeBrew::State &state) {
            state.failingCommands.clear();
            state.services.clear();
        });
        QTest::mouseClick(error->actionButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            content->currentWidget(), child<EmptyStateView>(view, u"servicesEmptyState"_s), 10000);
    }

    void brewfileRoundTrip_data()
    {
        QTest::addColumn<QString>("homebrew");
        QTest::addColumn<bool>("describe");
        QTest::addColumn<QString>("extraArgument");
        QTest::newRow("descriptions asked for") << u"5.1.9"_s << true << u"--describe"_s;
        QTest::newRow("none, where brew describes by default") << u"6.0.18"_s << false << u"--no-describe"_s;
    }

    void brewfileRoundTrip()
    {
        QFETCH(QString, homebrew);
        QFETCH(bool, describe);
        QFETCH(QString, extraArgument);
        Fixture fixture(homebrew);
        fixture.brew->change(Kind::formula, u"git"_s,
            [](FakeBrew::Package &git) { git.desc = u"Distributed revision control system"_s; });
        // Nothing outdated: brew counts an outdated package as missing.
        fixture.brew->edit([](FakeBrew::State &state) {
            for (auto *packages : { &state.formulae, &state.casks })
                for (FakeBrew::Package &package : *packages)
                    if (package.isInstalled())
                        package.installedVersions = { package.version };
        });
        // Spaces and quotes reach brew as one argument each, never through a shell.
        const QString folder = fixture.sandbox->home() + u"/My \"Mac\" it's"_s;
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + u"/Brew file"_s;
        const Panels panels(path, describe);
        QWidget window;
        BrewfileCommands::exportBrewfile(&window, fixture.store.get());
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QCOMPARE(fixture.activity->phase(), ActivityStore::Phase::success(u"Saved Brewfile to "_s + path));
        QVERIFY(Sandbox::readFile(path).contains("brew \"git\""));
        const auto dumps = fixture.brew->invocations();
        QVERIFY(std::any_of(dumps.cbegin(), dumps.cend(), [&](const FakeBrew::Invocation &call) {
            return call.arguments
                == QStringList{ u"bundle"_s, u"dump"_s, u"--file="_s + path, u"--force"_s, extraArgument };
        }));

        QCOMPARE(Sandbox::readFile(path).contains("# Distributed revision control system"), describe);

        std::unique_ptr<BrewfileImportSheet> sheet(checkedImport(fixture, window));
        QVERIFY(sheet);
        QCOMPARE(sheet->check()->outcome, BrewfileCheck::Outcome::satisfied);
        QVERIFY(!child<QPushButton>(*sheet, u"installMissingButton"_s)->isVisible());
        QVERIFY(child<QLabel>(*sheet, u"brewfileCheckStatus"_s)->text().startsWith(u"Nothing is missing"_s));
    }

    void importInstallsExactlyTheMissing()
    {
        Fixture fixture(u"6.0.18"_s); // lists what is missing on standard error
        const QString path = fixture.sandbox->home() + u"/Set up/Brew\"file"_s;
        Sandbox::writeFile(path, "tap \"homebrew/core\"\nbrew \"tree\"\nbrew \"wget\"\ncask \"slack\"\n");
        const QStringList formulaeBefore = fixture.brew->installed(Kind::formula);
        const QStringList casksBefore = fixture.brew->installed(Kind::cask);
        const Panels panels(path, false);
        QWidget window;
        BrewfileImportSheet *sheet = checkedImport(fixture, window);
        QVERIFY(sheet);
        QVERIFY(child<QLabel>(*sheet, u"brewfileRubyWarning"_s)->text().contains(u"Ruby"_s));
        QCOMPARE(sheet->check()->outcome, BrewfileCheck::Outcome::missing);
        auto *tree = child<QTreeWidget>(*sheet, u"brewfileMissingTree"_s);
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), u"Casks (1)"_s);
        QCOMPARE(tree->topLevelItem(1)->child(0)->text(0), u"wget"_s);
        sheet->resize(560, 420);
        saveScreenshot(sheet, u"brewfile-import-sheet"_s);

        QTest::mouseClick(child<QPushButton>(*sheet, u"installMissingButton"_s), Qt::LeftButton);
        QVERIFY(fixture.store->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 20000);
        QCOMPARE(
            fixture.activity->phase(), ActivityStore::Phase::success(u"Brewfile installed: 4 dependencies in place"_s));
        QStringList formulae = formulaeBefore;
        formulae.append(fixture.brew->installed(Kind::formula).contains(u"libidn2"_s)
                ? QStringList{ u"wget"_s, u"libidn2"_s, u"libunistring"_s }
                : QStringList{ u"wget"_s });
        formulae.sort();
        QCOMPARE(fixture.brew->installed(Kind::formula), formulae);
        QStringList casks = casksBefore + QStringList{ u"slack"_s };
        casks.sort();
        QCOMPARE(fixture.brew->installed(Kind::cask), casks);
    }

    void importRejects_data()
    {
        QTest::addColumn<QByteArray>("contents"); // empty: no file at all
        QTest::addColumn<QString>("error");
        QTest::newRow("missing file") << QByteArray() << u"does not exist"_s;
        QTest::newRow("brew rejects it") << QByteArray("brew \"git\"\nformula \"wget\"\n")
                                         << u"Error: Invalid Brewfile: unknown entry `formula` on line 2"_s;
    }

    void importRejects()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, error);
        Fixture fixture;
        const QString path = fixture.sandbox->home() + u"/Brewfile"_s;
        if (!contents.isEmpty())
            Sandbox::writeFile(path, contents);
        const Panels panels(path, false);
        QWidget window;
        std::unique_ptr<BrewfileImportSheet> sheet(checkedImport(fixture, window));
        QVERIFY(sheet);
        QCOMPARE(sheet->check()->outcome, BrewfileCheck::Outcome::failed);
        QVERIFY2(sheet->check()->error.contains(error), qPrintable(sheet->check()->error));
        QVERIFY(child<QLabel>(*sheet, u"brewfileCheckStatus"_s)->text().contains(error));
        QVERIFY(!child<QPushButton>(*sheet, u"installMissingButton"_s)->isVisible());
    }
};

QTEST_MAIN(TestServicesView)
#include "tst_servicesview.moc"
