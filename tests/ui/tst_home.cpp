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
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/RoundedPanel.h"
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

// Makes these installed formulae the outdated ones (installed 1.0, offered 1.1); the others
// are brought up to date.
void setOutdated(FakeBrew &brew, const QStringList &outdated)
{
    for (const QString &name : outdated)
        brew.addFormula({ .name = name, .version = u"1.1"_s });
    brew.edit([&](FakeBrew::State &state) {
        for (FakeBrew::Package &formula : state.formulae)
            formula.installedVersions = { outdated.contains(formula.name) ? u"1.0"_s : formula.version };
    });
}

ComponentCard *card(const HomeView &home, SetupComponent component)
{
    return child<ComponentCard>(home, u"card_"_s + toString(component));
}

QString messageOf(const HomeView &home, SetupComponent component)
{
    return child<QLabel>(card(home, component), u"cardMessage"_s)->text();
}

QToolButton *actionOf(const HomeView &home, SetupComponent component)
{
    return child<QToolButton>(card(home, component), u"cardButton"_s);
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
        QCOMPARE(child<QLabel>(home, u"homeHeading"_s)->text(), u"Checking your Mac…"_s);
        QCOMPARE(child<QLabel>(home, u"systemLine"_s)->text(), u"macOS 14.5.0 · Apple Silicon · Homebrew —"_s);
        QCOMPARE(child<QPushButton>(home, u"wizardButton"_s)->text(), u"Run setup wizard"_s);
        QVERIFY(!child<QPushButton>(home, u"wizardButton"_s)->isEnabled());
        QVERIFY(child<QWidget>(home, u"updatesBanner"_s)->isHidden());
        QCOMPARE(child<QToolButton>(home, u"recheckButton"_s)->text(), u"Re-check"_s);
        QCOMPARE(
            child<QToolButton>(home, u"recheckButton"_s)->toolTip(), u"Check the current state of your Mac again"_s);
        for (const SetupComponent component : allSetupComponents()) {
            QCOMPARE(messageOf(home, component), u"Checking…"_s);
            QCOMPARE(card(home, component)->stateSymbol(), u"ellipsis.circle"_s);
            QCOMPARE(actionOf(home, component)->text(), u"Configure"_s);
            QVERIFY(!actionOf(home, component)->isHidden());
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
        child<QToolButton>(home, u"recheckButton"_s)->click();
        QVERIFY(stores.setup.isChecking());
        QVERIFY(!child<QToolButton>(home, u"recheckButton"_s)->isEnabled());
        QVERIFY(!child<BusyIndicator>(home, u"checkingIndicator"_s)->isHidden());
        QTRY_VERIFY(!stores.setup.isChecking());
        QVERIFY(child<QToolButton>(home, u"recheckButton"_s)->isEnabled());
        QVERIFY(child<BusyIndicator>(home, u"checkingIndicator"_s)->isHidden());

        QCOMPARE(messageOf(home, SetupComponent::shell), u"Nothing configured"_s);
        QCOMPARE(card(home, SetupComponent::shell)->stateSymbol(), u"minus.circle"_s);
        QVERIFY(actionOf(home, SetupComponent::shell)->isHidden());
        QCOMPARE(HomeView::completeCount(stores.setup.states()), 1);
        QCOMPARE(home.ringText(), u"1/9"_s);
        QCOMPARE(home.ringTarget(), 1.0 / 9);
        QVERIFY(!home.ringIsGreen());
        QCOMPARE(child<QLabel>(home, u"homeHeading"_s)->text(), u"8 steps left"_s);
        QVERIFY(child<QPushButton>(home, u"wizardButton"_s)->isEnabled());

        // What a screen reader says for the painted ring, the state marks and the card buttons.
        QCOMPARE(child<QWidget>(home, u"progressRing"_s)->accessibleName(), u"1 of 9 components set up"_s);
        QCOMPARE(actionOf(home, SetupComponent::xcode)->accessibleName(), u"Set up Xcode Command Line Tools"_s);
        QCOMPARE(
            child<QLabel>(card(home, SetupComponent::xcode), u"cardStateSymbol"_s)->accessibleName(), u"Missing"_s);
        // The summary's fill is read from the palette, so it follows a switch to dark.
        QPalette dark = home.palette();
        dark.setColor(QPalette::WindowText, Qt::white);
        home.setPalette(dark);
        QCOMPARE(child<RoundedPanel>(home, u"summaryPanel"_s)->fill(), Colors::withOpacity(Qt::white, 0.05));

        QCOMPARE(messageOf(home, SetupComponent::xcode), u"Not installed"_s);
        QCOMPARE(card(home, SetupComponent::xcode)->stateSymbol(), u"circle"_s);
        QCOMPARE(actionOf(home, SetupComponent::xcode)->text(), u"Set up"_s);
        actionOf(home, SetupComponent::xcode)->click();
        child<QPushButton>(home, u"wizardButton"_s)->click();
        QCOMPARE(wizard.size(), 2);
        QVERIFY(wizard.at(0).at(0).value<std::optional<SetupComponent>>() == SetupComponent::xcode);
        QVERIFY(!wizard.at(1).at(0).value<std::optional<SetupComponent>>());
        saveScreenshot(&home, u"home-not-applicable"_s);
    }

    void onePackageOutdated()
    {
        Sandbox sandbox;
        FakeBrew brew(sandbox);
        brew.setHomebrewVersion(u"4.4.2"_s);
        setOutdated(brew, { u"wget"_s });
        Stores stores;
        HomeView home(&stores.brew, &stores.setup);
        home.resize(900, 700);
        home.show();
        QSignalSpy updates(&home, &HomeView::openUpdates);
        QR_AWAIT_VOID(stores.brew.refresh());
        QVERIFY(!child<QWidget>(home, u"updatesBanner"_s)->isHidden());
        QCOMPARE(child<QLabel>(home, u"updatesText"_s)->text(), u"1 package can be updated"_s);
        QCOMPARE(child<QLabel>(home, u"systemLine"_s)->text(), u"macOS 14.5.0 · Apple Silicon · Homebrew 4.4.2"_s);
        saveScreenshot(&home, u"home-one-outdated"_s);
        child<QPushButton>(home, u"viewUpdatesButton"_s)->click();
        QCOMPARE(updates.size(), 1);

        setOutdated(brew, { u"wget"_s, u"jq"_s });
        QR_AWAIT_VOID(stores.brew.refreshInstalled());
        QCOMPARE(child<QLabel>(home, u"updatesText"_s)->text(), u"2 packages can be updated"_s);
        setOutdated(brew, {});
        QR_AWAIT_VOID(stores.brew.refreshInstalled());
        QVERIFY(child<QWidget>(home, u"updatesBanner"_s)->isHidden());
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
        QCOMPARE(child<QLabel>(home, u"homeHeading"_s)->text(), u"Your Mac is set up"_s);
        QCOMPARE(child<QPushButton>(home, u"wizardButton"_s)->text(), u"Run wizard again"_s);
        QVERIFY(child<QPushButton>(home, u"wizardButton"_s)->isEnabled());
        QCOMPARE(messageOf(home, SetupComponent::git), u"Ada Lovelace <ada@example.org>"_s);
        QCOMPARE(card(home, SetupComponent::git)->stateSymbol(), u"checkmark.circle.fill"_s);
        QCOMPARE(actionOf(home, SetupComponent::git)->text(), u"Configure"_s);
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
        QTRY_COMPARE(card(home, SetupComponent::rosetta)->y() == card(home, SetupComponent::xcode)->y(), columns > 1);
        if (columns > 1)
            QVERIFY(card(home, SetupComponent::xcode)->width() >= 320);
    }
};

QTEST_MAIN(TestHome)
#include "tst_home.moc"
