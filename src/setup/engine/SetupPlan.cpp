#include "setup/engine/SetupPlan.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "setup/config/TextFile.h"
#include "setup/config/Zshrc.h"
#include "setup/engine/PreferenceSteps.h"
#include "setup/engine/SetupChecks.h"
#include "setup/engine/SetupTools.h"
#include "setup/engine/ShellSteps.h"
#include "setup/engine/StepState.h"
#include "setup/engine/SystemToolSteps.h"
#include "setup/engine/UnifiedDiff.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QString gitMissing = u"Git is not available yet. Install the Xcode Command Line Tools first."_s;
const QString zshrcLabel = u"~/.zshrc"_s;
const QString p10kLabel = u"~/.p10k.zsh"_s;

QString commandText(const QString &executable, const QStringList &arguments)
{
    // The run log's own announcement, without its "$ " and newline.
    return SetupTools::commandLine(executable, arguments).mid(2).chopped(1);
}

// What earlier steps of the same run will have done by the time a step runs.
struct Outlook {
    bool commandLineToolsInstalled = false;
    bool commandLineToolsPending = false; // the Xcode step will install them
    bool ohMyZshExists = false;
    bool themeExists = false;
    TextFile::Contents zshrc;
    // The Oh My Zsh installer will have replaced ~/.zshrc, so its content is not known.
    bool zshrcUnknown = false;
};

QCoro::Task<std::optional<QString>> gitFor(const Outlook &outlook)
{
    if (!outlook.commandLineToolsPending)
        co_return co_await SetupChecks::findGit();
    const Platform &platform = Platform::current();
    for (const QString &candidate : { u"/opt/homebrew/bin/git"_s, u"/usr/local/bin/git"_s }) {
        const QString path = platform.systemPath(candidate);
        if (Files::exists(path))
            co_return path;
    }
    co_return platform.systemPath(u"/usr/bin/git"_s);
}

std::optional<SetupPlan::FileChange> fileChange(
    const QString &label, const std::optional<QString> &before, const QString &after)
{
    if (before && *before == after)
        return std::nullopt;
    return SetupPlan::FileChange{ label, before, after,
        UnifiedDiff::diff(label, before.value_or(QString()), after, before.has_value()), {} };
}

// Applies an edit of ~/.zshrc to the outlook and records it in the step. Fails the step the way
// the step itself would when the file exists but cannot be read.
bool editZshrc(SetupPlan::Step &step, Outlook &outlook, const std::function<QString(const QString &)> &edit,
    const QString &whatAfterInstaller)
{
    if (outlook.zshrcUnknown) {
        step.files.append({ zshrcLabel, std::nullopt, std::nullopt, {},
            u"Written by the Oh My Zsh installer first; then "_s + whatAfterInstaller });
        return true;
    }
    if (outlook.zshrc.status == TextFile::Status::unreadable) {
        try {
            Zshrc::readForEditing();
            step.failure = u"~/.zshrc cannot be read as text."_s;
        } catch (const std::exception &error) {
            step.failure = errorText(error);
        }
        return false;
    }
    const std::optional<QString> before
        = outlook.zshrc.status == TextFile::Status::readable ? std::optional(outlook.zshrc.text) : std::nullopt;
    const QString after = edit(before.value_or(QString()));
    if (const auto change = fileChange(zshrcLabel, before, after))
        step.files.append(*change);
    outlook.zshrc = { TextFile::Status::readable, after };
    return true;
}

void planBackup(SetupPlan::Step &step, const SetupConfig &config, const Outlook &outlook)
{
    if (config.backupDotfiles && !outlook.zshrcUnknown && outlook.zshrc.status != TextFile::Status::missing)
        step.actions.append(u"Back up ~/.zshrc to ~/.zshrc.backup.<date>"_s);
}

