#pragma once

#include "FakeBrewState.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillrig::test {

class Sandbox;

// Homebrew on a simulated Mac. Installs a wrapper at a brew location of the sandbox
// ("/opt/homebrew/bin/brew" by default) that runs the fake-brew program on a state folder inside
// the sandbox, so `brew install` and `brew upgrade` really change what `brew list` and
// `brew outdated` print afterwards. Calls are recorded like any sandbox tool (Sandbox::calls).
//
// Every setter writes the state folder at once and starts from what is on disk, so set-up done
// after brew has run keeps what brew changed.
class FakeBrew {
public:
    using State = fakebrew::FakeBrewState;
    using Package = fakebrew::FakeBrewState::Package;
    using Kind = fakebrew::Kind;
    using Service = fakebrew::FakeBrewState::Service;

    // One run of brew as the fake saw it.
    struct Invocation {
        QStringList arguments;
        // HOMEBREW_*, NONINTERACTIVE, SUDO_ASKPASS, PATH and HOME, when set.
        QHash<QString, QString> environment;
        bool stdinIsNull = false;
        bool operator==(const Invocation &) const = default;
    };

    explicit FakeBrew(Sandbox &sandbox, const QString &location = QStringLiteral("/opt/homebrew/bin/brew"));
    FakeBrew(const FakeBrew &) = delete;
    FakeBrew &operator=(const FakeBrew &) = delete;

    // The path the application looks for ("/opt/homebrew/bin/brew").
    QString location() const { return m_location; }
    // The wrapper itself, inside the sandbox's system root.
    QString executable() const;
    QString stateFolder() const { return m_stateFolder; }

    // Adds a package to the catalog, or replaces the one of the same name. Older kegs go first in
    // installedVersions; installedOnRequest, pinned, dependencies and (casks) zap as the test needs.
    FakeBrew &addFormula(const Package &formula);
    FakeBrew &addCask(const Package &cask);
    // A formula's service, or a replacement for the one of the same formula. Set crashExitCode for
    // one that ends in `error` when started, bootstrapFails for one launchctl refuses.
    FakeBrew &addService(const Service &service);
    FakeBrew &addTap(const QString &tap);
    // A file in Homebrew's download cache, `days` old, for `brew cleanup`.
    FakeBrew &addDownload(const QString &file, qint64 bytes, int days);
    // Edits a known package: scripted failures, delays, output floods, leaving the catalog…
    FakeBrew &change(Kind kind, const QString &name, const std::function<void(Package &)> &edit);
    FakeBrew &setHomebrewVersion(const QString &version);
    // `brew <command>` prints "Error: " + message and exits 1 ("update", "outdated", "--version"…).
    FakeBrew &failCommand(const QString &command, const QString &message);
    // What the next `brew update` brings.
    FakeBrew &setPendingUpdate(const State::Update &update);
    // Anything the shortcuts do not cover.
    FakeBrew &edit(const std::function<void(State &)> &change);

    // A developer's Mac in daily use: about twenty formulae and ten casks, most installed, a few
    // outdated (some of them casks that update themselves), the apps of the installed casks in
    // /Applications, and new packages waiting for `brew update`.
    FakeBrew &addDemoMac();

    // What is on disk now.
    State state() const;
    QStringList installed(Kind kind) const; // sorted
    QStringList outdated(Kind kind) const; // installed at another version than the catalog's, sorted
    std::optional<Package> package(Kind kind, const QString &name) const;
    std::optional<Service> service(const QString &name) const;
    QList<Invocation> invocations() const;

private:
    Sandbox &m_sandbox;
    QString m_location;
    QString m_stateFolder;
};

} // namespace quillrig::test
