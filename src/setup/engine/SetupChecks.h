#pragma once

#include "setup/config/DefaultsEntry.h"
#include "setup/engine/SetupComponent.h"
#include "setup/engine/StepState.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>

struct SetupConfig;

// The read-only status checks of the nine components, and the probes they share with the apply
// steps and the wizard. Nothing here changes anything on disk, and nothing throws: a tool that
// cannot be launched or a file that cannot be read counts as absent.
namespace SetupChecks {

// `xcode-select -p` succeeds and prints a path that exists.
QCoro::Task<bool> commandLineToolsInstalled();

// The git to run: Homebrew's, then /usr/local's, then the system one, but the system one only
// while the Command Line Tools are installed (otherwise it would open macOS's install dialog).
QCoro::Task<std::optional<QString>> findGit();

// A program installed by Homebrew or in a standard folder (Homebrew's own, /usr/local, MacPorts,
// the system's); nothing when none of them has it. `brew` finds Homebrew itself.
std::optional<QString> findProgram(const QString &name);

// A global Git setting, trimmed; nothing when Git lacks it, is missing, or the value is empty.
QCoro::Task<std::optional<QString>> gitConfigGet(QString key);

// The component's state against a snapshot of the configuration.
QCoro::Task<StepState> checkStatus(SetupComponent component, SetupConfig config);

// "a, b, c" for up to three items; "a, b, c +2 more" beyond.
QString summary(const QStringList &items);

// The SSH key file of the configuration as a path: "~/" means the home folder. A relative path
// is taken from the home folder too, never from the application's working folder.
QString expandedKeyPath(const QString &keyFile);

// Whether `defaults read` output (trimmed) shows the wanted value of an entry of that kind.
bool defaultsValueMatches(DefaultsEntry::Kind kind, const QString &output, const QString &wanted);

} // namespace SetupChecks
