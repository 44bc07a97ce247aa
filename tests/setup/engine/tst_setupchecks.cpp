#include "AsyncTest.h"
#include "Sandbox.h"
#include "SetupFakes.h"
#include "TestConfigs.h"
#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"
#include "setup/engine/OhMyZshInfo.h"
#include "setup/engine/P10kInfo.h"
#include "setup/engine/SetupChecks.h"
#include "setup/engine/SetupTools.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

Q_DECLARE_METATYPE(StepState)
Q_DECLARE_METATYPE(DefaultsEntry::Kind)

namespace {

KeyValue row(const QString &key, const QString &value)
{
    return KeyValue::make(key, value);
}

void makeDir(const QString &path)
{
    QVERIFY(QDir().mkpath(path));
}

StepState check(SetupComponent component, const SetupConfig &config)
{
    auto outcome = runTask(SetupChecks::checkStatus(component, config));
    if (!outcome.ok())
        qFatal("check failed: %s", qPrintable(outcome.failure));
    return *outcome.value;
}

QString stateText(const StepState &state)
{
    static const char *const kinds[] = { "done", "partial", "missing", "notApplicable", "unknown" };
    return QString::fromLatin1(kinds[int(state.kind)]) + u"("_s + state.text + u')';
}

#define COMPARE_STATE(actual, expected) QCOMPARE(stateText(actual), stateText(expected))

} // namespace

class TestSetupChecks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void summary_data();
    void summary();
    void defaultsValue_data();
    void defaultsValue();
    void toolRunnerTexts();
    void toolEnvironmentOnTheRealMachine();
    void toolEnvironmentInTheSandbox();

    void p10kCompare_data();
    void p10kCompare();
    void p10kDetect();
    void ohMyZshDetect();

    void commandLineTools_data();
    void commandLineTools();
    void findGit_data();
    void findGit();

    void iTerm_data();
    void iTerm();
    void ohMyZsh_data();
    void ohMyZsh();
    void powerlevel10k_data();
    void powerlevel10k();
    void shell_data();
    void shell();
    void macOS();
    void git();
    void ssh_data();
    void ssh();
    void simpleComponents();
};

void TestSetupChecks::summary_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << QStringList() << QString();
    QTest::newRow("one") << QStringList{ u"a"_s } << u"a"_s;
    QTest::newRow("three") << QStringList{ u"a"_s, u"b"_s, u"c"_s } << u"a, b, c"_s;
    QTest::newRow("four") << QStringList{ u"a"_s, u"b"_s, u"c"_s, u"d"_s } << u"a, b, c +1 more"_s;
    QTest::newRow("seven") << QStringList{ u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s }
                           << u"a, b, c +4 more"_s;
}

void TestSetupChecks::summary()
{
    QFETCH(QStringList, items);
    QFETCH(QString, expected);
    QCOMPARE(SetupChecks::summary(items), expected);
}

void TestSetupChecks::defaultsValue_data()
{
    QTest::addColumn<DefaultsEntry::Kind>("kind");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<bool>("matches");
    using K = DefaultsEntry::Kind;
    QTest::newRow("bool 1 true") << K::boolean << u"1"_s << u"true"_s << true;
    QTest::newRow("bool 0 false") << K::boolean << u"0"_s << u"false"_s << true;
    QTest::newRow("bool true true") << K::boolean << u"true"_s << u"true"_s << true;
    QTest::newRow("bool 1 false") << K::boolean << u"1"_s << u"false"_s << false;
    QTest::newRow("bool yes true") << K::boolean << u"YES"_s << u"true"_s << false;
    QTest::newRow("bool garbage false") << K::boolean << u"maybe"_s << u"false"_s << true;
    QTest::newRow("int equal") << K::integer << u"48"_s << u"48"_s << true;
    QTest::newRow("int differs") << K::integer << u"64"_s << u"48"_s << false;
    QTest::newRow("int as float text") << K::integer << u"48.0"_s << u"48"_s << true;
    QTest::newRow("float zero") << K::floating << u"0"_s << u"0"_s << true;
    QTest::newRow("float exponent") << K::floating << u"1e3"_s << u"1000"_s << true;
    QTest::newRow("float fraction") << K::floating << u"0.5"_s << u".5"_s << true;
    QTest::newRow("output unparsable, wanted parses") << K::integer << u"abc"_s << u"48"_s << false;
    QTest::newRow("both unparsable") << K::integer << u"abc"_s << u"xyz"_s << true;
    QTest::newRow("output parses, wanted not") << K::floating << u"1"_s << u"x"_s << false;
    QTest::newRow("hex is not decimal") << K::integer << u"0x10"_s << u"16"_s << false;
    QTest::newRow("inf is not decimal") << K::floating << u"inf"_s << u"1"_s << false;
    QTest::newRow("string equal") << K::string << u"Nlsv"_s << u"Nlsv"_s << true;
    QTest::newRow("string case differs") << K::string << u"nlsv"_s << u"Nlsv"_s << false;
}

