#include "setup/engine/ShellSteps.h"

#include "platform/ChildEnvironment.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "setup/config/P10kOptions.h"
#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"
#include "setup/engine/RunContext.h"
#include "setup/engine/SetupChecks.h"
#include "setup/engine/SetupTools.h"

#include <QDateTime>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace ShellSteps {

namespace {

const QString gitMissing = u"Git is not available yet. Install the Xcode Command Line Tools first."_s;
const QString themeName = u"powerlevel10k/powerlevel10k"_s;

QCoro::Task<QString> requireGit()
{
    const std::optional<QString> git = co_await SetupChecks::findGit();
    if (!git)
        throw SetupError(gitMissing);
    co_return *git;
}

void backUpZshrc(RunContext &context)
{
    if (context.zshrcBackedUp())
        return;
    if (const std::optional<QString> backup = Zshrc::backup()) {
        context.appendLog(u"Backed up .zshrc to "_s + QFileInfo(*backup).fileName() + u'\n');
        context.setZshrcBackedUp();
    }
}

QCoro::Task<> clone(RunContext &context, QString git, QString repository, QString destination)
{
    const QStringList arguments{ u"clone"_s, u"--depth=1"_s, repository, destination };
    const Process::Result result = co_await SetupTools::runTool(context, git, arguments);
    if (result.status != 0)
        throw SetupTools::exitStatusError(git, result.status);
}

// The fzf plugin prints an error at every shell start while the fzf program is missing, so the
// program comes with the plugin when Homebrew can install it. Its failure is reported, not fatal:
// Oh My Zsh itself is in place.
QCoro::Task<> installFzfIfNeeded(RunContext &context, QStringList plugins)
{
    if (!plugins.contains(u"fzf"_s) || SetupChecks::findProgram(u"fzf"_s))
        co_return;
    const std::optional<QString> brew = SetupChecks::findProgram(u"brew"_s);
    if (!brew) {
        context.appendLog(u"⚠︎ The fzf plugin needs the fzf program, which is not installed. Install Homebrew, "
                          u"then run `brew install fzf`.\n"_s);
        co_return;
    }
    const QStringList arguments{ u"install"_s, u"--formula"_s, u"fzf"_s };
    const Process::Result result
        = co_await SetupTools::runTool(context, *brew, arguments, ChildEnvironment::homebrew(*brew));
    if (result.status != 0)
        context.appendLog(u"⚠︎ fzf could not be installed (brew exited with status "_s
            + QString::number(result.status) + u"); the fzf plugin will print an error until it is.\n"_s);
}

// Replaces ~/.p10k.zsh with the style's preset, keeping the user's file as a dated backup.
void applyPromptStyle(RunContext &context, const QString &style)
{
    if (style.isEmpty())
        return;
    const QString promptFile = Platform::current().homePath(u".p10k.zsh"_s);
    const QString preset = powerlevel10kPreset(style);
    // Without a preset to copy, the user's prompt file stays where it is.
    if (!QFileInfo(preset).isFile())
        throw FileError(preset, u"The prompt style has no preset file."_s);
    if (Files::exists(promptFile)) {
        const QString backup = promptFile + u".backup."_s + QDateTime::currentDateTime().toString(u"yyyyMMdd_HHmmss"_s);
        Files::move(promptFile, backup);
        context.appendLog(u"Backed up the existing prompt config to "_s + QFileInfo(backup).fileName() + u'\n');
    }
    Files::copy(preset, promptFile);
    context.appendLog(u"Applied prompt style: "_s + style + u'\n');
}

// Rows the writer cannot write are named, so none disappears without a word.
void logSkippedRows(RunContext &context, const SetupConfig &config)
{
    for (const QString &row : Zshrc::skippedAliases(config.aliases))
        context.appendLog(u"Skipped alias "_s + row + u'\n');
    for (const QString &row : Zshrc::skippedExports(config.environment))
        context.appendLog(u"Skipped variable "_s + row + u'\n');
}

} // namespace

QString ohMyZshInstallerCommand()
{
    return u"sh -c \"$(curl -fsSL "_s + u"https://raw.githubusercontent.com/ohmyzsh/ohmyzsh/master/tools/install.sh"_s
        + u")\" \"\" --unattended"_s;
}

QString powerlevel10kRepository()
{
    return u"https://github.com/romkatv/powerlevel10k.git"_s;
}

QString powerlevel10kThemeName()
{
    return themeName;
}

QString powerlevel10kFolder()
{
    return Platform::current().homePath(u".oh-my-zsh/custom/themes/powerlevel10k"_s);
}

QString powerlevel10kPreset(const QString &style)
{
    return powerlevel10kFolder() + u"/config/p10k-"_s + style + u".zsh"_s;
}

QString pluginFolder(const QString &name)
{
    return Platform::current().homePath(u".oh-my-zsh/custom/plugins/"_s + name);
}

QString zshrcWithPowerlevel10k(const QString &text, bool instantPrompt)
{
    return Zshrc::setInstantPrompt(instantPrompt, Zshrc::ensureP10kSource(Zshrc::setTheme(themeName, text)));
}

bool instantPromptAfter(const QString &style)
{
    if (!style.isEmpty()) {
        if (const std::optional<QByteArray> preset = Files::read(powerlevel10kPreset(style)))
            return P10kOptions::fromText(Files::decodeUtf8(*preset).value_or(QString())).instantPrompt != u"off"_s;
    }
    return P10kOptions::load().instantPrompt != u"off"_s;
}

