#include "AsyncTest.h"
#include "FakeBrew.h"
#include "Sandbox.h"
#include "SetupFakes.h"
#include "SmallDisk.h"
#include "TestConfigs.h"
#include "TestRunContext.h"
#include "platform/Files.h"
#include "setup/config/P10kOptions.h"
#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"
#include "setup/engine/PreferenceSteps.h"
#include "setup/engine/ShellSteps.h"
#include "setup/engine/SystemToolSteps.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

namespace {

using Outcome = TaskOutcome<void>;

// The two casks the iTerm2 step installs, as Homebrew offers them.
void addTerminalCasks(FakeBrew &brew)
{
    brew.addCask({ .name = u"iterm2"_s, .version = u"3.5.10"_s, .app = u"iTerm.app"_s });
    brew.addCask({ .name = u"font-meslo-lg-nerd-font"_s,
        .version = u"3.3.0"_s,
        .fonts = { u"MesloLGS NF Regular.ttf"_s, u"MesloLGS NF Bold.ttf"_s } });
}

QString gitGet(const Sandbox &sandbox, const QString &key)
{
    QProcess git;
    git.setProcessEnvironment(sandbox.settings().environment);
    git.start(u"/usr/bin/git"_s, { u"config"_s, u"--global"_s, u"--get"_s, key });
    git.waitForFinished();
    return QString::fromUtf8(git.readAllStandardOutput()).chopped(git.exitCode() == 0 ? 1 : 0);
}

QList<QStringList> clones(const Sandbox &sandbox)
{
    QList<QStringList> result;
    for (const QStringList &call : sandbox.calls(u"/opt/homebrew/bin/git"_s)) {
        if (call.value(0) == u"clone"_s)
            result.append(call);
    }
    return result;
}

int mode(const QString &path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

const QString gitMissing = u"Git is not available yet. Install the Xcode Command Line Tools first."_s;

} // namespace

class TestSetupSteps : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandLineToolsAlreadyInstalled();
    void commandLineToolsChecksAfterOneInterval();
    void commandLineToolsTimeOut();
    void commandLineToolsCancelEndsTheWaitAtOnce();
    void rosetta_data();
    void rosetta();
    void iTermNeedsHomebrew();
    void iTermBrewFailureWritesNoProfile();
    void iTermProfile();

    void ohMyZshFromScratch();
    void ohMyZshAgainChangesNothing();
    void ohMyZshFailures_data();
    void ohMyZshFailures();
    void ohMyZshBundledPluginsAreOnlyEnabled();
    void ohMyZshUnusualLayout();
    void ohMyZshBringsFzfForItsPlugin_data();
    void ohMyZshBringsFzfForItsPlugin();
    void powerlevel10k();
    void powerlevel10kWithoutStyleKeepsPromptFile();
    void powerlevel10kMissingPresetKeepsPromptFile();
    void powerlevel10kNeedsOhMyZshAndGit();
    void shellBlocks();
    void shellBlocksNeverOverwriteAnUnreadableFile();
    void everyZshrcEditIsBackedUpOncePerRun_data();
    void diskFaultsLeaveTheOriginal_data();
    void diskFaultsLeaveTheOriginal();
    void everyZshrcEditIsBackedUpOncePerRun();

    void macOSDefaults();
    void macOSDefaultsAllFailing();
    void gitSettings();
    void gitIdentityWarning();
    void gitFailureStopsTheStep();
    void gitValuesNeverReachAShell();
    void sshKey_data();
    void sshKey();
    void sshKeyIsNeverOverwritten();
};

void TestSetupSteps::commandLineToolsAlreadyInstalled()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect();
    fakes.setCommandLineToolsInstalled(true);
    TestRunContext context;
    QR_AWAIT_VOID(SystemToolSteps::installCommandLineTools(context));
    QCOMPARE(context.log, u"Already installed.\n"_s);
    QCOMPARE(sandbox.calls(u"/usr/bin/xcode-select"_s), QList<QStringList>{ { u"-p"_s } });
}

void TestSetupSteps::commandLineToolsChecksAfterOneInterval()
{
    Sandbox sandbox;
    sandbox.configure(
        [](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::milliseconds(300); });
    SetupFakes fakes(sandbox);
    // The tools appear right away: only the poll interval stands between the installer and the
    // first check.
    fakes.installXcodeSelect(0);
    TestRunContext context;
    QElapsedTimer clock;
    clock.start();
    QR_AWAIT_VOID(SystemToolSteps::installCommandLineTools(context));
    QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
    const QList<QStringList> calls = sandbox.calls(u"/usr/bin/xcode-select"_s);
    QCOMPARE(calls, (QList<QStringList>{ { u"-p"_s }, { u"--install"_s }, { u"-p"_s } }));
    QCOMPARE(context.log,
        u"$ xcode-select --install\n"
        u"xcode-select: note: install requested for command line developer tools\n"
        u"\nA system dialog opened — click Install and wait. Checking every 5 seconds…\n"
        u"Command Line Tools installed.\n"_s);
}

void TestSetupSteps::commandLineToolsTimeOut()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) {
        settings.commandLineToolsPoll = std::chrono::milliseconds(20);
        settings.commandLineToolsPollTries = 3;
    });
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect(-1);
    TestRunContext context;
    const Outcome outcome = runTask(SystemToolSteps::installCommandLineTools(context));
    QVERIFY(outcome.threw);
    QCOMPARE(outcome.failure,
        u"Timed out waiting for the Command Line Tools. If macOS is out of date, run System Settings → Software "
        u"Update first."_s);
    QCOMPARE(sandbox.calls(u"/usr/bin/xcode-select"_s).size(), 1 + 1 + 3);
}

