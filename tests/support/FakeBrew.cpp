#include "FakeBrew.h"

#include "Sandbox.h"
#include "platform/ShellQuote.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillrig::test {

namespace {

FakeBrew::Package formula(
    const QString &name, const QString &version, const QString &installed = {}, const QStringList &dependencies = {})
{
    return { .name = name,
        .version = version,
        .installedVersions = installed.isEmpty() ? QStringList() : QStringList{ installed },
        .dependencies = dependencies };
}

FakeBrew::Package cask(
    const QString &name, const QString &version, const QString &installed, const QString &app, bool autoUpdates)
{
    return { .name = name,
        .version = version,
        .installedVersions = installed.isEmpty() ? QStringList() : QStringList{ installed },
        .app = app,
        .autoUpdates = autoUpdates };
}

} // namespace

FakeBrew::FakeBrew(Sandbox &sandbox, const QString &location)
    : m_sandbox(sandbox)
    , m_location(location)
{
    // "/opt/homebrew/bin/brew" → "/opt/homebrew"; the state sits beside the prefix's own folders.
    const QString prefix = QFileInfo(QFileInfo(location).path()).path();
    m_stateFolder = m_sandbox.systemPath(prefix + u"/.fake-brew"_s);
    State state;
    state.prefix = prefix;
    // An Intel Mac keeps Homebrew in /usr/local, and its bottles carry no architecture.
    state.bottleTag = prefix == u"/usr/local"_s ? u"sonoma"_s : u"arm64_sonoma"_s;
    state.systemRoot = m_sandbox.root();
    state.home = m_sandbox.home();
    if (!state.save(m_stateFolder))
        qFatal("cannot write the fake brew's state in %s", qPrintable(m_stateFolder));
    m_sandbox.addScript(location,
        "export FAKE_BREW_STATE=" + ShellQuote::singleQuoted(m_stateFolder).toUtf8() + "\nexec "
            + ShellQuote::singleQuoted(QStringLiteral(QUILLRIG_FAKE_BREW_PATH)).toUtf8() + " \"$@\"\n");
}

QString FakeBrew::executable() const
{
    return m_sandbox.systemPath(m_location);
}

FakeBrew &FakeBrew::edit(const std::function<void(State &)> &change)
{
    // The same lock the fake takes around a command that reads, changes and saves its state: an
    // edit made while such a command runs would otherwise be lost when the command saves.
    QLockFile lock(QDir(m_stateFolder).filePath(QStringLiteral("state.lock")));
    if (!lock.lock())
        qFatal("cannot lock the fake brew's state in %s", qPrintable(m_stateFolder));
    State current = state();
    change(current);
    if (!current.save(m_stateFolder))
        qFatal("cannot write the fake brew's state in %s", qPrintable(m_stateFolder));
    return *this;
}

FakeBrew &FakeBrew::addFormula(const Package &formula)
{
    return edit([&](State &state) {
        if (Package *existing = state.find(Kind::formula, formula.name))
            *existing = formula;
        else
            state.formulae.append(formula);
    });
}

FakeBrew &FakeBrew::addCask(const Package &cask)
{
    return edit([&](State &state) {
        if (Package *existing = state.find(Kind::cask, cask.name))
            *existing = cask;
        else
            state.casks.append(cask);
    });
}

FakeBrew &FakeBrew::addService(const Service &service)
{
    return edit([&](State &state) {
        if (Service *existing = state.service(service.name))
            *existing = service;
        else
            state.services.append(service);
    });
}

FakeBrew &FakeBrew::addTap(const QString &tap)
{
    return edit([&](State &state) {
        if (!state.taps.contains(tap))
            state.taps.append(tap);
    });
}

FakeBrew &FakeBrew::addDownload(const QString &file, qint64 bytes, int days)
{
    return edit([&](State &state) { state.downloads.append({ file, bytes, days }); });
}

FakeBrew &FakeBrew::change(Kind kind, const QString &name, const std::function<void(Package &)> &edit)
{
    return this->edit([&](State &state) {
        Package *package = state.find(kind, name);
        if (!package)
            qFatal("the fake brew knows no package named %s", qPrintable(name));
        edit(*package);
    });
}

FakeBrew &FakeBrew::setHomebrewVersion(const QString &version)
{
    return edit([&](State &state) { state.homebrewVersion = version; });
}

FakeBrew &FakeBrew::failCommand(const QString &command, const QString &message)
{
    return edit([&](State &state) { state.failingCommands.insert(command, message); });
}

FakeBrew &FakeBrew::setPendingUpdate(const State::Update &update)
{
    return edit([&](State &state) { state.pendingUpdate = update; });
}

