#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace fakebrew {

enum class Kind { formula, cask };

// Everything the fake `brew` knows about its simulated machine: the catalog, what is installed at
// which version, and the scripted misbehaviour of single packages. It lives in one JSON file that
// the test helper writes and every run of the fake reads (and, for install and upgrade, rewrites).
struct FakeBrewState {
    struct Package {
        QString name{};
        QString version{}; // what an install or upgrade puts on the machine
        QStringList installedVersions{}; // empty while not installed
        QStringList dependencies{}; // formulae: other formulae installed first, recursively
        QString app{}; // casks: the bundle moved to /Applications; empty = derived from the token
        QStringList fonts{}; // casks: files moved to ~/Library/Fonts (a font cask has no app)
        bool autoUpdates = false; // casks that update themselves: outdated only with --greedy
        bool pinned = false; // listed as outdated, never upgraded by a plain `upgrade`
        // False for a package that is installed but no longer offered: list and outdated still show
        // it, install and upgrade do not find it.
        bool inCatalog = true;
        bool fails = false; // install and upgrade of this package fail
        QString failureMessage{}; // after "Error: "; empty = a typical message
        int delayMs = 0; // spent while installing or upgrading, spread over its output
        qint64 floodBytes = 0; // build-log lines printed while installing or upgrading
        // Formulae: asked for by the user rather than pulled in by another formula. Only such
        // formulae are leaves worth keeping; the others go with `autoremove`.
        bool installedOnRequest = true;
        qint64 installedTime = 0; // Unix seconds of the newest keg; 0 = a fixed time per package
        QString desc{};
        QString tap{}; // empty = homebrew/core or homebrew/cask
        QString displayName{}; // casks: the app's name; empty = derived from the app
        QStringList zap{}; // casks: what --zap trashes, "~" for the home folder; empty = no zap stanza

        bool isInstalled() const { return !installedVersions.isEmpty(); }
        // installedVersions runs from the oldest keg to the newest; the newest is the linked one.
        QString currentVersion() const { return installedVersions.isEmpty() ? QString() : installedVersions.last(); }
        bool isOutdated() const { return isInstalled() && !installedVersions.contains(version); }
        bool operator==(const Package &) const = default;
    };

    // What the next `brew update` (or auto-update) brings; cleared once applied.
    struct Update {
        QString homebrewVersion{}; // empty = Homebrew itself stays as it is
        QStringList newFormulae{};
        QStringList newCasks{};

        bool isEmpty() const { return homebrewVersion.isEmpty() && newFormulae.isEmpty() && newCasks.isEmpty(); }
        bool operator==(const Update &) const = default;
    };

    // A formula's background service as launchd sees it.
    struct Service {
        QString name{}; // the formula
        QString status = QStringLiteral("none"); // started, stopped, none, error, scheduled, unknown, other
        int pid = 0;
        std::optional<int> exitCode{};
        bool registered = false; // its file sits in LaunchAgents: `start`ed rather than `run`
        QString user{}; // who loaded it; empty = the user running brew
        int interval = 0; // seconds between timed runs; 0 = runs all the time
        QString cron{};
        int crashExitCode = 0; // not 0: dies right after starting and exits with this status
        bool bootstrapFails = false; // launchctl refuses to load it
        QString label{}; // empty = homebrew.mxcl.<name>

        bool isLoaded() const { return status != QStringLiteral("none"); }
        bool isTimed() const { return interval > 0 || !cron.isEmpty(); }
        QString launchdLabel() const { return label.isEmpty() ? QStringLiteral("homebrew.mxcl.") + name : label; }
        bool operator==(const Service &) const = default;
    };

    // A file in Homebrew's download cache that `cleanup` may remove.
    struct Download {
        QString file{};
        qint64 bytes = 0;
        int ageDays = 0;
        bool operator==(const Download &) const = default;
    };

    // What a Brewfile can name besides taps, formulae and casks.
    struct MasApp {
        QString name{};
        qint64 id = 0;
        bool operator==(const MasApp &) const = default;
    };
    struct Extension {
        QString type{}; // vscode, go, cargo, uv, flatpak, winget
        QString name{};
        bool operator==(const Extension &) const = default;
    };

    QString homebrewVersion = QStringLiteral("5.1.9");
    QString prefix = QStringLiteral("/opt/homebrew");
    QString bottleTag = QStringLiteral("arm64_sonoma");
    // Put in front of /Applications when casks are moved there; empty on a real-looking machine.
    QString systemRoot;
    // Where ~/Library/Fonts lives; empty = the HOME the fake is started with.
    QString home;
    QList<Package> formulae;
    QList<Package> casks;
    // Command name ("update", "outdated", "list", "--version"…) → text after "Error: ". Such a
    // command prints that error and exits 1 before doing anything.
    QHash<QString, QString> failingCommands;
    Update pendingUpdate;
    QList<Service> services;
    QStringList taps; // tapped besides the default ones, "user/repo"
    QList<Download> downloads;
    QList<MasApp> masApps;
    QList<Extension> extensions;

    bool operator==(const FakeBrewState &) const = default;

    QList<Package> &packages(Kind kind) { return kind == Kind::formula ? formulae : casks; }
    const QList<Package> &packages(Kind kind) const { return kind == Kind::formula ? formulae : casks; }
    Package *find(Kind kind, const QString &name);
    const Package *find(Kind kind, const QString &name) const;
    Service *service(const QString &name);
    // "5.1.12" against the simulated Homebrew's version, numerically.
    bool versionAtLeast(const QString &version) const;
    // `user/tap/name` for packages of other taps, the bare name for the default ones.
    static QString fullName(const Package &package, Kind kind);

    QByteArray toJson() const;
    // Nothing when the text is not a JSON object; missing keys keep their defaults.
    static std::optional<FakeBrewState> fromJson(const QByteArray &json);

    static QString fileName() { return QStringLiteral("state.json"); }
    // Beside the state: one JSON object per line for every run of the fake, with "arguments",
    // "environment" (the Homebrew-related variables) and "stdinIsNull".
    static QString invocationLogName() { return QStringLiteral("invocations.jsonl"); }
    // The state file inside a state folder; nothing when it is missing or unreadable.
    static std::optional<FakeBrewState> load(const QString &folder);
    // Atomically, so a concurrent reader sees the old or the new state. False when it cannot write.
    bool save(const QString &folder) const;
};

} // namespace fakebrew
