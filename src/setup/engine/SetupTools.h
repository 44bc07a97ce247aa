#pragma once

#include "platform/Error.h"
#include "platform/Process.h"

#include <QCoro/QCoroTask>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class RunContext;

// What every apply step shares: running a tool with its command line in the run log, the
// environment tools get, and the text of a tool that exited non-zero.
namespace SetupTools {

// The application's environment with PATH = the Homebrew and system folders, then the
// application's own PATH. The folders go through Platform::systemPath, so on the real machine the
// text is "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:" + PATH, while in a
// sandbox the commands a tool runs by name (sh, curl) find the sandbox's programs first.
QProcessEnvironment toolEnvironment();

// "$ " + the executable's last path component + the arguments joined with single spaces + "\n".
// Only for reading: the arguments are never given to a shell.
QString commandLine(const QString &executable, const QStringList &arguments);

// "<tool> exited with status <n>".
SetupError exitStatusError(const QString &executable, qint32 status);

// Logs the command line, runs the tool with `environment` (toolEnvironment() when absent) and
// streams its output into the run log. Returns the result whatever the status; throws LaunchError
// when the tool cannot start.
QCoro::Task<Process::Result> runTool(RunContext &context, QString executable, QStringList arguments,
    std::optional<QProcessEnvironment> environment = std::nullopt);

} // namespace SetupTools