QCoro::Task<> planCommandLineTools(SetupPlan::Step &step, Outlook &outlook)
{
    if (outlook.commandLineToolsInstalled) {
        step.actions.append(u"The Command Line Tools are installed; nothing to do."_s);
        co_return;
    }
    step.installs = true;
    step.commands.append(commandText(Platform::current().systemPath(u"/usr/bin/xcode-select"_s),
        SystemToolSteps::commandLineToolsInstallerArguments()));
    step.actions.append(u"Open the system's installer of the Command Line Tools and wait until they are installed"_s);
    outlook.commandLineToolsPending = true;
}

void planRosetta(SetupPlan::Step &step)
{
    const Platform &platform = Platform::current();
    if (Files::exists(platform.systemPath(u"/Library/Apple/usr/share/rosetta/rosetta"_s))) {
        step.actions.append(u"Rosetta 2 is installed; nothing to do."_s);
        return;
    }
    step.installs = true;
    step.actions.append(u"Install Rosetta 2"_s);
    step.commands.append(
        commandText(platform.systemPath(u"/usr/sbin/softwareupdate"_s), SystemToolSteps::rosettaArguments()));
}

QCoro::Task<> planITerm(SetupPlan::Step &step, const SetupConfig &config, const std::optional<QString> &brewPath)
{
    if (!brewPath) {
        step.failure = u"Homebrew is required to install iTerm2."_s;
        co_return;
    }
    const StepState state = co_await SetupChecks::checkStatus(SetupComponent::iterm2, config);
    step.installs = state.kind != StepState::Kind::done;
    step.actions.append(step.installs ? u"Install iTerm2 and the Meslo Nerd Font"_s
                                      : u"iTerm2 and the Meslo Nerd Font are installed (Homebrew skips them)"_s);
    step.commands.append(commandText(*brewPath, SystemToolSteps::iTermBrewArguments()));
    const QString path = SystemToolSteps::iTermProfilePath();
    const TextFile::Contents current = TextFile::read(path);
    const QString label = u"~/"_s + QDir(Platform::current().homeDir()).relativeFilePath(path);
    const QString wanted = QString::fromUtf8(SystemToolSteps::iTermProfile());
    if (current.status == TextFile::Status::readable && current.text == wanted)
        co_return;
    step.actions.append(u"Write the iTerm2 profile “Quillrig (Nerd Font)”"_s);
    const std::optional<QString> before
        = current.status == TextFile::Status::readable ? std::optional(current.text) : std::nullopt;
    if (const auto change = fileChange(label, before, wanted))
        step.files.append(*change);
}

QCoro::Task<> planOhMyZsh(SetupPlan::Step &step, const SetupConfig &config, Outlook &outlook)
{
    const Platform &platform = Platform::current();
    if (outlook.ohMyZshExists) {
        step.actions.append(u"Oh My Zsh is installed."_s);
    } else {
        const std::optional<QString> installerGit = co_await gitFor(outlook);
        if (!installerGit) {
            step.failure = gitMissing;
            co_return;
        }
        planBackup(step, config, outlook);
        step.installs = true;
        step.actions.append(u"Install Oh My Zsh (its installer replaces ~/.zshrc and keeps the old one as a backup)"_s);
        step.commands.append(commandText(
            platform.systemPath(u"/bin/sh"_s), QStringList{ u"-c"_s, ShellSteps::ohMyZshInstallerCommand() }));
        step.files.append({ zshrcLabel,
            outlook.zshrc.status == TextFile::Status::readable ? std::optional(outlook.zshrc.text) : std::nullopt,
            std::nullopt, {}, u"Replaced by the Oh My Zsh installer."_s });
        outlook.ohMyZshExists = true;
        outlook.zshrcUnknown = true;
    }

    const std::optional<QString> git = co_await gitFor(outlook);
    if (!git) {
        step.failure = gitMissing;
        co_return;
    }
    const auto sources = SetupConfig::pluginSources();
    for (const QString &name : std::as_const(config.plugins)) {
        if (!sources.contains(name))
            continue;
        const QString destination = ShellSteps::pluginFolder(name);
        if (Files::exists(destination))
            continue;
        step.installs = true;
        step.actions.append(u"Download the plugin "_s + name);
        step.commands.append(
            commandText(*git, QStringList{ u"clone"_s, u"--depth=1"_s, sources.value(name).toString(), destination }));
    }

    // The fzf plugin brings its program along when Homebrew can install it.
    if (config.plugins.contains(u"fzf"_s) && !SetupChecks::findProgram(u"fzf"_s)) {
        if (const std::optional<QString> brew = SetupChecks::findProgram(u"brew"_s)) {
            step.installs = true;
            step.actions.append(u"Install fzf, the program the fzf plugin needs"_s);
            step.commands.append(commandText(*brew, QStringList{ u"install"_s, u"--formula"_s, u"fzf"_s }));
        } else {
            step.actions.append(
                u"⚠︎ The fzf plugin needs the fzf program, which Homebrew is not there to install"_s);
        }
    }

    QStringList notPlaced;
    const auto edit = [&config, &notPlaced](const QString &text) {
        const Zshrc::PluginsResult result = Zshrc::setPlugins(config.plugins, text);
        notPlaced = result.notPlaced;
        return result.text;
    };
    if (!editZshrc(step, outlook, edit, u"its plugins=(…) list is made to match the configured plugins."_s))
        co_return;
    if (!step.files.isEmpty() && step.files.last().after)
        step.actions.append(u"Enable exactly the configured plugins in ~/.zshrc"_s);
    if (!notPlaced.isEmpty())
        step.actions.append(
            u"⚠︎ Your plugins=(…) block has an unusual layout, so these plugins would not be added: "_s
            + notPlaced.join(u", "_s));
}

