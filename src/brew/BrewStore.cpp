#include "brew/BrewStore.h"

#include "brew/ActivityStore.h"
#include "brew/BrewService.h"
#include "brew/CatalogService.h"
#include "brew/HeadingCounter.h"
#include "brew/PackageFormats.h"
#include "brew/VersionCompare.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Logging.h"
#include "platform/Platform.h"
#include "platform/SetAndNotify.h"
#include "platform/Text.h"

#include <QPointer>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype commandOutputLimit = 40000;
constexpr qsizetype commandOutputKeep = 30000;
constexpr qsizetype failureTextKeep = 8000;
constexpr double progressCap = 0.95;

const auto includeSelfUpdatingKey = u"includeSelfUpdating"_s;

QString packageCount(qsizetype n)
{
    return Text::counted(n, u"package"_s, u"packages"_s);
}

// Runs one brew command of refreshInstalled(); a launch failure leaves its field unchanged, so
// it becomes "no result" instead of an error.
QCoro::Task<std::optional<Process::Result>> runQuietly(QStringList arguments, QString brewPath)
{
    try {
        co_return co_await BrewService::runBrew(arguments, std::move(brewPath));
    } catch (const std::exception &error) {
        qCWarning(lcBrew) << "brew" << arguments.join(u' ') << "did not run:" << errorText(error);
        co_return std::nullopt;
    }
}

QSet<QString> nonEmptyLines(const QString &output)
{
    static const QRegularExpression lineBreak(u"[\r\n]"_s);
    const QStringList lines = output.split(lineBreak, Qt::SkipEmptyParts);
    return QSet<QString>(lines.cbegin(), lines.cend());
}

} // namespace

BrewStore::BrewStore(ActivityStore *activity, QObject *parent)
    : QObject(parent)
    , m_activity(activity)
    , m_includeSelfUpdating(Platform::current().boolDefault(includeSelfUpdatingKey).value_or(true))
{
    Q_ASSERT(activity);
    connect(&m_log, &BoundedLog::appended, this, [this](const QString &text) {
        Q_EMIT logAppended(text);
        Q_EMIT logChanged();
    });
    connect(&m_log, &BoundedLog::reset, this, [this] {
        Q_EMIT logReset();
        Q_EMIT logChanged();
    });
}

BrewStore::~BrewStore() = default;

void BrewStore::setStatus(BrewStatus status)
{
    setAndNotify(this, m_status, status, &BrewStore::statusChanged);
}

void BrewStore::setBrewPath(const std::optional<QString> &path)
{
    setAndNotify(this, m_brewPath, path, &BrewStore::brewPathChanged);
}

void BrewStore::setBrewVersion(const std::optional<QString> &version)
{
    setAndNotify(this, m_brewVersion, version, &BrewStore::brewVersionChanged);
}

void BrewStore::setLatestBrewVersion(const std::optional<QString> &version)
{
    setAndNotify(this, m_latestBrewVersion, version, &BrewStore::latestBrewVersionChanged);
}

void BrewStore::setSelectedIDs(const QSet<QString> &ids)
{
    setAndNotify(this, m_selectedIDs, ids, &BrewStore::selectedIDsChanged);
}

void BrewStore::setSelected(const QString &id, bool selected)
{
    if (m_selectedIDs.contains(id) == selected)
        return;
    if (selected)
        m_selectedIDs.insert(id);
    else
        m_selectedIDs.remove(id);
    Q_EMIT selectedIDsChanged();
}

void BrewStore::setIncludeSelfUpdating(bool include)
{
    Platform::current().setBoolDefault(includeSelfUpdatingKey, include);
    setAndNotify(this, m_includeSelfUpdating, include, &BrewStore::includeSelfUpdatingChanged);
}

void BrewStore::setIsLoadingCatalog(bool loading)
{
    setAndNotify(this, m_isLoadingCatalog, loading, &BrewStore::isLoadingCatalogChanged);
}

void BrewStore::setCatalogError(const std::optional<QString> &error)
{
    setAndNotify(this, m_catalogError, error, &BrewStore::catalogErrorChanged);
}

void BrewStore::setOutdated(const QList<OutdatedPackage> &outdated)
{
    setAndNotify(this, m_outdated, outdated, &BrewStore::outdatedChanged);
}

void BrewStore::setRunning(bool running, const std::optional<QString> &title)
{
    setAndNotify(this, m_taskTitle, title, &BrewStore::taskTitleChanged);
    setAndNotify(this, m_isRunning, running, &BrewStore::isRunningChanged);
}

void BrewStore::bumpDataRevision()
{
    ++m_dataRevision;
    Q_EMIT dataRevisionChanged();
}

