// The half of a package's life after the install: reading what is installed, removing,
// reinstalling and pinning packages, and cleaning up what Homebrew keeps around.
#include "brew/ActivityStore.h"
#include "brew/BrewService.h"
#include "brew/BrewStore.h"
#include "brew/VersionCompare.h"
#include "platform/Error.h"
#include "platform/Logging.h"
#include "platform/Text.h"

#include <QCoro/QCoroFuture>
#include <QFuture>
#include <QPointer>
#include <QScopeGuard>
#include <QtConcurrentRun>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype failureTextKeep = 8000;
constexpr qsizetype captureKeep = 200000;

QString packageCount(qsizetype n)
{
    return Text::counted(n, u"package"_s, u"packages"_s);
}

// A read-only brew command: a launch failure becomes "no result".
QCoro::Task<std::optional<Process::Result>> runReading(QStringList arguments, QString brewPath)
{
    try {
        co_return co_await BrewService::runBrew(arguments, std::move(brewPath));
    } catch (const std::exception &error) {
        qCWarning(lcBrew) << "brew" << arguments.join(u' ') << "did not run:" << errorText(error);
        co_return std::nullopt;
    }
}

std::optional<QList<InstalledPackage>> decodeInstalledJob(QString output)
{
    return InstalledFormats::decodeInstalled(output.toUtf8());
}

} // namespace

std::optional<InstalledPackage> BrewStore::installedPackage(const QString &id) const
{
    for (const InstalledPackage &package : m_installedPackages)
        if (package.id() == id)
            return package;
    return std::nullopt;
}

int BrewStore::pinnedOutdatedCount() const
{
    int count = 0;
    for (const OutdatedPackage &package : m_outdated)
        if (package.pinned)
            ++count;
    return count;
}

bool BrewStore::canPinCasks() const
{
    if (!m_brewVersion)
        return false;
    QString version = *m_brewVersion;
    version.truncate(version.indexOf(u'-') < 0 ? version.size() : version.indexOf(u'-'));
    return VersionCompare::compareNumeric(version, pinCasksMinimumVersion()) >= 0;
}

QCoro::Task<> BrewStore::refreshInstalledPackages()
{
    if (!m_brewPath)
        co_return;
    QPointer<BrewStore> self(this);
    const QString brew = *m_brewPath;
    auto infoTask = runReading({ u"info"_s, u"--json=v2"_s, u"--installed"_s }, brew);
    auto leavesTask = runReading({ u"leaves"_s, u"--installed-on-request"_s }, brew);

    const auto info = co_await std::move(infoTask);
    std::optional<QList<InstalledPackage>> packages;
    if (info) {
        // Hundreds of packages with every key Homebrew knows: parsed on a worker thread.
        QFuture<std::optional<QList<InstalledPackage>>> job = QtConcurrent::run(decodeInstalledJob, info->output);
        packages = co_await job;
    }
    const auto leaves = co_await std::move(leavesTask);
    if (!self)
        co_return;

    bool changed = false;
    // brew that printed an error instead of JSON keeps the list we had.
    if (packages && *packages != m_installedPackages) {
        m_installedPackages = std::move(*packages);
        changed = true;
    }
    if (leaves) {
        const QStringList names = InstalledFormats::names(leaves->output);
        QSet<QString> set(names.cbegin(), names.cend());
        // `leaves` prints full names; the table knows the short ones of tap formulae too.
        for (const QString &name : names)
            set.insert(name.section(u'/', -1));
        if (set != m_requestedLeaves) {
            m_requestedLeaves = std::move(set);
            changed = true;
        }
    }
    if (changed)
        Q_EMIT installedPackagesChanged();
}

QCoro::Task<std::optional<QStringList>> BrewStore::installedDependents(QString formula)
{
    if (!m_brewPath)
        co_return std::nullopt;
    const QStringList arguments{ u"uses"_s, u"--installed"_s, formula };
    const auto result = co_await runReading(arguments, *m_brewPath);
    if (!result || result->status != 0)
        co_return std::nullopt;
    co_return InstalledFormats::names(result->output);
}

QCoro::Task<InstalledFormats::CleanupPreview> BrewStore::previewCleanup()
{
    if (!m_brewPath)
        co_return InstalledFormats::CleanupPreview{};
    const QString brew = *m_brewPath;
    auto cleanupTask = runReading({ u"cleanup"_s, u"--dry-run"_s }, brew);
    auto autoremoveTask = runReading({ u"autoremove"_s, u"--dry-run"_s }, brew);
    const auto cleanup = co_await std::move(cleanupTask);
    const auto autoremove = co_await std::move(autoremoveTask);
    co_return InstalledFormats::parseCleanupPreview(
        cleanup ? cleanup->output : QString(), autoremove ? autoremove->output : QString());
}

QCoro::Task<QString> BrewStore::runCapturingSequence(
    QString title, QList<QStringList> commands, std::optional<int> progressTotal, QString successMessage)
{
    // A second operation while one runs is ignored, as runSequence() does; it must not take over
    // the capture of the one that runs.
    if (m_isRunning || m_capture)
        co_return QString();
    QPointer<BrewStore> self(this);
    QString output;
    m_capture = &output;
    auto release = qScopeGuard([self] {
        if (self)
            self->m_capture = nullptr;
    });
    co_await runSequence(std::move(title), std::move(commands), progressTotal, std::move(successMessage));
    co_return Text::tail(output, captureKeep);
}

