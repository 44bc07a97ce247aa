#include "brew/ActivityStore.h"
#include "brew/BrewService.h"
#include "brew/BrewStore.h"
#include "brew/VersionCompare.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Logging.h"
#include "platform/SetAndNotify.h"
#include "platform/Text.h"

#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

constexpr double bundleProgressCap = 0.95;

QString serviceSubject(const QStringList &names)
{
    return names.size() == 1 ? names.first() : Text::counted(names.size(), u"service"_s, u"services"_s);
}

QString brewCommand(const QStringList &arguments)
{
    return u"brew "_s + arguments.join(u' ');
}

} // namespace

QCoro::Task<> BrewStore::refreshServices()
{
    if (!m_brewPath)
        co_return;
    QPointer<BrewStore> self(this);
    // Refreshes may overlap (an action's own refresh and the Retry button); the newest one wins.
    const quint64 generation = ++m_servicesGeneration;
    setAndNotify(this, m_isLoadingServices, true, &BrewStore::isLoadingServicesChanged);

    QString everything; // standard error too: that is where brew explains a failure
    const Process::OutputHandler onOutput = [&everything](const QString &chunk) { everything += chunk; };
    std::optional<Process::Result> result;
    QString failure;
    try {
        const QStringList arguments{ u"services"_s, u"list"_s, u"--json"_s };
        result = co_await BrewService::runBrew(arguments, *m_brewPath, onOutput);
    } catch (const std::exception &error) {
        failure = errorText(error);
    }
    if (!self || generation != m_servicesGeneration)
        co_return;

    std::optional<QList<ServiceEntry>> services;
    if (result && result->status != 0) {
        failure = ServiceFormats::errorMessage(everything);
        if (failure.isEmpty())
            failure = u"brew services exited with status "_s + QString::number(result->status) + u'.';
    } else if (result) {
        services = ServiceFormats::decodeServiceList(result->output.toUtf8());
        if (!services)
            failure = u"brew printed something other than the list of services:\n"_s
                + Text::tail(result->output.trimmed(), 2000);
    }

    if (services) {
        const bool changed = *services != m_services || !m_servicesKnown;
        m_services = *services;
        m_servicesKnown = true;
        if (changed)
            Q_EMIT servicesChanged();
        setAndNotify(this, m_servicesError, std::optional<QString>(), &BrewStore::servicesErrorChanged);
    } else {
        qCWarning(lcBrew) << "brew services list failed:" << failure;
        setAndNotify(this, m_servicesError, std::optional(failure), &BrewStore::servicesErrorChanged);
    }
    setAndNotify(this, m_isLoadingServices, false, &BrewStore::isLoadingServicesChanged);
}

QCoro::Task<std::optional<ServiceDetails>> BrewStore::serviceDetails(QString name)
{
    if (!m_brewPath)
        co_return std::nullopt;
    try {
        const QStringList arguments{ u"services"_s, u"info"_s, u"--json"_s, name };
        const Process::Result result = co_await BrewService::runBrew(arguments, *m_brewPath);
        if (result.status != 0)
            co_return std::nullopt;
        co_return ServiceFormats::decodeServiceDetails(result.output.toUtf8(), name);
    } catch (const std::exception &error) {
        qCWarning(lcBrew) << "brew services info" << name << "did not run:" << errorText(error);
        co_return std::nullopt;
    }
}

