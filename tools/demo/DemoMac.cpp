#include "DemoMac.h"

#include "FakeBrewState.h"
#include "Sandbox.h"
#include "SetupFakes.h"
#include "platform/ShellQuote.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;
using quillrig::test::SetupFakes;

namespace {

const QString installedHomebrew = u"5.1.9"_s;
const QString releasedHomebrew = u"5.1.10"_s;

bool writeFile(const QString &path, const QByteArray &contents, QFileDevice::Permissions permissions = {})
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        return false;
    file.close();
    return !permissions || file.setPermissions(permissions);
}

// Where an installed cask's app lives, as the fake brew moves it there.
QString appName(const DemoCatalog::Entry &entry)
{
    if (entry.name == u"iterm2"_s)
        return u"iTerm.app"_s;
    if (entry.name.startsWith(u"font-"_s))
        return {};
    return entry.displayName + u".app"_s;
}

// Figures that differ per package but not per run.
int spread(const QString &name, int modulo)
{
    return int(qHash(name, 0x5eed) % size_t(modulo));
}

} // namespace

DemoMac::DemoMac()
    : m_sandbox(std::make_unique<Sandbox>())
    , m_fakes(std::make_unique<SetupFakes>(*m_sandbox))
    , m_catalog(DemoCatalog::entries())
{
    // A Mac that is not set up yet: the Command Line Tools install in a few seconds when asked.
    m_fakes->installXcodeSelect(4000);
    m_fakes->installSoftwareUpdate();
    m_fakes->installDefaults();
    m_fakes->installKillall();
    m_fakes->installSsh();
    m_fakes->installOhMyZshInstaller();
    m_fakes->installGit();
    m_sandbox->configure([](Platform::Settings &settings) { settings.systemVersion = u"15.5.0"_s; });
    m_valid = writeFakeBrew();
}

DemoMac::~DemoMac() = default;

QString DemoMac::location() const
{
    return QFileInfo(m_sandbox->root()).absolutePath();
}

QString DemoMac::latestHomebrewVersion() const
{
    return releasedHomebrew;
}

void DemoMac::useServer(const QUrl &server)
{
    m_sandbox->configure([&](Platform::Settings &settings) {
        settings.catalogApiBase = server;
        settings.releaseApiBase = server;
    });
}

bool DemoMac::writeFakeBrew()
{
    using fakebrew::FakeBrewState;
    FakeBrewState state;
    state.homebrewVersion = installedHomebrew;
    state.prefix = u"/opt/homebrew"_s;
    state.systemRoot = m_sandbox->root();
    state.home = m_sandbox->home();
    state.pendingUpdate.homebrewVersion = releasedHomebrew;
    for (const DemoCatalog::Entry &entry : std::as_const(m_catalog)) {
        FakeBrewState::Package package;
        package.name = entry.name;
        package.version = entry.version;
        if (!entry.installed.isEmpty())
            package.installedVersions = { entry.installed };
        package.dependencies = entry.dependencies;
        package.autoUpdates = entry.autoUpdates;
        // Installs take a moment and print a build log, like the real thing.
        package.delayMs = 600 + spread(entry.name, 1800);
        package.floodBytes = 2000 + spread(entry.name, 30000);
        if (entry.isCask) {
            package.app = appName(entry);
            if (package.app.isEmpty())
                package.fonts = { entry.displayName.section(u' ', 0, 0) + u"-Regular.ttf"_s };
        }
        // One package that cannot be installed, to show how a failure looks.
        if (entry.name == u"virtualbox"_s) {
            package.fails = true;
            package.failureMessage = u"virtualbox: the kernel extension was not approved in System Settings"_s;
        }
        (entry.isCask ? state.casks : state.formulae).append(package);

        // The apps of installed casks are where a Mac keeps them.
        if (entry.isCask && !entry.installed.isEmpty() && !package.app.isEmpty()) {
            const QString plist = m_sandbox->systemPath(u"/Applications/"_s + package.app + u"/Contents/Info.plist"_s);
            if (!writeFile(plist,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                    "\t<key>CFBundleShortVersionString</key>\n\t<string>"
                        + entry.installed.toUtf8() + "</string>\n</dict>\n</plist>\n"))
                return false;
        }
    }
    DemoCatalog::addLifecycle(m_catalog, state);
    if (!writeFile(m_sandbox->home() + u"/Brewfile"_s, DemoCatalog::brewfile()))
        return false;
    const QString stateFolder = m_sandbox->systemPath(u"/opt/homebrew/.fake-brew"_s);
    if (!QDir().mkpath(stateFolder) || !state.save(stateFolder))
        return false;
    const QByteArray wrapper = "#!/bin/sh\nexport FAKE_BREW_STATE=" + ShellQuote::singleQuoted(stateFolder).toUtf8()
        + "\nexec " + ShellQuote::singleQuoted(QStringLiteral(QUILLRIG_FAKE_BREW_PATH)).toUtf8() + " \"$@\"\n";
    return writeFile(m_sandbox->systemPath(u"/opt/homebrew/bin/brew"_s), wrapper,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
