#pragma once

#include <QCoro/QCoroTask>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The one way the application starts a child process: brew, and every tool of the setup engine.
namespace Process {

struct Result {
    // The exit code for a normal exit; for a child killed by a signal, the signal number. Both
    // are non-zero for a failure, so a killed child is never mistaken for success.
    qint32 status = 0;
    // Everything the child wrote to its standard output, decoded as UTF-8 with invalid sequences
    // replaced by U+FFFD. Standard error is not part of it.
    QString output;
    bool operator==(const Result &) const = default;
};

// Receives every chunk of standard output and standard error as it arrives, in arrival order,
// one call at a time, on the thread that called exec() (the GUI thread for the stores), so it
// may touch store state directly. Chunks are not split into lines. A character cut in two
// between reads is held back until it is complete. The handler must not throw; if it does, it
// is not called again and exec() rethrows that exception once the child has exited.
using OutputHandler = std::function<void(const QString &chunk)>;

// Runs `executable` (an absolute path, already resolved through Platform::systemPath) and
// resumes the caller when the child has exited; a child that never exits keeps the caller
// suspended. Standard input is the null device. The child gets `environment` (or the
// application's own) made ChildEnvironment::withoutTerminal(). Throws LaunchError at once when
// the program cannot be started; onOutput is then never called. A non-zero exit status is
// returned, not thrown.
QCoro::Task<Result> exec(QString executable, QStringList arguments,
    std::optional<QProcessEnvironment> environment = std::nullopt, OutputHandler onOutput = {});

} // namespace Process
