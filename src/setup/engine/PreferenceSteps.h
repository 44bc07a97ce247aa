#pragma once

#include <QCoro/QCoroTask>
#include <QString>

struct SetupConfig;
class RunContext;

// The apply steps of the user's preferences: macOS defaults, Git identity and settings, and
// the SSH key. Every value from the configuration reaches its tool as one argument of its own;
// nothing goes through a shell.
namespace PreferenceSteps {

// Writes every defaults entry, then restarts Dock and Finder (always, also after failed writes).
QCoro::Task<> applyMacOSDefaults(RunContext &context, SetupConfig config);
QCoro::Task<> applyGit(RunContext &context, SetupConfig config);
// Never replaces an existing key.
QCoro::Task<> createSSHKey(RunContext &context, SetupConfig config);

// `git config --global <key> <value>` with the given git; throws the exit-status error.
QCoro::Task<> gitConfigSet(RunContext &context, QString git, QString key, QString value);

} // namespace PreferenceSteps