void TestSetupSteps::commandLineToolsCancelEndsTheWaitAtOnce()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::seconds(20); });
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect(-1);
    TestRunContext context;
    QElapsedTimer clock;
    QTimer::singleShot(300, &context.flag, [&] {
        clock.start();
        context.flag.cancel();
    });
    const Outcome outcome = runTask(SystemToolSteps::installCommandLineTools(context));
    QVERIFY(outcome.threw);
    QCOMPARE(outcome.failure, u"Cancelled"_s);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    // Cancelled in the sleep: the poll never checked.
    QCOMPARE(sandbox.calls(u"/usr/bin/xcode-select"_s).size(), 2);
}

void TestSetupSteps::rosetta_data()
{
    QTest::addColumn<QString>("tool"); // "installs", "fails", "failsButInstalls", "present", "absent"
    QTest::addColumn<QString>("failure"); // empty: success
    QTest::addColumn<int>("runs");
    QTest::newRow("installs") << u"installs"_s << QString() << 1;
    QTest::newRow("fails") << u"fails"_s << u"softwareupdate exited with status 1"_s << 1;
    QTest::newRow("reports an error but installed it") << u"failsButInstalls"_s << QString() << 1;
    QTest::newRow("already installed") << u"present"_s << QString() << 0;
    QTest::newRow("no softwareupdate") << u"absent"_s << u"Could not launch"_s << 0;
}

void TestSetupSteps::rosetta()
{
    QFETCH(QString, tool);
    QFETCH(QString, failure);
    QFETCH(int, runs);
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    if (tool == u"installs"_s)
        fakes.installSoftwareUpdate(SetupFakes::Rosetta::installs);
    else if (tool == u"fails"_s)
        fakes.installSoftwareUpdate(SetupFakes::Rosetta::fails);
    else if (tool == u"failsButInstalls"_s)
        fakes.installSoftwareUpdate(SetupFakes::Rosetta::failsButInstalls);
    else if (tool == u"present"_s)
        Sandbox::writeFile(fakes.rosettaPath(), "");
    TestRunContext context;
    const Outcome outcome = runTask(SystemToolSteps::installRosetta(context));
    QCOMPARE(outcome.threw, !failure.isEmpty());
    QVERIFY2(outcome.failure.startsWith(failure), qPrintable(outcome.failure));
    QCOMPARE(sandbox.calls(u"/usr/sbin/softwareupdate"_s).size(), runs);
    if (runs)
        QVERIFY(context.log.startsWith(u"$ softwareupdate --install-rosetta --agree-to-license\n"_s));
    if (tool == u"present"_s)
        QCOMPARE(context.log, u"Already installed.\n"_s);
}

void TestSetupSteps::iTermNeedsHomebrew()
{
    Sandbox sandbox;
    TestRunContext context;
    const Outcome outcome = runTask(SystemToolSteps::installITerm(context, std::nullopt));
    QCOMPARE(outcome.failure, u"Homebrew is required to install iTerm2."_s);
}

void TestSetupSteps::iTermBrewFailureWritesNoProfile()
{
    Sandbox sandbox;
    FakeBrew brew(sandbox);
    addTerminalCasks(brew);
    brew.change(FakeBrew::Kind::cask, u"iterm2"_s, [](FakeBrew::Package &iterm2) { iterm2.fails = true; });
    TestRunContext context;
    const Outcome outcome
        = runTask(SystemToolSteps::installITerm(context, sandbox.systemPath(u"/opt/homebrew/bin/brew"_s)));
    QCOMPARE(outcome.failure, u"brew exited with status 1"_s);
    QVERIFY(!QFileInfo::exists(sandbox.homePath(u"Library/Application Support/iTerm2"_s)));
}

void TestSetupSteps::iTermProfile()
{
    Sandbox sandbox;
    FakeBrew fakeBrew(sandbox);
    addTerminalCasks(fakeBrew);
    const QString brew = fakeBrew.executable();
    const QString profilePath = sandbox.homePath(u"Library/Application Support/iTerm2/DynamicProfiles/quillrig.json"_s);
    TestRunContext context;
    QR_AWAIT_VOID(SystemToolSteps::installITerm(context, brew));
    QCOMPARE(sandbox.calls(u"/opt/homebrew/bin/brew"_s),
        (QList<QStringList>{ { u"install"_s, u"--cask"_s, u"iterm2"_s, u"font-meslo-lg-nerd-font"_s } }));
    QVERIFY(context.log.startsWith(u"$ brew install --cask iterm2 font-meslo-lg-nerd-font\n==> "_s));
    QVERIFY(context.log.contains(u"\n==> Installing Cask iterm2\n"_s));
    QVERIFY(context.log.endsWith(u"Created iTerm2 profile “Quillrig (Nerd Font)” — pick it in iTerm2 → Settings → "
                                 u"Profiles (Other Actions → Set as Default).\n"_s));
    QVERIFY(QFileInfo::exists(sandbox.systemPath(u"/Applications/iTerm.app"_s)));
    QCOMPARE(fakeBrew.installed(FakeBrew::Kind::cask), (QStringList{ u"font-meslo-lg-nerd-font"_s, u"iterm2"_s }));
    // Homebrew's own variables reach brew when the setup engine starts it.
    QCOMPARE(fakeBrew.invocations().first().environment.value(u"HOMEBREW_NO_AUTO_UPDATE"_s), u"1"_s);

    const QByteArray first = Sandbox::readFile(profilePath);
    const QJsonObject profile = QJsonDocument::fromJson(first).object()[u"Profiles"_s].toArray().at(0).toObject();
    QCOMPARE(profile.size(), 5);
    QCOMPARE(profile[u"Name"_s].toString(), u"Quillrig (Nerd Font)"_s);
    QCOMPARE(profile[u"Guid"_s].toString(), u"5C0E3F5A-7A1B-4E55-9D77-000000050001"_s);
    QCOMPARE(profile[u"Dynamic Profile Parent Name"_s].toString(), u"Default"_s);
    QCOMPARE(profile[u"Normal Font"_s].toString(), u"MesloLGSNF-Regular 13"_s);
    QVERIFY(profile[u"Use Non-ASCII Font"_s].isBool() && !profile[u"Use Non-ASCII Font"_s].toBool());
    // The keys appear in sorted order in the file itself.
    qsizetype previous = -1;
    for (const char *key :
        { "\"Dynamic Profile Parent Name\"", "\"Guid\"", "\"Name\"", "\"Normal Font\"", "\"Use Non-ASCII Font\"" }) {
        const qsizetype at = first.indexOf(key);
        QVERIFY2(at > previous, key);
        previous = at;
    }

    TestRunContext again;
    QR_AWAIT_VOID(SystemToolSteps::installITerm(again, brew));
    QCOMPARE(Sandbox::readFile(profilePath), first);
    QCOMPARE(QDir(QFileInfo(profilePath).path()).entryList(QDir::Files), QStringList{ u"quillrig.json"_s });
}