QCoro::Task<> BrewStore::controlServices(ServiceAction action, QStringList names)
{
    QStringList allowed;
    for (const QString &name : std::as_const(names)) {
        const auto it = std::find_if(
            m_services.cbegin(), m_services.cend(), [&](const ServiceEntry &entry) { return entry.name == name; });
        if (it != m_services.cend() && it->isOwnedByRoot())
            continue;
        if (!allowed.contains(name))
            allowed.append(name);
    }
    if (allowed.isEmpty() || m_isRunning)
        co_return;

    QString verb;
    QString title;
    QString success;
    const QString subject = serviceSubject(allowed);
    switch (action) {
    case ServiceAction::start:
        verb = u"start"_s;
        title = u"Starting "_s + subject;
        success = u"Started "_s + subject;
        break;
    case ServiceAction::stop:
        verb = u"stop"_s;
        title = u"Stopping "_s + subject;
        success = u"Stopped "_s + subject;
        break;
    case ServiceAction::restart:
        verb = u"restart"_s;
        title = u"Restarting "_s + subject;
        success = u"Restarted "_s + subject;
        break;
    case ServiceAction::runOnce:
        verb = u"run"_s;
        title = u"Running "_s + subject + u" once"_s;
        success = u"Ran "_s + subject + u" once"_s;
        break;
    }
    // One command per service, so one that fails does not keep the others from their turn.
    QList<QStringList> commands;
    for (const QString &name : std::as_const(allowed))
        commands.append(QStringList{ u"services"_s, verb, name });

    QPointer<BrewStore> self(this);
    SequenceExtras extras;
    extras.verify = [self, action, allowed](bool) -> QCoro::Task<std::optional<std::pair<QString, QString>>> {
        if (!self)
            return []() -> QCoro::Task<std::optional<std::pair<QString, QString>>> { co_return std::nullopt; }();
        return self->verifyServices(action, allowed);
    };
    co_await runSequence(title, commands, std::nullopt, success, &extras);
}

QCoro::Task<std::optional<std::pair<QString, QString>>> BrewStore::verifyServices(
    ServiceAction action, QStringList names)
{
    QPointer<BrewStore> self(this);
    co_await refreshServices();
    if (!self || action == ServiceAction::stop)
        co_return std::nullopt;
    // brew reports "Successfully started" as soon as launchd has the job, even when the program
    // dies right away; the list tells the truth.
    const QString verb = action == ServiceAction::start ? u"start"_s
        : action == ServiceAction::restart              ? u"restart"_s
                                                        : u"run"_s;
    for (const QString &name : std::as_const(names)) {
        for (const ServiceEntry &entry : std::as_const(m_services)) {
            if (entry.name != name || entry.status != u"error"_s)
                continue;
            const QString exit = entry.exitCode ? u" with exit code "_s + QString::number(*entry.exitCode) : QString();
            co_return std::pair(brewCommand({ u"services"_s, verb, name }),
                name + u" stopped right after starting"_s + exit
                    + u".\nIts error log (see the service's details) usually says why."_s);
        }
    }
    co_return std::nullopt;
}

QString BrewStore::brewfileProblem(const QString &path)
{
    if (path.isEmpty())
        return u"No Brewfile was chosen."_s;
    if (!Files::exists(path))
        return u"“%1” does not exist."_s.arg(path);
    if (Files::isDirectory(path))
        return u"“%1” is a folder, not a Brewfile."_s.arg(path);
    if (!Files::read(path))
        return u"“%1” cannot be read. Check that you have permission to open it."_s.arg(path);
    return {};
}

QCoro::Task<> BrewStore::exportBrewfile(QString path, bool describe)
{
    if (m_isRunning || path.isEmpty())
        co_return;
    const QString folder = QFileInfo(path).absolutePath();
    QStringList arguments{ u"bundle"_s, u"dump"_s, u"--file="_s + path, u"--force"_s };
    if (describe)
        arguments.append(u"--describe"_s);
    else if (m_brewVersion && VersionCompare::compareNumeric(*m_brewVersion, u"6.0.0") >= 0)
        // Homebrew 6 describes by default; an unticked box must still mean no descriptions.
        arguments.append(u"--no-describe"_s);
    QList<QStringList> commands{ arguments };

    SequenceExtras extras;
    // brew that says nothing and writes nothing must not look like a saved file.
    extras.verify = [path](bool succeeded) -> QCoro::Task<std::optional<std::pair<QString, QString>>> {
        return [](QString file, bool ok) -> QCoro::Task<std::optional<std::pair<QString, QString>>> {
            if (!ok || Files::exists(file))
                co_return std::nullopt;
            co_return std::pair(
                u"brew bundle dump --file="_s + file, u"brew finished but no Brewfile appeared at “%1”."_s.arg(file));
        }(path, succeeded);
    };
    if (!Files::isDirectory(folder)) {
        m_activity->cancelFade();
        m_activity->setPhase(ActivityStore::Phase::failure(
            u"Exporting Brewfile failed"_s, u"The folder “%1” does not exist."_s.arg(folder)));
        co_return;
    }
    co_await runSequence(u"Exporting Brewfile"_s, commands, std::nullopt, u"Saved Brewfile to "_s + path, &extras);
}