QCoro::Task<> planPowerlevel10k(SetupPlan::Step &step, const SetupConfig &config, Outlook &outlook)
{
    if (!outlook.ohMyZshExists) {
        step.failure = u"Oh My Zsh must be installed first."_s;
        co_return;
    }
    const QString themeFolder = ShellSteps::powerlevel10kFolder();
    if (outlook.themeExists) {
        step.actions.append(u"Powerlevel10k is installed."_s);
    } else {
        const std::optional<QString> git = co_await gitFor(outlook);
        if (!git) {
            step.failure = gitMissing;
            co_return;
        }
        step.installs = true;
        step.actions.append(u"Download the Powerlevel10k theme"_s);
        step.commands.append(commandText(
            *git, QStringList{ u"clone"_s, u"--depth=1"_s, ShellSteps::powerlevel10kRepository(), themeFolder }));
    }

    // The step reads ~/.zshrc before it touches the prompt file, and fails there first.
    Outlook edited = outlook;
    SetupPlan::Step zshrcStep;
    const bool instantPrompt = ShellSteps::instantPromptAfter(config.p10kStyle);
    const auto withTheme
        = [instantPrompt](const QString &text) { return ShellSteps::zshrcWithPowerlevel10k(text, instantPrompt); };
    if (!editZshrc(zshrcStep, edited, withTheme, u"the theme is set to Powerlevel10k and ~/.p10k.zsh is sourced."_s)) {
        step.failure = zshrcStep.failure;
        co_return;
    }

    if (!config.p10kStyle.isEmpty()) {
        const QString promptFile = Platform::current().homePath(u".p10k.zsh"_s);
        const QString preset = ShellSteps::powerlevel10kPreset(config.p10kStyle);
        const TextFile::Contents current = TextFile::read(promptFile);
        const bool promptFileExists = Files::exists(promptFile);
        if (outlook.themeExists) {
            if (!QFileInfo(preset).isFile()) {
                step.failure = FileError(preset, u"The prompt style has no preset file."_s).description();
                co_return;
            }
            const TextFile::Contents wanted = TextFile::read(preset);
            if (promptFileExists)
                step.actions.append(u"Move ~/.p10k.zsh to ~/.p10k.zsh.backup.<date>"_s);
            step.actions.append(u"Apply the prompt style "_s + config.p10kStyle);
            const std::optional<QString> before
                = current.status == TextFile::Status::readable ? std::optional(current.text) : std::nullopt;
            if (const auto change = fileChange(p10kLabel, before, wanted.text))
                step.files.append(*change);
        } else {
            if (promptFileExists)
                step.actions.append(u"Move ~/.p10k.zsh to ~/.p10k.zsh.backup.<date>"_s);
            step.actions.append(u"Apply the prompt style "_s + config.p10kStyle);
            step.files.append({ p10kLabel,
                current.status == TextFile::Status::readable ? std::optional(current.text) : std::nullopt, std::nullopt,
                {}, u"Replaced by the "_s + config.p10kStyle + u" preset of the downloaded theme."_s });
        }
    }

    step.actions.append(u"Select the Powerlevel10k theme in ~/.zshrc and source ~/.p10k.zsh"_s);
    step.files.append(zshrcStep.files);
    outlook = edited;
    outlook.themeExists = true;
}

