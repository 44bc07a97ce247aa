#include "AsyncTest.h"
#include "FakeBrew.h"
#include "Sandbox.h"
#include "SetupFakes.h"
#include "brew/ActivityStore.h"
#include "setup/config/SetupConfig.h"
#include "setup/engine/SetupStore.h"
#include "setup/engine/ShellSteps.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

namespace {

constexpr auto runTimeout = std::chrono::seconds(30);

QStringList headings(const QString &log)
{
    QStringList found;
    for (const QString &line : log.split(u'\n')) {
        if (line.startsWith(u"━━ "_s))
            found.append(line.mid(3).chopped(3));
    }
    return found;
}

bool waitForRun(SetupStore &store)
{
    return waitUntil([&] { return !store.isApplying() && !store.isChecking(); }, runTimeout);
}

// Every step of a run fails at once in a bare sandbox; these do so without waiting.
QList<SetupComponent> quicklyFailing()
{
    return { SetupComponent::rosetta, SetupComponent::git, SetupComponent::ssh };
}

} // namespace

class TestSetupStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runsInComponentOrder();
    void secondApplyWhileRunningDoesNothing();
    void cancelDuringTheCommandLineToolsWait();
    void reportsOneFailureWithTheLogTail();
    void reportsSuccess_data();
    void reportsSuccess();
    void macOSRunWithFailingWrites();
    void refreshCoalesces();
    void refreshDuringARunWaitsForTheRun();
    void staleChecksAreDiscarded();
    void logKeepsItsNewestPart();
    void hasSeenWizardPersists();
    void configIsSavedOnEveryAssignment();
    void storeReleasedDuringARun();
    void fullRunFromABareHome();
};

void TestSetupStore::runsInComponentOrder()
{
    Sandbox sandbox;
    ActivityStore activity;
    SetupStore store(&activity);
    store.apply(
        { SetupComponent::ssh, SetupComponent::git, SetupComponent::rosetta, SetupComponent::git }, std::nullopt);
    // QCOMPARE would print components with toString(), which returns a QString.
    QVERIFY(store.applyOrder() == quicklyFailing());
    QVERIFY(waitForRun(store));
    QCOMPARE(headings(store.log()), (QStringList{ u"Rosetta 2"_s, u"Git"_s, u"SSH key"_s }));
    QCOMPARE(store.results().size(), 3);
    QCOMPARE(store.results().value(SetupComponent::git),
        ApplyResult::failed(u"Git is not available yet. Install the Xcode Command Line Tools first."_s));
    QCOMPARE(activity.phase().kind, ActivityStore::Phase::Kind::failure);
    QCOMPARE(activity.phase().title, u"3 setup steps failed"_s);
    QCOMPARE(store.states().size(), 9); // checked again after the run
}

void TestSetupStore::secondApplyWhileRunningDoesNothing()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::seconds(20); });
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect(-1);
    ActivityStore activity;
    SetupStore store(&activity);
    store.apply({ SetupComponent::xcode }, std::nullopt);
    QVERIFY(waitUntil([&] { return store.log().contains(u"Checking every"_s); }));
    const QString log = store.log();
    store.apply({ SetupComponent::git }, std::nullopt);
    QVERIFY(store.applyOrder() == QList<SetupComponent>{ SetupComponent::xcode });
    QCOMPARE(store.log(), log);
    store.cancelApply();
    QVERIFY(waitForRun(store));
}

void TestSetupStore::cancelDuringTheCommandLineToolsWait()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::seconds(20); });
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect(-1);
    fakes.installSoftwareUpdate();
    ActivityStore activity;
    SetupStore store(&activity);
    store.apply({ SetupComponent::xcode, SetupComponent::rosetta, SetupComponent::git }, std::nullopt);
    QVERIFY(waitUntil([&] { return store.log().contains(u"Checking every"_s); }));
    QElapsedTimer clock;
    clock.start();
    store.cancelApply();
    QVERIFY(waitUntil([&] { return !store.isApplying(); }));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));

    for (const SetupComponent component : store.applyOrder())
        QCOMPARE(store.results().value(component), ApplyResult::failed(u"Cancelled"_s));
    QVERIFY(store.log().endsWith(u"\n✗ Cancelled\n"_s));
    QCOMPARE(headings(store.log()), QStringList{ u"Xcode Command Line Tools"_s });
    QVERIFY(sandbox.calls(u"/usr/sbin/softwareupdate"_s).isEmpty());
    QCOMPARE(activity.phase().title, u"3 setup steps failed"_s);
    QVERIFY(activity.phase().message.startsWith(u"• Xcode Command Line Tools: Cancelled\n• Rosetta 2: Cancelled\n"
                                                u"• Git: Cancelled\n\n── Log ──\n"_s));
    QVERIFY(waitForRun(store));
}

