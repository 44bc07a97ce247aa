#include "setup/engine/SetupChecks.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "setup/config/DefaultsEntry.h"
#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"
#include "setup/engine/OhMyZshInfo.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

namespace SetupChecks {

namespace {

// Runs a read-only command; nothing when it cannot start or exits non-zero.
QCoro::Task<std::optional<QString>> outputOf(QString executable, QStringList arguments)
{
    try {
        const Process::Result result = co_await Process::exec(executable, arguments);
        if (result.status != 0)
            co_return std::nullopt;
        co_return result.output;
    } catch (const std::exception &) {
        // A tool that cannot start answers like one that failed: not installed, not set.
        co_return std::nullopt;
    }
}

std::optional<double> parseDecimal(const QString &text)
{
    // Plain decimal notation only: no "inf", "nan" or hexadecimal forms.
    static const QRegularExpression decimal(u"^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"_s);
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

QString home(const QString &relative)
{
    return Platform::current().homePath(relative);
}

StepState checkITerm()
{
    const bool iTerm = Files::exists(Platform::current().systemPath(u"/Applications/iTerm.app"_s))
        || Files::exists(home(u"Applications/iTerm.app"_s));
    const QStringList fonts = Files::entryNames(home(u"Library/Fonts"_s));
    const bool font = std::any_of(fonts.cbegin(), fonts.cend(),
        [](const QString &name) { return name.contains("MesloLGS"_L1, Qt::CaseInsensitive); });
    if (iTerm && font)
        return StepState::done(u"iTerm2 and Meslo Nerd Font installed"_s);
    if (font)
        return StepState::partial(u"Nerd Font installed, iTerm2 missing"_s);
    if (iTerm)
        return StepState::partial(u"iTerm2 installed, Nerd Font missing"_s);
    return StepState::missing(u"Not installed"_s);
}

StepState checkOhMyZsh(const SetupConfig &config)
{
    if (!Files::exists(home(u".oh-my-zsh"_s)))
        return StepState::missing(u"Not installed"_s);
    const auto sources = SetupConfig::pluginSources();
    QStringList absent;
    for (const QString &name : config.plugins) {
        if (sources.contains(name) && !Files::exists(home(u".oh-my-zsh/custom/plugins/"_s + name)))
            absent.append(name);
    }
    const QStringList enabled = OhMyZshInfo::enabledPlugins(Zshrc::read());
    QStringList notEnabled;
    for (const QString &name : config.plugins) {
        if (!enabled.contains(name))
            notEnabled.append(name);
    }
    if (absent.isEmpty() && notEnabled.isEmpty())
        return StepState::done(Text::counted(enabled.size(), u"plugin"_s, u"plugins"_s) + u" enabled in ~/.zshrc"_s);
    QStringList list = notEnabled;
    for (const QString &name : std::as_const(absent)) {
        if (!list.contains(name))
            list.append(name);
    }
    return StepState::partial(u"To enable: "_s + summary(list));
}

StepState checkPowerlevel10k(const SetupConfig &config)
{
    if (!Files::exists(home(u".oh-my-zsh"_s)))
        return StepState::missing(u"Requires Oh My Zsh"_s);
    if (!Files::exists(home(u".oh-my-zsh/custom/themes/powerlevel10k"_s)))
        return StepState::missing(u"Not installed"_s);
    const bool themeActive = Zshrc::theme(Zshrc::read()) == u"powerlevel10k/powerlevel10k"_s;
    if (!themeActive)
        return StepState::partial(u"Installed, theme not active"_s);
    if (config.p10kStyle.isEmpty() || Files::exists(home(u".p10k.zsh"_s)))
        return StepState::done(u"Theme active"_s);
    return StepState::partial(u"Prompt style not applied"_s);
}

StepState checkShell(const SetupConfig &config)
{
    struct Wanted {
        Zshrc::Block block;
        QStringList lines;
    };
    QList<Wanted> kept;
    for (Wanted wanted : { Wanted{ Zshrc::aliasesBlock, Zshrc::aliasLines(config.aliases) },
             Wanted{ Zshrc::environmentBlock, Zshrc::exportLines(config.environment) },
             Wanted{ Zshrc::extrasBlock, Zshrc::extraLines(config.zshrcExtras) } }) {
        if (!wanted.lines.isEmpty())
            kept.append(std::move(wanted));
    }
    if (kept.isEmpty())
        return StepState::notApplicable(u"Nothing configured"_s);

    const QString text = Zshrc::read();
    qsizetype matching = 0;
    for (const Wanted &wanted : std::as_const(kept)) {
        const std::optional<QStringList> current = Zshrc::blockLines(text, wanted.block);
        if (current
            && QSet<QString>(current->cbegin(), current->cend())
                == QSet<QString>(wanted.lines.cbegin(), wanted.lines.cend()))
            ++matching;
    }
    if (matching == kept.size())
        // Rows the writer skips are not in the file, so they are not counted as written.
        return StepState::done(Text::counted(Zshrc::aliasLines(config.aliases).size(), u"alias"_s, u"aliases"_s)
            + u", "_s + Text::counted(Zshrc::exportLines(config.environment).size(), u"variable"_s, u"variables"_s));
    if (matching > 0 || Zshrc::blockLines(text, Zshrc::aliasesBlock))
        return StepState::partial(u"Differs from your settings"_s);
    return StepState::missing(u"Not configured"_s);
}

QCoro::Task<StepState> checkMacOS(SetupConfig config)
{
    const QList<DefaultsEntry> entries = config.defaultsEntries();
    const QString defaults = Platform::current().systemPath(u"/usr/bin/defaults"_s);
    QStringList differing;
    for (const DefaultsEntry &entry : entries) {
        const QStringList arguments{ u"read"_s, entry.domain, entry.key };
        const std::optional<QString> output = co_await outputOf(defaults, arguments);
        if (!output || !defaultsValueMatches(entry.kind, output->trimmed(), entry.value))
            differing.append(entry.key);
    }
    if (differing.isEmpty())
        co_return StepState::done(entries.size() == 1
                ? u"1 setting applied"_s
                : u"All "_s + QString::number(entries.size()) + u" settings applied"_s);
    if (differing.size() == entries.size())
        co_return StepState::missing(u"Not applied"_s);
    co_return StepState::partial(u"Differs: "_s + summary(differing));
}

QCoro::Task<StepState> checkGit(SetupConfig config)
{
    if (!co_await findGit())
        co_return StepState::missing(u"Git not available yet"_s);
    const std::optional<QString> name = co_await gitConfigGet(u"user.name"_s);
    const std::optional<QString> email = co_await gitConfigGet(u"user.email"_s);
    if (!name || !email)
        co_return StepState::missing(u"User name / email not set"_s);

    QStringList differences;
    if (!config.gitName.isEmpty() && config.gitName != *name)
        differences.append(u"user.name"_s);
    if (!config.gitEmail.isEmpty() && config.gitEmail != *email)
        differences.append(u"user.email"_s);
    for (const KeyValue &row : std::as_const(config.gitAliases)) {
        if (row.key.isEmpty())
            continue;
        const QString key = u"alias."_s + row.key;
        if (co_await gitConfigGet(key) != row.value)
            differences.append(key);
    }
    for (const KeyValue &row : std::as_const(config.gitSettings)) {
        if (row.key.isEmpty())
            continue;
        if (co_await gitConfigGet(row.key) != row.value)
            differences.append(row.key);
    }
    if (differences.isEmpty())
        co_return StepState::done(*name + u" <"_s + *email + u'>');
    co_return StepState::partial(u"Differs: "_s + summary(differences));
}

StepState checkSsh(const SetupConfig &config)
{
    if (Files::exists(expandedKeyPath(config.sshKeyFile)))
        return StepState::done(config.sshKeyFile);
    return StepState::missing(u"No key at "_s + config.sshKeyFile);
}

} // namespace

QCoro::Task<bool> commandLineToolsInstalled()
{
    const QString xcodeSelect = Platform::current().systemPath(u"/usr/bin/xcode-select"_s);
    if (!Files::exists(xcodeSelect))
        co_return false;
    const QStringList arguments{ u"-p"_s };
    const std::optional<QString> output = co_await outputOf(xcodeSelect, arguments);
    if (!output)
        co_return false;
    const QString path = output->trimmed();
    co_return !path.isEmpty() && Files::exists(path);
}

QCoro::Task<std::optional<QString>> findGit()
{
    const Platform &platform = Platform::current();
    for (const QString &candidate : { u"/opt/homebrew/bin/git"_s, u"/usr/local/bin/git"_s }) {
        const QString path = platform.systemPath(candidate);
        if (Files::exists(path))
            co_return path;
    }
    const QString system = Platform::current().systemPath(u"/usr/bin/git"_s);
    if (Files::exists(system) && co_await commandLineToolsInstalled())
        co_return system;
    co_return std::nullopt;
}

std::optional<QString> findProgram(const QString &name)
{
    const Platform &platform = Platform::current();
    for (const QString &folder :
        { u"/opt/homebrew/bin/"_s, u"/usr/local/bin/"_s, u"/opt/local/bin/"_s, u"/usr/bin/"_s }) {
        const QString path = platform.systemPath(folder + name);
        if (Files::isExecutableFile(path))
            return path;
    }
    return std::nullopt;
}

QCoro::Task<std::optional<QString>> gitConfigGet(QString key)
{
    const std::optional<QString> git = co_await findGit();
    if (!git)
        co_return std::nullopt;
    const QStringList arguments{ u"config"_s, u"--global"_s, u"--get"_s, key };
    const std::optional<QString> output = co_await outputOf(*git, arguments);
    if (!output)
        co_return std::nullopt;
    const QString value = output->trimmed();
    if (value.isEmpty())
        co_return std::nullopt;
    co_return value;
}

QCoro::Task<StepState> checkStatus(SetupComponent component, SetupConfig config)
{
    switch (component) {
    case SetupComponent::xcode:
        co_return co_await commandLineToolsInstalled() ? StepState::done(u"Installed"_s)
                                                       : StepState::missing(u"Not installed"_s);
    case SetupComponent::rosetta:
        co_return Files::exists(Platform::current().systemPath(u"/Library/Apple/usr/share/rosetta/rosetta"_s))
            ? StepState::done(u"Installed"_s)
            : StepState::missing(u"Not installed"_s);
    case SetupComponent::iterm2:
        co_return checkITerm();
    case SetupComponent::ohMyZsh:
        co_return checkOhMyZsh(config);
    case SetupComponent::powerlevel10k:
        co_return checkPowerlevel10k(config);
    case SetupComponent::shell:
        co_return checkShell(config);
    case SetupComponent::macOS:
        co_return co_await checkMacOS(config);
    case SetupComponent::git:
        co_return co_await checkGit(config);
    case SetupComponent::ssh:
        co_return checkSsh(config);
    }
    co_return StepState::unknown();
}

QString summary(const QStringList &items)
{
    QString text = items.mid(0, 3).join(u", "_s);
    if (items.size() > 3)
        text += u" +"_s + QString::number(items.size() - 3) + u" more"_s;
    return text;
}

QString expandedKeyPath(const QString &keyFile)
{
    const Platform &platform = Platform::current();
    if (keyFile.isEmpty())
        return keyFile;
    if (keyFile.startsWith("~/"_L1))
        return platform.homePath(keyFile.mid(2));
    if (QDir::isAbsolutePath(keyFile))
        return keyFile;
    return platform.homePath(keyFile);
}

bool defaultsValueMatches(DefaultsEntry::Kind kind, const QString &output, const QString &wanted)
{
    switch (kind) {
    case DefaultsEntry::Kind::boolean:
        return (output == "1"_L1 || output == "true"_L1) == (wanted == "true"_L1);
    case DefaultsEntry::Kind::integer:
    case DefaultsEntry::Kind::floating: {
        const std::optional<double> actual = parseDecimal(output);
        const std::optional<double> expected = parseDecimal(wanted);
        if (!actual)
            return !expected;
        return expected && *actual == *expected;
    }
    case DefaultsEntry::Kind::string:
        break;
    }
    return output == wanted;
}

} // namespace SetupChecks
