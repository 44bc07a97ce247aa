#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The one door to the operating system. Production code never asks Qt or the C library for the
// home folder, an environment variable or an absolute path: it asks the current Platform, so
// tests can re-root all of it into a sandbox (see Platform::ScopedOverride).
class Platform {
public:
    // Everything that differs between the real machine and a test sandbox. Tests build one of
    // these, production uses Settings::forThisMachine().
    struct Settings {
        QString homeDir;
        QString tempDir; // private to the user (never a shared /tmp)
        QString appSupportDir; // macOS: ~/Library/Application Support
        // Prefix put in front of every absolute system path ("/opt/homebrew/bin/brew",
        // "/usr/bin/defaults", "/Applications/iTerm.app"…). Empty on the real machine.
        QString systemRoot;
        QProcessEnvironment environment;

        QUrl catalogApiBase; // serves /api/formula.json, /api/cask.json, /api/<kind>/<name>.json
        QUrl releaseApiBase; // serves /repos/Homebrew/brew/releases/latest

        // Where the user-defaults Booleans live. Empty: the native store of the platform.
        QString userDefaultsFile;

        std::chrono::milliseconds successFade{ 8000 };
        // A download that receives nothing for this long is given up as stalled.
        std::chrono::milliseconds networkStall{ 60000 };
        std::chrono::milliseconds commandLineToolsPoll{ 5000 };
        int commandLineToolsPollTries = 360;

        QString systemVersion; // "14.5.0"
        QString appShortVersion;
        QString appBuildNumber;

        static Settings forThisMachine();
    };

    // Hooks that need the Gui module. The application installs the real ones at start-up;
    // tests install recording ones. Unset hooks do nothing.
    struct Hooks {
        std::function<void(const QUrl &)> openUrl;
        std::function<void(const QString &)> openFile;
        std::function<void(const QString &)> setClipboardText;
    };

    explicit Platform(Settings settings);

    static Platform &current();

    const Settings &settings() const { return m_settings; }

    QString homeDir() const { return m_settings.homeDir; }
    QString tempDir() const { return m_settings.tempDir; }
    QString appSupportDir() const { return m_settings.appSupportDir; }
    // "~/" + relative, for files in the user's home.
    QString homePath(const QString &relative) const;
    // An absolute system path as seen from this process ("/usr/bin/defaults" → sandboxed).
    QString systemPath(const QString &absolutePath) const;
    QProcessEnvironment environment() const { return m_settings.environment; }

    QUrl catalogApiBase() const { return m_settings.catalogApiBase; }
    QUrl releaseApiBase() const { return m_settings.releaseApiBase; }

    std::optional<bool> boolDefault(const QString &key) const;
    void setBoolDefault(const QString &key, bool value);

    void openUrl(const QUrl &url) const;
    void openFile(const QString &path) const;
    void setClipboardText(const QString &text) const;

    std::chrono::milliseconds successFade() const { return m_settings.successFade; }
    std::chrono::milliseconds networkStall() const { return m_settings.networkStall; }
    std::chrono::milliseconds commandLineToolsPoll() const { return m_settings.commandLineToolsPoll; }
    int commandLineToolsPollTries() const { return m_settings.commandLineToolsPollTries; }

    QString systemVersion() const { return m_settings.systemVersion; }
    QString appShortVersion() const { return m_settings.appShortVersion; }
    QString appBuildNumber() const { return m_settings.appBuildNumber; }

    // Distinct for every Platform object. Things that happen "once per run of the application"
    // (the askpass script) happen once per installed Platform, so each test sandbox is a fresh run.
    quint64 instanceId() const { return m_instanceId; }

    static void setHooks(Hooks hooks);
    static Hooks hooks();

    // Installs a platform for the lifetime of this object and restores the previous one after.
    class ScopedOverride {
    public:
        explicit ScopedOverride(Settings settings);
        ~ScopedOverride();
        ScopedOverride(const ScopedOverride &) = delete;
        ScopedOverride &operator=(const ScopedOverride &) = delete;

    private:
        std::unique_ptr<Platform> m_platform;
        Platform *m_previous;
    };

private:
    Settings m_settings;
    quint64 m_instanceId;
};