void TestSetupStore::reportsOneFailureWithTheLogTail()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installSoftwareUpdate();
    ActivityStore activity;
    SetupStore store(&activity);
    QList<std::pair<QString, double>> progress;
    // Each step's heading follows its status-bar update.
    connect(&store, &SetupStore::logAppended, &store, [&](const QString &text) {
        if (text.startsWith(u"\n━━ "_s))
            progress.append({ activity.detail(), activity.progress().value_or(-1) });
    });
    // A log longer than the report's tail, so the cut shows.
    for (int i = 0; i < 300; ++i)
        store.appendLog(QString(99, u'x') + u'\n');
    store.apply({ SetupComponent::rosetta, SetupComponent::shell, SetupComponent::ssh }, std::nullopt);
    QVERIFY(waitForRun(store));

    QCOMPARE(progress,
        (QList<std::pair<QString, double>>{
            { u"Rosetta 2"_s, 0.0 }, { u"Aliases & environment"_s, 1.0 / 3 }, { u"SSH key"_s, 2.0 / 3 } }));
    QCOMPARE(store.results().value(SetupComponent::rosetta), ApplyResult::succeeded());
    QCOMPARE(store.results().value(SetupComponent::shell), ApplyResult::succeeded());
    QCOMPARE(store.results().value(SetupComponent::ssh).kind, ApplyResult::Kind::failed);
    QVERIFY(store.log().startsWith(u"\n━━ Rosetta 2 ━━\n$ softwareupdate"_s)); // the run cleared the log
    QVERIFY(store.log().contains(u"✓ Done\n\n━━ Aliases & environment ━━\n"_s));

    const ActivityStore::Phase phase = activity.phase();
    QCOMPARE(phase.kind, ActivityStore::Phase::Kind::failure);
    QCOMPARE(phase.title, u"1 setup step failed"_s);
    const QString firstLine = phase.message.section(u'\n', 0, 0);
    QCOMPARE(firstLine, u"• SSH key: "_s + store.results().value(SetupComponent::ssh).text);
    QVERIFY(firstLine.startsWith(u"• SSH key: Could not launch"_s));
    QCOMPARE(phase.message, firstLine + u"\n\n── Log ──\n"_s + store.log().right(12000));
}

void TestSetupStore::reportsSuccess_data()
{
    QTest::addColumn<QList<SetupComponent>>("components");
    QTest::addColumn<QString>("message");
    QTest::newRow("one") << QList<SetupComponent>{ SetupComponent::rosetta } << u"Rosetta 2 done"_s;
    QTest::newRow("two") << QList<SetupComponent>{ SetupComponent::rosetta, SetupComponent::shell }
                         << u"Setup finished — 2 steps"_s;
    QTest::newRow("none") << QList<SetupComponent>() << u"Setup finished — 0 steps"_s;
}

void TestSetupStore::reportsSuccess()
{
    QFETCH(QList<SetupComponent>, components);
    QFETCH(QString, message);
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installSoftwareUpdate();
    ActivityStore activity;
    SetupStore store(&activity);
    QSignalSpy finished(&store, &SetupStore::applyFinished);
    store.apply(components, std::nullopt);
    QVERIFY(finished.count() == 1 || finished.wait(30000));
    QCOMPARE(activity.phase(), ActivityStore::Phase::success(message));
}

void TestSetupStore::macOSRunWithFailingWrites()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installDefaults();
    fakes.installKillall();
    fakes.setDefaultsWritesFail(true);
    ActivityStore activity;
    SetupStore store(&activity);
    store.apply({ SetupComponent::macOS }, std::nullopt);
    QVERIFY(waitForRun(store));
    QCOMPARE(sandbox.calls(u"/usr/bin/killall"_s), (QList<QStringList>{ { u"Dock"_s }, { u"Finder"_s } }));
    QCOMPARE(activity.phase().title, u"1 setup step failed"_s);
    QVERIFY(activity.phase().message.startsWith(u"• macOS defaults: 15 settings could not be written.\n"_s));
    QVERIFY(store.log().endsWith(u"$ killall Finder\n✗ 15 settings could not be written.\n"_s));
}