void TestSetupSteps::ohMyZshFromScratch()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installAll();
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "alias old='mine'\n");
    SetupConfig config = SetupConfig::defaults();
    config.backupDotfiles = true;
    TestRunContext context;
    QR_AWAIT_VOID(ShellSteps::installOhMyZsh(context, config));

    const QString command = ShellSteps::ohMyZshInstallerCommand();
    QCOMPARE(command,
        u"sh -c \"$(curl -fsSL https://raw.githubusercontent.com/ohmyzsh/ohmyzsh/master/tools/install.sh)\" \"\" "
        u"--unattended"_s);
    QCOMPARE(sandbox.calls(u"/bin/sh"_s).first(), (QStringList{ u"-c"_s, command }));
    static const QRegularExpression backup(u"^Backed up \\.zshrc to \\.zshrc\\.backup\\.\\d{8}_\\d{6}\\n\\$ sh -c "_s);
    QVERIFY2(backup.match(context.log).hasMatch(), qPrintable(context.log));
    QVERIFY(context.log.contains(u"\n$ sh -c "_s + command + u'\n'));
    // The installer kept the old file, as the real one does.
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc.pre-oh-my-zsh"_s)), QByteArray("alias old='mine'\n"));

    const QString plugins = sandbox.homePath(u".oh-my-zsh/custom/plugins/"_s);
    QCOMPARE(clones(sandbox),
        (QList<QStringList>{ { u"clone"_s, u"--depth=1"_s, u"https://github.com/zsh-users/zsh-autosuggestions"_s,
                                 plugins + u"zsh-autosuggestions"_s },
            { u"clone"_s, u"--depth=1"_s, u"https://github.com/zsh-users/zsh-syntax-highlighting"_s,
                plugins + u"zsh-syntax-highlighting"_s } }));
    QVERIFY(QFileInfo::exists(plugins + u"zsh-autosuggestions/zsh-autosuggestions.plugin.zsh"_s));

    const QString zshrc = QString::fromUtf8(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)));
    QVERIFY(zshrc.contains(u"\nplugins=(git docker kubectl fzf zsh-autosuggestions zsh-syntax-highlighting "
                           u"colored-man-pages colorize brew ssh-agent pip python)\n"_s));
    QVERIFY(context.log.endsWith(
        u"Enabled plugins: docker, kubectl, fzf, zsh-autosuggestions, "
        u"zsh-syntax-highlighting, colored-man-pages, colorize, brew, ssh-agent, pip, python\n"_s));
    QVERIFY(!context.log.contains(u"Disabled plugins"_s));
}

void TestSetupSteps::ohMyZshAgainChangesNothing()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installAll();
    const SetupConfig config = SetupConfig::defaults();
    {
        TestRunContext first;
        QR_AWAIT_VOID(ShellSteps::installOhMyZsh(first, config));
    }
    const QByteArray zshrc = Sandbox::readFile(sandbox.homePath(u".zshrc"_s));
    const QDateTime written = QFileInfo(sandbox.homePath(u".zshrc"_s)).lastModified();
    QTest::qWait(20);
    TestRunContext context;
    QR_AWAIT_VOID(ShellSteps::installOhMyZsh(context, config));
    QCOMPARE(context.log,
        u"Oh My Zsh already installed.\n"
        u"Plugin already installed: zsh-autosuggestions\n"
        u"Plugin already installed: zsh-syntax-highlighting\n"
        u"Plugins already match.\n"_s);
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), zshrc);
    QCOMPARE(QFileInfo(sandbox.homePath(u".zshrc"_s)).lastModified(), written);
    QCOMPARE(sandbox.calls(u"/bin/sh"_s).count({ u"-c"_s, ShellSteps::ohMyZshInstallerCommand() }), 1);
}

void TestSetupSteps::ohMyZshFailures_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("failure");
    QTest::newRow("installed, plugins present, but no git") << u"noGit"_s << gitMissing;
    QTest::newRow("not installed and no git") << u"noGitNoOhMyZsh"_s << gitMissing;
    QTest::newRow("installer fails") << u"installerFails"_s << u"sh exited with status 1"_s;
    QTest::newRow("a clone fails") << u"cloneFails"_s << u"git exited with status 128"_s;
    QTest::newRow("~/.zshrc is not UTF-8") << u"unreadable"_s << u".zshrc"_s;
}

