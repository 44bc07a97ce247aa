#pragma once

#include "Console.h"
#include "FakeBrewState.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace fakebrew {

// One run of the fake `brew`: parses the command line like Homebrew does, prints what Homebrew
// prints into a pipe (no colours, "==> " headings) and changes the state folder the way the real
// command would change the machine.
class FakeBrewCli {
public:
    FakeBrewCli(QString stateFolder, QProcessEnvironment environment);

    // The exit status of the command.
    int run(const QStringList &arguments);

    // "a", "a and b", "a, b and c" — how Homebrew lists names in one sentence.
    static QString sentence(const QStringList &words);
    // Homebrew's disk-usage text: "1MB", "4.5MB", "852.1KB"; decimal units since 5.0, binary before.
    static QString readableSize(qint64 bytes, bool decimal = true);

private:
    struct Options {
        QSet<QString> flags;
        QStringList names;
        QString json; // the value of --json (v1 when given without one)
        QHash<QString, QString> values; // --prune=30 and the like
    };
    struct Target {
        Kind kind;
        QString name;
    };

    int version();
    int list(const Options &options);
    int outdated(const Options &options);
    int install(const Options &options);
    int upgrade(const Options &options);
    int update();
    int prefix();
    int info(const Options &options);
    int uninstall(const Options &options);
    int reinstall(const Options &options);
    int pin(const Options &options, bool pinning);
    int listPinned(const Options &options);
    int uses(const Options &options);
    int leaves(const Options &options);
    int autoremove(const Options &options);
    int cleanup(const Options &options);
    int services(const QStringList &arguments);
    int bundle(const QStringList &arguments);

    std::optional<Options> parse(const QStringList &arguments, const QStringList &allowed);
    std::optional<Kind> onlyKind(const Options &options);
    // Finds every named package the way Homebrew resolves its arguments: formulae before casks
    // unless a kind is forced. Prints the error of the first unknown name.
    std::optional<QList<Target>> resolve(const QStringList &names, std::optional<Kind> kind);
    std::optional<QList<Target>> packageArguments(const Options &options);
    bool loadState();
    bool saveState();

    void autoUpdate();
    void printUpdateSummary();
    bool installFormula(const QString &name);
    bool installCask(FakeBrewState::Package &cask);
    bool upgradeFormula(const QString &name);
    bool upgradeCask(FakeBrewState::Package &cask);
    // Installs or rebuilds a keg: a bottle, or a build log when the package floods. False when
    // the package is scripted to fail.
    bool pour(FakeBrewState::Package &formula);
    // The cleanup after an install: removes the given older kegs. False when the environment turns it off.
    bool runCleanup(const QString &name, const QStringList &oldVersions);
    // Collects the missing dependencies of a formula, deepest first. False on an unknown one.
    bool missingDependencies(const QString &name, QStringList &missing, QStringList &visiting);
    // Puts a cask's app and fonts in place; a replaced version is backed up and removed first.
    void moveArtifacts(const FakeBrewState::Package &cask, const QString &replacedVersion);
    QString failureText(const FakeBrewState::Package &package, Kind kind) const;
    QString appName(const FakeBrewState::Package &cask) const;
    QStringList fontNames(const FakeBrewState::Package &cask) const;
    QString homeFolder() const;
    bool showHints() const;

    // Sizes as the simulated Homebrew version prints them.
    QString size(qint64 bytes) const;
    // "(92 files, 4.5MB)" without the parentheses.
    QString usage(int files, qint64 bytes) const;
    QString kegPath(const QString &name, const QString &version) const;
    // Every formula an installed formula needs at run time, directly or through others: what its
    // install receipt records.
    QStringList runtimeClosure(const QString &name) const;
    QStringList caskClosure(const FakeBrewState::Package &cask) const;
    // Full names of the installed formulae and casks that need any of `names`, sorted.
    QStringList installedDependents(const QStringList &names) const;
    // Installed formulae that were only pulled in by others no longer installed, sorted.
    QStringList unneededFormulae() const;
    void printAutoremove(const QStringList &names, bool dryRun);
    void autoremoveAfterUninstall();
    void uninstallCask(FakeBrewState::Package &cask, bool zap);
    void removeCaskArtifacts(const FakeBrewState::Package &cask, const QString &version);
    // Stops a formula's service before its last keg goes, as Homebrew does.
    void stopServiceOf(const QString &name);
    bool reinstallFormula(FakeBrewState::Package &formula);
    bool reinstallCask(FakeBrewState::Package &cask);
    // For `brew bundle`: installs or upgrades one package with its output held back. False on failure,
    // with that output left in the console's capture.
    bool installQuietly(Kind kind, const QString &name);
    // A path as the fake may touch it: "~/…" inside the simulated home, "/…" inside the system root.
    // Empty when the state names no simulated machine, so the fake never deletes real files.
    QString machinePath(const QString &path) const;

    void pause(int ms);
    void flood(const FakeBrewState::Package &formula);
    void out(const QString &line);
    void err(const QString &line);
    void recordInvocation(const QStringList &arguments);

    QString m_stateFolder;
    QProcessEnvironment m_environment;
    FakeBrewState m_state;
    Console m_console;
};

} // namespace fakebrew
