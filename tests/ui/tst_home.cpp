#include "AsyncTest.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "SetupFakes.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "setup/config/SetupConfig.h"
#include "setup/engine/SetupStore.h"
#include "ui/BusyIndicator.h"
#include "ui/main/ComponentCard.h"
#include "ui/main/HomeView.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

Q_DECLARE_METATYPE(std::optional<SetupComponent>)

namespace {

const QString brewLocation = u"/opt/homebrew/bin/brew"_s;

// A brew that knows its version (or not) and lists `outdated` as outdated formulae.
void installBrew(Sandbox &sandbox, bool knowsVersion, const QStringList &outdated)
{
    QStringList entries;
    for (const QString &name : outdated)
        entries.append(
            uR"({"name":"%1","installed_versions":["1.0"],"current_version":"1.1","pinned":false})"_s.arg(name));
    const QString json = uR"({"formulae":[%1],"casks":[]})"_s.arg(entries.join(u','));
    Sandbox::writeFile(sandbox.temp() + u"/outdated.json"_s, json.toUtf8());
    sandbox.addScript(brewLocation,
        "case \"$1\" in\n"
        "  --version) "
            + QByteArray(knowsVersion ? "echo 'Homebrew 4.4.2'" : "exit 1")
            + " ;;\n"
              "  outdated) cat '"
            + sandbox.temp().toUtf8()
            + "/outdated.json' ;;\n"
              "esac\nexit 0\n");
}

struct Stores {
    ActivityStore activity;
    BrewStore brew{ &activity };
    SetupStore setup{ &activity };
};

} // namespace

