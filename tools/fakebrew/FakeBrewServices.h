#pragma once

#include "Console.h"
#include "FakeBrewState.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace fakebrew {

// `brew services` on the simulated machine: lists and describes the services of installed
// formulae, and starts, stops, restarts and runs them, with launchd's part played by the state:
// a started service has a PID and its file in ~/Library/LaunchAgents, one set up to crash ends in
// `error` with its exit status, one launchd refuses fails the way launchctl does.
class FakeBrewServices {
public:
    using Service = FakeBrewState::Service;

    FakeBrewServices(FakeBrewState &state, Console &console, QString home, QProcessEnvironment environment);

    // The arguments after `services`. Changes the state in memory; the caller saves it.
    int run(const QStringList &arguments);

    // As `brew services start` (registering at login) or `run` (this time only). False on failure.
    bool start(Service &service, bool registerAtLogin);
    bool stop(Service &service, bool wait);
    // Takes the service out of launchd without a word, as when its formula goes.
    void unload(Service &service);

private:
    int list(bool json);
    int info(const QList<Service *> &services, bool json);
    bool restart(Service &service, bool wait);

    QString currentUser() const;
    QString launchAgentsFile(const Service &service) const;
    QString file(const Service &service) const;
    QString owner(const Service &service) const; // empty = none
    QString keg(const QString &name) const;
    bool isInstalled(const QString &name) const;

    FakeBrewState &m_state;
    Console &m_console;
    QString m_home;
    QProcessEnvironment m_environment;
};

} // namespace fakebrew
