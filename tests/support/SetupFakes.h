#pragma once

#include "Sandbox.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillrig::test {

// Fake macOS tools for the setup engine, installed into a Sandbox. They honour what the engine
// relies on and nothing more; no network, no real macOS, never the machine's own home:
// - xcode-select: `-p` prints the Command Line Tools folder once it exists; `--install` starts a
//   simulated installation that creates it after a delay.
// - softwareupdate: `--install-rosetta` creates the Rosetta runtime file (or fails, scriptable).
// - defaults: a file-backed store; booleans read back as 1/0 like the real tool.
// - killall, ssh-add: recorded, exit 0. ssh-keygen: a wrapper around the real one.
// - /bin/sh: a wrapper around the real one; curl serves a stand-in Oh My Zsh installer for the
//   installer address only.
// - git: a wrapper around the real one, with the plugin and theme repositories served from
//   local repositories through url.<…>.insteadOf in the sandbox's ~/.gitconfig.
// - brew: "installs" the iTerm2 and font casks by creating their files.
class SetupFakes {
public:
    enum class Rosetta { installs, fails, failsButInstalls };

    explicit SetupFakes(Sandbox &sandbox);

    // Everything an apply run of all nine components needs, Command Line Tools not installed.
    void installAll();

    // The folder `xcode-select -p` reports once the tools are installed.
    QString commandLineToolsDir() const;
    // `installDelayMs` < 0: an installation that never finishes.
    void installXcodeSelect(int installDelayMs = 100);
    void setCommandLineToolsInstalled(bool installed);

    QString rosettaPath() const;
    void installSoftwareUpdate(Rosetta behaviour = Rosetta::installs);

    void installDefaults();
    void setDefaultsWritesFail(bool fail);
    // The stored value as `defaults read` prints it, or nothing when the key is unknown.
    std::optional<QString> defaultsValue(const QString &domain, const QString &key) const;
    void setDefaultsValue(const QString &domain, const QString &key, const QString &value);

    void installKillall();
    // ssh-keygen (wrapping the real /usr/bin/ssh-keygen) and a recording ssh-add.
    void installSsh();

    // /bin/sh, curl and the stand-in Oh My Zsh installer.
    void installOhMyZshInstaller();
    void setOhMyZshInstallerFails(bool fail);

    // A wrapper at `absolutePath` that runs the real /usr/bin/git, and the local repositories.
    void installGit(const QString &absolutePath = QStringLiteral("/opt/homebrew/bin/git"));
    void setRepositoryMissing(const QString &repositoryPath, bool missing); // "zsh-users/zsh-autosuggestions"

    void installBrew();
    void setBrewFails(bool fail);

    // A prompt preset of our own making ("lean", "classic", "rainbow", "pure"), as the theme
    // repository's config/p10k-<style>.zsh holds it.
    static QByteArray presetText(const QString &style);
    // The ~/.zshrc the stand-in installer writes.
    static QByteArray ohMyZshTemplate();

private:
    QString state(const QString &name) const;
    void setMarker(const QString &name, bool on);
    void createRepository(const QString &repositoryPath, const QList<std::pair<QString, QByteArray>> &files);
    void runGit(const QStringList &arguments, const QString &workingDirectory);

    Sandbox &m_sandbox;
    QString m_stateDir;
    bool m_repositoriesCreated = false;
};

} // namespace quillrig::test