void TestSetupChecks::defaultsValue()
{
    QFETCH(DefaultsEntry::Kind, kind);
    QFETCH(QString, output);
    QFETCH(QString, wanted);
    QFETCH(bool, matches);
    QCOMPARE(SetupChecks::defaultsValueMatches(kind, output, wanted), matches);
}

void TestSetupChecks::toolRunnerTexts()
{
    QCOMPARE(SetupTools::commandLine(u"/usr/bin/xcode-select"_s, { u"--install"_s }), u"$ xcode-select --install\n"_s);
    // An empty argument shows as nothing between two spaces.
    QCOMPARE(SetupTools::commandLine(u"/x/usr/bin/ssh-keygen"_s, { u"-N"_s, QString(), u"-C"_s, u"me"_s }),
        u"$ ssh-keygen -N  -C me\n"_s);
    QCOMPARE(SetupTools::exitStatusError(u"/usr/sbin/softwareupdate"_s, 1).description(),
        u"softwareupdate exited with status 1"_s);
}

void TestSetupChecks::toolEnvironmentOnTheRealMachine()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) {
        settings.systemRoot.clear();
        settings.environment.insert(u"PATH"_s, u"/usr/bin:/bin"_s);
        settings.environment.insert(u"KEEP_ME"_s, u"1"_s);
    });
    const QProcessEnvironment environment = SetupTools::toolEnvironment();
    QCOMPARE(environment.value(u"PATH"_s),
        u"/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:/usr/bin:/bin"_s);
    QCOMPARE(environment.value(u"KEEP_ME"_s), u"1"_s);

    sandbox.configure([](Platform::Settings &settings) { settings.environment.remove(u"PATH"_s); });
    QCOMPARE(SetupTools::toolEnvironment().value(u"PATH"_s),
        u"/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:"_s);
}

void TestSetupChecks::toolEnvironmentInTheSandbox()
{
    Sandbox sandbox;
    const QString path = SetupTools::toolEnvironment().value(u"PATH"_s);
    QVERIFY2(
        path.startsWith(sandbox.systemPath(u"/opt/homebrew/bin"_s) + u':' + sandbox.systemPath(u"/usr/local/bin"_s)),
        qPrintable(path));
    QVERIFY(path.endsWith(u':' + sandbox.settings().environment.value(u"PATH"_s)));
}

