#pragma once

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
    // Homebrew's disk-usage text: "1MB", "4.5MB", "852.1KB".
    static QString readableSize(qint64 bytes);

private:
    struct Options {
        QSet<QString> flags;
        QStringList names;
        QString json; // the value of --json (v1 when given without one)
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

    std::optional<Options> parse(const QStringList &arguments, const QStringList &allowed);
    std::optional<Kind> onlyKind(const Options &options);
    // Finds every named package the way Homebrew resolves its arguments: formulae before casks
    // unless a kind is forced. Prints the error of the first unknown name.
    std::optional<QList<Target>> resolve(const QStringList &names, std::optional<Kind> kind);
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
    void runCleanup(const QString &name, const std::optional<QString> &oldVersion, qint64 oldSize);
    // Collects the missing dependencies of a formula, deepest first. False on an unknown one.
    bool missingDependencies(const QString &name, QStringList &missing, QStringList &visiting);
    // Puts a cask's app and fonts in place; a replaced version is backed up and removed first.
    void moveArtifacts(const FakeBrewState::Package &cask, const QString &replacedVersion);
    QString failureText(const FakeBrewState::Package &package, Kind kind) const;
    QString appName(const FakeBrewState::Package &cask) const;
    QStringList fontNames(const FakeBrewState::Package &cask) const;
    QString homeFolder() const;
    bool showHints() const;

    void pause(int ms);
    void flood(const FakeBrewState::Package &formula);
    void out(const QString &line);
    void err(const QString &line);
    void recordInvocation(const QStringList &arguments);

    QString m_stateFolder;
    QProcessEnvironment m_environment;
    FakeBrewState m_state;
};

} // namespace fakebrew
