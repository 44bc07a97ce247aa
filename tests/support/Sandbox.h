#pragma once

#include "platform/Platform.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

namespace quillrig::test {

// What a fake command-line tool does when it runs.
struct FakeTool {
    QByteArray stdoutText;
    QByteArray stderrText;
    int exitCode = 0;
    int delayMs = 0;
};

// A private home folder, temporary folder, Application Support folder and system root,
// installed as the current Platform for the lifetime of the object. Children see HOME and
// XDG_CONFIG_HOME inside the sandbox, so real git, ssh-keygen and zsh never touch the
// machine's own dotfiles.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    QString home() const;
    QString temp() const;
    QString appSupport() const;
    QString root() const;

    // "/usr/bin/defaults" → the same path inside the sandbox's system root.
    QString systemPath(const QString &absolutePath) const;
    // ".zshrc" → the file in the sandbox home.
    QString homePath(const QString &relative) const;

    // Writes a file (creating its folders) at an absolute path outside or inside the sandbox.
    static void writeFile(const QString &path, const QByteArray &contents);
    static QByteArray readFile(const QString &path);

    // Installs a fake tool at a system path ("/opt/homebrew/bin/brew"). Every call appends its
    // arguments to a log that calls() reads back.
    void addTool(const QString &absolutePath, const FakeTool &tool);
    // Installs a tool whose body is the given shell script (after "#!/bin/sh").
    void addScript(const QString &absolutePath, const QByteArray &body);
    // The argument lists of every recorded call of a fake tool, oldest first.
    QList<QStringList> calls(const QString &absolutePath) const;
    void removeTool(const QString &absolutePath);

    // Changes the installed platform (endpoints, timings, environment…). The platform is
    // re-installed, which counts as a new run of the application.
    void configure(const std::function<void(Platform::Settings &)> &change);
    const Platform::Settings &settings() const { return m_settings; }

    // The recorded Gui hooks.
    QList<QUrl> openedUrls;
    QStringList openedFiles;
    QStringList clipboard;

private:
    QString callsLogPath(const QString &absolutePath) const;
    void install();

    QTemporaryDir m_dir;
    Platform::Settings m_settings;
    std::optional<Platform::ScopedOverride> m_override;
    Platform::Hooks m_previousHooks;
};

} // namespace quillrig::test