void TestSetupChecks::p10kCompare_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QList<QStringList>>("presets"); // {style, text}
    QTest::addColumn<std::optional<QString>>("style");
    QTest::addColumn<bool>("customized");

    QList<QStringList> presets;
    for (const QString &style : { u"lean"_s, u"classic"_s, u"rainbow"_s, u"pure"_s })
        presets.append({ style, QString::fromUtf8(SetupFakes::presetText(style)) });
    const QString classic = presets[1][1];
    const qsizetype size = P10kInfo::lineSet(classic).size();
    // Detected while the difference stays strictly below 35 % of the preset's line count.
    const int mostExtra = int(std::ceil(0.35 * double(size))) - 1;
    auto withExtraLines = [&](int count) {
        QString text = classic;
        for (int i = 0; i < count; ++i)
            text += u"typeset -g MY_SETTING_%1=1\n"_s.arg(i);
        return text;
    };

    QTest::newRow("preset as shipped") << classic << presets << std::optional(u"classic"_s) << false;
    QString reshaped = classic;
    reshaped.replace(u"\n"_s, u"\r\n\n  "_s);
    reshaped += u"\t"_s + classic.section(u'\n', 3, 3) + u"\n"_s;
    QTest::newRow("blank lines, indentation, CRLF and duplicates do not count")
        << reshaped << presets << std::optional(u"classic"_s) << false;
    QTest::newRow("a few own lines") << withExtraLines(3) << presets << std::optional(u"classic"_s) << true;
    QTest::newRow("just under 35 %") << withExtraLines(mostExtra) << presets << std::optional(u"classic"_s) << true;
    QTest::newRow("at 35 %") << withExtraLines(mostExtra + 1) << presets << std::optional<QString>() << false;
    QTest::newRow("no presets") << classic << QList<QStringList>() << std::optional<QString>() << false;

    const QList<QStringList> tied{ { u"lean"_s, u"a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nlean-only\n"_s },
        { u"classic"_s, u"a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nclassic-only\n"_s } };
    QTest::newRow("a tie keeps the earlier style")
        << u"a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n"_s << tied << std::optional(u"lean"_s) << true;
}

void TestSetupChecks::p10kCompare()
{
    QFETCH(QString, config);
    QFETCH(QList<QStringList>, presets);
    QFETCH(std::optional<QString>, style);
    QFETCH(bool, customized);
    QList<std::pair<QString, QString>> pairs;
    for (const QStringList &preset : std::as_const(presets))
        pairs.append({ preset[0], preset[1] });
    const P10kInfo info = P10kInfo::compare(config, pairs);
    QVERIFY(info.configExists);
    QCOMPARE(info.detectedStyle, style);
    QCOMPARE(info.customized, customized);
}

void TestSetupChecks::p10kDetect()
{
    Sandbox sandbox;
    QR_AWAIT(nothing, P10kInfo::detect());
    QCOMPARE(nothing, P10kInfo{});

    const QString presets = sandbox.homePath(u".oh-my-zsh/custom/themes/powerlevel10k/config/"_s);
    for (const QString &style : { u"lean"_s, u"classic"_s, u"rainbow"_s, u"pure"_s })
        Sandbox::writeFile(presets + u"p10k-"_s + style + u".zsh"_s, SetupFakes::presetText(style));
    Sandbox::writeFile(sandbox.homePath(u".p10k.zsh"_s),
        "# Generated by Powerlevel10k configuration wizard on 2024-05-01.\n" + SetupFakes::presetText(u"rainbow"_s));
    QR_AWAIT(rainbow, P10kInfo::detect());
    QCOMPARE(rainbow, (P10kInfo{ true, u"rainbow"_s, true, true }));

    // An unreadable preset is skipped, not taken as empty.
    QFile::remove(presets + u"p10k-rainbow.zsh"_s);
    Sandbox::writeFile(presets + u"p10k-rainbow.zsh"_s, "\xff\xfe not text");
    QR_AWAIT(withoutPreset, P10kInfo::detect());
    QCOMPARE(withoutPreset.detectedStyle, std::nullopt);

    // A prompt file that is not UTF-8 counts as absent.
    Sandbox::writeFile(sandbox.homePath(u".p10k.zsh"_s), "typeset \xc3\x28\n");
    QR_AWAIT(invalid, P10kInfo::detect());
    QCOMPARE(invalid, P10kInfo{});
}

void TestSetupChecks::ohMyZshDetect()
{
    Sandbox sandbox;
    QR_AWAIT(absent, OhMyZshInfo::detect());
    QCOMPARE(absent, OhMyZshInfo{});

    for (const char *dir :
        { "plugins/git", "plugins/docker", "plugins/.hidden", "custom/plugins/example", "custom/plugins/mine" })
        makeDir(sandbox.homePath(u".oh-my-zsh/"_s + QLatin1StringView(dir)));
    Sandbox::writeFile(sandbox.homePath(u".oh-my-zsh/plugins/notes.txt"_s), "a file, not a plugin\n");
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s),
        "# plugins=(commented out)\nplugins=(\n  git  # the basics\n  mine\n  zsh-autosuggestions\n)\n");
    QR_AWAIT(info, OhMyZshInfo::detect());
    QCOMPARE(info.installed, true);
    QCOMPARE(info.bundled, (QStringList{ u"docker"_s, u"git"_s }));
    QCOMPARE(info.custom, QStringList{ u"mine"_s });
    QCOMPARE(info.enabled, (QStringList{ u"git"_s, u"mine"_s, u"zsh-autosuggestions"_s }));
    QCOMPARE(info.source(u"git"_s), OhMyZshInfo::Source::bundled);
    QCOMPARE(info.source(u"mine"_s), OhMyZshInfo::Source::custom);
    QCOMPARE(info.source(u"zsh-syntax-highlighting"_s), OhMyZshInfo::Source::notInstalled);
    QCOMPARE(info.source(u"example"_s), OhMyZshInfo::Source::notFound);
}