class TestHome : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void beforeTheFirstCheck()
    {
        Sandbox sandbox;
        Stores stores;
        HomeView home(&stores.brew, &stores.setup);
        home.resize(900, 700);
        home.show();
        QCOMPARE(home.ringText(), u"…"_s);
        QCOMPARE(home.ringTarget(), 0.0);
        QCOMPARE(home.headingLabel()->text(), u"Checking your Mac…"_s);
        QCOMPARE(home.systemLabel()->text(), u"macOS 14.5.0 · Apple Silicon · Homebrew —"_s);
        QCOMPARE(home.wizardButton()->text(), u"Run setup wizard"_s);
        QVERIFY(!home.wizardButton()->isEnabled());
        QVERIFY(home.updatesBanner()->isHidden());
        QCOMPARE(home.recheckButton()->text(), u"Re-check"_s);
        QCOMPARE(home.recheckButton()->toolTip(), u"Check the current state of your Mac again"_s);
        for (const SetupComponent component : allSetupComponents()) {
            ComponentCard *card = home.card(component);
            QCOMPARE(card->messageLabel()->text(), u"Checking…"_s);
            QCOMPARE(card->stateSymbol(), u"ellipsis.circle"_s);
            QCOMPARE(card->actionButton()->text(), u"Configure"_s);
            QVERIFY(!card->actionButton()->isHidden());
        }
        saveScreenshot(&home, u"home-checking"_s);
    }

    void recheck_notApplicableCountsAsComplete()
    {
        Sandbox sandbox;
        Stores stores;
        // Nothing for the shell to write: the shell component does not apply.
        SetupConfig config = stores.setup.config();
        config.aliases.clear();
        config.environment.clear();
        config.zshrcExtras.clear();
        stores.setup.setConfig(config);
        HomeView home(&stores.brew, &stores.setup);
        home.resize(900, 760);
        home.show();

        QSignalSpy wizard(&home, &HomeView::openWizard);
        home.recheckButton()->click();
        QVERIFY(stores.setup.isChecking());
        QVERIFY(!home.recheckButton()->isEnabled());
        QVERIFY(!home.checkingIndicator()->isHidden());
        QTRY_VERIFY(!stores.setup.isChecking());
        QVERIFY(home.recheckButton()->isEnabled());
        QVERIFY(home.checkingIndicator()->isHidden());

        ComponentCard *shell = home.card(SetupComponent::shell);
        QCOMPARE(shell->messageLabel()->text(), u"Nothing configured"_s);
        QCOMPARE(shell->stateSymbol(), u"minus.circle"_s);
        QVERIFY(shell->actionButton()->isHidden());
        QCOMPARE(HomeView::completeCount(stores.setup.states()), 1);
        QCOMPARE(home.ringText(), u"1/9"_s);
        QCOMPARE(home.ringTarget(), 1.0 / 9);
        QVERIFY(!home.ringIsGreen());
        QCOMPARE(home.headingLabel()->text(), u"8 steps left"_s);
        QVERIFY(home.wizardButton()->isEnabled());

        ComponentCard *xcode = home.card(SetupComponent::xcode);
        QCOMPARE(xcode->messageLabel()->text(), u"Not installed"_s);
        QCOMPARE(xcode->stateSymbol(), u"circle"_s);
        QCOMPARE(xcode->actionButton()->text(), u"Set up"_s);
        xcode->actionButton()->click();
        home.wizardButton()->click();
        QCOMPARE(wizard.size(), 2);
        QVERIFY(wizard.at(0).at(0).value<std::optional<SetupComponent>>() == SetupComponent::xcode);
        QVERIFY(!wizard.at(1).at(0).value<std::optional<SetupComponent>>());
        saveScreenshot(&home, u"home-not-applicable"_s);
    }

    void onePackageOutdated()
    {
        Sandbox sandbox;
        installBrew(sandbox, true, { u"wget"_s });
        Stores stores;
        HomeView home(&stores.brew, &stores.setup);
        home.resize(900, 700);
        home.show();
        QSignalSpy updates(&home, &HomeView::openUpdates);
        QR_AWAIT_VOID(stores.brew.refresh());
        QVERIFY(!home.updatesBanner()->isHidden());
        QCOMPARE(home.updatesLabel()->text(), u"1 package can be updated"_s);
        QCOMPARE(home.systemLabel()->text(), u"macOS 14.5.0 · Apple Silicon · Homebrew 4.4.2"_s);
        saveScreenshot(&home, u"home-one-outdated"_s);
        home.viewUpdatesButton()->click();
        QCOMPARE(updates.size(), 1);

        installBrew(sandbox, true, { u"wget"_s, u"jq"_s });
        QR_AWAIT_VOID(stores.brew.refreshInstalled());
        QCOMPARE(home.updatesLabel()->text(), u"2 packages can be updated"_s);
        installBrew(sandbox, true, {});
        QR_AWAIT_VOID(stores.brew.refreshInstalled());
        QVERIFY(home.updatesBanner()->isHidden());
    }

    void everythingComplete()
    {
        Sandbox sandbox;
        sandbox.configure(
            [](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::milliseconds(50); });
        SetupFakes fakes(sandbox);
        fakes.installAll();
        Stores stores;
        SetupConfig config = stores.setup.config();
        config.gitName = u"Ada Lovelace"_s;
        config.gitEmail = u"ada@example.org"_s;
        stores.setup.setConfig(config);
        HomeView home(&stores.brew, &stores.setup);
        home.resize(1100, 760);
        home.show();
        QSignalSpy finished(&stores.setup, &SetupStore::applyFinished);
        stores.setup.apply(allSetupComponents(), sandbox.systemPath(brewLocation));
        QVERIFY(finished.wait(90000));

        QCOMPARE(HomeView::completeCount(stores.setup.states()), 9);
        QCOMPARE(home.ringText(), u"9/9"_s);
        QCOMPARE(home.ringTarget(), 1.0);
        QVERIFY(home.ringIsGreen());
        QCOMPARE(home.headingLabel()->text(), u"Your Mac is set up"_s);
        QCOMPARE(home.wizardButton()->text(), u"Run wizard again"_s);
        QVERIFY(home.wizardButton()->isEnabled());
        QCOMPARE(home.card(SetupComponent::git)->messageLabel()->text(), u"Ada Lovelace <ada@example.org>"_s);
        QCOMPARE(home.card(SetupComponent::git)->stateSymbol(), u"checkmark.circle.fill"_s);
        QCOMPARE(home.card(SetupComponent::git)->actionButton()->text(), u"Configure"_s);
        QCOMPARE(home.gridColumns(), 3);
        QTest::qWait(600); // the ring's animation
        saveScreenshot(&home, u"home-complete"_s);
    }

    void gridFollowsTheWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        QTest::newRow("narrow") << 600 << 1;
        QTest::newRow("two fit") << 740 << 2;
        QTest::newRow("wide") << 1100 << 3;
    }

    void gridFollowsTheWidth()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        Sandbox sandbox;
        Stores stores;
        HomeView home(&stores.brew, &stores.setup);
        home.resize(width, 700);
        home.show();
        QTRY_COMPARE(home.gridColumns(), columns);
        // Cards keep at least their minimum width when there is room for one column.
        QTRY_COMPARE(home.card(SetupComponent::rosetta)->y() == home.card(SetupComponent::xcode)->y(), columns > 1);
        if (columns > 1)
            QVERIFY(home.card(SetupComponent::xcode)->width() >= 320);
    }
};

QTEST_MAIN(TestHome)
#include "tst_home.moc"
