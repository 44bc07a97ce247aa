// Ingest (decode both catalog documents, convert, sort) and cache load, measured against a
// straightforward QJsonDocument reference in the same run on a real-sized synthetic catalog.
//
//   catalog_bench [repetitions]      (Release build; at least 5 repetitions)
//   catalog_bench --write <folder>   writes formula.json and cask.json there, to look at
//   catalog_bench --profile [n]      only the production ingest, n times (for perf record)
//   catalog_bench --profile-cache [n] only the cache load, n times (for perf record)

#include "CatalogGenerator.h"
#include "brew/CatalogService.h"
#include "brew/PackageFormats.h"
#include "platform/Files.h"
#include "platform/Platform.h"

#include <QCollator>
#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The obvious way to do the same work: QJsonDocument, the same strict conversion, and a stable
// sort that asks the collator for every comparison.
namespace reference {

struct Invalid { };

std::optional<QString> optionalString(const QJsonValue &value)
{
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        throw Invalid{};
    return value.toString();
}

QString requiredString(const QJsonValue &value)
{
    if (!value.isString())
        throw Invalid{};
    return value.toString();
}

bool optionalBool(const QJsonValue &value)
{
    if (value.isUndefined() || value.isNull())
        return false;
    if (!value.isBool())
        throw Invalid{};
    return value.toBool();
}

QJsonArray entries(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        throw Invalid{};
    return document.array();
}

Package package(PackageKind kind, const QString &name, const QString &displayName, std::optional<QString> desc,
    std::optional<QString> homepage, std::optional<QString> version, bool deprecated)
{
    const QString text = desc.value_or(QString());
    return { kind, name, displayName, text, homepage.value_or(QString()), version.value_or(QString()), deprecated,
        (name + u' ' + displayName + u' ' + text).toLower() };
}

QList<Package> formulae(const QByteArray &json)
{
    QList<Package> packages;
    for (const QJsonValue &value : entries(json)) {
        if (!value.isObject())
            throw Invalid{};
        const QJsonObject entry = value.toObject();
        const QString name = requiredString(entry.value("name"_L1));
        std::optional<QString> stable;
        const QJsonValue versions = entry.value("versions"_L1);
        if (versions.isObject())
            stable = optionalString(versions.toObject().value("stable"_L1));
        else if (!versions.isUndefined() && !versions.isNull())
            throw Invalid{};
        const bool deprecated = optionalBool(entry.value("deprecated"_L1));
        const bool disabled = optionalBool(entry.value("disabled"_L1));
        packages.append(package(PackageKind::formula, name, name, optionalString(entry.value("desc"_L1)),
            optionalString(entry.value("homepage"_L1)), stable, deprecated || disabled));
    }
    return packages;
}

QList<Package> casks(const QByteArray &json)
{
    QList<Package> packages;
    for (const QJsonValue &value : entries(json)) {
        if (!value.isObject())
            throw Invalid{};
        const QJsonObject entry = value.toObject();
        const QString token = requiredString(entry.value("token"_L1));
        QString displayName = token;
        const QJsonValue names = entry.value("name"_L1);
        if (names.isArray()) {
            const QJsonArray list = names.toArray();
            for (const QJsonValue &name : list)
                requiredString(name);
            if (!list.isEmpty())
                displayName = list.first().toString();
        } else if (!names.isUndefined() && !names.isNull()) {
            throw Invalid{};
        }
        const bool deprecated = optionalBool(entry.value("deprecated"_L1));
        const bool disabled = optionalBool(entry.value("disabled"_L1));
        packages.append(package(PackageKind::cask, token, displayName, optionalString(entry.value("desc"_L1)),
            optionalString(entry.value("homepage"_L1)), optionalString(entry.value("version"_L1)),
            deprecated || disabled));
    }
    return packages;
}

QList<Package> ingest(const CatalogGenerator::Catalog &catalog)
{
    QList<Package> packages = formulae(catalog.formulaJson);
    packages.append(casks(catalog.caskJson));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(packages.begin(), packages.end(),
        [&collator](const Package &a, const Package &b) { return collator.compare(a.name, b.name) < 0; });
    return packages;
}

} // namespace reference

// The bytes as a download hands them over: read with PackageFormats::readPadded(), which leaves
// the decoder's read-ahead room behind the text.
QByteArray asDownloaded(const QByteArray &bytes)
{
    QByteArray copy;
    copy.reserve(bytes.size() + PackageFormats::readAheadBytes);
    copy.append(bytes);
    return copy;
}

// What the application does with a download: both documents decoded in parallel, merged, sorted.
QList<Package> ingest(const CatalogGenerator::Catalog &downloaded)
{
    return CatalogService::decodeCatalog(downloaded.formulaJson, downloaded.caskJson);
}

template<typename T>
QCoro::Task<> driveInto(QCoro::Task<T> task, std::optional<T> *result, bool *done, QEventLoop *loop)
{
    *result = co_await std::move(task);
    *done = true;
    loop->quit();
}

template<typename T> T await(QCoro::Task<T> task)
{
    std::optional<T> result;
    bool done = false;
    QEventLoop loop;
    QCoro::Task<> driver = driveInto(std::move(task), &result, &done, &loop);
    if (!done)
        loop.exec();
    return std::move(*result);
}

double milliseconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