void TestSetupSteps::ohMyZshFailures()
{
    QFETCH(QString, situation);
    QFETCH(QString, failure);
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installOhMyZshInstaller();
    const QByteArray original = "plugins=(git)\n# caf\xe9 in Latin-1\n";
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), situation == u"unreadable"_s ? original : "plugins=(git)\n");
    const QByteArray before = Sandbox::readFile(sandbox.homePath(u".zshrc"_s));
    if (situation != u"noGitNoOhMyZsh"_s && situation != u"installerFails"_s)
        QDir().mkpath(sandbox.homePath(u".oh-my-zsh/plugins/git"_s));
    if (situation == u"noGit"_s) {
        for (const QString &name : SetupConfig::pluginSources().keys())
            QDir().mkpath(sandbox.homePath(u".oh-my-zsh/custom/plugins/"_s + name));
    } else if (!situation.startsWith(u"noGit"_s)) {
        fakes.installGit();
    }
    fakes.setOhMyZshInstallerFails(situation == u"installerFails"_s);
    if (situation == u"cloneFails"_s)
        fakes.setRepositoryMissing(u"zsh-users/zsh-autosuggestions"_s, true);

    TestRunContext context;
    const Outcome outcome = runTask(ShellSteps::installOhMyZsh(context, SetupConfig::defaults()));
    QVERIFY(outcome.threw);
    QVERIFY2(outcome.failure.contains(failure), qPrintable(outcome.failure));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), before);
    if (situation == u"cloneFails"_s)
        QCOMPARE(clones(sandbox).size(), 1); // the second plugin is not tried
}

void TestSetupSteps::ohMyZshBundledPluginsAreOnlyEnabled()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    sandbox.addScript(u"/usr/local/bin/fzf"_s, "exit 0\n"); // the fzf plugin's program is there
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh/plugins/docker"_s));
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "plugins=(docker git)  # mine\n");
    SetupConfig config = emptyConfig();
    config.plugins = { u"git"_s, u"docker"_s, u"fzf"_s };
    TestRunContext context;
    QR_AWAIT_VOID(ShellSteps::installOhMyZsh(context, config));
    QVERIFY(clones(sandbox).isEmpty());
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), QByteArray("plugins=(docker git fzf)  # mine\n"));
    QCOMPARE(context.log, u"Oh My Zsh already installed.\nEnabled plugins: fzf\n"_s);

    // The same names in another order already match.
    config.plugins = { u"fzf"_s, u"docker"_s, u"git"_s };
    TestRunContext again;
    QR_AWAIT_VOID(ShellSteps::installOhMyZsh(again, config));
    QCOMPARE(again.log, u"Oh My Zsh already installed.\nPlugins already match.\n"_s);
}

void TestSetupSteps::ohMyZshUnusualLayout()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    sandbox.addScript(u"/usr/local/bin/fzf"_s, "exit 0\n"); // the fzf plugin's program is there
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh"_s));
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "plugins=(\n  git\n  docker)\n");
    SetupConfig config = emptyConfig();
    config.plugins = { u"docker"_s, u"fzf"_s };
    TestRunContext context;
    QR_AWAIT_VOID(ShellSteps::installOhMyZsh(context, config));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), QByteArray("plugins=(\n  docker)\n"));
    QCOMPARE(context.log,
        u"Oh My Zsh already installed.\n"
        u"Disabled plugins: git\n"
        u"⚠︎ Your plugins=(…) block has an unusual layout, so new plugins were not added. Add them manually: fzf\n"_s);
}

void TestSetupSteps::powerlevel10k()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh"_s));
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "ZSH_THEME=\"robbyrussell\"\nsource $ZSH/oh-my-zsh.sh\n");
    SetupConfig config = emptyConfig();
    config.p10kStyle = u"rainbow"_s;
    const QString theme = sandbox.homePath(u".oh-my-zsh/custom/themes/powerlevel10k"_s);

    TestRunContext context;
    QR_AWAIT_VOID(ShellSteps::installPowerlevel10k(context, config));
    QVERIFY(context.log.startsWith(
        u"$ git clone --depth=1 https://github.com/romkatv/powerlevel10k.git "_s + theme + u'\n'));
    QVERIFY(context.log.endsWith(u"\nZSH_THEME set to powerlevel10k/powerlevel10k\nApplied prompt style: rainbow\n"_s));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".p10k.zsh"_s)), SetupFakes::presetText(u"rainbow"_s));
    const QByteArray zshrc = Sandbox::readFile(sandbox.homePath(u".zshrc"_s));
    // The preset leaves the instant prompt on: its preamble leads the file.
    QCOMPARE(zshrc,
        Zshrc::setInstantPrompt(true, QString()).toUtf8()
            + "ZSH_THEME=\"powerlevel10k/powerlevel10k\"\nsource $ZSH/oh-my-zsh.sh\n"
              "\n# Powerlevel10k prompt config (managed by quillrig-cli)\n[[ ! -f ~/.p10k.zsh ]] || source "
              "~/.p10k.zsh\n");

    // Again: the prompt file the user may have edited goes to a dated backup.
    Sandbox::writeFile(sandbox.homePath(u".p10k.zsh"_s), "# my tweaks\n");
    TestRunContext again;
    QR_AWAIT_VOID(ShellSteps::installPowerlevel10k(again, config));
    static const QRegularExpression expected(
        u"^Powerlevel10k already installed\\.\\n"
        u"ZSH_THEME set to powerlevel10k/powerlevel10k\\n"
        u"Backed up the existing prompt config to (\\.p10k\\.zsh\\.backup\\.\\d{8}_\\d{6})\\n"
        u"Applied prompt style: rainbow\\n$"_s);
    const QRegularExpressionMatch match = expected.match(again.log);
    QVERIFY2(match.hasMatch(), qPrintable(again.log));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(match.captured(1))), QByteArray("# my tweaks\n"));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".p10k.zsh"_s)), SetupFakes::presetText(u"rainbow"_s));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), zshrc);
    QCOMPARE(clones(sandbox).size(), 1);
}

