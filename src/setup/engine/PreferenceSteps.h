#pragma once

#include "setup/config/KeyValue.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QStringList>

struct DefaultsEntry;
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

// What the steps run, computed without running anything, so a dry run lists exactly these.
QStringList defaultsWriteArguments(const DefaultsEntry &entry);
// The processes restarted after the defaults are written, in order.
QStringList restartedProcesses();
// The global Git settings the Git step writes, in order (name, email, aliases, settings).
QList<KeyValue> gitWrites(const SetupConfig &config);
QStringList sshKeygenArguments(const SetupConfig &config, const QString &keyPath);

} // namespace PreferenceSteps