void TestSetupChecks::commandLineTools_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no xcode-select at all
    QTest::addColumn<bool>("installed");
    QTest::newRow("no xcode-select") << QByteArray() << false;
    QTest::newRow("prints an existing folder") << QByteArray("echo \"$HOME\"\n") << true;
    QTest::newRow("prints a missing folder") << QByteArray("echo /nowhere/at/all\n") << false;
    QTest::newRow("prints nothing") << QByteArray("echo '  '\n") << false;
    QTest::newRow("fails") << QByteArray("echo \"$HOME\"; exit 2\n") << false;
}

void TestSetupChecks::commandLineTools()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, installed);
    Sandbox sandbox;
    if (!script.isEmpty())
        sandbox.addScript(u"/usr/bin/xcode-select"_s, script);
    QR_AWAIT(result, SetupChecks::commandLineToolsInstalled());
    QCOMPARE(result, installed);
    if (!script.isEmpty())
        QCOMPARE(sandbox.calls(u"/usr/bin/xcode-select"_s), QList<QStringList>{ { u"-p"_s } });
}

void TestSetupChecks::findGit_data()
{
    QTest::addColumn<QStringList>("gits");
    QTest::addColumn<bool>("toolsInstalled");
    QTest::addColumn<QString>("expected"); // empty: none
    QTest::newRow("Homebrew first") << QStringList{ u"/opt/homebrew/bin/git"_s, u"/usr/local/bin/git"_s,
        u"/usr/bin/git"_s } << true << u"/opt/homebrew/bin/git"_s;
    QTest::newRow("then /usr/local") << QStringList{ u"/usr/local/bin/git"_s, u"/usr/bin/git"_s } << true
                                     << u"/usr/local/bin/git"_s;
    QTest::newRow("system git with the tools") << QStringList{ u"/usr/bin/git"_s } << true << u"/usr/bin/git"_s;
    QTest::newRow("system stub without the tools") << QStringList{ u"/usr/bin/git"_s } << false << QString();
    QTest::newRow("none") << QStringList() << true << QString();
}

void TestSetupChecks::findGit()
{
    QFETCH(QStringList, gits);
    QFETCH(bool, toolsInstalled);
    QFETCH(QString, expected);
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect();
    fakes.setCommandLineToolsInstalled(toolsInstalled);
    for (const QString &git : std::as_const(gits))
        sandbox.addTool(git, {});
    QR_AWAIT(found, SetupChecks::findGit());
    QCOMPARE(found.value_or(QString()), expected.isEmpty() ? QString() : sandbox.systemPath(expected));
    // The stub in /usr/bin is never run by a check.
    QVERIFY(sandbox.calls(u"/usr/bin/git"_s).isEmpty());
}

