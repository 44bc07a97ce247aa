// Reading what is installed on a well-used Mac: `brew info --json=v2 --installed` for 500
// packages (every key Homebrew prints, pretty-printed as it does) through the brew store, with a
// 1 ms ticker on the GUI thread measuring the longest stall of the event loop meanwhile. For
// comparison, the same decode run on this thread alone.
#include "BenchPlatform.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "brew/InstalledFormats.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int formulaCount = 320;
constexpr int caskCount = 180;

QJsonObject formula(int i)
{
    const QString name = u"formula-%1"_s.arg(i, 4, 10, QChar(u'0'));
    QJsonArray dependencies;
    QJsonArray runtime;
    for (int d = 1; d <= 6; ++d) {
        const QString dependency = u"formula-%1"_s.arg((i + d * 37) % formulaCount, 4, 10, QChar(u'0'));
        dependencies.append(dependency);
        runtime.append(QJsonObject{ { u"full_name"_s, dependency }, { u"version"_s, u"1.2.3"_s }, { u"revision"_s, 0 },
            { u"bottle_rebuild"_s, 0 }, { u"pkg_version"_s, u"1.2.3"_s }, { u"declared_directly"_s, d < 3 } });
    }
    QJsonArray kegs;
    for (int k = 0; k < (i % 5 == 0 ? 2 : 1); ++k)
        kegs.append(QJsonObject{ { u"version"_s, u"1.%1.0"_s.arg(k) }, { u"used_options"_s, QJsonArray() },
            { u"built_as_bottle"_s, true }, { u"poured_from_bottle"_s, true }, { u"time"_s, 1754380800 + i },
            { u"runtime_dependencies"_s, runtime }, { u"installed_on_request"_s, i % 3 == 0 } });
    QJsonObject bottle{ { u"stable"_s,
        QJsonObject{ { u"rebuild"_s, 0 }, { u"root_url"_s, u"https://ghcr.io/v2/homebrew/core"_s },
            { u"files"_s,
                QJsonObject{
                    { u"arm64_sequoia"_s,
                        QJsonObject{ { u"cellar"_s, u":any"_s },
                            { u"url"_s, u"https://ghcr.io/v2/homebrew/core/"_s + name + u"/blobs/sha256:abc"_s },
                            { u"sha256"_s, QString(64, u'a') } } },
                    { u"sonoma"_s,
                        QJsonObject{ { u"cellar"_s, u":any"_s },
                            { u"url"_s, u"https://ghcr.io/v2/homebrew/core/"_s + name + u"/blobs/sha256:def"_s },
                            { u"sha256"_s, QString(64, u'b') } } } } } } } };
    return QJsonObject{ { u"name"_s, name }, { u"full_name"_s, name }, { u"tap"_s, u"homebrew/core"_s },
        { u"oldnames"_s, QJsonArray() }, { u"aliases"_s, QJsonArray() }, { u"versioned_formulae"_s, QJsonArray() },
        { u"desc"_s, u"A command-line tool that does something useful, number %1"_s.arg(i) },
        { u"license"_s, u"MIT"_s }, { u"homepage"_s, u"https://example.org/"_s + name },
        { u"versions"_s, QJsonObject{ { u"stable"_s, u"1.1.0"_s }, { u"head"_s, u"HEAD"_s }, { u"bottle"_s, true } } },
        { u"urls"_s,
            QJsonObject{ { u"stable"_s,
                QJsonObject{ { u"url"_s, u"https://example.org/"_s + name + u"-1.1.0.tar.gz"_s },
                    { u"checksum"_s, QString(64, u'c') } } } } },
        { u"revision"_s, 0 }, { u"version_scheme"_s, 0 }, { u"bottle"_s, bottle }, { u"keg_only"_s, false },
        { u"options"_s, QJsonArray() }, { u"build_dependencies"_s, QJsonArray{ u"pkgconf"_s, u"cmake"_s } },
        { u"dependencies"_s, dependencies }, { u"test_dependencies"_s, QJsonArray() },
        { u"uses_from_macos"_s, QJsonArray{ u"zlib"_s } }, { u"requirements"_s, QJsonArray() },
        { u"conflicts_with"_s, QJsonArray() }, { u"caveats"_s, QJsonValue() }, { u"installed"_s, kegs },
        { u"linked_keg"_s, kegs.last().toObject().value(u"version"_s) }, { u"pinned"_s, i % 40 == 0 },
        { u"outdated"_s, i % 7 == 0 }, { u"deprecated"_s, false }, { u"disabled"_s, false },
        { u"service"_s, QJsonValue() }, { u"tap_git_head"_s, QString(40, u'f') },
        { u"ruby_source_path"_s, u"Formula/f/"_s + name + u".rb"_s },
        { u"ruby_source_checksum"_s, QJsonObject{ { u"sha256"_s, QString(64, u'e') } } } };
}