void TestSetupSteps::powerlevel10kWithoutStyleKeepsPromptFile()
{
    Sandbox sandbox;
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh/custom/themes/powerlevel10k/config"_s));
    Sandbox::writeFile(sandbox.homePath(u".p10k.zsh"_s), "# mine\n");
    SetupConfig config = emptyConfig();
    config.p10kStyle.clear();
    TestRunContext context;
    QR_AWAIT_VOID(ShellSteps::installPowerlevel10k(context, config));
    QCOMPARE(context.log, u"Powerlevel10k already installed.\nZSH_THEME set to powerlevel10k/powerlevel10k\n"_s);
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".p10k.zsh"_s)), QByteArray("# mine\n"));
    const QByteArray rest = "ZSH_THEME=\"powerlevel10k/powerlevel10k\"\n"
                            "\n# Powerlevel10k prompt config (managed by quillrig-cli)\n[[ ! -f ~/.p10k.zsh ]] || "
                            "source ~/.p10k.zsh\n";
    QCOMPARE(
        Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), Zshrc::setInstantPrompt(true, QString()).toUtf8() + rest);

    // With the instant prompt off in the prompt file, the preamble goes again.
    Sandbox::writeFile(sandbox.homePath(u".p10k.zsh"_s), "  typeset -g POWERLEVEL9K_INSTANT_PROMPT=off\n");
    QR_AWAIT_VOID(ShellSteps::installPowerlevel10k(context, config));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), rest);
}

void TestSetupSteps::powerlevel10kMissingPresetKeepsPromptFile()
{
    Sandbox sandbox;
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh/custom/themes/powerlevel10k/config"_s));
    Sandbox::writeFile(sandbox.homePath(u".p10k.zsh"_s), "# mine\n");
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "# before\n");
    SetupConfig config = emptyConfig();
    config.p10kStyle = u"fancy"_s;
    TestRunContext context;
    const Outcome outcome = runTask(ShellSteps::installPowerlevel10k(context, config));
    QVERIFY2(outcome.failure.contains(u"p10k-fancy.zsh"_s), qPrintable(outcome.failure));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".p10k.zsh"_s)), QByteArray("# mine\n"));
    QCOMPARE(
        QDir(sandbox.home()).entryList({ u".p10k.zsh*"_s }, QDir::Files | QDir::Hidden), QStringList{ u".p10k.zsh"_s });
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), QByteArray("# before\n"));
}

void TestSetupSteps::ohMyZshBringsFzfForItsPlugin_data()
{
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<bool>("homebrew");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("brewRuns");
    QTest::addColumn<bool>("warned");
    QTest::newRow("chosen, missing, Homebrew there") << true << true << false << true << false;
    QTest::newRow("chosen, missing, no Homebrew") << true << false << false << false << true;
    QTest::newRow("chosen, installed") << true << true << true << false << false;
    QTest::newRow("not chosen") << false << true << false << false << false;
}

void TestSetupSteps::ohMyZshBringsFzfForItsPlugin()
{
    QFETCH(bool, chosen);
    QFETCH(bool, homebrew);
    QFETCH(bool, installed);
    QFETCH(bool, brewRuns);
    QFETCH(bool, warned);
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    if (homebrew)
        fakes.installBrew();
    if (installed)
        sandbox.addScript(u"/usr/local/bin/fzf"_s, "exit 0\n");
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh/plugins/fzf"_s));
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "plugins=(git)\n");
    SetupConfig config = emptyConfig();
    config.plugins = chosen ? QStringList{ u"git"_s, u"fzf"_s } : QStringList{ u"git"_s };
    TestRunContext context;
    QR_AWAIT_VOID(ShellSteps::installOhMyZsh(context, config));

    const QList<QStringList> brewCalls = homebrew ? sandbox.calls(u"/opt/homebrew/bin/brew"_s) : QList<QStringList>{};
    QCOMPARE(brewCalls.contains(QStringList{ u"install"_s, u"--formula"_s, u"fzf"_s }), brewRuns);
    if (brewRuns)
        QVERIFY(QFileInfo(sandbox.systemPath(u"/opt/homebrew/bin/fzf"_s)).isExecutable());
    QCOMPARE(context.log.contains(u"⚠︎ The fzf plugin needs the fzf program"_s), warned);
}

void TestSetupSteps::powerlevel10kNeedsOhMyZshAndGit()
{
    Sandbox sandbox;
    TestRunContext context;
    Outcome outcome = runTask(ShellSteps::installPowerlevel10k(context, emptyConfig()));
    QCOMPARE(outcome.failure, u"Oh My Zsh must be installed first."_s);
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh"_s));
    outcome = runTask(ShellSteps::installPowerlevel10k(context, emptyConfig()));
    QCOMPARE(outcome.failure, gitMissing);
}

void TestSetupSteps::shellBlocks()
{
    Sandbox sandbox;
    const QByteArray environmentBlock
        = "# Environment variables (managed by quillrig-cli)\nexport OLD=\"1\"\n# End environment variables\n";
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), "# top\n" + environmentBlock);
    SetupConfig config = emptyConfig();
    config.backupDotfiles = true;
    config.aliases = { KeyValue::make(u"ll"_s, u"ls -la"_s), KeyValue::make(u"say"_s, u"it's"_s),
        KeyValue::make(QString(), u"skipped"_s), KeyValue::make(u"g st"_s, u"git status"_s) };
    config.environment = { KeyValue::make(u"MY-VAR"_s, u"1"_s) };
    TestRunContext context;
    ShellSteps::applyShellBlocks(context, config);
    // Rows the writer cannot write are named, one line each.
    static const QRegularExpression expected(
        u"^Backed up \\.zshrc to \\.zshrc\\.backup\\.\\d{8}_\\d{6}\\n"
        u"Skipped alias \\(no name\\) — the alias has no name\\n"
        u"Skipped alias g st — not a valid alias name\\n"
        u"Skipped variable MY-VAR — not a valid variable name\\n"
        u"Wrote 2 aliases to ~/\\.zshrc\\n"
        u"Open a new terminal tab \\(or run `source ~/\\.zshrc`\\) to use them\\.\\n$"_s);
    QVERIFY2(expected.match(context.log).hasMatch(), qPrintable(context.log));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)),
        "# top\n" + environmentBlock
            + "\n# Custom aliases (managed by quillrig-cli)\nalias ll='ls -la'\nalias say='it'\\''s'\n"
              "# End custom aliases\n");

    // Nothing configured: the file is still written (and nothing in it changes).
    Sandbox sandbox2;
    TestRunContext empty;
    ShellSteps::applyShellBlocks(empty, emptyConfig());
    QVERIFY(QFileInfo::exists(sandbox2.homePath(u".zshrc"_s)));
    QCOMPARE(empty.log, u"Open a new terminal tab (or run `source ~/.zshrc`) to use them.\n"_s);
}

