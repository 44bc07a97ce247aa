#include "FakeBrewServices.h"

#include "PrettyJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace fakebrew {

namespace {

int stablePid(const QString &name)
{
    quint32 hash = 2166136261u;
    for (const char byte : name.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 16777619u;
    }
    return 400 + static_cast<int>(hash % 90000);
}

QString tildeHome(const QString &path, const QString &home)
{
    return !home.isEmpty() && path.startsWith(home + u'/') ? u'~' + path.mid(home.size()) : path;
}

} // namespace

FakeBrewServices::FakeBrewServices(
    FakeBrewState &state, Console &console, QString home, QProcessEnvironment environment)
    : m_state(state)
    , m_console(console)
    , m_home(std::move(home))
    , m_environment(std::move(environment))
{
}

int FakeBrewServices::run(const QStringList &arguments)
{
    static const QHash<QString, QString> subcommands{
        { u"list"_s, u"list"_s },
        { u"ls"_s, u"list"_s },
        { u"info"_s, u"info"_s },
        { u"i"_s, u"info"_s },
        { u"start"_s, u"start"_s },
        { u"launch"_s, u"start"_s },
        { u"load"_s, u"start"_s },
        { u"s"_s, u"start"_s },
        { u"run"_s, u"run"_s },
        { u"stop"_s, u"stop"_s },
        { u"unload"_s, u"stop"_s },
        { u"terminate"_s, u"stop"_s },
        { u"term"_s, u"stop"_s },
        { u"t"_s, u"stop"_s },
        { u"u"_s, u"stop"_s },
        { u"restart"_s, u"restart"_s },
        { u"relaunch"_s, u"restart"_s },
        { u"reload"_s, u"restart"_s },
        { u"r"_s, u"restart"_s },
    };
    static const QStringList flags{ u"--json"_s, u"--all"_s, u"--no-wait"_s, u"--verbose"_s, u"-v"_s, u"--debug"_s,
        u"-d"_s, u"--quiet"_s, u"-q"_s, u"--keep"_s };
    static const QStringList valued{ u"--max-wait"_s, u"--file"_s, u"--sudo-service-user"_s };

    QString subcommand;
    QStringList names;
    QSet<QString> given;
    for (const QString &argument : arguments) {
        if (argument.startsWith(u'-')) {
            const QString flag = argument.section(u'=', 0, 0);
            if (!flags.contains(flag) && !valued.contains(flag)) {
                m_console.err(u"Error: invalid option: "_s + argument);
                return 1;
            }
            given.insert(flag);
        } else if (subcommand.isEmpty()) {
            subcommand = subcommands.value(argument);
            if (subcommand.isEmpty()) {
                m_console.err(u"Error: Invalid usage: unknown subcommand: "_s + argument);
                return 1;
            }
        } else if (!names.contains(argument)) {
            names.append(argument);
        }
    }
    if (subcommand.isEmpty())
        subcommand = u"list"_s;
    const bool json = given.contains(u"--json"_s);
    if (subcommand == u"list"_s)
        return list(json);

    const bool all = given.contains(u"--all"_s);
    if (names.isEmpty() && !all) {
        m_console.err(u"Error: Invalid usage: Formula(e) missing, please provide a formula name or use `--all`."_s);
        return 1;
    }
    QList<Service *> targets;
    if (all) {
        for (Service &service : m_state.services)
            if (isInstalled(service.name))
                targets.append(&service);
        std::sort(targets.begin(), targets.end(), [](Service *a, Service *b) { return a->name < b->name; });
    }
    for (const QString &name : std::as_const(names)) {
        if (!m_state.find(Kind::formula, name)) {
            m_console.err(u"Error: No available formula with the name \"%1\"."_s.arg(name));
            return 1;
        }
        Service *service = m_state.service(name);
        if (!service) {
            m_console.err(
                u"Error: Invalid usage: Formula `%1` has not implemented #plist, #service or provided a locatable service file."_s
                    .arg(name));
            return 1;
        }
        const bool starts = subcommand == u"start"_s || subcommand == u"run"_s || subcommand == u"restart"_s;
        if (starts && !isInstalled(name)) {
            m_console.err(u"Error: Formula `%1` is not installed."_s.arg(name));
            return 1;
        }
        if (!targets.contains(service))
            targets.append(service);
    }
    if (subcommand == u"info"_s)
        return info(targets, json);

    const bool wait = !given.contains(u"--no-wait"_s);
    bool ok = true;
    for (Service *service : std::as_const(targets)) {
        // With --all, only the services that need it.
        if (all && names.isEmpty()) {
            if ((subcommand == u"start"_s || subcommand == u"run"_s) && service->isLoaded())
                continue;
            if (subcommand == u"stop"_s && !service->isLoaded())
                continue;
        }
        if (subcommand == u"start"_s)
            ok = start(*service, true) && ok;
        else if (subcommand == u"run"_s)
            ok = start(*service, false) && ok;
        else if (subcommand == u"stop"_s)
            ok = stop(*service, wait) && ok;
        else
            ok = restart(*service, wait) && ok;
    }
    return ok ? 0 : 1;
}