void BrewStore::clearLog()
{
    if (!m_log.text().isEmpty())
        m_log.clear();
}

bool BrewStore::isInstalled(const Package &package) const
{
    return package.kind == PackageKind::formula ? m_installedFormulae.contains(package.name)
                                                : m_installedCasks.contains(package.name);
}

bool BrewStore::brewUpdateAvailable() const
{
    if (!m_brewVersion || !m_latestBrewVersion)
        return false;
    return VersionCompare::isNewerRelease(*m_latestBrewVersion, *m_brewVersion);
}

bool BrewStore::locate()
{
    std::optional<QString> found;
    for (const QString &candidate : { u"/opt/homebrew/bin/brew"_s, u"/usr/local/bin/brew"_s }) {
        const QString path = Platform::current().systemPath(candidate);
        if (Files::isExecutableFile(path)) {
            found = path;
            break;
        }
    }
    setBrewPath(found);
    setStatus(found ? BrewStatus::ready : BrewStatus::missing);
    return found.has_value();
}

QCoro::Task<> BrewStore::refresh()
{
    QPointer<BrewStore> self(this);
    if (!locate())
        co_return;

    if (m_catalog.isEmpty()) {
        const auto cached = co_await CatalogService::loadCachedCatalog();
        if (!self)
            co_return;
        if (cached && m_catalog.isEmpty()) {
            applyCatalog(cached->first, cached->second);
            m_catalogIsCached = true;
        }
    }

    // Both start now and run while the installed state is read.
    QCoro::Task<> catalogTask = loadCatalog();
    QCoro::Task<std::optional<QString>> latestTask = CatalogService::fetchLatestBrewVersion();

    co_await refreshInstalled();
    if (!self)
        co_return;
    const std::optional<QString> latest = co_await std::move(latestTask);
    if (!self)
        co_return;
    setLatestBrewVersion(latest);
    co_await std::move(catalogTask);
}

QCoro::Task<> BrewStore::refreshInstalled()
{
    if (!m_brewPath)
        co_return;
    QPointer<BrewStore> self(this);
    const QString brew = *m_brewPath;
    QStringList outdatedArguments{ u"outdated"_s, u"--json=v2"_s };
    if (m_includeSelfUpdating)
        outdatedArguments.append(u"--greedy"_s);

    // All four run at once; their results are applied in this order whatever order they finish in.
    auto versionTask = runQuietly({ u"--version"_s }, brew);
    auto formulaeTask = runQuietly({ u"list"_s, u"--formula"_s, u"-1"_s }, brew);
    auto casksTask = runQuietly({ u"list"_s, u"--cask"_s, u"-1"_s }, brew);
    auto outdatedTask = runQuietly(outdatedArguments, brew);
    QCoro::Task<> installedPackagesTask = refreshInstalledPackages();

    const auto version = co_await std::move(versionTask);
    if (!self)
        co_return;
    if (version) {
        QString firstLine;
        for (const QString &line : version->output.split(u'\n')) {
            if (!line.isEmpty()) {
                firstLine = line;
                break;
            }
        }
        setBrewVersion(firstLine.remove(u"Homebrew "_s));
    }

    const auto formulae = co_await std::move(formulaeTask);
    if (!self)
        co_return;
    if (formulae) {
        setAndNotify(this, m_installedFormulae, nonEmptyLines(formulae->output), &BrewStore::installedChanged);
    }

    const auto casks = co_await std::move(casksTask);
    if (!self)
        co_return;
    if (casks) {
        setAndNotify(this, m_installedCasks, nonEmptyLines(casks->output), &BrewStore::installedChanged);
    }

    const auto outdated = co_await std::move(outdatedTask);
    if (!self)
        co_return;
    if (outdated) {
        // brew that printed an error instead of JSON keeps the list we had.
        if (auto report = PackageFormats::decodeOutdatedReport(outdated->output.toUtf8()))
            setOutdated(*report);
    }

    co_await std::move(installedPackagesTask);
    if (!self)
        co_return;
    pruneSelection();
    bumpDataRevision();
}

void BrewStore::pruneSelection()
{
    QSet<QString> kept;
    for (const QString &id : std::as_const(m_selectedIDs)) {
        const Package *package = m_packagesByID.find(id);
        if (package && !isInstalled(*package))
            kept.insert(id);
    }
    setSelectedIDs(kept);
}