void TestSetupSteps::shellBlocksNeverOverwriteAnUnreadableFile()
{
    Sandbox sandbox;
    const QByteArray latin1 = "export NAME=\"Jos\xe9\"\n";
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), latin1);
    SetupConfig config = emptyConfig();
    config.aliases = { KeyValue::make(u"ll"_s, u"ls -la"_s) };
    TestRunContext context;
    QVERIFY_THROWS_EXCEPTION(FileError, ShellSteps::applyShellBlocks(context, config));
    QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), latin1);
}

void TestSetupSteps::everyZshrcEditIsBackedUpOncePerRun_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("backupDotfiles");
    QTest::addColumn<int>("backups");
    QTest::newRow("plugin line") << QStringList{ u"plugins"_s } << true << 1;
    QTest::newRow("theme line") << QStringList{ u"theme"_s } << true << 1;
    QTest::newRow("all edits in one run") << QStringList{ u"plugins"_s, u"theme"_s, u"blocks"_s } << true << 1;
    QTest::newRow("backups off") << QStringList{ u"plugins"_s, u"theme"_s, u"blocks"_s } << false << 0;
}

void TestSetupSteps::everyZshrcEditIsBackedUpOncePerRun()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, backupDotfiles);
    QFETCH(int, backups);
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installAll();
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh/custom/themes/powerlevel10k"_s));
    const QByteArray original = "plugins=(git)\nZSH_THEME=\"robbyrussell\"\nsource $ZSH/oh-my-zsh.sh\n";
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), original);
    SetupConfig config = emptyConfig();
    config.backupDotfiles = backupDotfiles;
    config.plugins = { u"git"_s, u"docker"_s };
    config.aliases = { KeyValue::make(u"ll"_s, u"ls -la"_s) };
    config.p10kStyle.clear();

    TestRunContext context;
    if (steps.contains(u"plugins"_s))
        QR_AWAIT_VOID(ShellSteps::installOhMyZsh(context, config));
    if (steps.contains(u"theme"_s))
        QR_AWAIT_VOID(ShellSteps::installPowerlevel10k(context, config));
    if (steps.contains(u"blocks"_s))
        ShellSteps::applyShellBlocks(context, config);

    QVERIFY(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)) != original);
    const QStringList copies = QDir(sandbox.home()).entryList({ u".zshrc.backup.*"_s }, QDir::Files | QDir::Hidden);
    QCOMPARE(copies.size(), backups);
    QCOMPARE(context.log.count(u"Backed up .zshrc"_s), backups);
    if (backups == 1)
        QCOMPARE(Sandbox::readFile(sandbox.homePath(copies.first())), original);
}

void TestSetupSteps::diskFaultsLeaveTheOriginal_data()
{
    // "injected" fails the write in the file layer; "tmpfs" mounts a real tiny disk over the
    // file's folder, filled up or read-only (root only).
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("tmpfs");
    for (const QString &file : { u".zshrc blocks"_s, u".zshrc plugins"_s, u".p10k.zsh"_s, u"config.json"_s }) {
        for (const bool tmpfs : { false, true }) {
            const char *disk = tmpfs ? "tmpfs" : "injected";
            QTest::addRow("%s, disk full, %s", qPrintable(file), disk) << file << u"No space left on device"_s << tmpfs;
            QTest::addRow("%s, read-only, %s", qPrintable(file), disk) << file << u"Read-only file system"_s << tmpfs;
        }
    }
}

void TestSetupSteps::diskFaultsLeaveTheOriginal()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QFETCH(bool, tmpfs);
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    const QString path = file.startsWith(u".zshrc"_s) ? sandbox.homePath(u".zshrc"_s)
        : file == u".p10k.zsh"_s                      ? sandbox.homePath(u".p10k.zsh"_s)
                                                      : SetupConfig::fileURL();
    std::unique_ptr<SmallDisk> disk;
    if (tmpfs) {
        disk = SmallDisk::mount(QFileInfo(path).path(), 256);
        if (!disk)
            QSKIP("mounting a tmpfs needs root");
    }
    QDir().mkpath(sandbox.homePath(u".oh-my-zsh"_s));
    const QByteArray original = file == u"config.json"_s ? SetupConfig::defaults().toJson()
        : file == u".p10k.zsh"_s ? QByteArray("  typeset -g POWERLEVEL9K_INSTANT_PROMPT=verbose\n# mine \xc3\xa9\n")
                                 : QByteArray("plugins=(git)\n# mine \xc3\xa9\n");
    Sandbox::writeFile(path, original);
    SetupConfig config = emptyConfig();
    config.plugins = { u"git"_s, u"docker"_s };
    config.aliases = { KeyValue::make(u"ll"_s, u"ls -la"_s) };
    if (!disk) {
        Files::setWriteFault(
            [&](const QString &written) { return written == path ? std::optional(reason) : std::nullopt; });
    } else if (reason.startsWith(u"No space"_s)) {
        disk->fill();
    } else {
        disk->makeReadOnly();
    }
    const auto off = qScopeGuard([] { Files::setWriteFault({}); });

    TestRunContext context;
    QString failure;
    if (file == u".zshrc blocks"_s) {
        try {
            ShellSteps::applyShellBlocks(context, config);
        } catch (const Error &error) {
            failure = error.description();
        }
    } else if (file == u".zshrc plugins"_s) {
        failure = runTask(ShellSteps::installOhMyZsh(context, config)).failure;
    } else if (file == u".p10k.zsh"_s) {
        P10kOptions options;
        options.instantPrompt = u"off"_s;
        QVERIFY(!options.write());
    } else {
        config.gitName = u"Changed"_s;
        failure = config.save().value_or(QString());
    }
    // A real disk's reason comes from the system in its own words; it must still say which.
    if (file != u".p10k.zsh"_s) {
        QVERIFY2(failure.startsWith(path + u": "_s), qPrintable(failure));
        QVERIFY2(failure.contains(reason, Qt::CaseInsensitive), qPrintable(failure));
    }
    QCOMPARE(Sandbox::readFile(path), original);
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden).filter(u".lock"_s), QStringList());
}

