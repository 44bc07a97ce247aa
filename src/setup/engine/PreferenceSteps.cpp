#include "setup/engine/PreferenceSteps.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "setup/config/DefaultsEntry.h"
#include "setup/config/SetupConfig.h"
#include "setup/engine/RunContext.h"
#include "setup/engine/SetupChecks.h"
#include "setup/engine/SetupTools.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace PreferenceSteps {

namespace {

const QString gitMissing = u"Git is not available yet. Install the Xcode Command Line Tools first."_s;

} // namespace

QStringList defaultsWriteArguments(const DefaultsEntry &entry)
{
    return { u"write"_s, entry.domain, entry.key, u"-"_s + DefaultsEntry::toString(entry.kind), entry.value };
}

QStringList restartedProcesses()
{
    return { u"Dock"_s, u"Finder"_s };
}

QList<KeyValue> gitWrites(const SetupConfig &config)
{
    QList<KeyValue> writes;
    if (!config.gitName.isEmpty())
        writes.append({ {}, u"user.name"_s, config.gitName });
    if (!config.gitEmail.isEmpty())
        writes.append({ {}, u"user.email"_s, config.gitEmail });
    for (const KeyValue &row : config.gitAliases) {
        if (!row.key.isEmpty())
            writes.append({ {}, u"alias."_s + row.key, row.value });
    }
    for (const KeyValue &row : config.gitSettings) {
        if (!row.key.isEmpty())
            writes.append({ {}, row.key, row.value });
    }
    return writes;
}

QStringList sshKeygenArguments(const SetupConfig &config, const QString &keyPath)
{
    QStringList arguments{ u"-t"_s, config.sshKeyType, u"-f"_s, keyPath, u"-N"_s, QString() };
    if (!config.sshComment.isEmpty())
        arguments << u"-C"_s << config.sshComment;
    return arguments;
}

QCoro::Task<> applyMacOSDefaults(RunContext &context, SetupConfig config)
{
    const Platform &platform = Platform::current();
    const QString defaults = platform.systemPath(u"/usr/bin/defaults"_s);
    const QString killall = platform.systemPath(u"/usr/bin/killall"_s);
    int failures = 0;
    for (const DefaultsEntry &entry : config.defaultsEntries()) {
        const QStringList arguments = defaultsWriteArguments(entry);
        const Process::Result result = co_await SetupTools::runTool(context, defaults, arguments);
        if (result.status != 0)
            ++failures;
    }
    // Dock and Finder read their preferences at start; a process that was not running is fine.
    for (const QString &process : restartedProcesses()) {
        const QStringList arguments{ process };
        co_await SetupTools::runTool(context, killall, arguments);
    }
    if (failures > 0)
        throw SetupError(Text::counted(failures, u"setting"_s, u"settings"_s) + u" could not be written."_s);
}

QCoro::Task<> gitConfigSet(RunContext &context, QString git, QString key, QString value)
{
    const QStringList arguments{ u"config"_s, u"--global"_s, key, value };
    const Process::Result result = co_await SetupTools::runTool(context, git, arguments);
    if (result.status != 0)
        throw SetupTools::exitStatusError(git, result.status);
}

QCoro::Task<> applyGit(RunContext &context, SetupConfig config)
{
    const std::optional<QString> git = co_await SetupChecks::findGit();
    if (!git)
        throw SetupError(gitMissing);
    // The first failing write ends the step; the ones before it stay.
    for (const KeyValue &write : gitWrites(config))
        co_await gitConfigSet(context, *git, write.key, write.value);
    const std::optional<QString> name = co_await SetupChecks::gitConfigGet(u"user.name"_s);
    const std::optional<QString> email = co_await SetupChecks::gitConfigGet(u"user.email"_s);
    if (!name || !email)
        context.appendLog(
            u"⚠︎ git user.name / user.email are not set — commits will fail until you set them.\n"_s);
}

QCoro::Task<> createSSHKey(RunContext &context, SetupConfig config)
{
    const QString keyPath = SetupChecks::expandedKeyPath(config.sshKeyFile);
    const QFileInfo key(keyPath);
    // A dangling symbolic link counts as a key too: ssh-keygen would write through it.
    if (Files::exists(keyPath) || key.isSymLink()) {
        context.appendLog(u"SSH key already exists: "_s + keyPath + u'\n');
        co_return;
    }
    // 0700: the folder holds a private key. An existing folder keeps its permissions.
    Files::createDirectories(key.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QStringList arguments = sshKeygenArguments(config, keyPath);
    const Platform &platform = Platform::current();
    const QString sshKeygen = platform.systemPath(u"/usr/bin/ssh-keygen"_s);
    const Process::Result result = co_await SetupTools::runTool(context, sshKeygen, arguments);
    if (result.status != 0)
        throw SetupTools::exitStatusError(sshKeygen, result.status);

    if (const std::optional<QByteArray> bytes = Files::read(keyPath + u".pub"_s)) {
        if (const std::optional<QString> publicKey = Files::decodeUtf8(*bytes))
            context.appendLog(u"\nPublic key:\n"_s + *publicKey + u'\n');
    }
    // The agent may not be running; the key exists either way.
    const QStringList addArguments{ keyPath };
    co_await SetupTools::runTool(context, platform.systemPath(u"/usr/bin/ssh-add"_s), addArguments);
}

} // namespace PreferenceSteps