void TestSetupChecks::iTerm_data()
{
    QTest::addColumn<QString>("app"); // system path or home path of iTerm.app; empty: none
    QTest::addColumn<QString>("font"); // empty: none; "unreadable": a Fonts folder that cannot be read
    QTest::addColumn<StepState>("expected");
    QTest::newRow("both") << u"/Applications/iTerm.app"_s << u"MesloLGS NF Regular.ttf"_s
                          << StepState::done(u"iTerm2 and Meslo Nerd Font installed"_s);
    QTest::newRow("app under ~/Applications, font in lower case")
        << u"~/Applications/iTerm.app"_s << u"meslolgs-nf-bold.ttf"_s
        << StepState::done(u"iTerm2 and Meslo Nerd Font installed"_s);
    QTest::newRow("font only") << QString() << u"MesloLGS NF Italic.ttf"_s
                               << StepState::partial(u"Nerd Font installed, iTerm2 missing"_s);
    QTest::newRow("unreadable fonts folder") << u"/Applications/iTerm.app"_s << u"unreadable"_s
                                             << StepState::partial(u"iTerm2 installed, Nerd Font missing"_s);
    QTest::newRow("other fonts only") << u"/Applications/iTerm.app"_s << u"Menlo.ttc"_s
                                      << StepState::partial(u"iTerm2 installed, Nerd Font missing"_s);
    QTest::newRow("neither") << QString() << QString() << StepState::missing(u"Not installed"_s);
}

void TestSetupChecks::iTerm()
{
    QFETCH(QString, app);
    QFETCH(QString, font);
    QFETCH(StepState, expected);
    Sandbox sandbox;
    if (app.startsWith(u"~/"_s))
        makeDir(sandbox.homePath(app.mid(2)));
    else if (!app.isEmpty())
        makeDir(sandbox.systemPath(app));
    const QString fonts = sandbox.homePath(u"Library/Fonts"_s);
    if (font == u"unreadable"_s) {
        // Tests may run as root, for whom permissions do not stop reading: a file where the
        // folder should be cannot be listed either.
        Sandbox::writeFile(fonts, "MesloLGS");
    } else if (!font.isEmpty()) {
        Sandbox::writeFile(fonts + u'/' + font, "font");
    }
    COMPARE_STATE(check(SetupComponent::iterm2, SetupConfig::defaults()), expected);
}

void TestSetupChecks::ohMyZsh_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QStringList>("configured");
    QTest::addColumn<QStringList>("present"); // folders under custom/plugins
    QTest::addColumn<QString>("zshrc");
    QTest::addColumn<StepState>("expected");
    QTest::newRow("not installed") << false << QStringList{ u"git"_s } << QStringList() << u"plugins=(git)\n"_s
                                   << StepState::missing(u"Not installed"_s);
    QTest::newRow("counts the names of the statement, not the configured ones")
        << true << QStringList{ u"git"_s, u"zsh-autosuggestions"_s } << QStringList{ u"zsh-autosuggestions"_s }
        << u"plugins=(git docker zsh-autosuggestions)\n"_s << StepState::done(u"3 plugins enabled in ~/.zshrc"_s);
    QTest::newRow("one plugin takes the singular")
        << true << QStringList{ u"git"_s } << QStringList() << u"plugins=(git)\n"_s
        << StepState::done(u"1 plugin enabled in ~/.zshrc"_s);
    QTest::newRow("seven not enabled") << true << QStringList{ u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s }
                                       << QStringList() << u"plugins=(git)\n"_s
                                       << StepState::partial(u"To enable: a, b, c +4 more"_s);
    QTest::newRow("enabled but not downloaded")
        << true << QStringList{ u"git"_s, u"zsh-syntax-highlighting"_s } << QStringList()
        << u"plugins=(git zsh-syntax-highlighting)\n"_s << StepState::partial(u"To enable: zsh-syntax-highlighting"_s);
    QTest::newRow("not enabled first, then absent, without repeats")
        << true << QStringList{ u"zsh-autosuggestions"_s, u"fzf"_s, u"zsh-syntax-highlighting"_s } << QStringList()
        << u"plugins=(zsh-syntax-highlighting)\n"_s
        << StepState::partial(u"To enable: zsh-autosuggestions, fzf, zsh-syntax-highlighting"_s);
    QTest::newRow("no statement") << true << QStringList{ u"git"_s } << QStringList() << u"# nothing\n"_s
                                  << StepState::partial(u"To enable: git"_s);
}