void planShell(SetupPlan::Step &step, const SetupConfig &config, Outlook &outlook)
{
    planBackup(step, config, outlook);
    const ShellSteps::BlocksEdit probe = ShellSteps::zshrcWithBlocks(config, QString());
    for (const ShellSteps::BlocksEdit::Written &written : probe.written)
        step.actions.append(u"Write "_s + written.countedText() + u" to ~/.zshrc"_s);
    const auto edit = [&config](const QString &text) { return ShellSteps::zshrcWithBlocks(config, text).text; };
    editZshrc(step, outlook, edit, u"the managed blocks are written into it."_s);
}

QCoro::Task<> planMacOS(SetupPlan::Step &step, const SetupConfig &config)
{
    const Platform &platform = Platform::current();
    const QString defaults = platform.systemPath(u"/usr/bin/defaults"_s);
    for (const DefaultsEntry &entry : config.defaultsEntries()) {
        const QStringList arguments{ u"read"_s, entry.domain, entry.key };
        std::optional<QString> current;
        try {
            const Process::Result result = co_await Process::exec(defaults, arguments);
            if (result.status == 0)
                current = result.output.trimmed();
        } catch (const Error &) {
            // Not readable counts as not set, as in the status check.
        }
        if (!current || !SetupChecks::defaultsValueMatches(entry.kind, *current, entry.value))
            step.defaults.append({ entry.domain, entry.key, current, entry.value });
        step.commands.append(commandText(defaults, PreferenceSteps::defaultsWriteArguments(entry)));
    }
    step.actions.append(u"Write "_s
        + Text::counted(config.defaultsEntries().size(), u"macOS setting"_s, u"macOS settings"_s)
        + u", then restart the Dock and Finder"_s);
    for (const QString &process : PreferenceSteps::restartedProcesses())
        step.commands.append(commandText(platform.systemPath(u"/usr/bin/killall"_s), QStringList{ process }));
}

QCoro::Task<> planGit(SetupPlan::Step &step, const SetupConfig &config, const Outlook &outlook)
{
    const std::optional<QString> git = co_await gitFor(outlook);
    if (!git) {
        step.failure = gitMissing;
        co_return;
    }
    const QList<KeyValue> writes = PreferenceSteps::gitWrites(config);
    step.actions.append(u"Write "_s + Text::counted(writes.size(), u"global Git setting"_s, u"global Git settings"_s));
    for (const KeyValue &write : writes) {
        // Before the Command Line Tools are installed there is no Git to ask.
        std::optional<QString> current;
        if (!outlook.commandLineToolsPending)
            current = co_await SetupChecks::gitConfigGet(write.key);
        if (current != write.value)
            step.git.append({ {}, write.key, current, write.value });
        step.commands.append(commandText(*git, QStringList{ u"config"_s, u"--global"_s, write.key, write.value }));
    }
}

void planSSH(SetupPlan::Step &step, const SetupConfig &config)
{
    const QString keyPath = SetupChecks::expandedKeyPath(config.sshKeyFile);
    if (Files::exists(keyPath) || QFileInfo(keyPath).isSymLink()) {
        step.actions.append(u"An SSH key exists at "_s + keyPath + u"; it is kept."_s);
        return;
    }
    const Platform &platform = Platform::current();
    step.installs = true;
    step.actions.append(u"Create an SSH key without a passphrase at "_s + keyPath + u" and add it to the agent"_s);
    step.commands.append(commandText(
        platform.systemPath(u"/usr/bin/ssh-keygen"_s), PreferenceSteps::sshKeygenArguments(config, keyPath)));
    step.commands.append(commandText(platform.systemPath(u"/usr/bin/ssh-add"_s), QStringList{ keyPath }));
}

} // namespace

