#pragma once

#include "Brewfile.h"
#include "Console.h"
#include "FakeBrewState.h"

#include <QProcessEnvironment>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace fakebrew {

// `brew bundle dump`, `check` and `install` over the simulated machine.
class FakeBrewBundle {
public:
    // Installs, or upgrades when outdated, one package as `brew install` would. Its output goes to
    // the console, which the bundle captures around the call.
    using Installer = std::function<bool(Kind kind, const QString &name)>;

    FakeBrewBundle(
        FakeBrewState &state, Console &console, QString home, QProcessEnvironment environment, Installer installer);

    // The arguments after `bundle`. Changes the state in memory; the caller saves it.
    int run(const QStringList &arguments);

private:
    struct Options {
        QString subcommand;
        QString file;
        bool global = false;
        QSet<QString> flags;
    };

    int dump(const Options &options);
    int check(const Options &options);
    int install(const Options &options);

    QString brewfilePath(const Options &options) const;
    // The Brewfile's entries; nothing (and the error printed) when it is missing or invalid.
    std::optional<QList<Brewfile::Entry>> read(const Options &options);
    // Why the Brewfile is not satisfied, one reason per unmet entry, in Homebrew's category order.
    QStringList problems(const QList<Brewfile::Entry> &entries, bool noUpgrade) const;
    bool isSatisfied(const Brewfile::Entry &entry, bool noUpgrade) const;
    bool needsFetch(const Brewfile::Entry &entry, bool noUpgrade) const;
    QStringList dumpLines(bool describe, bool restart) const;

    FakeBrewState &m_state;
    Console &m_console;
    QString m_home;
    QProcessEnvironment m_environment;
    Installer m_installer;
};

} // namespace fakebrew
