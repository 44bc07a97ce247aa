#include "brew/CatalogService.h"

#include "brew/PackageFormats.h"
#include "brew/ReleaseTag.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Logging.h"
#include "platform/Platform.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QCoreApplication>
#include <QCoro/QCoroFuture>
#include <QCoro/QCoroNetworkReply>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QtConcurrentRun>

#include <algorithm>
#include <exception>
#include <memory>
#include <numeric>
#include <vector>

using namespace Qt::StringLiterals;

namespace CatalogService {

namespace {

// A network access manager serves only the thread it was made in, so each calling thread gets
// its own; the GUI thread's lives as long as the application object.
QNetworkAccessManager &network()
{
    static thread_local QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        manager = new QNetworkAccessManager;
        QCoreApplication *app = QCoreApplication::instance();
        if (app && app->thread() == QThread::currentThread())
            manager->setParent(app);
        else
            QObject::connect(QThread::currentThread(), &QThread::finished, manager, &QObject::deleteLater);
    }
    return *manager;
}

struct ReplyDeleter {
    void operator()(QNetworkReply *reply) const
    {
        // A download nobody waits for any more (the other catalog half failed) stops here.
        if (reply->isRunning())
            reply->abort();
        reply->deleteLater();
    }
};
using Reply = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// Qt waits for a silent server forever by default. The transfer time-out restarts with every
// byte received, so a slow download that keeps moving is never cut off; a stalled one ends
// with OperationCanceledError, which stalled() turns into a readable reason.
Reply get(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(Platform::current().networkStall().count()));
    return Reply(network().get(request));
}

// The reason for a request that ended without an answer, naming a stall as one. Nothing else
// aborts a reply that is still awaited.
QString failureReason(const QNetworkReply &reply)
{
    if (reply.error() != QNetworkReply::OperationCanceledError && reply.error() != QNetworkReply::TimeoutError)
        return reply.errorString();
    const qint64 ms = Platform::current().networkStall().count();
    const QString span = ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(double(ms) / 1000.0);
    return u"%1 stopped responding: nothing arrived for %2 seconds."_s.arg(reply.url().host(), span);
}

QUrl endpoint(const QUrl &base, const QString &encodedPath)
{
    QUrl url = base;
    QString prefix = base.path(QUrl::FullyEncoded);
    while (prefix.endsWith(u'/'))
        prefix.chop(1);
    url.setPath(prefix + encodedPath, QUrl::StrictMode);
    return url;
}

std::optional<int> httpStatus(const QNetworkReply &reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return std::nullopt;
    return status.toInt();
}

// The body of a finished request that a typed fetch may decode; otherwise the error it throws.
QByteArray successfulBody(QNetworkReply &reply)
{
    if (const std::optional<int> status = httpStatus(reply); status && (*status < 200 || *status > 299))
        throw HTTPError(*status);
    if (reply.error() != QNetworkReply::NoError)
        throw NetworkError(failureReason(reply));
    return PackageFormats::readPadded(reply);
}

// Work for the thread pool hands its exception back as a value: a QFuture would wrap anything
// but a QException, and the caller wants the original error.
struct Decoded {
    QList<Package> packages;
    std::exception_ptr error;
};

Decoded decodeFormulaeJob(const QByteArray &bytes)
{
    try {
        return { PackageFormats::decodeFormulae(bytes, PackageFormats::SearchKeys::later), {} };
    } catch (...) {
        return { {}, std::current_exception() };
    }
}

void writeCache(const QString &path, const QList<Package> &packages)
{
    // A cache that cannot be written costs the next start a download, nothing more.
    try {
        Files::createDirectories(QFileInfo(path).path());
        Files::writeAtomically(path, PackageFormats::encodeCache(packages));
    } catch (const std::exception &error) {
        qCWarning(lcBrew) << "catalog cache not written:" << errorText(error);
    }
}

