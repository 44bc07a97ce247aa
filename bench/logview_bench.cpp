// Floods the log panel with brew-like output through the real BrewStore and measures the longest
// time the event loop could not run: the window must never freeze while brew prints.
//
// A fake brew prints 20 MB in 4 KB writes as fast as the pipe takes them; BrewStore appends each
// chunk to its log (cutting it back as it grows) and the panel follows. A 1 ms timer records the
// largest gap between its ticks. Run with QT_QPA_PLATFORM=offscreen where there is no display.

#include "BenchPlatform.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "platform/Platform.h"
#include "ui/LiveLogView.h"
#include "ui/main/LogPanel.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 totalBytes = 20 * 1024 * 1024;

// Output shaped like `brew install` of many packages: headings, download progress, pour lines.
QByteArray brewLikeOutput(qint64 size)
{
    QByteArray out;
    out.reserve(size + 512);
    for (int i = 0; out.size() < size; ++i) {
        const QByteArray name = "package-" + QByteArray::number(i);
        out += "==> Fetching " + name + "\n";
        out += "==> Downloading https://ghcr.io/v2/homebrew/core/" + name
            + "/blobs/sha256:" + QByteArray::number(quint64(i) * 2654435761u, 16).rightJustified(64, '0') + "\n";
        for (int p = 0; p < 4; ++p)
            out += QByteArray(18 * (p + 1), '#') + " " + QByteArray::number(25 * (p + 1)) + ".0%\r";
        out += "\n==> Installing " + name + "\n";
        out += "==> Pouring " + name + "--1." + QByteArray::number(i % 17) + ".0.arm64_sonoma.bottle.tar.gz\n";
        out += "\xF0\x9F\x8D\xBA  /opt/homebrew/Cellar/" + name + "/1.0: " + QByteArray::number(20 + i % 400)
            + " files, " + QByteArray::number(1 + i % 90) + ".4MB\n";
    }
    out.truncate(size);
    return out;
}

void writeExecutable(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Finds the fake brew first, then starts the clock and the flood, so the measurement covers the
// run alone and not the window's first appearance.
QCoro::Task<> flood(BrewStore *store, QTimer *ticker, QElapsedTimer *sinceTick, QEventLoop *loop)
{
    co_await store->refresh();
    Package package;
    package.kind = PackageKind::formula;
    package.name = u"flood"_s;
    // A named list: GCC 12 mishandles a braced list inside co_await.
    const QList<Package> packages{ package };
    sinceTick->start();
    ticker->start();
    co_await store->install(packages);
    ticker->stop();
    loop->quit();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("cannot create a temporary folder");
    const QString base = dir.path();
    const QString output = base + u"/output.txt"_s;
    {
        QFile file(output);
        if (!file.open(QIODevice::WriteOnly) || file.write(brewLikeOutput(totalBytes)) != totalBytes)
            qFatal("cannot write the output file");
    }
    // Everything but `install` answers at once with nothing; `install` floods in 4 KB writes.
    writeExecutable(base + u"/root/opt/homebrew/bin/brew"_s,
        "#!/bin/sh\n"
        "if [ \"$1\" = install ]; then exec dd if='"
            + output.toUtf8() + "' bs=4096 status=none; fi\nexit 0\n");

    Platform::ScopedOverride platform(benchPlatform(base));

    ActivityStore activity;
    BrewStore store(&activity);
    QWidget window;
    window.resize(960, 190);
    auto *panel = new LogPanel(&store, &window);
    panel->resize(960, 190);
    window.show();

    qint64 longestStall = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestStall = std::max(longestStall, sinceTick.restart()); });

    int chunks = 0;
    QObject::connect(&store, &BrewStore::logChanged, [&] { ++chunks; });

    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    auto run = flood(&store, &ticker, &sinceTick, &loop);
    Q_UNUSED(run);
    loop.exec();
    const qint64 elapsed = wall.elapsed();

    const bool matches = panel->findChild<LiveLogView *>(QStringLiteral("logText"))->shownText()
        == LiveLogView::displayText(store.log());
    std::printf("log-view: %d log updates (%.0f KB each on average) in %.2f s, the log holds %lld characters, the "
                "panel %s it\n",
        chunks, totalBytes / 1024.0 / std::max(1, chunks), elapsed / 1000.0, static_cast<long long>(store.log().size()),
        matches ? "matches" : "DOES NOT match");
    std::printf("log-view: longest stall %lld ms over %.0f MB\n", static_cast<long long>(longestStall),
        totalBytes / (1024.0 * 1024.0));
    std::fflush(stdout);
    return matches ? 0 : 1;
}
