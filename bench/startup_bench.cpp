// Start-up of the real application: the time from the start of its process to the first paint of
// the main window and to the catalog being ready to search, and its resident memory before and
// after the catalog is loaded, on a simulated machine whose cache holds a real-sized catalog.
//
//   startup_bench [runs] [--app PATH] [--keep DIR]   (Release build; at least 3 runs, the median counts)
//
// --keep builds the simulated machine in DIR and leaves it there, to start the application on by hand.
//
// The application runs offscreen with QUILLRIG_STARTUP_TRACE set (see src/app/StartupTrace.h) and
// is stopped once it has reported. It finds `brew` only at /opt/homebrew/bin/brew, so each run
// gets a private mount namespace (unshare) in which a scratch folder with a fake brew is mounted
// on /opt; a private network namespace keeps the catalog download it starts off the internet.
// Nothing outside the scratch folder is touched.

#include "CatalogGenerator.h"
#include "brew/CatalogService.h"
#include "brew/PackageFormats.h"
#include "platform/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void writeExecutable(const QString &path, const QByteArray &text)
{
    Files::createDirectories(QFileInfo(path).path());
    Files::writeAtomically(path, text);
    Files::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The trace's "key value" lines.
std::map<QString, double> readTrace(const QString &path)
{
    std::map<QString, double> values;
    const QByteArray text = Files::read(path).value_or(QByteArray());
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            values[QString::fromUtf8(parts[0])] = parts[1].toDouble();
    }
    return values;
}

struct Run {
    double windowMs = 0;
    double searchableMs = 0;
    double rssBeforeKB = 0;
    double rssAfterKB = 0;
};

std::optional<Run> launch(const QString &app, const QString &base, int number)
{
    const QString trace = base + u"/trace-%1.txt"_s.arg(number);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, base + u"/home"_s);
    environment.insert(u"XDG_DATA_HOME"_s, base + u"/support"_s);
    environment.insert(u"XDG_CONFIG_HOME"_s, base + u"/config"_s);
    environment.insert(u"XDG_CACHE_HOME"_s, base + u"/cache"_s);
    environment.insert(u"XDG_RUNTIME_DIR"_s, base + u"/runtime"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"QUILLRIG_STARTUP_TRACE"_s, trace);

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    // unshare and sh end in exec: the process started is the application itself.
    const QStringList arguments{ u"--mount"_s, u"--net"_s, u"--map-root-user"_s, u"sh"_s, u"-c"_s,
        u"mount --bind \"$1\" /opt && exec \"$2\""_s, u"sh"_s, base + u"/opt"_s, app };
    QElapsedTimer clock;
    clock.start();
    const double launched = double(clock.msecsSinceReference());
    process.start(u"unshare"_s, arguments);
    if (!process.waitForStarted(10000)) {
        std::fprintf(stderr, "cannot start unshare: %s\n", qPrintable(process.errorString()));
        return std::nullopt;
    }
    std::map<QString, double> values;
    while (clock.elapsed() < 30000 && process.state() == QProcess::Running) {
        values = readTrace(trace);
        if (values.count(u"rss-after"_s) && values.count(u"rss-before"_s))
            break;
        QThread::msleep(5);
    }
    process.kill();
    process.waitForFinished(5000);
    if (!values.count(u"rss-after"_s) || !values.count(u"rss-before"_s) || !values.count(u"main"_s)) {
        std::fprintf(stderr, "run %d: the application did not report (exit code %d):\n%s\n", number, process.exitCode(),
            Files::read(trace).value_or(QByteArray()).constData());
        return std::nullopt;
    }
    // The trace counts from main(); what came before it (loading the libraries, static
    // initialisers) is the monotonic time from our launch to main().
    const double beforeMain = values[u"main"_s] - launched;
    return Run{ beforeMain + values[u"window"_s], beforeMain + values[u"searchable"_s], values[u"rss-before"_s],
        values[u"rss-after"_s] };
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    QString app = QStringLiteral(QUILLRIG_APP_PATH);
    if (const qsizetype at = arguments.indexOf(u"--app"_s); at >= 0 && at + 1 < arguments.size()) {
        app = arguments.at(at + 1);
        arguments.remove(at, 2);
    }
    QString kept;
    if (const qsizetype at = arguments.indexOf(u"--keep"_s); at >= 0 && at + 1 < arguments.size()) {
        kept = QDir(arguments.at(at + 1)).absolutePath();
        arguments.remove(at, 2);
    }
    const int runs = std::max(3, arguments.isEmpty() ? 7 : arguments.first().toInt());

    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("cannot create a temporary folder");
    const QString base = kept.isEmpty() ? dir.path() : kept;
    for (const QString &folder : { u"home"_s, u"support"_s, u"config"_s, u"cache"_s })
        QDir().mkpath(base + u'/' + folder);
    Files::createDirectories(
        base + u"/runtime"_s, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // The cache as a download leaves it.
    const CatalogGenerator::Catalog generated = CatalogGenerator::generate();
    const QList<Package> catalog = CatalogService::decodeCatalog(generated.formulaJson, generated.caskJson);
    const QString cache = base + u"/support/quillrig-gui/catalog.json"_s;
    Files::createDirectories(QFileInfo(cache).path());
    Files::writeAtomically(cache, PackageFormats::encodeCache(catalog));

    // Homebrew with nothing installed.
    writeExecutable(base + u"/opt/homebrew/bin/brew"_s,
        "#!/bin/sh\n"
        "case \"$1\" in\n"
        "  --version) echo 'Homebrew 4.4.2' ;;\n"
        "  outdated) echo '{\"formulae\":[],\"casks\":[]}' ;;\n"
        "esac\nexit 0\n");

    std::printf("startup: %s, %lld packages in a %.1f MB cache\n", qPrintable(app),
        static_cast<long long>(catalog.size()), double(QFileInfo(cache).size()) / 1e6);
    std::vector<double> window, searchable, memory, catalogMemory;
    // The first run fills the page cache and is not counted.
    for (int run = 0; run <= runs; ++run) {
        const std::optional<Run> result = launch(app, base, run);
        if (!result)
            return 1;
        std::printf("run %d%s: window %.1f ms, searchable %.1f ms, resident %.1f MB before the catalog, %.1f MB "
                    "after\n",
            run, run == 0 ? " (warm-up)" : "", result->windowMs, result->searchableMs, result->rssBeforeKB / 1024,
            result->rssAfterKB / 1024);
        std::fflush(stdout);
        if (run == 0)
            continue;
        window.push_back(result->windowMs);
        searchable.push_back(result->searchableMs);
        memory.push_back(result->rssAfterKB / 1024);
        catalogMemory.push_back((result->rssAfterKB - result->rssBeforeKB) / 1024);
    }
    std::printf("startup: window %.0f ms, searchable %.0f ms, memory %.1f MB (catalog %.1f MB) for %lld packages\n",
        median(window), median(searchable), median(memory), median(catalogMemory),
        static_cast<long long>(catalog.size()));
    return 0;
}