Decoded completeCatalogJob(QList<Package> formulae, const QByteArray &caskBytes, const QString &cacheFile)
{
    try {
        QList<Package> packages = std::move(formulae);
        packages.append(PackageFormats::decodeCasks(caskBytes, PackageFormats::SearchKeys::later));
        sortByName(packages);
        PackageFormats::assignSearchKeys(packages);
        if (!cacheFile.isEmpty())
            writeCache(cacheFile, packages);
        return { std::move(packages), {} };
    } catch (...) {
        return { {}, std::current_exception() };
    }
}

using CachedCatalog = std::optional<std::pair<QList<Package>, QDateTime>>;

CachedCatalog readCacheJob(const QString &path)
{
    try {
        if (path.isEmpty())
            return std::nullopt;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray bytes = PackageFormats::readPadded(file);
        if (file.error() != QFileDevice::NoError)
            return std::nullopt;
        return cachedCatalogFrom(bytes, Files::modificationTime(path));
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

QString HTTPError::description() const
{
    return u"Server responded with HTTP "_s + QString::number(code);
}

QString cachePath()
{
    const QString support = Platform::current().appSupportDir();
    if (support.isEmpty())
        return {};
    return support + u"/quillrig-gui/catalog.json"_s;
}

QDateTime distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

namespace {

// A list sorted by name together with the collation key of each name, ready to be merged.
struct SortedByName {
    QList<Package> packages;
    std::vector<QCollatorSortKey> keys;
};

SortedByName sortedByName(QList<Package> packages)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // One sort key per name instead of a full collation per comparison: comparing keys is a
    // byte comparison, and 15,000 names need some 200,000 comparisons.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(packages.size()));
    for (const Package &package : std::as_const(packages))
        keys.push_back(collator.sortKey(package.name));
    std::vector<qsizetype> order(size_t(packages.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(),
        [&keys](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    SortedByName sorted;
    sorted.packages.reserve(packages.size());
    sorted.keys.reserve(keys.size());
    for (const qsizetype index : order) {
        sorted.packages.append(std::move(packages[index]));
        sorted.keys.push_back(std::move(keys[size_t(index)]));
    }
    return sorted;
}

// One catalog document decoded and sorted; an error is handed back as a value, for the thread
// that waits for it.
struct DecodedHalf {
    SortedByName sorted;
    std::exception_ptr error;
};

DecodedHalf decodeHalf(QList<Package> (*decode)(const QByteArray &, PackageFormats::SearchKeys), QByteArray bytes)
{
    try {
        return { sortedByName(decode(bytes, PackageFormats::SearchKeys::later)), {} };
    } catch (...) {
        return { {}, std::current_exception() };
    }
}

} // namespace

void sortByName(QList<Package> &packages)
{
    packages = sortedByName(std::move(packages)).packages;
}

QList<Package> decodeCatalog(const QByteArray &formulaBytes, const QByteArray &caskBytes)
{
    // The formulae on a pool thread, the casks here: each half is decoded and sorted on its own
    // core, then the two sorted runs are merged. (Waiting runs the job here if the pool has not
    // started it, so a busy pool costs the parallelism, never a deadlock.)
    QFuture<DecodedHalf> formulaJob = QtConcurrent::run(decodeHalf, &PackageFormats::decodeFormulae, formulaBytes);
    DecodedHalf casks = decodeHalf(&PackageFormats::decodeCasks, caskBytes);
    formulaJob.waitForFinished();
    DecodedHalf formulae = formulaJob.takeResult();
    if (formulae.error)
        std::rethrow_exception(formulae.error);
    if (casks.error)
        std::rethrow_exception(casks.error);

    // Stable: on equal keys the formula comes first, as when the casks follow the formulae.
    QList<Package> &a = formulae.sorted.packages;
    QList<Package> &b = casks.sorted.packages;
    const std::vector<QCollatorSortKey> &aKeys = formulae.sorted.keys;
    const std::vector<QCollatorSortKey> &bKeys = casks.sorted.keys;
    QList<Package> packages;
    packages.reserve(a.size() + b.size());
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (bKeys[size_t(j)].compare(aKeys[size_t(i)]) < 0)
            packages.append(std::move(b[j++]));
        else
            packages.append(std::move(a[i++]));
    }
    for (; i < a.size(); ++i)
        packages.append(std::move(a[i]));
    for (; j < b.size(); ++j)
        packages.append(std::move(b[j]));
    PackageFormats::assignSearchKeys(packages);
    return packages;
}

std::optional<std::pair<QList<Package>, QDateTime>> cachedCatalogFrom(
    const QByteArray &bytes, const std::optional<QDateTime> &modified)
{
    std::optional<QList<Package>> packages = PackageFormats::decodeCache(bytes);
    if (!packages || packages->isEmpty())
        return std::nullopt;
    return std::pair{ std::move(*packages), modified.value_or(distantPast()) };
}

QCoro::Task<QList<Package>> fetchCatalog()
{
    const QUrl base = Platform::current().catalogApiBase();
    const QString cacheFile = cachePath();
    // Both downloads run from here on; the casks arrive while the formulae are decoded.
    Reply formulaReply = get(endpoint(base, u"/api/formula.json"_s));
    Reply caskReply = get(endpoint(base, u"/api/cask.json"_s));

    co_await formulaReply.get();
    QByteArray formulaBytes = successfulBody(*formulaReply);
    formulaReply.reset();
    QFuture<Decoded> formulaJob = QtConcurrent::run(decodeFormulaeJob, std::move(formulaBytes));
    Decoded formulae = co_await formulaJob;
    if (formulae.error)
        std::rethrow_exception(formulae.error);

    co_await caskReply.get();
    QByteArray caskBytes = successfulBody(*caskReply);
    caskReply.reset();
    QFuture<Decoded> catalogJob
        = QtConcurrent::run(completeCatalogJob, std::move(formulae.packages), std::move(caskBytes), cacheFile);
    Decoded catalog = co_await catalogJob;
    if (catalog.error)
        std::rethrow_exception(catalog.error);
    co_return std::move(catalog.packages);
}

QCoro::Task<std::optional<std::pair<QList<Package>, QDateTime>>> loadCachedCatalog()
{
    QFuture<CachedCatalog> job = QtConcurrent::run(readCacheJob, cachePath());
    co_return co_await job;
}

QCoro::Task<std::optional<QString>> fetchLatestBrewVersion()
{
    Reply reply = get(endpoint(Platform::current().releaseApiBase(), u"/repos/Homebrew/brew/releases/latest"_s));
    co_await reply.get();
    QByteArray body;
    try {
        body = successfulBody(*reply);
    } catch (const std::exception &error) {
        qCInfo(lcBrew) << "latest Homebrew release unknown:" << errorText(error);
        co_return std::nullopt;
    }
    co_return ReleaseTag::fromJson(body);
}

QCoro::Task<std::optional<PackageDetails>> fetchDetails(Package package)
{
    // What may stand unencoded in a URL path, as the server expects the name.
    const QByteArray name = QUrl::toPercentEncoding(package.name, "!$&'()*+,/:;=@");
    const QUrl url = endpoint(Platform::current().catalogApiBase(),
        u"/api/"_s + toString(package.kind) + u'/' + QString::fromLatin1(name) + u".json"_s);
    if (!url.isValid())
        co_return std::nullopt;
    Reply reply = get(url);
    co_await reply.get();
    if (reply->error() != QNetworkReply::NoError || httpStatus(*reply) != 200) {
        qCWarning(lcBrew) << "details of" << package.id() << "not fetched:" << failureReason(*reply) << "HTTP"
                          << httpStatus(*reply).value_or(0);
        co_return std::nullopt;
    }
    co_return PackageFormats::decodeDetails(reply->readAll());
}

} // namespace CatalogService
