// Pushes a flood of brew-like output through the running sequencer's append path, the code every
// output chunk of a brew command goes through on the GUI thread: the log with its trimming, the
// command output, and the heading count that drives the progress bar.
//
// A fake brew is started by a real install so the store is in its running state; while it waits,
// 20 MB of output with a "==> " heading every 40 lines is appended in 4 KB chunks, each timed.

#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

struct BrewStoreBenchAccess {
    static void append(BrewStore &store, const QString &text) { store.appendOutput(text); }
};

namespace {

constexpr qsizetype totalBytes = 20 * 1024 * 1024;
constexpr qsizetype chunkBytes = 4096;
constexpr int repetitions = 5;

QByteArray brewLikeOutput()
{
    QByteArray out;
    out.reserve(totalBytes + 256);
    for (int line = 0; out.size() < totalBytes; ++line) {
        if (line % 40 == 0)
            out += "==> Installing package-" + QByteArray::number(line / 40) + "\n";
        else
            out += "  compiling src/module_" + QByteArray::number(line) + ".c -o build/module_"
                + QByteArray::number(line) + ".o -O2 -fPIC \xE2\x9C\x93\n";
    }
    out.truncate(totalBytes);
    return out;
}

QStringList chunks(const QByteArray &bytes)
{
    QStringList result;
    for (qsizetype at = 0; at < bytes.size(); at += chunkBytes)
        result.append(QString::fromUtf8(bytes.mid(at, chunkBytes)));
    return result;
}

struct Run {
    double megabytesPerSecond = 0;
    double longestChunkMs = 0;
};

Run measure(const QStringList &pieces, const QString &releaseFile)
{
    ActivityStore activity;
    BrewStore store(&activity);
    auto refreshing = store.refresh();
    if (!QTest::qWaitFor([&] { return store.status() == BrewStatus::ready; }, 10000))
        qFatal("the fake brew was not found");

    Package package{ PackageKind::formula, u"flood"_s, u"flood"_s, QString(), QString(), u"1.0"_s, false, u"flood"_s };
    QFile::remove(releaseFile);
    auto installing = store.install({ package });
    if (!store.isRunning())
        qFatal("the sequence did not start");

    qint64 bytes = 0;
    qint64 longestNs = 0;
    QElapsedTimer total;
    QElapsedTimer chunk;
    total.start();
    for (const QString &piece : pieces) {
        chunk.start();
        BrewStoreBenchAccess::append(store, piece);
        longestNs = std::max(longestNs, chunk.nsecsElapsed());
        bytes += piece.toUtf8().size();
    }
    const double seconds = total.nsecsElapsed() / 1e9;

    QFile(releaseFile).open(QIODevice::WriteOnly);
    if (!QTest::qWaitFor([&] { return installing.isReady() && refreshing.isReady(); }, 30000))
        qFatal("the sequence did not finish");
    return { bytes / 1e6 / seconds, longestNs / 1e6 };
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString root = dir.path() + u"/root"_s;
    const QString brew = root + u"/opt/homebrew/bin/brew"_s;
    const QString releaseFile = dir.path() + u"/release"_s;
    QDir().mkpath(QFileInfo(brew).path());
    QDir().mkpath(dir.path() + u"/home"_s);
    {
        // Answers the start-up queries at once and holds an install open until released.
        QFile script(brew);
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\ncase \"$1\" in\n"
                     "  install) while [ ! -f '"
            + releaseFile.toUtf8()
            + "' ]; do sleep 0.02; done;;\n"
              "  outdated) echo '{\"formulae\":[],\"casks\":[]}';;\n"
              "  --version) echo 'Homebrew 5.1.9';;\n"
              "esac\n");
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    Platform::Settings settings = Platform::Settings::forThisMachine();
    settings.homeDir = dir.path() + u"/home"_s;
    settings.tempDir = dir.path();
    settings.appSupportDir = dir.path() + u"/support"_s;
    settings.systemRoot = root;
    settings.catalogApiBase = QUrl(u"http://127.0.0.1:9"_s);
    settings.releaseApiBase = QUrl(u"http://127.0.0.1:9"_s);
    settings.userDefaultsFile = dir.path() + u"/defaults.ini"_s;
    Platform::ScopedOverride platform(settings);

    const QStringList pieces = chunks(brewLikeOutput());
    std::vector<double> rates;
    double longest = 0;
    for (int i = 0; i < repetitions; ++i) {
        const Run run = measure(pieces, releaseFile);
        rates.push_back(run.megabytesPerSecond);
        longest = std::max(longest, run.longestChunkMs);
        std::printf("run %d: %.0f MB/s, longest chunk %.3f ms\n", i + 1, run.megabytesPerSecond, run.longestChunkMs);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("log-flood: %.0f MB/s, longest chunk %.2f ms\n", rates[rates.size() / 2], longest);
    return 0;
}