void TestSetupChecks::ohMyZsh()
{
    QFETCH(bool, installed);
    QFETCH(QStringList, configured);
    QFETCH(QStringList, present);
    QFETCH(QString, zshrc);
    QFETCH(StepState, expected);
    Sandbox sandbox;
    if (installed)
        makeDir(sandbox.homePath(u".oh-my-zsh/plugins/git"_s));
    for (const QString &plugin : std::as_const(present))
        makeDir(sandbox.homePath(u".oh-my-zsh/custom/plugins/"_s + plugin));
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), zshrc.toUtf8());
    SetupConfig config = emptyConfig();
    config.plugins = configured;
    COMPARE_STATE(check(SetupComponent::ohMyZsh, config), expected);
}

void TestSetupChecks::powerlevel10k_data()
{
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("zshrc");
    QTest::addColumn<bool>("promptFile");
    QTest::addColumn<QString>("style");
    QTest::addColumn<StepState>("expected");
    const QString theme = u".oh-my-zsh/custom/themes/powerlevel10k"_s;
    const QString active = u"ZSH_THEME=\"powerlevel10k/powerlevel10k\"\n"_s;
    QTest::newRow("no Oh My Zsh") << QStringList() << active << true << u"classic"_s
                                  << StepState::missing(u"Requires Oh My Zsh"_s);
    QTest::newRow("no theme") << QStringList{ u".oh-my-zsh"_s } << active << true << u"classic"_s
                              << StepState::missing(u"Not installed"_s);
    QTest::newRow("other theme") << QStringList{ theme } << u"ZSH_THEME=\"robbyrussell\"\n"_s << true << u"classic"_s
                                 << StepState::partial(u"Installed, theme not active"_s);
    QTest::newRow("other theme, no style") << QStringList{ theme } << u"# none\n"_s << false << QString()
                                           << StepState::partial(u"Installed, theme not active"_s);
    QTest::newRow("no style needs no prompt file")
        << QStringList{ theme } << active << false << QString() << StepState::done(u"Theme active"_s);
    QTest::newRow("style without prompt file")
        << QStringList{ theme } << active << false << u"lean"_s << StepState::partial(u"Prompt style not applied"_s);
    QTest::newRow("style with prompt file") << QStringList{ theme } << u"ZSH_THEME='powerlevel10k/powerlevel10k'\n"_s
                                            << true << u"lean"_s << StepState::done(u"Theme active"_s);
}

void TestSetupChecks::powerlevel10k()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, zshrc);
    QFETCH(bool, promptFile);
    QFETCH(QString, style);
    QFETCH(StepState, expected);
    Sandbox sandbox;
    for (const QString &folder : std::as_const(folders))
        makeDir(sandbox.homePath(folder));
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), zshrc.toUtf8());
    if (promptFile)
        Sandbox::writeFile(sandbox.homePath(u".p10k.zsh"_s), "# prompt\n");
    SetupConfig config = emptyConfig();
    config.p10kStyle = style;
    COMPARE_STATE(check(SetupComponent::powerlevel10k, config), expected);
}

void TestSetupChecks::shell_data()
{
    QTest::addColumn<QList<QStringList>>("aliases");
    QTest::addColumn<QList<QStringList>>("environment");
    QTest::addColumn<QString>("extras");
    QTest::addColumn<QString>("zshrc");
    QTest::addColumn<StepState>("expected");

    const QList<QStringList> aliases{ { u"ll"_s, u"ls -la"_s }, { u"gs"_s, u"git status"_s }, { QString(), u"x"_s },
        { u"g st"_s, u"git status"_s } };
    const QString aliasBlock = Zshrc::aliasesBlock.start + u"\nalias gs='git status'\n  alias ll='ls -la'\n\n"_s
        + Zshrc::aliasesBlock.end + u'\n';
    const QList<QStringList> environment{ { u"EDITOR"_s, u"vim"_s }, { QString(), QString() } };
    const QString environmentBlock
        = Zshrc::environmentBlock.start + u"\nexport EDITOR=\"vim\"\n"_s + Zshrc::environmentBlock.end + u'\n';

    QTest::newRow("nothing configured") << QList<QStringList>() << QList<QStringList>{ { QString(), u"v"_s } }
                                        << u"  \n"_s << aliasBlock << StepState::notApplicable(u"Nothing configured"_s);
    QTest::newRow("aliases only, other order, rows the writer skips not counted")
        << aliases << QList<QStringList>() << QString() << u"# mine\n"_s + aliasBlock
        << StepState::done(u"2 aliases, 0 variables"_s);
    QTest::newRow("both blocks") << aliases << environment << QString() << aliasBlock + environmentBlock
                                 << StepState::done(u"2 aliases, 1 variable"_s);
    QTest::newRow("one of two matches") << aliases << environment << QString() << aliasBlock
                                        << StepState::partial(u"Differs from your settings"_s);
    QTest::newRow("none matches, aliases block present")
        << aliases << environment << QString()
        << Zshrc::aliasesBlock.start + u"\nalias ll='ls'\n"_s + Zshrc::aliasesBlock.end + u'\n'
        << StepState::partial(u"Differs from your settings"_s);
    QTest::newRow("none present") << aliases << environment << u"setopt autocd"_s << u"alias ll='ls -la'\n"_s
                                  << StepState::missing(u"Not configured"_s);
    QTest::newRow("extras block") << QList<QStringList>() << QList<QStringList>() << u"setopt autocd\n\n bindkey -e"_s
                                  << Zshrc::extrasBlock.start + u"\nbindkey -e\nsetopt autocd\n"_s
            + Zshrc::extrasBlock.end + u'\n'
                                  << StepState::done(u"0 aliases, 0 variables"_s);
}