int FakeBrewServices::list(bool json)
{
    QList<const Service *> services;
    for (const Service &service : std::as_const(m_state.services))
        if (isInstalled(service.name))
            services.append(&service);
    std::sort(services.begin(), services.end(), [](const Service *a, const Service *b) { return a->name < b->name; });

    if (json) {
        // Before 5.1.2 an empty list printed nothing at all.
        if (services.isEmpty() && !m_state.versionAtLeast(u"5.1.2"_s))
            return 0;
        QList<PrettyJson> items;
        for (const Service *service : std::as_const(services))
            items.append(PrettyJson::object({
                { u"name"_s, PrettyJson::string(service->name) },
                { u"status"_s, PrettyJson::string(service->status) },
                { u"user"_s, PrettyJson::optionalString(owner(*service)) },
                { u"file"_s, PrettyJson::string(file(*service)) },
                { u"exit_code"_s, PrettyJson::optionalNumber(service->exitCode) },
            }));
        m_console.out(PrettyJson::array(items).toString());
        return 0;
    }
    if (services.isEmpty())
        return 0;
    QList<QStringList> rows{ { u"Name"_s, u"Status"_s, u"User"_s, u"File"_s } };
    for (const Service *service : std::as_const(services)) {
        const QString status = service->status == u"error"_s && service->exitCode
            ? u"error  %1"_s.arg(*service->exitCode)
            : service->status;
        rows.append({ service->name, status, owner(*service),
            service->isLoaded() ? tildeHome(file(*service), m_home) : QString() });
    }
    QList<qsizetype> widths(3, 0);
    for (const QStringList &row : std::as_const(rows))
        for (int column = 0; column < 3; ++column)
            widths[column] = std::max(widths[column], row.at(column).size());
    for (const QStringList &row : std::as_const(rows)) {
        QStringList cells;
        for (int column = 0; column < 3; ++column)
            cells.append(row.at(column).leftJustified(widths[column]));
        cells.append(row.at(3));
        m_console.out(cells.join(u' ').trimmed());
    }
    return 0;
}

int FakeBrewServices::info(const QList<Service *> &services, bool json)
{
    QList<PrettyJson> items;
    for (const Service *service : services) {
        const QString name = service->name;
        const QString opt = m_state.prefix + u"/opt/"_s + name;
        const QString log = m_state.prefix + u"/var/log/"_s + name + u".log"_s;
        const bool running = service->status == u"started"_s && service->pid > 0;
        if (!json) {
            m_console.out(u"%1 (%2)"_s.arg(name, service->launchdLabel()));
            m_console.out(u"Running: "_s + (running ? u"true"_s : u"false"_s));
            m_console.out(u"Loaded: "_s + (service->isLoaded() ? u"true"_s : u"false"_s));
            m_console.out(u"Schedulable: "_s + (service->isTimed() ? u"true"_s : u"false"_s));
            if (service->pid > 0) {
                m_console.out(u"User: "_s + (owner(*service).isEmpty() ? currentUser() : owner(*service)));
                m_console.out(u"PID: "_s + QString::number(service->pid));
            }
            continue;
        }
        items.append(PrettyJson::object({
            { u"name"_s, PrettyJson::string(name) },
            { u"service_name"_s, PrettyJson::string(service->launchdLabel()) },
            { u"running"_s, PrettyJson::boolean(running) },
            { u"loaded"_s, PrettyJson::boolean(service->isLoaded()) },
            { u"schedulable"_s, PrettyJson::boolean(service->isTimed()) },
            { u"pid"_s, service->pid > 0 ? PrettyJson::number(service->pid) : PrettyJson::null() },
            { u"exit_code"_s, PrettyJson::optionalNumber(service->exitCode) },
            { u"user"_s, PrettyJson::optionalString(owner(*service)) },
            { u"status"_s, PrettyJson::string(service->status) },
            { u"file"_s, PrettyJson::string(file(*service)) },
            { u"registered"_s, PrettyJson::boolean(service->registered) },
            { u"loaded_file"_s, service->isLoaded() ? PrettyJson::string(file(*service)) : PrettyJson::null() },
            { u"command"_s, PrettyJson::string(opt + u"/bin/"_s + name) },
            { u"working_dir"_s, PrettyJson::string(m_state.prefix + u"/var"_s) },
            { u"root_dir"_s, PrettyJson::null() },
            { u"log_path"_s, PrettyJson::string(log) },
            { u"error_log_path"_s, PrettyJson::string(log) },
            { u"interval"_s, service->interval > 0 ? PrettyJson::number(service->interval) : PrettyJson::null() },
            { u"cron"_s, PrettyJson::optionalString(service->cron) },
        }));
    }
    if (json)
        m_console.out(PrettyJson::array(items).toString());
    // Homebrew answers 0 whatever state the services are in.
    return 0;
}