void TestSetupStore::refreshCoalesces()
{
    Sandbox sandbox;
    // Every check of the Command Line Tools takes a while, so the refresh is still running when
    // the next calls come.
    sandbox.addTool(u"/usr/bin/xcode-select"_s, { .stdoutText = {}, .stderrText = {}, .exitCode = 2, .delayMs = 300 });
    ActivityStore activity;
    SetupStore store(&activity);
    QSignalSpy states(&store, &SetupStore::statesChanged);
    auto first = store.refresh();
    QVERIFY(store.isChecking());
    for (int i = 0; i < 3; ++i)
        QR_AWAIT_VOID(store.refresh());
    QVERIFY(store.refreshQueued());
    QR_AWAIT_VOID(std::move(first));
    QVERIFY(!store.isChecking());
    QVERIFY(!store.refreshQueued());
    QCOMPARE(states.count(), 2);
    QCOMPARE(sandbox.calls(u"/usr/bin/xcode-select"_s).size(), 2);
    QCOMPARE(store.state(SetupComponent::xcode), StepState::missing(u"Not installed"_s));
}

void TestSetupStore::refreshDuringARunWaitsForTheRun()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::seconds(20); });
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect(-1);
    ActivityStore activity;
    SetupStore store(&activity);
    QCOMPARE(store.state(SetupComponent::ssh), StepState::unknown());
    store.apply({ SetupComponent::xcode }, std::nullopt);
    QVERIFY(waitUntil([&] { return store.log().contains(u"Checking every"_s); }));
    QR_AWAIT_VOID(store.refresh());
    QVERIFY(!store.isChecking());
    QVERIFY(!store.refreshQueued());
    QVERIFY(store.states().isEmpty());
    store.cancelApply();
    QVERIFY(waitForRun(store));
    QCOMPARE(store.states().size(), 9);
}

void TestSetupStore::staleChecksAreDiscarded()
{
    Sandbox sandbox;
    sandbox.addTool(u"/usr/bin/xcode-select"_s, { .stdoutText = {}, .stderrText = {}, .exitCode = 2, .delayMs = 300 });
    Sandbox::writeFile(sandbox.homePath(u"keys/mine"_s), "key");
    ActivityStore activity;
    SetupStore store(&activity);
    QSignalSpy states(&store, &SetupStore::statesChanged);
    auto refresh = store.refresh();
    SetupConfig changed = store.config();
    changed.sshKeyFile = u"~/keys/mine"_s;
    store.setConfig(changed);
    QR_AWAIT_VOID(std::move(refresh));
    QCOMPARE(states.count(), 1); // the check of the old settings was never published
    QCOMPARE(sandbox.calls(u"/usr/bin/xcode-select"_s).size(), 2);
    QCOMPARE(store.state(SetupComponent::ssh), StepState::done(u"~/keys/mine"_s));
}

void TestSetupStore::logKeepsItsNewestPart()
{
    Sandbox sandbox;
    ActivityStore activity;
    SetupStore store(&activity);
    QSignalSpy appended(&store, &SetupStore::logAppended);
    QSignalSpy reset(&store, &SetupStore::logReset);
    store.appendLog(QString(200000, u'a'));
    QCOMPARE(store.log().size(), 200000);
    QCOMPARE(reset.count(), 0);
    store.appendLog(u"bc"_s);
    QCOMPARE(store.log().size(), 150000);
    QVERIFY(store.log().endsWith(u"abc"_s));
    QCOMPARE(appended.count(), 1);
    QCOMPARE(reset.count(), 1);
}

void TestSetupStore::hasSeenWizardPersists()
{
    Sandbox sandbox;
    ActivityStore activity;
    {
        SetupStore store(&activity);
        QVERIFY(!store.hasSeenWizard());
        QSignalSpy changed(&store, &SetupStore::hasSeenWizardChanged);
        store.setHasSeenWizard(true);
        QCOMPARE(changed.count(), 1);
    }
    QCOMPARE(Platform::current().boolDefault(u"hasSeenWizard"_s), std::optional(true));
    SetupStore again(&activity);
    QVERIFY(again.hasSeenWizard());
}

void TestSetupStore::configIsSavedOnEveryAssignment()
{
    Sandbox sandbox;
    ActivityStore activity;
    SetupStore store(&activity);
    const QString file = SetupConfig::fileURL();
    QVERIFY(!QFileInfo::exists(file));
    SetupConfig config = store.config();
    config.gitName = u"Ada"_s;
    QSignalSpy changed(&store, &SetupStore::configChanged);
    store.setConfig(config);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(SetupConfig::load().gitName, u"Ada"_s);
    QVERIFY(QFile::remove(file));
    store.setConfig(config);
    QCOMPARE(changed.count(), 1);
    QVERIFY(QFileInfo::exists(file));
}

