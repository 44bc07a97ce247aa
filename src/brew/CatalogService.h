#pragma once

#include "brew/Package.h"
#include "platform/Error.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// Everything fetched over HTTPS: the Homebrew catalog (kept in a cache file for the next start
// and for offline use), one package's details, and the latest Homebrew release. No state of its
// own; call it from the thread whose network access manager should carry the requests (the GUI
// thread). Heavy decoding runs on the global thread pool.
namespace CatalogService {

// The server answered, but not with success.
class HTTPError : public Error {
public:
    explicit HTTPError(int statusCode)
        : code(statusCode)
    {
    }
    QString description() const override;

    int code;
};

// Both halves of the catalog, converted and sorted by name. Either both decode or it throws
// (NetworkError, HTTPError, PackageFormats::DecodingError); on success the cache is rewritten,
// along with the documents' validators (ETag, Last-Modified) for the next refreshCatalog().
QCoro::Task<QList<Package>> fetchCatalog();

// What refreshCatalog() found.
struct CatalogRefresh {
    // The catalog as the server has it now.
    QList<Package> packages;
    // The server confirmed that neither document changed since the cache was written: nothing
    // was downloaded, `packages` is the cached catalog and the cache's date is now.
    bool unchanged = false;
};

// The catalog brought up to date with as little transfer as the server allows. When the cache
// is there and is the one the stored validators describe, each document is asked for only if
// it changed since (If-None-Match / If-Modified-Since); a document that did not change is
// taken from the cache. Without such a cache, or when it vanished while the server answered,
// this is fetchCatalog(). `current`: the catalog the caller shows, loaded from the cache or
// from the last refresh, reused when nothing changed instead of reading the cache again; empty
// to read the cache. Throws like fetchCatalog().
QCoro::Task<CatalogRefresh> refreshCatalog(QList<Package> current = {});

// The cached catalog and the time it was written. Absent when there is no usable cache; never
// throws.
QCoro::Task<std::optional<std::pair<QList<Package>, QDateTime>>> loadCachedCatalog();

// The tag of the latest Homebrew release, as published ("4.4.2"). Absent on any problem.
QCoro::Task<std::optional<QString>> fetchLatestBrewVersion();

// Absent on any problem, including any status other than 200.
QCoro::Task<std::optional<PackageDetails>> fetchDetails(Package package);

// Application Support/quillrig-gui/catalog.json
QString cachePath();
// The validators of the documents the cache was made from, and which cache that is:
// catalog-validators.json beside the cache.
QString validatorsPath();

// Orders the catalog the way the user reads it: by name, ignoring case, in the user's locale.
// Stable, so names that differ only in case keep their relative order.
void sortByName(QList<Package> &packages);

// Both catalog documents decoded in parallel (one per core), merged and sorted by name, with
// their search keys. Throws PackageFormats::DecodingError like the decoders.
QList<Package> decodeCatalog(const QByteArray &formulaBytes, const QByteArray &caskBytes);

// The date of a cache whose modification time cannot be read: before any real date.
QDateTime distantPast();

// The cache read back from `bytes`, dated `modified` (or the distant past when that is unknown).
// Absent when the bytes do not decode or hold no package.
std::optional<std::pair<QList<Package>, QDateTime>> cachedCatalogFrom(
    const QByteArray &bytes, const std::optional<QDateTime> &modified);

} // namespace CatalogService
