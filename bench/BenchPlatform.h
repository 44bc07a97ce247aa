#pragma once

#include "platform/Platform.h"

#include <QDir>
#include <QString>
#include <QUrl>

// A simulated machine under `base` for a benchmark: its own home, temporary folder, Application
// Support, system root and user defaults, and catalog endpoints where nothing listens, so a
// download fails at once and stays out of what is measured.
inline Platform::Settings benchPlatform(const QString &base)
{
    using namespace Qt::StringLiterals;
    Platform::Settings settings = Platform::Settings::forThisMachine();
    settings.homeDir = base + u"/home"_s;
    settings.tempDir = base + u"/tmp"_s;
    settings.appSupportDir = base + u"/support"_s;
    settings.systemRoot = base + u"/root"_s;
    settings.userDefaultsFile = base + u"/defaults.ini"_s;
    settings.catalogApiBase = QUrl(u"http://127.0.0.1:9"_s);
    settings.releaseApiBase = QUrl(u"http://127.0.0.1:9"_s);
    for (const QString &folder : { settings.homeDir, settings.tempDir, settings.appSupportDir })
        QDir().mkpath(folder);
    return settings;
}
