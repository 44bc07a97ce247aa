#pragma once

#include "FakeBrew.h"

#include <QString>

namespace quillrig::test {

// A Mac in use for a while: a leaf with its dependencies, a dependency nothing needs any more, a
// pinned formula, an old keg and an old download, and two apps (one with data to zap).
inline void addUsedMac(FakeBrew &brew, const QString &version)
{
    using namespace Qt::StringLiterals;
    brew.setHomebrewVersion(version)
        .addFormula({ .name = u"libidn2"_s,
            .version = u"2.3.8"_s,
            .installedVersions = { u"2.3.8"_s },
            .installedOnRequest = false })
        .addFormula({ .name = u"openssl@3"_s,
            .version = u"3.5.0"_s,
            .installedVersions = { u"3.4.1"_s },
            .installedOnRequest = false })
        .addFormula({ .name = u"wget"_s,
            .version = u"1.25.0"_s,
            .installedVersions = { u"1.25.0"_s },
            .dependencies = { u"libidn2"_s, u"openssl@3"_s } })
        .addFormula({ .name = u"tree"_s, .version = u"2.2.1"_s, .installedVersions = { u"2.1.0"_s, u"2.2.1"_s } })
        .addFormula(
            { .name = u"node"_s, .version = u"24.1.0"_s, .installedVersions = { u"23.11.0"_s }, .pinned = true })
        .addFormula({ .name = u"orphan"_s,
            .version = u"1.0"_s,
            .installedVersions = { u"1.0"_s },
            .installedOnRequest = false })
        .addCask({ .name = u"firefox"_s,
            .version = u"138.0.4"_s,
            .installedVersions = { u"138.0.4"_s },
            .app = u"Firefox.app"_s,
            .zap = { u"~/Library/Caches/Firefox"_s } })
        .addCask({ .name = u"rectangle"_s, .version = u"0.87"_s, .installedVersions = { u"0.86"_s } })
        .addDownload(u"tree--2.1.0.arm64_sonoma.bottle.tar.gz"_s, 1600000, 200);
}

} // namespace quillrig::test