bool FakeBrewServices::start(Service &service, bool registerAtLogin)
{
    const QString name = service.name;
    if (service.status == u"started"_s || service.status == u"scheduled"_s) {
        m_console.out(registerAtLogin
                ? u"Service `%1` already started, use `brew services restart %1` to restart."_s.arg(name)
                : u"Service `%1` already running, use `brew services restart %1` to restart."_s.arg(name));
        return true;
    }
    if (service.bootstrapFails) {
        m_console.err(u"Bootstrap failed: 5: Input/output error"_s);
        m_console.err(u"Try re-running the command as root for richer errors."_s);
        m_console.err(u"Error: Failure while executing; `/bin/launchctl bootstrap gui/%1 %2` exited with 5."_s.arg(
            QString::number(getuid()), launchAgentsFile(service)));
        return false;
    }
    if (registerAtLogin && !m_state.home.isEmpty()) {
        const QString path = launchAgentsFile(service);
        QDir().mkpath(QFileInfo(path).path());
        QFile plist(path);
        if (plist.open(QIODevice::WriteOnly | QIODevice::Truncate))
            plist.write(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                        "\t<key>Label</key>\n\t<string>%1</string>\n\t<key>ProgramArguments</key>\n\t<array>\n"
                        "\t\t<string>%2/opt/%3/bin/%3</string>\n\t</array>\n</dict>\n</plist>\n"_s
                            .arg(service.launchdLabel(), m_state.prefix, name)
                            .toUtf8());
    }
    service.registered = registerAtLogin;
    service.user.clear();
    // launchd takes the job either way; "started" is reported even when the program then dies.
    if (service.crashExitCode != 0) {
        service.status = u"error"_s;
        service.pid = 0;
        service.exitCode = service.crashExitCode;
    } else if (service.isTimed()) {
        service.status = u"scheduled"_s;
        service.pid = 0;
        service.exitCode = 0;
    } else {
        service.status = u"started"_s;
        service.pid = stablePid(name);
        service.exitCode.reset();
    }
    m_console.out(u"==> Successfully %1 `%2` (label: %3)"_s.arg(
        registerAtLogin ? u"started"_s : u"ran"_s, name, service.launchdLabel()));
    return true;
}

bool FakeBrewServices::stop(Service &service, bool wait)
{
    const QString name = service.name;
    if (!service.isLoaded()) {
        m_console.err(u"Warning: Service `%1` is not started."_s.arg(name));
        return true;
    }
    if (service.user == u"root"_s && getuid() != 0) {
        m_console.err(u"Error: Service `%1` is started as `root`. Try:\n  sudo brew services stop %1"_s.arg(name));
        return false;
    }
    m_console.out(wait ? u"Stopping `%1`... (might take a while)"_s.arg(name) : u"Stopping `%1`..."_s.arg(name));
    unload(service);
    m_console.out(u"==> Successfully stopped `%1` (label: %2)"_s.arg(name, service.launchdLabel()));
    return true;
}

bool FakeBrewServices::restart(Service &service, bool wait)
{
    const bool wasRun = service.isLoaded() && !service.registered && service.user != u"root"_s;
    if (service.isLoaded() && !stop(service, wait))
        return false;
    return start(service, !wasRun);
}

void FakeBrewServices::unload(Service &service)
{
    if (service.registered && !m_state.home.isEmpty())
        QFile::remove(launchAgentsFile(service));
    service.status = u"none"_s;
    service.pid = 0;
    service.exitCode.reset();
    service.registered = false;
    service.user.clear();
}

QString FakeBrewServices::currentUser() const
{
    const QString user = m_environment.value(u"USER"_s);
    return user.isEmpty() ? QFileInfo(m_home).fileName() : user;
}

QString FakeBrewServices::launchAgentsFile(const Service &service) const
{
    return m_home + u"/Library/LaunchAgents/"_s + service.launchdLabel() + u".plist"_s;
}

QString FakeBrewServices::file(const Service &service) const
{
    if (service.user == u"root"_s && service.isLoaded())
        return u"/Library/LaunchDaemons/"_s + service.launchdLabel() + u".plist"_s;
    if (service.registered)
        return launchAgentsFile(service);
    return keg(service.name) + u'/' + service.launchdLabel() + u".plist"_s;
}

QString FakeBrewServices::owner(const Service &service) const
{
    if (service.user == u"root"_s && service.isLoaded())
        return service.user;
    if (service.registered)
        return service.user.isEmpty() ? currentUser() : service.user;
    return {};
}

QString FakeBrewServices::keg(const QString &name) const
{
    const FakeBrewState::Package *formula = m_state.find(Kind::formula, name);
    const QString version = formula && formula->isInstalled() ? formula->currentVersion()
        : formula                                             ? formula->version
                                                              : QString();
    return u"%1/Cellar/%2/%3"_s.arg(m_state.prefix, name, version);
}

bool FakeBrewServices::isInstalled(const QString &name) const
{
    const FakeBrewState::Package *formula = m_state.find(Kind::formula, name);
    return formula && formula->isInstalled();
}

} // namespace fakebrew