void TestSetupSteps::macOSDefaults()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installDefaults();
    fakes.installKillall();
    const SetupConfig config = SetupConfig::defaults();
    TestRunContext context;
    QR_AWAIT_VOID(PreferenceSteps::applyMacOSDefaults(context, config));
    const QList<QStringList> writes = sandbox.calls(u"/usr/bin/defaults"_s);
    QCOMPARE(writes.size(), config.defaultsEntries().size());
    QCOMPARE(writes.first(), (QStringList{ u"write"_s, u"com.apple.dock"_s, u"autohide"_s, u"-bool"_s, u"true"_s }));
    QCOMPARE(writes.at(2), (QStringList{ u"write"_s, u"com.apple.dock"_s, u"tilesize"_s, u"-int"_s, u"48"_s }));
    QVERIFY(context.log.startsWith(u"$ defaults write com.apple.dock autohide -bool true\n"_s));
    QCOMPARE(fakes.defaultsValue(u"com.apple.dock"_s, u"autohide"_s), u"1"_s);
    QCOMPARE(sandbox.calls(u"/usr/bin/killall"_s), (QList<QStringList>{ { u"Dock"_s }, { u"Finder"_s } }));
    QVERIFY(context.log.endsWith(u"$ killall Dock\n$ killall Finder\n"_s));

    sandbox.removeTool(u"/usr/bin/killall"_s);
    TestRunContext noKillall;
    const Outcome outcome = runTask(PreferenceSteps::applyMacOSDefaults(noKillall, config));
    QVERIFY2(outcome.failure.startsWith(u"Could not launch"_s), qPrintable(outcome.failure));
}

void TestSetupSteps::macOSDefaultsAllFailing()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installDefaults();
    fakes.installKillall();
    fakes.setDefaultsWritesFail(true);
    SetupConfig config = SetupConfig::defaults();
    config.finder.viewStyle.clear();
    TestRunContext context;
    const Outcome outcome = runTask(PreferenceSteps::applyMacOSDefaults(context, config));
    QCOMPARE(outcome.failure, u"14 settings could not be written."_s);
    QCOMPARE(sandbox.calls(u"/usr/bin/defaults"_s).size(), 14);
    QCOMPARE(sandbox.calls(u"/usr/bin/killall"_s), (QList<QStringList>{ { u"Dock"_s }, { u"Finder"_s } }));
}

void TestSetupSteps::gitSettings()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    SetupConfig config = emptyConfig();
    config.gitName = u"Ada Lovelace"_s;
    config.gitEmail = u"ada@example.org"_s;
    config.gitAliases = { KeyValue::make(QString(), u"status"_s), KeyValue::make(u"co"_s, u"checkout"_s),
        KeyValue::make(u"nothing"_s, QString()) };
    config.gitSettings = { KeyValue::make(u"core.editor"_s, u"code --wait"_s), KeyValue::make(QString(), u"x"_s) };
    TestRunContext context;
    QR_AWAIT_VOID(PreferenceSteps::applyGit(context, config));
    QCOMPARE(context.log,
        u"$ git config --global user.name Ada Lovelace\n"
        u"$ git config --global user.email ada@example.org\n"
        u"$ git config --global alias.co checkout\n"
        u"$ git config --global alias.nothing \n"
        u"$ git config --global core.editor code --wait\n"_s);
    QCOMPARE(gitGet(sandbox, u"user.name"_s), u"Ada Lovelace"_s);
    QCOMPARE(gitGet(sandbox, u"alias.co"_s), u"checkout"_s);
    QCOMPARE(gitGet(sandbox, u"core.editor"_s), u"code --wait"_s);

    // An empty name leaves the stored one alone.
    config.gitName.clear();
    TestRunContext again;
    QR_AWAIT_VOID(PreferenceSteps::applyGit(again, config));
    QCOMPARE(gitGet(sandbox, u"user.name"_s), u"Ada Lovelace"_s);
    QVERIFY(!again.log.contains(u"user.name"_s));
}

void TestSetupSteps::gitIdentityWarning()
{
    Sandbox sandbox;
    TestRunContext context;
    Outcome outcome = runTask(PreferenceSteps::applyGit(context, emptyConfig()));
    QCOMPARE(outcome.failure, gitMissing);

    SetupFakes fakes(sandbox);
    fakes.installGit();
    SetupConfig config = emptyConfig();
    config.gitEmail = u"ada@example.org"_s;
    QR_AWAIT_VOID(PreferenceSteps::applyGit(context, config));
    QCOMPARE(context.log,
        u"$ git config --global user.email ada@example.org\n"
        u"⚠︎ git user.name / user.email are not set — commits will fail until you set them.\n"_s);
}

void TestSetupSteps::gitFailureStopsTheStep()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    SetupConfig config = emptyConfig();
    config.gitSettings = { KeyValue::make(u"pull.rebase"_s, u"true"_s), KeyValue::make(u"not a key"_s, u"x"_s),
        KeyValue::make(u"core.editor"_s, u"vim"_s) };
    TestRunContext context;
    const Outcome outcome = runTask(PreferenceSteps::applyGit(context, config));
    QVERIFY2(outcome.failure.startsWith(u"git exited with status "_s), qPrintable(outcome.failure));
    QCOMPARE(gitGet(sandbox, u"pull.rebase"_s), u"true"_s);
    QCOMPARE(gitGet(sandbox, u"core.editor"_s), QString());
}