QCoro::Task<BrewfileCheck> BrewStore::checkBrewfile(QString path)
{
    BrewfileCheck check;
    if (const QString problem = brewfileProblem(path); !problem.isEmpty()) {
        check.error = problem;
        co_return check;
    }
    if (!m_brewPath) {
        check.error = u"Homebrew was not found."_s;
        co_return check;
    }
    QPointer<BrewStore> self(this);
    const QStringList arguments{ u"bundle"_s, u"check"_s, u"--file="_s + path, u"--verbose"_s };
    appendToLog(u"$ "_s + brewCommand(arguments) + u'\n');
    QString everything; // 6.0.10 and later list what is missing on standard error
    const Process::OutputHandler onOutput = [self, &everything](const QString &chunk) {
        everything += chunk;
        if (self)
            self->appendToLog(chunk);
    };
    std::optional<Process::Result> result;
    try {
        result = co_await BrewService::runBrew(arguments, *m_brewPath, onOutput);
    } catch (const std::exception &error) {
        check.error = errorText(error);
        co_return check;
    }
    if (self)
        appendToLog(u"\n"_s);
    if (result->status == 0) {
        check.outcome = BrewfileCheck::Outcome::satisfied;
        co_return check;
    }
    check.missing = ServiceFormats::decodeBundleCheck(everything);
    if (!check.missing.isEmpty()) {
        check.outcome = BrewfileCheck::Outcome::missing;
        co_return check;
    }
    check.error = ServiceFormats::errorMessage(everything);
    if (check.error.isEmpty())
        check.error = u"brew bundle check exited with status "_s + QString::number(result->status) + u'.';
    co_return check;
}

QCoro::Task<> BrewStore::installBrewfile(QString path, int missingCount)
{
    if (m_isRunning)
        co_return;
    if (const QString problem = brewfileProblem(path); !problem.isEmpty()) {
        m_activity->cancelFade();
        m_activity->setPhase(ActivityStore::Phase::failure(u"Installing from Brewfile failed"_s, problem));
        co_return;
    }
    QList<QStringList> commands{ QStringList{ u"bundle"_s, u"install"_s, u"--file="_s + path } };
    QPointer<BrewStore> self(this);
    SequenceExtras extras;
    extras.bundleSteps = true;
    extras.successMessage = [self]() {
        const int done = self ? self->m_progressDone : 0;
        return u"Brewfile installed: "_s + Text::counted(done, u"dependency"_s, u"dependencies"_s) + u" in place"_s;
    };
    extras.verify = [self](bool) -> QCoro::Task<std::optional<std::pair<QString, QString>>> {
        return [](QPointer<BrewStore> store) -> QCoro::Task<std::optional<std::pair<QString, QString>>> {
            // A Brewfile may start services; show them as they are now.
            if (store && store->m_servicesKnown)
                co_await store->refreshServices();
            co_return std::nullopt;
        }(self);
    };
    co_await runSequence(
        u"Installing from Brewfile"_s, commands, std::max(missingCount, 1), u"Brewfile installed"_s, &extras);
}

void BrewStore::countBundleLines(const QString &text)
{
    // `brew bundle install` prints one line per Brewfile entry: "Installing wget", "Using jq".
    // Entries already there count as done and widen the total, so the bar measures the work.
    const QStringView view(text);
    qsizetype start = 0;
    while (start < view.size()) {
        qsizetype end = start;
        while (end < view.size() && view[end] != u'\n' && view[end] != u'\r')
            ++end;
        const QStringView line = view.sliced(start, end - start);
        start = end + 1;
        const ServiceFormats::BundleLine kind = ServiceFormats::classifyBundleLine(line);
        if (kind == ServiceFormats::BundleLine::other)
            continue;
        ++m_progressDone;
        if (kind == ServiceFormats::BundleLine::alreadyThere && m_progressTotal)
            ++*m_progressTotal;
        Q_EMIT progressChanged();
        std::optional<double> progress;
        if (m_progressTotal && *m_progressTotal >= 1)
            progress = std::min(bundleProgressCap, double(m_progressDone) / *m_progressTotal);
        m_activity->update(line.toString(), progress);
    }
}