QJsonObject cask(int i)
{
    const QString token = u"app-%1"_s.arg(i, 4, 10, QChar(u'0'));
    QJsonArray artifacts{ QJsonObject{ { u"app"_s, QJsonArray{ token + u".app"_s } },
                              { u"target"_s, u"/Applications/"_s + token + u".app"_s } },
        QJsonObject{ { u"zap"_s,
            QJsonArray{ QJsonObject{ { u"trash"_s,
                QJsonArray{ u"~/Library/Application Support/"_s + token, u"~/Library/Caches/"_s + token,
                    u"~/Library/Preferences/com.example."_s + token + u".plist"_s } } } } } } };
    return QJsonObject{ { u"token"_s, token }, { u"full_token"_s, token }, { u"old_tokens"_s, QJsonArray() },
        { u"tap"_s, u"homebrew/cask"_s }, { u"name"_s, QJsonArray{ u"Application %1"_s.arg(i) } },
        { u"desc"_s, u"An application for the Mac, number %1"_s.arg(i) },
        { u"homepage"_s, u"https://example.com/"_s + token },
        { u"url"_s, u"https://example.com/"_s + token + u".dmg"_s }, { u"version"_s, u"2.0"_s },
        { u"installed"_s, i % 4 == 0 ? u"1.9"_s : u"2.0"_s }, { u"installed_time"_s, 1754380800 + i },
        { u"pinned"_s, false }, { u"pinned_version"_s, QJsonValue() }, { u"outdated"_s, i % 4 == 0 },
        { u"sha256"_s, QString(64, u'd') }, { u"artifacts"_s, artifacts }, { u"caveats"_s, QJsonValue() },
        { u"depends_on"_s, QJsonObject{ { u"macos"_s, QJsonObject{ { u">="_s, QJsonArray{ u"12"_s } } } } } },
        { u"auto_updates"_s, i % 3 == 0 ? QJsonValue(true) : QJsonValue() }, { u"deprecated"_s, false },
        { u"disabled"_s, false }, { u"languages"_s, QJsonArray() },
        { u"ruby_source_path"_s, u"Casks/a/"_s + token + u".rb"_s } };
}

QByteArray installedDocument()
{
    QJsonArray formulae;
    for (int i = 0; i < formulaCount; ++i)
        formulae.append(formula(i));
    QJsonArray casks;
    for (int i = 0; i < caskCount; ++i)
        casks.append(cask(i));
    return QJsonDocument(QJsonObject{ { u"formulae"_s, formulae }, { u"casks"_s, casks } })
        .toJson(QJsonDocument::Indented);
}

void writeExecutable(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("cannot create a temporary folder");
    const QString base = dir.path();
    const QByteArray document = installedDocument();
    {
        QFile file(base + u"/installed.json"_s);
        if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size())
            qFatal("cannot write the document");
    }
    // `info` prints the document; everything else answers at once with nothing.
    writeExecutable(base + u"/root/opt/homebrew/bin/brew"_s,
        "#!/bin/sh\nif [ \"$1\" = info ]; then exec cat '" + base.toUtf8() + "/installed.json'; fi\nexit 0\n");

    Platform::ScopedOverride platform(benchPlatform(base));

    QElapsedTimer onThisThread;
    onThisThread.start();
    const auto decoded = InstalledFormats::decodeInstalled(document);
    const qint64 inlineMs = onThisThread.elapsed();
    if (!decoded || decoded->size() != formulaCount + caskCount)
        qFatal("the document did not decode");

    ActivityStore activity;
    BrewStore store(&activity);
    QEventLoop loop;
    // Finds brew first; the store reads the installed packages as part of every refresh.
    auto found = store.refresh();
    QObject::connect(&store, &BrewStore::installedPackagesChanged, &loop, &QEventLoop::quit);
    loop.exec();
    Q_UNUSED(found);

    constexpr int rounds = 5;
    qint64 longestStall = 0;
    qint64 totalMs = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        ticker.setInterval(1);
        QObject::connect(
            &ticker, &QTimer::timeout, [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
        sinceTick.start();
        ticker.start();
        QElapsedTimer wall;
        wall.start();
        bool done = false;
        auto read = [&]() -> QCoro::Task<> {
            co_await store.refreshInstalledPackages();
            done = true;
            loop.quit();
        };
        auto task = read();
        if (!done)
            loop.exec();
        totalMs += wall.elapsed();
        ticker.stop();
        Q_UNUSED(task);
        if (store.installedPackages().size() != formulaCount + caskCount)
            qFatal("the store did not read the packages");
    }
    std::printf("installed: %d packages, %.1f MB of JSON; decode on the calling thread %lld ms\n",
        formulaCount + caskCount, document.size() / 1e6, static_cast<long long>(inlineMs));
    std::printf("installed: read through the store %.0f ms on average; longest GUI-thread stall %lld ms\n",
        double(totalMs) / rounds, static_cast<long long>(longestStall));
    return 0;
}