QByteArray list(const std::vector<double> &values)
{
    QByteArray text;
    for (double value : values)
        text += (text.isEmpty() ? "" : " ") + QByteArray::number(value, 'f', 1);
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--write") {
        const CatalogGenerator::Catalog catalog = CatalogGenerator::generate();
        const QString folder = QString::fromLocal8Bit(argv[2]);
        Files::writeAtomically(folder + u"/formula.json"_s, catalog.formulaJson);
        Files::writeAtomically(folder + u"/cask.json"_s, catalog.caskJson);
        return 0;
    }
    if (argc >= 2 && QByteArray(argv[1]) == "--profile") {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const CatalogGenerator::Catalog generated = CatalogGenerator::generate();
        const CatalogGenerator::Catalog catalog{ asDownloaded(generated.formulaJson),
            asDownloaded(generated.caskJson) };
        std::vector<QList<Package>> kept;
        const int runs = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 20;
        std::vector<double> times;
        for (int i = 0; i < runs; ++i)
            times.push_back(milliseconds([&] { kept.push_back(ingest(catalog)); }));
        std::printf("ingest ours (ms): %s\n", list(times).constData());
        return 0;
    }
    if (argc >= 2 && QByteArray(argv[1]) == "--profile-cache") {
        QTemporaryDir folder;
        Platform::Settings settings = Platform::Settings::forThisMachine();
        settings.appSupportDir = folder.path();
        Platform::ScopedOverride platform(settings);
        const CatalogGenerator::Catalog catalog = CatalogGenerator::generate();
        const QString cache = CatalogService::cachePath();
        Files::createDirectories(cache.section(u'/', 0, -2));
        Files::writeAtomically(
            cache, PackageFormats::encodeCache(CatalogService::decodeCatalog(catalog.formulaJson, catalog.caskJson)));
        const int runs = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 200;
        std::vector<double> times;
        for (int i = 0; i < runs; ++i)
            times.push_back(milliseconds([&] { await(CatalogService::loadCachedCatalog()); }));
        std::printf("cache-load (ms): median %.2f\n", median(times));
        return 0;
    }
    const int repetitions = std::max(5, argc > 1 ? QByteArray(argv[1]).toInt() : 7);
    // The user's locale decides the order; fix one that collates like a real desktop (the C
    // locale would let both sides skip collation altogether).
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    const CatalogGenerator::Catalog catalog = CatalogGenerator::generate();
    const CatalogGenerator::Catalog downloaded{ asDownloaded(catalog.formulaJson), asDownloaded(catalog.caskJson) };
    std::printf("catalog: formula.json %.1f MB, cask.json %.1f MB\n", catalog.formulaJson.size() / 1e6,
        catalog.caskJson.size() / 1e6);

    // Results are kept until the end, so freeing the previous one never counts.
    std::vector<QList<Package>> kept;
    QList<Package> ours;
    QList<Package> theirs;
    std::vector<double> oursMs, referenceMs, decodeMs, sortMs;
    for (int i = 0; i < repetitions; ++i) {
        // Alternate so neither side always runs on a warmer cache.
        referenceMs.push_back(milliseconds([&] { theirs = reference::ingest(catalog); }));
        kept.push_back(std::exchange(theirs, {}));
        oursMs.push_back(milliseconds([&] { ours = ingest(downloaded); }));
        kept.push_back(std::exchange(ours, {}));
        // The same work on one thread, for the record.
        QList<Package> decoded;
        decodeMs.push_back(milliseconds([&] {
            decoded = PackageFormats::decodeFormulae(downloaded.formulaJson, PackageFormats::SearchKeys::later);
            decoded.append(PackageFormats::decodeCasks(downloaded.caskJson, PackageFormats::SearchKeys::later));
        }));
        sortMs.push_back(milliseconds([&] {
            CatalogService::sortByName(decoded);
            PackageFormats::assignSearchKeys(decoded);
        }));
        kept.push_back(std::move(decoded));
    }
    theirs = kept[kept.size() - 3];
    ours = kept[kept.size() - 2];
    kept.clear();
    if (ours != theirs) {
        std::fprintf(stderr, "ours and the reference disagree: %lld against %lld packages\n",
            static_cast<long long>(ours.size()), static_cast<long long>(theirs.size()));
        return 1;
    }
    std::printf("packages: %lld\n", static_cast<long long>(ours.size()));
    std::printf("ingest ours (ms): %s\n", list(oursMs).constData());
    std::printf("  on one thread instead: decode+convert %.1f ms, sort+search keys %.1f ms (medians)\n",
        median(decodeMs), median(sortMs));
    std::printf("ingest reference (ms): %s\n", list(referenceMs).constData());

    QTemporaryDir folder;
    Platform::Settings settings = Platform::Settings::forThisMachine();
    settings.homeDir = folder.path();
    settings.tempDir = folder.path();
    settings.appSupportDir = folder.path();
    Platform::ScopedOverride platform(settings);
    const QString cache = CatalogService::cachePath();
    Files::createDirectories(cache.section(u'/', 0, -2));
    Files::writeAtomically(cache, PackageFormats::encodeCache(ours));
    std::printf("cache: %.1f MB\n", double(Files::read(cache)->size()) / 1e6);

    std::vector<double> cacheMs;
    std::vector<std::optional<std::pair<QList<Package>, QDateTime>>> loads;
    for (int i = 0; i < repetitions; ++i)
        cacheMs.push_back(milliseconds([&] { loads.push_back(await(CatalogService::loadCachedCatalog())); }));
    const qsizetype loaded = loads.back() ? loads.back()->first.size() : 0;
    if (loaded != ours.size()) {
        std::fprintf(stderr, "the cache gave back %lld packages\n", static_cast<long long>(loaded));
        return 1;
    }
    std::printf("cache-load (ms): %s\n", list(cacheMs).constData());

    const double oursMedian = median(oursMs);
    const double referenceMedian = median(referenceMs);
    std::printf("ingest: ours %.1f ms, reference %.1f ms, ratio %.3f\n", oursMedian, referenceMedian,
        oursMedian / referenceMedian);
    std::printf("cache-load: %.1f ms for %lld packages\n", median(cacheMs), static_cast<long long>(loaded));
    return 0;
}
