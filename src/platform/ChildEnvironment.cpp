#include "platform/ChildEnvironment.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Logging.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <optional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace ChildEnvironment {

namespace {

const auto askpassFileName = u"quillrig-gui-askpass.sh"_s;

// sudo runs this (through SUDO_ASKPASS) when brew or an installer needs a password; it reads the
// typed password from standard output, and a cancelled dialog gives it nothing.
QByteArray askpassScript()
{
    return QByteArrayLiteral("#!/bin/bash\n"
                             "/usr/bin/osascript -e 'display dialog \"Homebrew needs your password to continue.\" "
                             "default answer \"\" with hidden answer with title \"Quillrig\" buttons {\"Cancel\", "
                             "\"OK\"} default button \"OK\"' -e 'text returned of result'");
}

// The script runs with root's blessing, so it must live where nobody else can replace it.
bool isPrivateFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
    if (info.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther))
        return false;
#ifdef Q_OS_UNIX
    if (info.ownerId() != ::getuid())
        return false;
#endif
    return true;
}

std::optional<QString> writeAskpassScript(const QString &tempDir)
{
    if (!isPrivateFolder(tempDir)) {
        qCWarning(lcBrew) << "no askpass script: the temporary folder is not private:" << tempDir;
        return std::nullopt;
    }
    const QString path = QDir(tempDir).filePath(askpassFileName);
    try {
        Files::writeAtomically(path, askpassScript());
        Files::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    } catch (const std::exception &error) {
        // Without the script sudo simply cannot ask; brew reports that itself.
        qCWarning(lcBrew) << "no askpass script:" << errorText(error);
        return std::nullopt;
    }
    return path;
}

// Written on the first child of each run (each installed Platform) and then reused.
std::optional<QString> askpassPath()
{
    static QMutex mutex;
    static quint64 writtenFor = 0;
    static std::optional<QString> path;

    const Platform &platform = Platform::current();
    QMutexLocker lock(&mutex);
    if (writtenFor != platform.instanceId()) {
        path = writeAskpassScript(platform.tempDir());
        writtenFor = platform.instanceId();
    }
    return path;
}

} // namespace

QProcessEnvironment withoutTerminal(QProcessEnvironment environment)
{
    environment.insert(u"NONINTERACTIVE"_s, u"1"_s);
    if (const std::optional<QString> askpass = askpassPath())
        environment.insert(u"SUDO_ASKPASS"_s, *askpass);
    return environment;
}

QProcessEnvironment homebrew(const QString &brewPath)
{
    QProcessEnvironment environment = Platform::current().environment();
    // Fixed PATH text for the child, not files we open: these stay as they are in a sandbox.
    QString path = QFileInfo(brewPath).path() + ":/usr/bin:/bin:/usr/sbin:/sbin:"_L1;
    path += environment.value(u"PATH"_s);
    environment.insert(u"PATH"_s, path);
    environment.insert(u"HOMEBREW_NO_AUTO_UPDATE"_s, u"1"_s);
    environment.insert(u"HOMEBREW_NO_ENV_HINTS"_s, u"1"_s);
    environment.insert(u"HOMEBREW_NO_COLOR"_s, u"1"_s);
    return environment;
}

} // namespace ChildEnvironment