bool SetupPlan::changes() const
{
    return std::any_of(steps.begin(), steps.end(), [](const Step &step) { return step.changes(); });
}

const SetupPlan::Step *SetupPlan::step(SetupComponent component) const
{
    for (const Step &candidate : steps) {
        if (candidate.component == component)
            return &candidate;
    }
    return nullptr;
}

QCoro::Task<SetupPlan> SetupPlan::make(
    QList<SetupComponent> components, SetupConfig config, std::optional<QString> brewPath)
{
    const Platform &platform = Platform::current();
    Outlook outlook;
    outlook.commandLineToolsInstalled = co_await SetupChecks::commandLineToolsInstalled();
    outlook.ohMyZshExists = Files::exists(platform.homePath(u".oh-my-zsh"_s));
    outlook.themeExists = Files::exists(ShellSteps::powerlevel10kFolder());
    outlook.zshrc = Zshrc::readFile();

    SetupPlan plan;
    for (const SetupComponent component : allSetupComponents()) {
        if (!components.contains(component))
            continue;
        Step step;
        step.component = component;
        switch (component) {
        case SetupComponent::xcode:
            co_await planCommandLineTools(step, outlook);
            break;
        case SetupComponent::rosetta:
            planRosetta(step);
            break;
        case SetupComponent::iterm2:
            co_await planITerm(step, config, brewPath);
            break;
        case SetupComponent::ohMyZsh:
            co_await planOhMyZsh(step, config, outlook);
            break;
        case SetupComponent::powerlevel10k:
            co_await planPowerlevel10k(step, config, outlook);
            break;
        case SetupComponent::shell:
            planShell(step, config, outlook);
            break;
        case SetupComponent::macOS:
            co_await planMacOS(step, config);
            break;
        case SetupComponent::git:
            co_await planGit(step, config, outlook);
            break;
        case SetupComponent::ssh:
            planSSH(step, config);
            break;
        }
        plan.steps.append(step);
    }
    co_return plan;
}

QList<SetupPlan::Line> SetupPlan::lines() const
{
    using Kind = Line::Kind;
    QList<Line> out;
    const auto valueText
        = [](const std::optional<QString> &value) { return value ? u"“"_s + *value + u"”"_s : u"(not set)"_s; };
    for (const Step &step : steps) {
        out.append({ Kind::heading,
            title(step.component) + (step.changes() || step.failure ? QString() : u" — no changes"_s) });
        for (const QString &action : step.actions)
            out.append({ Kind::action, action });
        if (step.failure)
            out.append({ Kind::failure, u"Would fail: "_s + *step.failure });
        for (const FileChange &file : step.files) {
            if (!file.after) {
                out.append({ Kind::fileHeader, file.path });
                out.append({ Kind::note, file.note });
                continue;
            }
            for (const QString &line : file.diff.split(u'\n')) {
                if (line.isEmpty())
                    continue;
                Kind kind = Kind::context;
                if (line.startsWith(u"--- "_s) || line.startsWith(u"+++ "_s))
                    kind = Kind::fileHeader;
                else if (line.startsWith(u"@@"_s))
                    kind = Kind::hunk;
                else if (line.startsWith(u'+'))
                    kind = Kind::added;
                else if (line.startsWith(u'-'))
                    kind = Kind::removed;
                out.append({ kind, line });
            }
        }
        for (const ValueChange &change : step.defaults)
            out.append({ Kind::change,
                change.domain + u' ' + change.key + u": "_s + valueText(change.current) + u" → "_s
                    + valueText(change.wanted) });
        for (const ValueChange &change : step.git)
            out.append({ Kind::change,
                change.key + u": "_s + valueText(change.current) + u" → "_s + valueText(change.wanted) });
        for (const QString &command : step.commands)
            out.append({ Kind::command, u"$ "_s + command });
    }
    return out;
}
