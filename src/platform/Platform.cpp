#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QOperatingSystemVersion>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

std::atomic<quint64> nextInstanceId{ 1 };
Platform *installed = nullptr;

QMutex &hooksMutex()
{
    static QMutex mutex;
    return mutex;
}

Platform::Hooks &hookStorage()
{
    static Platform::Hooks hooks;
    return hooks;
}

QString privateTempDir()
{
#ifdef Q_OS_MACOS
    // $TMPDIR on macOS is already a per-user folder that only the user can enter.
    return QDir::tempPath();
#else
    // A shared /tmp would let another user plant or swap files we later execute (the askpass
    // script runs under sudo). The runtime location is $XDG_RUNTIME_DIR or a 0700 folder that
    // Qt creates and checks the ownership of.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime;
#endif
}

QString applicationSupportDir(const QString &home)
{
#ifdef Q_OS_MACOS
    return home + "/Library/Application Support"_L1;
#else
    // The XDG data home plays the role of Application Support here.
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    return xdg.isEmpty() ? home + "/.local/share"_L1 : xdg;
#endif
}

} // namespace

Platform::Settings Platform::Settings::forThisMachine()
{
    Settings s;
    s.homeDir = QDir::homePath();
    s.tempDir = privateTempDir();
    s.appSupportDir = applicationSupportDir(s.homeDir);
    s.environment = QProcessEnvironment::systemEnvironment();
    s.catalogApiBase = QUrl(u"https://formulae.brew.sh"_s);
    s.releaseApiBase = QUrl(u"https://api.github.com"_s);
    s.appShortVersion = QStringLiteral(QUILLRIG_SHORT_VERSION);
    s.appBuildNumber = QStringLiteral(QUILLRIG_BUILD_NUMBER);
    s.systemVersion = QSysInfo::productVersion();
    const auto os = QOperatingSystemVersion::current();
    if (os.type() == QOperatingSystemVersion::MacOS)
        s.systemVersion
            = u"%1.%2.%3"_s.arg(os.majorVersion()).arg(os.minorVersion()).arg(std::max(0, os.microVersion()));
    return s;
}

Platform::Platform(Settings settings)
    : m_settings(std::move(settings))
    , m_instanceId(nextInstanceId++)
{
}

Platform &Platform::current()
{
    if (installed)
        return *installed;
    static Platform machine(Settings::forThisMachine());
    return machine;
}

QString Platform::homePath(const QString &relative) const
{
    return QDir(m_settings.homeDir).filePath(relative);
}

QString Platform::systemPath(const QString &absolutePath) const
{
    Q_ASSERT(absolutePath.startsWith(u'/'));
    if (m_settings.systemRoot.isEmpty())
        return absolutePath;
    return m_settings.systemRoot + absolutePath;
}

std::optional<bool> Platform::boolDefault(const QString &key) const
{
    std::unique_ptr<QSettings> store = m_settings.userDefaultsFile.isEmpty()
        ? std::make_unique<QSettings>()
        : std::make_unique<QSettings>(m_settings.userDefaultsFile, QSettings::IniFormat);
    const QVariant value = store->value(key);
    // Only a real Boolean counts. The ini format hands back "true"/"false" as text, so accept
    // exactly those spellings and nothing looser.
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text == "true"_L1)
            return true;
        if (text == "false"_L1)
            return false;
    }
    return std::nullopt;
}

void Platform::setBoolDefault(const QString &key, bool value)
{
    std::unique_ptr<QSettings> store = m_settings.userDefaultsFile.isEmpty()
        ? std::make_unique<QSettings>()
        : std::make_unique<QSettings>(m_settings.userDefaultsFile, QSettings::IniFormat);
    store->setValue(key, value);
    store->sync();
}

void Platform::openUrl(const QUrl &url) const
{
    if (const auto hook = hooks().openUrl)
        hook(url);
}

void Platform::openFile(const QString &path) const
{
    if (const auto hook = hooks().openFile)
        hook(path);
}

void Platform::setClipboardText(const QString &text) const
{
    if (const auto hook = hooks().setClipboardText)
        hook(text);
}

void Platform::setHooks(Hooks hooks)
{
    QMutexLocker lock(&hooksMutex());
    hookStorage() = std::move(hooks);
}

Platform::Hooks Platform::hooks()
{
    QMutexLocker lock(&hooksMutex());
    return hookStorage();
}

Platform::ScopedOverride::ScopedOverride(Settings settings)
    : m_platform(std::make_unique<Platform>(std::move(settings)))
    , m_previous(installed)
{
    installed = m_platform.get();
}

Platform::ScopedOverride::~ScopedOverride()
{
    installed = m_previous;
}
