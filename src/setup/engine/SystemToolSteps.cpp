#include "setup/engine/SystemToolSteps.h"

#include "platform/ChildEnvironment.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "setup/engine/CancellationFlag.h"
#include "setup/engine/RunContext.h"
#include "setup/engine/SetupChecks.h"
#include "setup/engine/SetupTools.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace SystemToolSteps {

QStringList commandLineToolsInstallerArguments()
{
    return { u"--install"_s };
}

QStringList rosettaArguments()
{
    return { u"--install-rosetta"_s, u"--agree-to-license"_s };
}

QStringList iTermBrewArguments()
{
    return { u"install"_s, u"--cask"_s, u"iterm2"_s, u"font-meslo-lg-nerd-font"_s };
}

QString iTermProfilePath()
{
    return Platform::current().homePath(u"Library/Application Support/iTerm2/DynamicProfiles/quillrig.json"_s);
}

QCoro::Task<> installCommandLineTools(RunContext &context)
{
    if (co_await SetupChecks::commandLineToolsInstalled()) {
        context.appendLog(u"Already installed.\n"_s);
        co_return;
    }
    const Platform &platform = Platform::current();
    const QStringList arguments = commandLineToolsInstallerArguments();
    // The command only opens the system's installation dialog; its status says nothing.
    co_await SetupTools::runTool(context, platform.systemPath(u"/usr/bin/xcode-select"_s), arguments);
    context.appendLog(u"\nA system dialog opened — click Install and wait. Checking every 5 seconds…\n"_s);

    const auto interval = Platform::current().commandLineToolsPoll();
    const int tries = Platform::current().commandLineToolsPollTries();
    for (int attempt = 0; attempt < tries; ++attempt) {
        co_await context.cancellation().sleep(interval);
        if (co_await SetupChecks::commandLineToolsInstalled()) {
            context.appendLog(u"Command Line Tools installed.\n"_s);
            co_return;
        }
    }
    throw SetupError(u"Timed out waiting for the Command Line Tools. If macOS is out of date, run System Settings → "
                     u"Software Update first."_s);
}

QCoro::Task<> installRosetta(RunContext &context)
{
    const QString runtime = Platform::current().systemPath(u"/Library/Apple/usr/share/rosetta/rosetta"_s);
    if (Files::exists(runtime)) {
        context.appendLog(u"Already installed.\n"_s);
        co_return;
    }
    const QString softwareUpdate = Platform::current().systemPath(u"/usr/sbin/softwareupdate"_s);
    const QStringList arguments = rosettaArguments();
    std::optional<SetupError> statusFailure;
    std::exception_ptr launchFailure;
    try {
        const Process::Result result = co_await SetupTools::runTool(context, softwareUpdate, arguments);
        if (result.status == 0)
            co_return;
        statusFailure = SetupTools::exitStatusError(softwareUpdate, result.status);
    } catch (const Error &) {
        launchFailure = std::current_exception();
    }
    // softwareupdate reports errors for runs that installed Rosetta all the same.
    if (Files::exists(runtime))
        co_return;
    if (statusFailure)
        throw *statusFailure;
    std::rethrow_exception(launchFailure);
}

QByteArray iTermProfile()
{
    const QJsonObject profile{
        { u"Name"_s, u"Quillrig (Nerd Font)"_s },
        // A fixed Guid makes iTerm2 treat every rewrite as the same profile.
        { u"Guid"_s, u"5C0E3F5A-7A1B-4E55-9D77-000000050001"_s },
        // Everything not set here is inherited from the user's profile named Default.
        { u"Dynamic Profile Parent Name"_s, u"Default"_s },
        { u"Normal Font"_s, u"MesloLGSNF-Regular 13"_s },
        { u"Use Non-ASCII Font"_s, false },
    };
    // QJsonObject keeps its keys sorted, so the document comes out in sorted key order.
    return QJsonDocument(QJsonObject{ { u"Profiles"_s, QJsonArray{ profile } } }).toJson(QJsonDocument::Indented);
}

QCoro::Task<> installITerm(RunContext &context, std::optional<QString> brewPath)
{
    if (!brewPath)
        throw SetupError(u"Homebrew is required to install iTerm2."_s);
    const QStringList arguments = iTermBrewArguments();
    // Named before the co_await: GCC 12 mishandles temporaries made inside one.
    std::optional<QProcessEnvironment> environment = ChildEnvironment::homebrew(*brewPath);
    const Process::Result result = co_await SetupTools::runTool(context, *brewPath, arguments, std::move(environment));
    if (result.status != 0)
        throw SetupError(u"brew exited with status "_s + QString::number(result.status));

    const QString profile = iTermProfilePath();
    Files::createDirectories(QFileInfo(profile).path());
    Files::writeAtomically(profile, iTermProfile());
    context.appendLog(u"Created iTerm2 profile “Quillrig (Nerd Font)” — pick it in iTerm2 → Settings → Profiles (Other "
                      u"Actions → Set as Default).\n"_s);
}

} // namespace SystemToolSteps
