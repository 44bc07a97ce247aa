#pragma once

#include <QCoro/QCoroTask>
#include <QString>

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

} // namespace ShellSteps
