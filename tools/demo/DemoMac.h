#pragma once

#include "DemoCatalog.h"
#include "platform/Platform.h"

#include <QString>
#include <QTemporaryDir>
#include <QUrl>

// A simulated Mac in a temporary folder: a home, a private temporary folder, Application
// Support and a system root whose /opt/homebrew/bin/brew is the fake brew, set up with the demo
// catalog (some packages installed, a few outdated, one that fails to install).
class DemoMac {
public:
    DemoMac();
    DemoMac(const DemoMac &) = delete;
    DemoMac &operator=(const DemoMac &) = delete;

    bool isValid() const { return m_valid; }
    QString location() const { return m_dir.path(); }
    const QList<DemoCatalog::Entry> &catalog() const { return m_catalog; }
    // The newest Homebrew release, one ahead of the simulated machine's.
    QString latestHomebrewVersion() const;

    // The platform for the application: everything inside the simulated Mac, the catalog and
    // release documents from `server`.
    Platform::Settings settings(const QUrl &server) const;

private:
    bool writeFakeBrew();

    QTemporaryDir m_dir;
    QList<DemoCatalog::Entry> m_catalog;
    bool m_valid = false;
};
