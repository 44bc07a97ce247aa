#include "DemoMac.h"

#include "FakeBrewState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QString installedHomebrew = u"5.1.9"_s;
const QString releasedHomebrew = u"5.1.10"_s;

QByteArray shellQuote(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\'', "'\\''");
    return '\'' + bytes + '\'';
}

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
    : m_catalog(DemoCatalog::entries())
{
    if (!m_dir.isValid())
        return;
    for (const char *folder : { "home", "tmp", "root", "support", "state" })
        if (!QDir().mkpath(m_dir.filePath(QLatin1StringView(folder))))
            return;
    QFile::setPermissions(
        m_dir.filePath(u"tmp"_s), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_valid = writeFakeBrew();
}

QString DemoMac::latestHomebrewVersion() const
{
    return releasedHomebrew;
}

bool DemoMac::writeFakeBrew()
{
    using fakebrew::FakeBrewState;
    FakeBrewState state;
    state.homebrewVersion = installedHomebrew;
    state.prefix = u"/opt/homebrew"_s;
    state.systemRoot = m_dir.filePath(u"root"_s);
    state.home = m_dir.filePath(u"home"_s);
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
            const QString plist = m_dir.filePath(u"root/Applications/"_s + package.app + u"/Contents/Info.plist"_s);
            if (!writeFile(plist,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                    "\t<key>CFBundleShortVersionString</key>\n\t<string>"
                        + entry.installed.toUtf8() + "</string>\n</dict>\n</plist>\n"))
                return false;
        }
    }
    const QString stateFolder = m_dir.filePath(u"root/opt/homebrew/.fake-brew"_s);
    if (!QDir().mkpath(stateFolder) || !state.save(stateFolder))
        return false;
    const QByteArray wrapper = "#!/bin/sh\nexport FAKE_BREW_STATE=" + shellQuote(stateFolder) + "\nexec "
        + shellQuote(QStringLiteral(QUILLRIG_FAKE_BREW_PATH)) + " \"$@\"\n";
    return writeFile(m_dir.filePath(u"root/opt/homebrew/bin/brew"_s), wrapper,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

Platform::Settings DemoMac::settings(const QUrl &server) const
{
    Platform::Settings settings = Platform::Settings::forThisMachine();
    settings.homeDir = m_dir.filePath(u"home"_s);
    settings.tempDir = m_dir.filePath(u"tmp"_s);
    settings.appSupportDir = m_dir.filePath(u"support"_s);
    settings.systemRoot = m_dir.filePath(u"root"_s);
    settings.userDefaultsFile = m_dir.filePath(u"state/defaults.ini"_s);
    settings.catalogApiBase = server;
    settings.releaseApiBase = server;
    settings.systemVersion = u"15.5.0"_s;

    // Programs started from the app see the simulated home, never the real one.
    QProcessEnvironment environment = settings.environment;
    environment.insert(u"HOME"_s, settings.homeDir);
    environment.insert(u"TMPDIR"_s, settings.tempDir);
    environment.insert(u"XDG_CONFIG_HOME"_s, settings.homeDir + u"/.config"_s);
    environment.insert(u"GIT_CONFIG_NOSYSTEM"_s, u"1"_s);
    environment.remove(u"GIT_CONFIG_GLOBAL"_s);
    settings.environment = environment;
    return settings;
}
