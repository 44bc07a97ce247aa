#pragma once

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QStringList>

struct SetupConfig;
class RunContext;

// The apply steps of the shell: Oh My Zsh with its plugins, the Powerlevel10k theme and prompt
// file, and the managed blocks of ~/.zshrc. They edit ~/.zshrc only through Zshrc, which refuses
// to write over a file it could not read.
namespace ShellSteps {

QCoro::Task<> installOhMyZsh(RunContext &context, SetupConfig config);
QCoro::Task<> installPowerlevel10k(RunContext &context, SetupConfig config);
void applyShellBlocks(RunContext &context, const SetupConfig &config);

// The one piece of shell text the engine runs: the Oh My Zsh installer, fetched and started
// unattended. Fixed; nothing from the configuration goes into it.
QString ohMyZshInstallerCommand();
QString powerlevel10kRepository();

// What the steps write, computed without touching anything, so a dry run shows exactly what the
// steps then do.
struct BlocksEdit {
    struct Written {
        qsizetype lines = 0;
        QString label; // "aliases", "environment variables", "extra lines"
        QString singular; // "alias", "environment variable", "extra line"

        // "1 alias", "3 aliases".
        QString countedText() const;
    };
    QString text;
    QList<Written> written;
};
// ~/.zshrc with the configured managed blocks put in (kinds with nothing configured are left as
// they are).
BlocksEdit zshrcWithBlocks(const SetupConfig &config, const QString &text);
// ~/.zshrc with the Powerlevel10k theme selected, the prompt file sourced and the instant-prompt
// preamble at the top while the instant prompt is on.
QString zshrcWithPowerlevel10k(const QString &text, bool instantPrompt);
// Whether the instant prompt is on once the step has put the style's preset in place (or, without a
// style, as the prompt file stands).
bool instantPromptAfter(const QString &style);
QString powerlevel10kThemeName();
// Where the theme lives, and the preset file a prompt style is copied from.
QString powerlevel10kFolder();
QString powerlevel10kPreset(const QString &style);
// Where a downloadable plugin is cloned to.
QString pluginFolder(const QString &name);

} // namespace ShellSteps
