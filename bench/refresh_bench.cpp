// A catalog refresh over loopback HTTP against a real-sized synthetic catalog: the first
// download (no cache: both documents in full, gzip on the wire, decoded, sorted and cached), and
// a refresh when neither document changed (validators sent, the server answers 304).
//
//   refresh_bench [repetitions]      (Release build; at least 3 repetitions)

#include "BenchPlatform.h"
#include "CatalogGenerator.h"
#include "TestHttpServer.h"
#include "brew/CatalogService.h"
#include "platform/Error.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using quillrig::test::TestHttpServer;

namespace {

template<typename T>
QCoro::Task<> driveInto(QCoro::Task<T> task, std::optional<T> *result, QString *failure, bool *done, QEventLoop *loop)
{
    try {
        *result = co_await std::move(task);
    } catch (const std::exception &error) {
        *failure = errorText(error);
    }
    *done = true;
    loop->quit();
}

// The task's value, or an empty optional with `failure` set.
template<typename T> std::optional<T> await(QCoro::Task<T> task, QString *failure)
{
    std::optional<T> result;
    bool done = false;
    QEventLoop loop;
    QCoro::Task<> driver = driveInto(std::move(task), &result, failure, &done, &loop);
    if (!done)
        loop.exec();
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QByteArray list(const std::vector<double> &values)
{
    QByteArray text;
    for (const double value : values)
        text += QByteArray::number(value, 'f', 1) + ' ';
    return text.trimmed();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(3, atoi(argv[1])) : 5;

    const CatalogGenerator::Catalog catalog = CatalogGenerator::generate();
    const qint64 raw = catalog.formulaJson.size() + catalog.caskJson.size();
    TestHttpServer server;
    // A static host: validators on every document, gzip for whoever accepts it (compressed once,
    // here, as a host keeps its compressed copy).
    TestHttpServer::Response formulae{ 200, catalog.formulaJson };
    formulae.etag = "\"formula-1\"";
    formulae.lastModified = "Mon, 07 Dec 2026 10:00:00 GMT";
    TestHttpServer::Response casks{ 200, catalog.caskJson };
    casks.etag = "\"cask-1\"";
    casks.lastModified = "Mon, 07 Dec 2026 10:00:00 GMT";
    server.setRoute(u"/api/formula.json"_s, formulae);
    server.setRoute(u"/api/cask.json"_s, casks);

    QTemporaryDir folder;
    Platform::Settings settings = benchPlatform(folder.path());
    settings.catalogApiBase = server.baseUrl();
    Platform::ScopedOverride platform(settings);

    std::vector<double> firstMs, unchangedMs, restartMs;
    qint64 firstBytes = 0, unchangedBytes = 0;
    qsizetype packages = 0;
    for (int i = 0; i < repetitions; ++i) {
        // Every first download starts from nothing on disk.
        QFile::remove(CatalogService::cachePath());
        QFile::remove(CatalogService::validatorsPath());
        QString failure;

        const qint64 sentBefore = server.bodyBytesSent();
        const int gzipBefore = server.gzipAnswers();
        QElapsedTimer clock;
        clock.start();
        const auto first = await(CatalogService::refreshCatalog(), &failure);
        firstMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!first || first->unchanged || server.gzipAnswers() - gzipBefore != 2) {
            std::fprintf(stderr, "the first download failed or did not travel as gzip: %s\n", qPrintable(failure));
            return 1;
        }
        firstBytes = server.bodyBytesSent() - sentBefore;
        packages = first->packages.size();

        // As the app does: the catalog on screen is handed over for reuse.
        const qint64 sentBetween = server.bodyBytesSent();
        clock.restart();
        const auto again = await(CatalogService::refreshCatalog(first->packages), &failure);
        unchangedMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!again || !again->unchanged || again->packages.size() != packages) {
            std::fprintf(stderr, "the unchanged catalog was not confirmed: %s\n", qPrintable(failure));
            return 1;
        }
        unchangedBytes = server.bodyBytesSent() - sentBetween;

        // After a restart nothing is in memory yet: the cache is read back instead.
        clock.restart();
        const auto restarted = await(CatalogService::refreshCatalog(), &failure);
        restartMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!restarted || !restarted->unchanged || restarted->packages.size() != packages) {
            std::fprintf(stderr, "the cached catalog was not confirmed: %s\n", qPrintable(failure));
            return 1;
        }
    }

    std::printf("catalog: %lld packages, %.1f MB raw JSON\n", static_cast<long long>(packages), double(raw) / 1e6);
    std::printf("cache: %.1f MB\n", double(QFile(CatalogService::cachePath()).size()) / 1e6);
    std::printf("first (ms): %s\n", list(firstMs).constData());
    std::printf("unchanged (ms): %s\n", list(unchangedMs).constData());
    std::printf("unchanged, catalog read from the cache (ms): %s\n", list(restartMs).constData());
    std::printf("refresh: first %.1f MB in %.0f ms, unchanged %lld B in %.1f ms\n", double(firstBytes) / 1e6,
        median(firstMs), static_cast<long long>(unchangedBytes), median(unchangedMs));
    return 0;
}