void TestSetupSteps::gitValuesNeverReachAShell()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installGit();
    const QString target = sandbox.homePath(u"pwned"_s);
    SetupConfig config = emptyConfig();
    config.gitName = u"$(touch "_s + target + u")"_s;
    config.gitEmail = u"`touch "_s + target + u"`; touch "_s + target;
    config.gitAliases = { KeyValue::make(u"x"_s, u"log; touch "_s + target + u" && echo $HOME"_s) };
    TestRunContext context;
    QR_AWAIT_VOID(PreferenceSteps::applyGit(context, config));
    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(gitGet(sandbox, u"user.name"_s), config.gitName);
    QCOMPARE(gitGet(sandbox, u"user.email"_s), config.gitEmail);
    QCOMPARE(gitGet(sandbox, u"alias.x"_s), config.gitAliases.first().value);
    QCOMPARE(sandbox.calls(u"/opt/homebrew/bin/git"_s).first(),
        (QStringList{ u"config"_s, u"--global"_s, u"user.name"_s, config.gitName }));
}

void TestSetupSteps::sshKey_data()
{
    QTest::addColumn<QString>("keyFile");
    QTest::addColumn<QString>("comment");
    QTest::addColumn<QString>("expandedRelative"); // to the home folder
    QTest::newRow("no comment: six arguments") << u"~/.ssh/id_ed25519"_s << QString() << u".ssh/id_ed25519"_s;
    QTest::newRow("comment: eight arguments") << u"~/.ssh/id_ed25519"_s << u"me@mac"_s << u".ssh/id_ed25519"_s;
    QTest::newRow("a comment with shell text stays one argument")
        << u"~/keys/deep/work"_s << u"me; touch pwned $(touch pwned2)"_s << u"keys/deep/work"_s;
}

void TestSetupSteps::sshKey()
{
    QFETCH(QString, keyFile);
    QFETCH(QString, comment);
    QFETCH(QString, expandedRelative);
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installSsh();
    SetupConfig config = emptyConfig();
    config.sshKeyFile = keyFile;
    config.sshComment = comment;
    const QString keyPath = sandbox.homePath(expandedRelative);
    TestRunContext context;
    QR_AWAIT_VOID(PreferenceSteps::createSSHKey(context, config));

    QStringList arguments{ u"-t"_s, u"ed25519"_s, u"-f"_s, keyPath, u"-N"_s, QString() };
    if (!comment.isEmpty())
        arguments << u"-C"_s << comment;
    QCOMPARE(sandbox.calls(u"/usr/bin/ssh-keygen"_s), QList<QStringList>{ arguments });
    QCOMPARE(sandbox.calls(u"/usr/bin/ssh-add"_s), QList<QStringList>{ { keyPath } });
    QCOMPARE(mode(QFileInfo(keyPath).path()), 0700);
    const QByteArray publicKey = Sandbox::readFile(keyPath + u".pub"_s);
    QVERIFY(publicKey.startsWith("ssh-ed25519 "));
    QVERIFY(publicKey.trimmed().endsWith(comment.toUtf8()));
    QVERIFY(context.log.contains(
        u"\nPublic key:\n"_s + QString::fromUtf8(publicKey) + u"\n$ ssh-add "_s + keyPath + u'\n'));
    QVERIFY(!QFileInfo::exists(sandbox.homePath(u"pwned"_s)));
    QCOMPARE(QDir(sandbox.home()).entryList({ u"pwned*"_s }), QStringList());
}

void TestSetupSteps::sshKeyIsNeverOverwritten()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installSsh();
    const QString keyPath = sandbox.homePath(u".ssh/id_ed25519"_s);
    Sandbox::writeFile(keyPath, "my precious key\n");
    // An existing folder keeps its permissions.
    QFile::setPermissions(QFileInfo(keyPath).path(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup);
    SetupConfig config = emptyConfig();
    TestRunContext context;
    QR_AWAIT_VOID(PreferenceSteps::createSSHKey(context, config));
    QCOMPARE(mode(QFileInfo(keyPath).path()), 0750);
    QCOMPARE(context.log, u"SSH key already exists: "_s + keyPath + u'\n');
    QCOMPARE(Sandbox::readFile(keyPath), QByteArray("my precious key\n"));
    QVERIFY(sandbox.calls(u"/usr/bin/ssh-keygen"_s).isEmpty());
    QVERIFY(sandbox.calls(u"/usr/bin/ssh-add"_s).isEmpty());

    // A dangling link at the key path counts as a key too.
    QFile::remove(keyPath);
    QVERIFY(QFile::link(sandbox.homePath(u"elsewhere/key"_s), keyPath));
    QR_AWAIT_VOID(PreferenceSteps::createSSHKey(context, config));
    QVERIFY(sandbox.calls(u"/usr/bin/ssh-keygen"_s).isEmpty());
    QVERIFY(!QFileInfo::exists(sandbox.homePath(u"elsewhere/key"_s)));

    // A key type ssh-keygen does not know fails with its status.
    config.sshKeyFile = u"~/.ssh/other"_s;
    config.sshKeyType = u"nonsense"_s;
    const Outcome outcome = runTask(PreferenceSteps::createSSHKey(context, config));
    QVERIFY2(outcome.failure.startsWith(u"ssh-keygen exited with status "_s), qPrintable(outcome.failure));
    QVERIFY(sandbox.calls(u"/usr/bin/ssh-add"_s).isEmpty());
}

QTEST_GUILESS_MAIN(TestSetupSteps)
#include "tst_setupsteps.moc"