void TestSetupChecks::shell()
{
    QFETCH(QList<QStringList>, aliases);
    QFETCH(QList<QStringList>, environment);
    QFETCH(QString, extras);
    QFETCH(QString, zshrc);
    QFETCH(StepState, expected);
    Sandbox sandbox;
    Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), zshrc.toUtf8());
    SetupConfig config = emptyConfig();
    for (const QStringList &pair : std::as_const(aliases))
        config.aliases.append(row(pair[0], pair[1]));
    for (const QStringList &pair : std::as_const(environment))
        config.environment.append(row(pair[0], pair[1]));
    config.zshrcExtras = extras;
    COMPARE_STATE(check(SetupComponent::shell, config), expected);
}

void TestSetupChecks::macOS()
{
    Sandbox sandbox;
    const SetupConfig config = SetupConfig::defaults();
    const QList<DefaultsEntry> entries = config.defaultsEntries();
    COMPARE_STATE(check(SetupComponent::macOS, config), StepState::missing(u"Not applied"_s));

    SetupFakes fakes(sandbox);
    fakes.installDefaults();
    COMPARE_STATE(check(SetupComponent::macOS, config), StepState::missing(u"Not applied"_s));
    QCOMPARE(sandbox.calls(u"/usr/bin/defaults"_s).size(), entries.size());
    QCOMPARE(sandbox.calls(u"/usr/bin/defaults"_s).first(),
        (QStringList{ u"read"_s, entries.first().domain, entries.first().key }));

    // Stored the way the tool prints them: booleans as 1 and 0.
    for (const DefaultsEntry &entry : entries) {
        QString value = entry.value;
        if (entry.kind == DefaultsEntry::Kind::boolean)
            value = value == u"true"_s ? u"1"_s : u"0"_s;
        fakes.setDefaultsValue(entry.domain, entry.key, value);
    }
    COMPARE_STATE(check(SetupComponent::macOS, config),
        StepState::done(u"All "_s + QString::number(entries.size()) + u" settings applied"_s));

    fakes.setDefaultsValue(u"com.apple.dock"_s, u"tilesize"_s, u"64"_s);
    fakes.setDefaultsValue(u"com.apple.dock"_s, u"autohide-delay"_s, u"0.5"_s);
    fakes.setDefaultsValue(u"com.apple.finder"_s, u"FXPreferredViewStyle"_s, u"icnv"_s);
    fakes.setDefaultsValue(u"NSGlobalDomain"_s, u"KeyRepeat"_s, u"6"_s);
    COMPARE_STATE(check(SetupComponent::macOS, config),
        StepState::partial(u"Differs: autohide-delay, tilesize, FXPreferredViewStyle +1 more"_s));
}

