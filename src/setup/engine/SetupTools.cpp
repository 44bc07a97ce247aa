#include "setup/engine/SetupTools.h"

#include "platform/Platform.h"
#include "setup/engine/RunContext.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace SetupTools {

QProcessEnvironment toolEnvironment()
{
    const Platform &platform = Platform::current();
    QProcessEnvironment environment = platform.environment();
    QStringList folders;
    for (const QString &folder :
        { u"/opt/homebrew/bin"_s, u"/usr/local/bin"_s, u"/usr/bin"_s, u"/bin"_s, u"/usr/sbin"_s, u"/sbin"_s })
        folders.append(platform.systemPath(folder));
    environment.insert(u"PATH"_s, folders.join(u':') + u':' + environment.value(u"PATH"_s));
    return environment;
}

QString commandLine(const QString &executable, const QStringList &arguments)
{
    return u"$ "_s + QFileInfo(executable).fileName() + u' ' + arguments.join(u' ') + u'\n';
}

SetupError exitStatusError(const QString &executable, qint32 status)
{
    return SetupError(QFileInfo(executable).fileName() + u" exited with status "_s + QString::number(status));
}

QCoro::Task<Process::Result> runTool(
    RunContext &context, QString executable, QStringList arguments, std::optional<QProcessEnvironment> environment)
{
    context.appendLog(commandLine(executable, arguments));
    // exec() calls the handler on this (the main) thread, one chunk at a time, and only while
    // this coroutine is suspended on it, so the context outlives every call.
    RunContext *log = &context;
    const Process::OutputHandler onOutput = [log](const QString &chunk) { log->appendLog(chunk); };
    // Named before the co_await: GCC 12 mishandles temporaries made inside one.
    QProcessEnvironment childEnvironment = environment ? *environment : toolEnvironment();
    co_return co_await Process::exec(executable, arguments, std::move(childEnvironment), onOutput);
}

} // namespace SetupTools