QCoro::Task<> BrewStore::loadCatalog()
{
    if (m_isLoadingCatalog)
        co_return;
    QPointer<BrewStore> self(this);
    setIsLoadingCatalog(true);
    setCatalogError(std::nullopt);
    m_activity->setCatalog(ActivityStore::CatalogState::loading());
    m_activity->setCatalogRetry([self] {
        if (self)
            self->loadCatalog();
    });

    // The catalog on screen is handed over only when it is the cached one: an unchanged server
    // then costs no reading and no rebuilding of the lists.
    const QList<Package> shown = m_catalogIsCached ? m_catalog : QList<Package>();
    std::optional<CatalogService::CatalogRefresh> refreshed;
    QString failure;
    try {
        refreshed = co_await CatalogService::refreshCatalog(shown);
    } catch (const std::exception &error) {
        failure = errorText(error);
    }
    if (!self)
        co_return;

    if (refreshed) {
        const QDateTime now = QDateTime::currentDateTime();
        // The same list (shared, not copied) as on screen: only its date moves.
        const bool keepShown
            = refreshed->unchanged && !shown.isEmpty() && refreshed->packages.constData() == m_catalog.constData();
        if (keepShown) {
            setAndNotify(this, m_catalogDate, std::optional(now), &BrewStore::catalogDateChanged);
        } else {
            applyCatalog(refreshed->packages, now);
            m_catalogIsCached = true;
        }
        m_activity->setCatalog(ActivityStore::CatalogState::updated(now));
        if (refreshed->unchanged) {
            qCInfo(lcBrew) << "catalog unchanged on the server";
            // A message of its own only while nothing else is reported.
            if (m_activity->phase().kind == ActivityStore::Phase::Kind::idle)
                m_activity->succeed(catalogUpToDateMessage());
        }
    } else {
        setCatalogError(failure);
        m_activity->setCatalog(ActivityStore::CatalogState::failed(failure));
    }
    setIsLoadingCatalog(false);
}

void BrewStore::applyCatalog(const QList<Package> &packages, const QDateTime &date)
{
    m_catalogIsCached = false;
    m_catalog = packages;
    m_packagesByID = PackageIndex(m_catalog);
    Q_EMIT catalogChanged();
    setAndNotify(this, m_catalogDate, std::optional(date), &BrewStore::catalogDateChanged);
    bumpDataRevision();
}

QCoro::Task<> BrewStore::runSequence(QString title, QList<QStringList> commands, std::optional<int> progressTotal,
    QString successMessage, const SequenceExtras *extrasGiven)
{
    if (!m_brewPath || m_isRunning)
        co_return;
    QPointer<BrewStore> self(this);
    const QString brew = *m_brewPath;
    // A copy: the caller's object need not outlive the first suspension.
    const SequenceExtras extras = extrasGiven ? *extrasGiven : SequenceExtras();

    m_countBundleLines = extras.bundleSteps;
    setRunning(true, title);
    m_progressTotal = progressTotal;
    m_progressDone = 0;
    Q_EMIT progressChanged();
    m_activity->begin(title, QString(), std::nullopt);

    std::optional<std::pair<QString, QString>> failure; // (command, text) of the first failing command
    for (const QStringList &arguments : std::as_const(commands)) {
        const QString command = u"brew "_s + arguments.join(u' ');
        appendOutput(u"$ "_s + command + u'\n');
        if (!m_commandOutput.isEmpty()) {
            m_commandOutput.clear();
            Q_EMIT commandOutputChanged();
        }

        std::optional<Process::Result> result;
        QString launchError;
        // A named handler: GCC 12 destroys a lambda temporary inside a co_await expression twice.
        const Process::OutputHandler onOutput = [self](const QString &chunk) {
            if (self)
                self->appendOutput(chunk);
        };
        try {
            result = co_await BrewService::runBrew(arguments, brew, onOutput);
        } catch (const std::exception &error) {
            launchError = errorText(error);
        }
        if (!self)
            co_return;

        if (!result) {
            appendOutput(u"\n✗ "_s + launchError + u"\n\n"_s);
            if (!failure)
                failure = std::pair(command, launchError);
        } else if (result->status == 0) {
            appendOutput(u"\n✓ Done\n\n"_s);
        } else {
            const QString exited = u"brew exited with status "_s + QString::number(result->status);
            appendOutput(u"\n✗ "_s + exited + u"\n\n"_s);
            if (!failure)
                failure = std::pair(command, exited + u"\n\n"_s + m_commandOutput);
        }
    }

    if (extras.verify) {
        auto verification = extras.verify(!failure);
        auto found = co_await std::move(verification);
        if (!self)
            co_return;
        if (found && !failure)
            failure = found;
    }
    if (!failure && extras.successMessage)
        successMessage = extras.successMessage();

    m_countBundleLines = false;
    setRunning(false, std::nullopt);
    if (failure) {
        m_activity->cancelFade();
        m_activity->setPhase(ActivityStore::Phase::failure(
            title + u" failed"_s, u"$ "_s + failure->first + u"\n\n"_s + Text::tail(failure->second, failureTextKeep)));
    } else {
        m_activity->succeed(successMessage);
    }
    co_await refreshInstalled();
}