void TestSetupChecks::git()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect();
    SetupConfig config = emptyConfig();
    COMPARE_STATE(check(SetupComponent::git, config), StepState::missing(u"Git not available yet"_s));

    sandbox.addScript(u"/opt/homebrew/bin/git"_s, "exec /usr/bin/git \"$@\"\n");
    COMPARE_STATE(check(SetupComponent::git, config), StepState::missing(u"User name / email not set"_s));

    auto gitSet = [&](const QString &key, const QString &value) {
        QProcess git;
        git.setProcessEnvironment(sandbox.settings().environment);
        git.start(u"/usr/bin/git"_s, { u"config"_s, u"--global"_s, key, value });
        QVERIFY(git.waitForFinished() && git.exitCode() == 0);
    };
    gitSet(u"user.name"_s, u"Ada Lovelace"_s);
    gitSet(u"user.email"_s, u"ada@example.org"_s);
    gitSet(u"alias.co"_s, u"checkout"_s);
    gitSet(u"pull.rebase"_s, u"true"_s);
    config.gitAliases = { row(u"co"_s, u"checkout"_s), row(QString(), u"ignored"_s) };
    config.gitSettings = { row(u"pull.rebase"_s, u"true"_s) };
    COMPARE_STATE(check(SetupComponent::git, config), StepState::done(u"Ada Lovelace <ada@example.org>"_s));

    config.gitName = u"Ada"_s;
    config.gitEmail = u"ada@example.org"_s;
    config.gitAliases = { row(u"co"_s, u"checkout -q"_s), row(u"st"_s, u"status"_s) };
    config.gitSettings = { row(u"pull.rebase"_s, u"false"_s), row(u"core.editor"_s, u"vim"_s) };
    COMPARE_STATE(
        check(SetupComponent::git, config), StepState::partial(u"Differs: user.name, alias.co, alias.st +2 more"_s));
}

void TestSetupChecks::ssh_data()
{
    QTest::addColumn<QString>("keyFile");
    QTest::addColumn<QString>("existing"); // relative to home; empty: none
    QTest::addColumn<StepState>("expected");
    QTest::newRow("missing, shown unexpanded")
        << u"~/.ssh/id_ed25519"_s << QString() << StepState::missing(u"No key at ~/.ssh/id_ed25519"_s);
    QTest::newRow("present, shown unexpanded")
        << u"~/.ssh/id_ed25519"_s << u".ssh/id_ed25519"_s << StepState::done(u"~/.ssh/id_ed25519"_s);
    QTest::newRow("relative path is in the home folder")
        << u"keys/work"_s << u"keys/work"_s << StepState::done(u"keys/work"_s);
    QTest::newRow("empty") << QString() << QString() << StepState::missing(u"No key at "_s);
}

void TestSetupChecks::ssh()
{
    QFETCH(QString, keyFile);
    QFETCH(QString, existing);
    QFETCH(StepState, expected);
    Sandbox sandbox;
    if (!existing.isEmpty())
        Sandbox::writeFile(sandbox.homePath(existing), "key");
    SetupConfig config = emptyConfig();
    config.sshKeyFile = keyFile;
    COMPARE_STATE(check(SetupComponent::ssh, config), expected);
}

void TestSetupChecks::simpleComponents()
{
    Sandbox sandbox;
    SetupFakes fakes(sandbox);
    fakes.installXcodeSelect();
    const SetupConfig config = SetupConfig::defaults();
    COMPARE_STATE(check(SetupComponent::xcode, config), StepState::missing(u"Not installed"_s));
    COMPARE_STATE(check(SetupComponent::rosetta, config), StepState::missing(u"Not installed"_s));
    fakes.setCommandLineToolsInstalled(true);
    Sandbox::writeFile(fakes.rosettaPath(), "");
    COMPARE_STATE(check(SetupComponent::xcode, config), StepState::done(u"Installed"_s));
    COMPARE_STATE(check(SetupComponent::rosetta, config), StepState::done(u"Installed"_s));

    QStringList raw;
    for (const SetupComponent component : allSetupComponents()) {
        raw.append(toString(component));
        QVERIFY(setupComponentFromString(toString(component)) == component);
    }
    QCOMPARE(raw.join(u' '), u"xcode rosetta iterm2 ohMyZsh powerlevel10k shell macOS git ssh"_s);
}

QTEST_GUILESS_MAIN(TestSetupChecks)
#include "tst_setupchecks.moc"
