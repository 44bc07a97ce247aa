#pragma once

#include "DemoCatalog.h"

#include <QString>
#include <QUrl>

#include <memory>

namespace quillrig::test {
class Sandbox;
class SetupFakes;
} // namespace quillrig::test

// A simulated Mac in a temporary folder, installed as the current platform for as long as it
// lives: a home, a private temporary folder, Application Support and a system root holding the
// fake brew (set up with the demo catalog: some packages installed, a few outdated, one that
// fails to install) and the fake macOS tools of the setup half (xcode-select, softwareupdate,
// defaults, killall, ssh, git, the Oh My Zsh installer). Built on the sandbox the tests use.
class DemoMac {
public:
    DemoMac();
    ~DemoMac();
    DemoMac(const DemoMac &) = delete;
    DemoMac &operator=(const DemoMac &) = delete;

    bool isValid() const { return m_valid; }
    QString location() const;
    const QList<DemoCatalog::Entry> &catalog() const { return m_catalog; }
    // The newest Homebrew release, one ahead of the simulated machine's.
    QString latestHomebrewVersion() const;

    // The catalog, details and release documents come from `server` from now on.
    void useServer(const QUrl &server);

private:
    bool writeFakeBrew();

    std::unique_ptr<quillrig::test::Sandbox> m_sandbox;
    std::unique_ptr<quillrig::test::SetupFakes> m_fakes;
    QList<DemoCatalog::Entry> m_catalog;
    bool m_valid = false;
};