void BrewStore::appendToLog(const QString &text)
{
    m_log.append(text);
}

void BrewStore::appendOutput(const QString &text)
{
    appendToLog(text);
    if (m_capture)
        m_capture->append(text);
    if (!m_isRunning)
        return;
    m_commandOutput.append(text);
    if (m_commandOutput.size() > commandOutputLimit)
        m_commandOutput = Text::tail(m_commandOutput, commandOutputKeep);
    Q_EMIT commandOutputChanged();
    countHeadings(text);
}

void BrewStore::countHeadings(const QString &text)
{
    if (m_countBundleLines) {
        countBundleLines(text);
        return;
    }
    for (const HeadingCounter::Heading &heading : HeadingCounter::headings(text)) {
        if (heading.countsAsStep) {
            ++m_progressDone;
            Q_EMIT progressChanged();
        }
        std::optional<double> progress;
        if (m_progressTotal && *m_progressTotal >= 1)
            progress = std::min(progressCap, double(m_progressDone) / *m_progressTotal);
        m_activity->update(heading.text, progress);
    }
}

QCoro::Task<> BrewStore::install(QList<Package> packages)
{
    QStringList formulae;
    QStringList casks;
    for (const Package &package : std::as_const(packages)) {
        if (isInstalled(package))
            continue;
        (package.kind == PackageKind::formula ? formulae : casks).append(package.name);
    }
    const qsizetype n = formulae.size() + casks.size();
    if (n == 0)
        co_return;
    QList<QStringList> commands;
    if (!formulae.isEmpty())
        commands.append(QStringList{ u"install"_s, u"--formula"_s } + formulae);
    if (!casks.isEmpty())
        commands.append(QStringList{ u"install"_s, u"--cask"_s } + casks);
    co_await runSequence(u"Installing "_s + packageCount(n), commands, int(n), u"Installed "_s + packageCount(n));
}

QCoro::Task<> BrewStore::upgrade(QList<OutdatedPackage> packages)
{
    const qsizetype n = packages.size();
    QStringList formulae;
    QStringList casks;
    for (const OutdatedPackage &package : std::as_const(packages))
        (package.kind == PackageKind::formula ? formulae : casks).append(package.name);
    QList<QStringList> commands;
    if (!formulae.isEmpty())
        commands.append(QStringList{ u"upgrade"_s, u"--formula"_s } + formulae);
    if (!casks.isEmpty()) {
        QStringList command{ u"upgrade"_s, u"--cask"_s };
        if (m_includeSelfUpdating)
            command.append(u"--greedy"_s);
        commands.append(command + casks);
    }
    if (commands.isEmpty())
        co_return;
    co_await runSequence(u"Upgrading "_s + packageCount(n), commands, int(n), u"Upgraded "_s + packageCount(n));
}

QCoro::Task<> BrewStore::upgradeAll()
{
    QStringList command{ u"upgrade"_s };
    if (m_includeSelfUpdating)
        command.append(u"--greedy"_s);
    QList<QStringList> commands;
    commands.append(command);
    co_await runSequence(u"Upgrading all packages"_s, commands, int(m_outdated.size()), u"All packages upgraded"_s);
}

QCoro::Task<> BrewStore::updateHomebrew()
{
    QPointer<BrewStore> self(this);
    QList<QStringList> commands;
    commands.append(QStringList{ u"update"_s });
    co_await runSequence(u"Updating Homebrew"_s, commands, std::nullopt, u"Homebrew updated"_s);
    if (!self)
        co_return;
    const std::optional<QString> latest = co_await CatalogService::fetchLatestBrewVersion();
    if (!self)
        co_return;
    setLatestBrewVersion(latest);
    co_await loadCatalog();
}

void BrewStore::installHomebrew()
{
    const QString path = Platform::current().tempDir() + u"/install-homebrew.command"_s;
    const QString script = QStringList{
        u"#!/bin/bash"_s,
        u"/bin/bash -c \"$(curl -fsSL https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)\""_s,
        u"echo"_s,
        u"echo \"Finished. Return to Quillrig - it will detect Homebrew automatically.\""_s,
    }.join(u'\n');
    try {
        Files::writeAtomically(path, script.toUtf8());
        Files::setPermissions(path,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    } catch (const std::exception &error) {
        // Opening a half-prepared installer would only confuse; the log says what went wrong.
        appendToLog(u"Could not prepare the installer: "_s + errorText(error) + u'\n');
        return;
    }
    Platform::current().openFile(path);
}
