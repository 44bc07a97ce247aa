#include "AsyncTest.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "SetupFakes.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "setup/config/SetupConfig.h"
#include "setup/engine/SetupStore.h"
#include "ui/main/ComponentCard.h"
#include "ui/main/ContentView.h"
#include "ui/main/HomeView.h"
#include "ui/main/MainView.h"
#include "ui/wizard/WizardView.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

namespace {

// A brew that answers the refresh commands with nothing to report.
void installBrew(Sandbox &sandbox)
{
    sandbox.addScript(u"/opt/homebrew/bin/brew"_s,
        "case \"$1\" in\n"
        "  --version) echo 'Homebrew 4.4.2' ;;\n"
        "  outdated) echo '{\"formulae\":[],\"casks\":[]}' ;;\n"
        "esac\nexit 0\n");
}

void emitActivation()
{
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
}

bool checked(const ContentView &view)
{
    return !view.setup()->states().isEmpty() && !view.setup()->isChecking();
}

} // namespace

class TestHomeHooks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstRun_opensTheWizardOnce()
    {
        Sandbox sandbox;
        installBrew(sandbox);
        {
            ContentView view;
            view.resize(960, 600);
            view.show();
            // Both start together: the setup check does not wait for Homebrew.
            QVERIFY(view.setup()->isChecking());
            QTRY_VERIFY(view.mainView());
            QTRY_VERIFY(view.mainView()->wizardSheet());
            QVERIFY(view.setup()->hasSeenWizard());
            WizardView *sheet = view.mainView()->wizardSheet();
            QVERIFY(!view.mainView()->wizard()->only);
            QCOMPARE(sheet->windowModality(), Qt::WindowModal);
            QCOMPARE(sheet->size(), QSize(780, 600));
            // Nothing is in place in a bare home except the shell, which has work to do too.
            QVERIFY(sheet->selected() == WizardView::initialSelection(std::nullopt, *view.setup()));
            QCOMPARE(qobject_cast<HomeView *>(view.mainView()->currentScreen())->headingLabel()->text(),
                QString::number(9 - HomeView::completeCount(view.setup()->states())) + u" steps left"_s);
            saveScreenshot(sheet, u"main-first-run-wizard"_s);

            // Cancel closes the sheet and still checks the components again.
            QTest::keyClick(sheet, Qt::Key_Escape);
            QVERIFY(!view.mainView()->wizard());
            QVERIFY(view.setup()->isChecking());
            QTRY_VERIFY(!view.setup()->isChecking());
            QTRY_VERIFY(!view.mainView()->wizardSheet());
        }
        // A later start of the application does not open it by itself again.
        ContentView again;
        again.show();
        QTRY_VERIFY(again.mainView());
        QTRY_VERIFY(checked(again));
        QTest::qWait(100);
        QVERIFY(!again.mainView()->wizardSheet());
    }

    void firstRun_nothingToSetUp()
    {
        Sandbox sandbox;
        sandbox.configure(
            [](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::milliseconds(50); });
        SetupFakes fakes(sandbox);
        fakes.installAll();
        {
            // Everything put in place beforehand, without the wizard.
            ActivityStore activity;
            SetupStore setup(&activity);
            SetupConfig config = setup.config();
            config.gitName = u"Ada Lovelace"_s;
            config.gitEmail = u"ada@example.org"_s;
            setup.setConfig(config);
            QSignalSpy finished(&setup, &SetupStore::applyFinished);
            setup.apply(allSetupComponents(), sandbox.systemPath(u"/opt/homebrew/bin/brew"_s));
            QVERIFY(finished.wait(90000));
            QCOMPARE(HomeView::completeCount(setup.states()), 9);
        }
        ContentView view;
        view.show();
        QTRY_VERIFY(view.mainView());
        QTRY_VERIFY(checked(view));
        QCOMPARE(HomeView::completeCount(view.setup()->states()), 9);
        QTest::qWait(100);
        QVERIFY(!view.mainView()->wizardSheet());
        QVERIFY(!view.setup()->hasSeenWizard());
    }

    void home_asksForTheWizardOfOneComponent()
    {
        Sandbox sandbox;
        installBrew(sandbox);
        ContentView view;
        view.setup()->setHasSeenWizard(true);
        view.show();
        QTRY_VERIFY(view.mainView());
        QTRY_VERIFY(checked(view));
        auto *home = qobject_cast<HomeView *>(view.mainView()->currentScreen());
        QVERIFY(home);

        // The shell has nothing to do here, so the whole wizard would leave it unticked; asked for
        // by itself it is ticked whatever its state.
        SetupConfig config = view.setup()->config();
        config.aliases.clear();
        config.environment.clear();
        view.setup()->setConfig(config);
        QR_AWAIT_VOID(view.setup()->refresh());
        QCOMPARE(view.setup()->state(SetupComponent::shell).kind, StepState::Kind::notApplicable);
        home->card(SetupComponent::git)->actionButton()->click();
        QVERIFY(view.mainView()->wizard()->only == SetupComponent::git);
        WizardView *sheet = view.mainView()->wizardSheet();
        QVERIFY(sheet->selected() == QSet<SetupComponent>{ SetupComponent::git });
        const QUuid first = view.mainView()->wizard()->id;
        sheet->reject();
        QTRY_VERIFY(!view.mainView()->wizardSheet());

        home->card(SetupComponent::git)->actionButton()->click();
        QVERIFY(view.mainView()->wizard()->id != first);
        view.mainView()->wizardSheet()->reject();
        QTRY_VERIFY(!view.mainView()->wizardSheet());

        home->wizardButton()->click();
        QVERIFY(!view.mainView()->wizard()->only);
        QVERIFY(!view.mainView()->wizardSheet()->selected().contains(SetupComponent::shell));
        view.mainView()->wizardSheet()->reject();

        home->viewUpdatesButton()->click(); // hidden, but wired
        QCOMPARE(view.mainView()->section(), SidebarSection::updates);
    }

    void activation_refreshesOnlyWhileHomebrewIsReady()
    {
        Sandbox sandbox;
        {
            ContentView view;
            view.setup()->setHasSeenWizard(true);
            view.show();
            QTRY_COMPARE(view.store()->status(), BrewStatus::missing);
            QTRY_VERIFY(checked(view));
            emitActivation();
            QVERIFY(!view.setup()->isChecking());
        }
        installBrew(sandbox);
        ContentView view;
        view.show();
        QTRY_VERIFY(view.mainView());
        QTRY_VERIFY(checked(view));
        emitActivation();
        QVERIFY(view.setup()->isChecking());
        QTRY_VERIFY(!view.setup()->isChecking());
    }
};

QTEST_MAIN(TestHomeHooks)
#include "tst_homehooks.moc"