void TestSetupStore::storeReleasedDuringARun()
{
    Sandbox sandbox;
    sandbox.configure(
        [](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::milliseconds(200); });
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect(-1);
    fakes.installSoftwareUpdate();
    ActivityStore activity;
    auto store = std::make_unique<SetupStore>(&activity);
    store->apply({ SetupComponent::xcode, SetupComponent::rosetta }, std::nullopt);
    QVERIFY(waitUntil([&] { return store->log().contains(u"Checking every"_s); }));
    store.reset();
    QTest::qWait(500);
    QCOMPARE(activity.phase().kind, ActivityStore::Phase::Kind::running);
    QVERIFY(sandbox.calls(u"/usr/sbin/softwareupdate"_s).isEmpty());
}

void TestSetupStore::fullRunFromABareHome()
{
    Sandbox sandbox;
    sandbox.configure(
        [](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::milliseconds(50); });
    SetupFakes fakes(sandbox);
    fakes.installAll();
    FakeBrew fakeBrew(sandbox);
    fakeBrew.addCask({ .name = u"iterm2"_s, .version = u"3.5.10"_s, .app = u"iTerm.app"_s });
    fakeBrew.addCask(
        { .name = u"font-meslo-lg-nerd-font"_s, .version = u"3.3.0"_s, .fonts = { u"MesloLGS NF Regular.ttf"_s } });
    const QString pwned = sandbox.homePath(u"pwned"_s);
    ActivityStore activity;
    SetupStore store(&activity);
    SetupConfig config = store.config();
    config.gitName = u"Ada $(touch "_s + pwned + u")"_s;
    config.gitEmail = u"ada@example.org"_s;
    config.sshComment = u"ada; touch "_s + pwned + u"2"_s;
    config.zshrcExtras = u"setopt autocd"_s;
    store.setConfig(config);
    const QString brew = sandbox.systemPath(u"/opt/homebrew/bin/brew"_s);

    QSignalSpy finished(&store, &SetupStore::applyFinished);
    store.apply(allSetupComponents(), brew);
    QVERIFY(finished.wait(60000));
    QVERIFY2(activity.phase() == ActivityStore::Phase::success(u"Setup finished — 9 steps"_s),
        qPrintable(activity.phase().title + u'\n' + activity.phase().message));
    for (const SetupComponent component : allSetupComponents()) {
        const StepState state = store.state(component);
        QVERIFY2(state.kind == StepState::Kind::done || state.kind == StepState::Kind::notApplicable,
            qPrintable(toString(component) + u": "_s + state.text));
    }
    QCOMPARE(store.state(SetupComponent::git), StepState::done(config.gitName + u" <ada@example.org>"_s));
    QVERIFY(!QFileInfo::exists(pwned));
    QVERIFY(!QFileInfo::exists(pwned + u"2"_s));

    const QByteArray zshrc = Sandbox::readFile(sandbox.homePath(u".zshrc"_s));
    const QByteArray p10k = Sandbox::readFile(sandbox.homePath(u".p10k.zsh"_s));
    const QByteArray key = Sandbox::readFile(sandbox.homePath(u".ssh/id_ed25519"_s));
    QVERIFY(!key.isEmpty());

    // Backups are stamped to the second; the next run's must not collide with this one's.
    const QString stamp = QDateTime::currentDateTime().toString(u"yyyyMMdd_HHmmss"_s);
    QVERIFY(waitUntil([&] { return QDateTime::currentDateTime().toString(u"yyyyMMdd_HHmmss"_s) != stamp; }));
    store.apply(allSetupComponents(), brew);
    QVERIFY(finished.wait(60000));
    QVERIFY2(activity.phase() == ActivityStore::Phase::success(u"Setup finished — 9 steps"_s),
        qPrintable(activity.phase().message));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), zshrc);
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".p10k.zsh"_s)), p10k);
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".ssh/id_ed25519"_s)), key);
    QVERIFY(store.log().contains(u"Already installed.\n✓ Done\n\n━━ Rosetta 2 ━━\nAlready installed.\n"_s));
    QCOMPARE(sandbox.calls(u"/bin/sh"_s).count({ u"-c"_s, ShellSteps::ohMyZshInstallerCommand() }), 1);
    QCOMPARE(sandbox.calls(u"/usr/bin/ssh-keygen"_s).size(), 1);
}

QTEST_GUILESS_MAIN(TestSetupStore)
#include "tst_setupstore.moc"