QString BlocksEdit::Written::countedText() const
{
    return Text::counted(lines, singular.isEmpty() ? label : singular, label);
}

BlocksEdit zshrcWithBlocks(const SetupConfig &config, const QString &text)
{
    struct Section {
        Zshrc::Block block;
        QStringList lines;
        QString label;
        QString singular;
    };
    const QList<Section> sections{
        { Zshrc::aliasesBlock, Zshrc::aliasLines(config.aliases), u"aliases"_s, u"alias"_s },
        { Zshrc::environmentBlock, Zshrc::exportLines(config.environment), u"environment variables"_s,
            u"environment variable"_s },
        { Zshrc::extrasBlock, Zshrc::extraLines(config.zshrcExtras), u"extra lines"_s, u"extra line"_s },
    };
    BlocksEdit edit{ text, {} };
    for (const Section &section : sections) {
        // An existing block of a kind with nothing configured stays as it is.
        if (section.lines.isEmpty())
            continue;
        edit.text = Zshrc::upsertBlock(section.block, section.lines, edit.text);
        edit.written.append({ section.lines.size(), section.label, section.singular });
    }
    return edit;
}

QCoro::Task<> installOhMyZsh(RunContext &context, SetupConfig config)
{
    const Platform &platform = Platform::current();
    const QString ohMyZsh = platform.homePath(u".oh-my-zsh"_s);
    if (Files::exists(ohMyZsh)) {
        context.appendLog(u"Oh My Zsh already installed.\n"_s);
    } else {
        co_await requireGit();
        if (config.backupDotfiles)
            backUpZshrc(context);
        const QString shell = Platform::current().systemPath(u"/bin/sh"_s);
        const QStringList arguments{ u"-c"_s, ohMyZshInstallerCommand() };
        const Process::Result result = co_await SetupTools::runTool(context, shell, arguments);
        if (result.status != 0)
            throw SetupTools::exitStatusError(shell, result.status);
    }

    const QString git = co_await requireGit();
    const auto sources = SetupConfig::pluginSources();
    for (const QString &name : std::as_const(config.plugins)) {
        if (!sources.contains(name))
            continue;
        const QString destination = pluginFolder(name);
        if (Files::exists(destination)) {
            context.appendLog(u"Plugin already installed: "_s + name + u'\n');
            continue;
        }
        co_await clone(context, git, sources.value(name).toString(), destination);
    }

    co_await installFzfIfNeeded(context, config.plugins);

    Zshrc::PluginsResult result;
    Zshrc::edit([&](const QString &text) -> std::optional<QString> {
        result = Zshrc::setPlugins(config.plugins, text);
        if (!result.changed)
            return std::nullopt;
        if (config.backupDotfiles)
            backUpZshrc(context);
        return result.text;
    });
    if (result.changed) {
        if (!result.added.isEmpty())
            context.appendLog(u"Enabled plugins: "_s + result.added.join(u", "_s) + u'\n');
        if (!result.removed.isEmpty())
            context.appendLog(u"Disabled plugins: "_s + result.removed.join(u", "_s) + u'\n');
    } else if (result.notPlaced.isEmpty()) {
        context.appendLog(u"Plugins already match.\n"_s);
    }
    if (!result.notPlaced.isEmpty())
        context.appendLog(
            u"⚠︎ Your plugins=(…) block has an unusual layout, so new plugins were not added. Add them "
            u"manually: "_s
            + result.notPlaced.join(u", "_s) + u'\n');
}

QCoro::Task<> installPowerlevel10k(RunContext &context, SetupConfig config)
{
    const Platform &platform = Platform::current();
    if (!Files::exists(platform.homePath(u".oh-my-zsh"_s)))
        throw SetupError(u"Oh My Zsh must be installed first."_s);
    const QString themeFolder = powerlevel10kFolder();
    if (Files::exists(themeFolder)) {
        context.appendLog(u"Powerlevel10k already installed.\n"_s);
    } else {
        const QString git = co_await requireGit();
        co_await clone(context, git, powerlevel10kRepository(), themeFolder);
    }

    // Read before the prompt file is touched, so an unreadable ~/.zshrc stops the step while
    // the user's prompt file is still in place.
    Zshrc::edit([&](const QString &original) -> std::optional<QString> {
        context.appendLog(u"ZSH_THEME set to "_s + themeName + u'\n');
        applyPromptStyle(context, config.p10kStyle);
        // The instant prompt follows the choice in the prompt file as it now stands.
        const bool instant = P10kOptions::load().instantPrompt != u"off"_s;
        const QString text = zshrcWithPowerlevel10k(original, instant);
        if (config.backupDotfiles && text != original)
            backUpZshrc(context);
        return text;
    });
}

void applyShellBlocks(RunContext &context, const SetupConfig &config)
{
    BlocksEdit edit;
    Zshrc::edit([&](const QString &text) -> std::optional<QString> {
        if (config.backupDotfiles)
            backUpZshrc(context);
        logSkippedRows(context, config);
        edit = zshrcWithBlocks(config, text);
        return edit.text;
    });
    for (const BlocksEdit::Written &written : edit.written)
        context.appendLog(u"Wrote "_s + written.countedText() + u" to ~/.zshrc\n"_s);
    context.appendLog(u"Open a new terminal tab (or run `source ~/.zshrc`) to use them.\n"_s);
}

} // namespace ShellSteps
