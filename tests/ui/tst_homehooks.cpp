#include "AsyncTest.h"
#include "FakeBrew.h"
#include "FindChild.h"
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

SetupStore *setupOf(const ContentView &view)
{
    return quillrig::test::child<SetupStore>(view, u"setupStore"_s);
}

BrewStore *storeOf(const ContentView &view)
{
    return quillrig::test::child<BrewStore>(view, u"brewStore"_s);
}

// Null until Homebrew was first found.
MainView *mainOf(const ContentView &view)
{
    return view.findChild<MainView *>(u"mainView"_s);
}

QToolButton *cardButton(const HomeView *home, SetupComponent component)
{
    return child<QToolButton>(child<ComponentCard>(home, u"card_"_s + toString(component)), u"cardButton"_s);
}

void emitActivation()
{
    Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
}

bool checked(const ContentView &view)
{
    return !setupOf(view)->states().isEmpty() && !setupOf(view)->isChecking();
}

} // namespace

class TestHomeHooks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstRun_opensTheWizardOnce()
    {
        Sandbox sandbox;
        FakeBrew brew(sandbox); // nothing installed, nothing to report
        {
            ContentView view;
            view.resize(960, 600);
            view.show();
            // Both start together: the setup check does not wait for Homebrew.
            QVERIFY(setupOf(view)->isChecking());
            QTRY_VERIFY(mainOf(view));
            QTRY_VERIFY(mainOf(view)->wizardSheet());
            QVERIFY(setupOf(view)->hasSeenWizard());
            WizardView *sheet = mainOf(view)->wizardSheet();
            QVERIFY(!mainOf(view)->wizard()->only);
            QCOMPARE(sheet->windowModality(), Qt::WindowModal);
            QCOMPARE(sheet->size(), QSize(780, 600));
            // Nothing is in place in a bare home except the shell, which has work to do too.
            QVERIFY(sheet->selected() == WizardView::initialSelection(std::nullopt, *setupOf(view)));
            QCOMPARE(child<QLabel>(mainOf(view)->currentScreen(), u"homeHeading"_s)->text(),
                QString::number(9 - HomeView::completeCount(setupOf(view)->states())) + u" steps left"_s);
            saveScreenshot(sheet, u"main-first-run-wizard"_s);

            // Cancel closes the sheet and still checks the components again.
            QTest::keyClick(sheet, Qt::Key_Escape);
            QVERIFY(!mainOf(view)->wizard());
            QVERIFY(setupOf(view)->isChecking());
            QTRY_VERIFY(!setupOf(view)->isChecking());
            QTRY_VERIFY(!mainOf(view)->wizardSheet());
        }
        // A later start of the application does not open it by itself again.
        ContentView again;
        again.show();
        QTRY_VERIFY(mainOf(again));
        QTRY_VERIFY(checked(again));
        QTest::qWait(100);
        QVERIFY(!mainOf(again)->wizardSheet());
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
        QTRY_VERIFY(mainOf(view));
        QTRY_VERIFY(checked(view));
        QCOMPARE(HomeView::completeCount(setupOf(view)->states()), 9);
        QTest::qWait(100);
        QVERIFY(!mainOf(view)->wizardSheet());
        QVERIFY(!setupOf(view)->hasSeenWizard());
    }

    void home_asksForTheWizardOfOneComponent()
    {
        Sandbox sandbox;
        FakeBrew brew(sandbox);
        ContentView view;
        setupOf(view)->setHasSeenWizard(true);
        view.show();
        QTRY_VERIFY(mainOf(view));
        QTRY_VERIFY(checked(view));
        auto *home = qobject_cast<HomeView *>(mainOf(view)->currentScreen());
        QVERIFY(home);

        // The shell has nothing to do here, so the whole wizard would leave it unticked; asked for
        // by itself it is ticked whatever its state.
        SetupConfig config = setupOf(view)->config();
        config.aliases.clear();
        config.environment.clear();
        setupOf(view)->setConfig(config);
        QR_AWAIT_VOID(setupOf(view)->refresh());
        QCOMPARE(setupOf(view)->state(SetupComponent::shell).kind, StepState::Kind::notApplicable);
        cardButton(home, SetupComponent::git)->click();
        QVERIFY(mainOf(view)->wizard()->only == SetupComponent::git);
        WizardView *sheet = mainOf(view)->wizardSheet();
        QVERIFY(sheet->selected() == QSet<SetupComponent>{ SetupComponent::git });
        const QUuid first = mainOf(view)->wizard()->id;
        sheet->reject();
        QTRY_VERIFY(!mainOf(view)->wizardSheet());

        cardButton(home, SetupComponent::git)->click();
        QVERIFY(mainOf(view)->wizard()->id != first);
        mainOf(view)->wizardSheet()->reject();
        QTRY_VERIFY(!mainOf(view)->wizardSheet());

        child<QPushButton>(home, u"wizardButton"_s)->click();
        QVERIFY(!mainOf(view)->wizard()->only);
        QVERIFY(!mainOf(view)->wizardSheet()->selected().contains(SetupComponent::shell));
        mainOf(view)->wizardSheet()->reject();

        child<QPushButton>(home, u"viewUpdatesButton"_s)->click(); // hidden, but wired
        QCOMPARE(mainOf(view)->section(), SidebarSection::updates);
    }

    void activation_refreshesOnlyWhileHomebrewIsReady()
    {
        Sandbox sandbox;
        {
            ContentView view;
            setupOf(view)->setHasSeenWizard(true);
            view.show();
            QTRY_COMPARE(storeOf(view)->status(), BrewStatus::missing);
            QTRY_VERIFY(checked(view));
            emitActivation();
            QVERIFY(!setupOf(view)->isChecking());
        }
        FakeBrew brew(sandbox);
        ContentView view;
        view.show();
        QTRY_VERIFY(mainOf(view));
        QTRY_VERIFY(checked(view));
        emitActivation();
        QVERIFY(setupOf(view)->isChecking());
        QTRY_VERIFY(!setupOf(view)->isChecking());
    }
};

QTEST_MAIN(TestHomeHooks)
#include "tst_homehooks.moc"