FakeBrew &FakeBrew::addDemoMac()
{
    const QList<Package> formulae{
        formula(u"ca-certificates"_s, u"2025-05-20"_s, u"2025-05-20"_s),
        formula(u"openssl@3"_s, u"3.5.0"_s, u"3.4.1"_s, { u"ca-certificates"_s }),
        formula(u"gettext"_s, u"0.24.1"_s, u"0.24.1"_s),
        formula(u"pcre2"_s, u"10.45"_s, u"10.45"_s),
        formula(u"git"_s, u"2.49.0"_s, u"2.48.1"_s, { u"gettext"_s, u"pcre2"_s }),
        formula(u"oniguruma"_s, u"6.9.10"_s, u"6.9.10"_s),
        formula(u"jq"_s, u"1.7.1"_s, u"1.7.1"_s, { u"oniguruma"_s }),
        formula(u"libuv"_s, u"1.51.0"_s, u"1.51.0"_s),
        formula(u"icu4c@77"_s, u"77.1"_s, u"77.1"_s),
        formula(u"node"_s, u"24.1.0"_s, u"23.11.0"_s, { u"icu4c@77"_s, u"libuv"_s, u"openssl@3"_s }),
        formula(u"sqlite"_s, u"3.49.2"_s, u"3.49.2"_s),
        formula(u"xz"_s, u"5.8.1"_s, u"5.8.1"_s),
        formula(u"python@3.13"_s, u"3.13.3_1"_s, u"3.13.3"_s, { u"openssl@3"_s, u"sqlite"_s, u"xz"_s }),
        formula(u"libunistring"_s, u"1.3"_s),
        formula(u"libidn2"_s, u"2.3.8"_s, {}, { u"libunistring"_s, u"gettext"_s }),
        formula(u"wget"_s, u"1.25.0"_s, {}, { u"libidn2"_s, u"openssl@3"_s }),
        formula(u"ripgrep"_s, u"14.1.1"_s, {}, { u"pcre2"_s }),
        formula(u"gh"_s, u"2.72.0"_s),
        formula(u"ncurses"_s, u"6.5"_s),
        formula(u"htop"_s, u"3.4.1"_s, {}, { u"ncurses"_s }),
        formula(u"tree"_s, u"2.2.1"_s, u"2.2.1"_s),
    };
    Package meslo = cask(u"font-meslo-lg-nerd-font"_s, u"3.4.0"_s, {}, {}, false);
    meslo.fonts = { u"MesloLGSNerdFont-Regular.ttf"_s, u"MesloLGSNerdFont-Bold.ttf"_s, u"MesloLGSNerdFont-Italic.ttf"_s,
        u"MesloLGSNerdFont-BoldItalic.ttf"_s };
    const QList<Package> casks{
        cask(u"iterm2"_s, u"3.5.14"_s, u"3.5.13"_s, u"iTerm.app"_s, true),
        meslo,
        cask(u"visual-studio-code"_s, u"1.100.2"_s, u"1.99.3"_s, u"Visual Studio Code.app"_s, true),
        cask(u"firefox"_s, u"138.0.4"_s, u"138.0.4"_s, u"Firefox.app"_s, true),
        cask(u"rectangle"_s, u"0.87"_s, u"0.86"_s, u"Rectangle.app"_s, false),
        cask(u"google-chrome"_s, u"136.0.7103.114"_s, {}, u"Google Chrome.app"_s, true),
        cask(u"docker"_s, u"4.41.2"_s, {}, u"Docker.app"_s, true),
        cask(u"slack"_s, u"4.43.51"_s, {}, u"Slack.app"_s, true),
        cask(u"raycast"_s, u"1.98.2"_s, u"1.97.0"_s, u"Raycast.app"_s, true),
        cask(u"the-unarchiver"_s, u"4.3.9"_s, u"4.3.9"_s, u"The Unarchiver.app"_s, false),
    };
    for (const Package &package : formulae)
        addFormula(package);
    setPendingUpdate({ .newFormulae = { u"lazygit"_s, u"uv"_s }, .newCasks = { u"ghostty"_s } });
    for (const Package &package : casks) {
        addCask(package);
        // The apps of installed casks are where a Mac keeps them, for everything that looks there.
        if (package.isInstalled() && !package.app.isEmpty())
            Sandbox::writeFile(m_sandbox.systemPath(u"/Applications/"_s + package.app + u"/Contents/Info.plist"_s),
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                "\t<key>CFBundleShortVersionString</key>\n\t<string>"
                    + package.installedVersions.last().toUtf8() + "</string>\n</dict>\n</plist>\n");
    }
    return *this;
}

FakeBrew::State FakeBrew::state() const
{
    const std::optional<State> state = State::load(m_stateFolder);
    if (!state)
        qFatal("cannot read the fake brew's state in %s", qPrintable(m_stateFolder));
    return *state;
}

QStringList FakeBrew::installed(Kind kind) const
{
    QStringList names;
    const State current = state();
    for (const Package &package : current.packages(kind))
        if (package.isInstalled())
            names.append(package.name);
    names.sort();
    return names;
}

QStringList FakeBrew::outdated(Kind kind) const
{
    QStringList names;
    const State current = state();
    for (const Package &package : current.packages(kind))
        if (package.isOutdated())
            names.append(package.name);
    names.sort();
    return names;
}

std::optional<FakeBrew::Package> FakeBrew::package(Kind kind, const QString &name) const
{
    const State current = state();
    if (const Package *package = current.find(kind, name))
        return *package;
    return std::nullopt;
}

std::optional<FakeBrew::Service> FakeBrew::service(const QString &name) const
{
    State current = state();
    if (const Service *service = current.service(name))
        return *service;
    return std::nullopt;
}

QList<FakeBrew::Invocation> FakeBrew::invocations() const
{
    QList<Invocation> result;
    const QByteArray log = Sandbox::readFile(QDir(m_stateFolder).filePath(State::invocationLogName()));
    const QList<QByteArray> lines = log.split('\n');
    for (const QByteArray &line : lines) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.isEmpty())
            continue;
        Invocation invocation;
        const QJsonArray arguments = record.value(u"arguments"_s).toArray();
        for (const QJsonValue &argument : arguments)
            invocation.arguments.append(argument.toString());
        const QJsonObject environment = record.value(u"environment"_s).toObject();
        for (auto it = environment.constBegin(); it != environment.constEnd(); ++it)
            invocation.environment.insert(it.key(), it.value().toString());
        invocation.stdinIsNull = record.value(u"stdinIsNull"_s).toBool();
        result.append(invocation);
    }
    return result;
}

} // namespace quillrig::test