void BrewStore::reportUnfinished(
    const QString &title, const QString &command, const QString &what, const QString &output)
{
    // Only a run that was about to be reported as a success: a real failure says more already.
    if (m_activity->phase().kind != ActivityStore::Phase::Kind::success)
        return;
    m_activity->cancelFade();
    m_activity->setPhase(ActivityStore::Phase::failure(
        title + u" failed"_s, u"$ "_s + command + u"\n\n"_s + what + u"\n\n"_s + Text::tail(output, failureTextKeep)));
}

QCoro::Task<> BrewStore::uninstall(QList<InstalledPackage> packages, bool zap)
{
    if (!m_brewPath || m_isRunning)
        co_return;
    QPointer<BrewStore> self(this);
    QStringList formulae;
    QStringList casks;
    bool olderKegs = false;
    for (const InstalledPackage &package : std::as_const(packages)) {
        (package.kind == PackageKind::formula ? formulae : casks).append(package.name);
        olderKegs = olderKegs || (package.kind == PackageKind::formula && package.installedVersions.size() > 1);
    }
    const qsizetype n = formulae.size() + casks.size();
    if (n == 0)
        co_return;
    QList<QStringList> commands;
    if (!formulae.isEmpty()) {
        QStringList command{ u"uninstall"_s, u"--formula"_s };
        // Without it brew removes only the newest keg and keeps the package on an older version.
        // It does not override the refusal while dependents are installed.
        if (olderKegs)
            command.append(u"--force"_s);
        commands.append(command + formulae);
    }
    if (!casks.isEmpty()) {
        QStringList command{ u"uninstall"_s, u"--cask"_s };
        if (zap)
            command.append(u"--zap"_s);
        commands.append(command + casks);
    }
    const QString title = u"Uninstalling "_s + packageCount(n);
    const QString output
        = co_await runCapturingSequence(title, commands, std::nullopt, u"Uninstalled "_s + packageCount(n));
    if (!self)
        co_return;
    // brew skips a pinned package with an error and still exits 0: what is left is a failure.
    for (const QStringList &command : std::as_const(commands)) {
        QStringList left;
        const bool formula = command.at(1) == u"--formula"_s;
        for (const QString &name : command.mid(2))
            if (!name.startsWith(u"--"_s) && (formula ? m_installedFormulae : m_installedCasks).contains(name))
                left.append(name);
        if (!left.isEmpty()) {
            reportUnfinished(title, u"brew "_s + command.join(u' '),
                u"Still installed after the uninstall: "_s + left.join(u", "_s), output);
            break;
        }
    }
}

QCoro::Task<> BrewStore::reinstall(InstalledPackage package)
{
    if (!m_brewPath || m_isRunning)
        co_return;
    QList<QStringList> commands;
    commands.append(QStringList{
        u"reinstall"_s, package.kind == PackageKind::formula ? u"--formula"_s : u"--cask"_s, package.name });
    const QString title = u"Reinstalling "_s + package.name;
    const QString output = co_await runCapturingSequence(title, commands, 1, u"Reinstalled "_s + package.name);
    // A pinned package is skipped with an error while brew still exits 0.
    if (output.contains(u"Error: "_s))
        reportUnfinished(title, u"brew "_s + commands.first().join(u' '), u"Homebrew did not reinstall it."_s, output);
}

QCoro::Task<> BrewStore::setPinned(InstalledPackage package, bool pinned)
{
    if (!m_brewPath || m_isRunning)
        co_return;
    if (package.kind == PackageKind::cask && !canPinCasks())
        co_return;
    QStringList command{ pinned ? u"pin"_s : u"unpin"_s };
    // `--cask` exists only where casks can be pinned; a formula works with the bare name everywhere.
    if (package.kind == PackageKind::cask)
        command.append(u"--cask"_s);
    command.append(package.name);
    QList<QStringList> commands;
    commands.append(command);
    const QString title = (pinned ? u"Pinning "_s : u"Unpinning "_s) + package.name;
    const QString output = co_await runCapturingSequence(
        title, commands, std::nullopt, (pinned ? u"Pinned "_s : u"Unpinned "_s) + package.name);
    // `brew unpin` of a package that is gone complains and exits 0.
    if (output.contains(u"Error: "_s))
        reportUnfinished(title, u"brew "_s + command.join(u' '), u"Homebrew did not change the pin."_s, output);
}

QCoro::Task<> BrewStore::cleanUp(InstalledFormats::CleanupPreview preview)
{
    if (!m_brewPath || m_isRunning || preview.isEmpty())
        co_return;
    QPointer<BrewStore> self(this);
    QList<QStringList> commands;
    // Dependencies first: a cleanup of its own would remove them too, but without saying so.
    if (!preview.unneeded.isEmpty())
        commands.append(QStringList{ u"autoremove"_s });
    if (!preview.removals.isEmpty())
        commands.append(QStringList{ u"cleanup"_s });
    const QString output = co_await runCapturingSequence(u"Cleaning up"_s, commands, std::nullopt, u"Cleaned up"_s);
    if (!self || m_activity->phase().kind != ActivityStore::Phase::Kind::success)
        co_return;
    QStringList parts;
    if (const std::optional<QString> freed = InstalledFormats::freedSpace(output))
        parts.append(u"freed approximately "_s + *freed);
    if (!preview.unneeded.isEmpty())
        parts.append(u"removed "_s
            + Text::counted(preview.unneeded.size(), u"unneeded dependency"_s, u"unneeded dependencies"_s));
    if (!parts.isEmpty())
        m_activity->succeed(u"Cleaned up: "_s + parts.join(u", "_s));
}
