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
#include <QHashFunctions>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QtConcurrentRun>

#include <algorithm>
#include <array>
#include <exception>
#include <memory>
#include <numeric>
#include <utility>
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

// What a document's last full answer said about its version, to ask next time whether it
// changed since. Either may be empty.
struct Validators {
    QByteArray etag;
    QByteArray lastModified;

    bool isEmpty() const { return etag.isEmpty() && lastModified.isEmpty(); }
};

// The validators of both documents and the cache they were stored with (see fingerprint()).
struct StoredValidators {
    Validators formula;
    Validators cask;
    qint64 cacheSize = -1;
    // The cache decoded, when the caller had no catalog of its own to fall back on.
    QList<Package> packages;
};

// Qt waits for a silent server forever by default. The transfer time-out restarts with every
// byte received, so a slow download that keeps moving is never cut off; a stalled one ends
// with OperationCanceledError, which stalled() turns into a readable reason. Qt asks for gzip
// on its own and unpacks it as it arrives: the catalog travels at a fraction of its size.
Reply get(const QUrl &url, const Validators &validators = {})
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(Platform::current().networkStall().count()));
    if (!validators.etag.isEmpty())
        request.setRawHeader("If-None-Match", validators.etag);
    if (!validators.lastModified.isEmpty())
        request.setRawHeader("If-Modified-Since", validators.lastModified);
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

// The order of names the user reads: the collator's, ignoring case. Asking the collator is slow
// (a sort key costs more than the rest of a package's decoding), and nearly every name is
// printable ASCII, which the collator orders character by character by a weight per character
// (punctuation, then digits, then letters, case ignored). Those names are compared through a
// table of these weights, taken from the collator itself; the collator sees only the others.
// Languages whose collation joins ASCII letters (Danish "aa", Czech "ch", Turkish dotless i…)
// are not in the list of those the table is used for, and get the collator for every name.
class NameOrder {
public:
    NameOrder()
    {
        m_collator.setCaseSensitivity(Qt::CaseInsensitive);
        if (!tableHolds(m_collator.locale()))
            return;
        std::array<char16_t, lastPlain - firstPlain + 1> characters;
        std::iota(characters.begin(), characters.end(), firstPlain);
        const auto order
            = [this](char16_t a, char16_t b) { return m_collator.compare(QStringView(&a, 1), QStringView(&b, 1)); };
        std::stable_sort(characters.begin(), characters.end(), [&](char16_t a, char16_t b) { return order(a, b) < 0; });
        quint8 weight = 0;
        for (size_t i = 0; i < characters.size(); ++i) {
            const char16_t c = characters[i];
            // A character the collator ignores has no weight; names holding it go to the collator.
            if (m_collator.compare(QStringView(&c, 1), QStringView()) == 0)
                continue;
            if (weight == 0 || order(characters[i - 1], c) != 0)
                ++weight;
            m_weight[c] = weight;
        }
    }

    // Whether the table orders `name`.
    bool isPlain(const QString &name) const
    {
        for (const QChar c : name) {
            if (c.unicode() > lastPlain || m_weight[c.unicode()] == 0)
                return false;
        }
        return true;
    }

    // Negative, zero or positive, like QCollator::compare(), for two plain names.
    int comparePlain(const QString &a, const QString &b) const
    {
        const char16_t *x = reinterpret_cast<const char16_t *>(a.constData());
        const char16_t *y = reinterpret_cast<const char16_t *>(b.constData());
        const qsizetype common = std::min(a.size(), b.size());
        for (qsizetype i = 0; i < common; ++i) {
            if (const int difference = int(m_weight[x[i]]) - int(m_weight[y[i]]))
                return difference;
        }
        return int(a.size() > b.size()) - int(a.size() < b.size());
    }

    // The weights of the first eight characters of a plain name, the first in the highest byte
    // and 0 after the end: these order two names unless they begin alike.
    quint64 prefix(const QString &name) const
    {
        const char16_t *c = reinterpret_cast<const char16_t *>(name.constData());
        const qsizetype size = std::min<qsizetype>(name.size(), 8);
        quint64 weights = 0;
        for (qsizetype i = 0; i < 8; ++i)
            weights = (weights << 8) | (i < size ? m_weight[c[i]] : 0);
        return weights;
    }

    int compare(const QString &a, const QString &b) const { return m_collator.compare(a, b); }
    // Collation keys order names like compare(), except in the C locale: there Qt makes them of
    // the bytes as they are, case and all.
    bool hasKeys() const { return m_collator.locale().language() != QLocale::C; }
    QCollatorSortKey sortKey(const QString &name) const { return m_collator.sortKey(name); }

private:
    static constexpr char16_t firstPlain = 0x20;
    static constexpr char16_t lastPlain = 0x7e;

    static bool tableHolds(const QLocale &locale)
    {
        switch (locale.language()) {
        case QLocale::C:
        case QLocale::English:
        case QLocale::German:
        case QLocale::French:
        case QLocale::Italian:
        case QLocale::Spanish:
        case QLocale::Portuguese:
        case QLocale::Dutch:
            return true;
        default:
            return false;
        }
    }

    QCollator m_collator;
    std::array<quint8, lastPlain + 1> m_weight{}; // 0: not ordered by the table
};

// A list sorted by name, ready to be merged: for each name the collator is asked about, its
// collation key where keys are used.
struct SortedByName {
    QList<Package> packages;
    std::vector<qsizetype> keyAt; // per package: -1 for a plain name, else its index in keys
    std::vector<quint64> prefixes; // per package: NameOrder::prefix() of a plain name
    std::vector<QCollatorSortKey> keys;

    bool isPlain(qsizetype at) const { return keyAt[size_t(at)] < 0; }
    bool hasKey(qsizetype at) const { return size_t(keyAt[size_t(at)]) < keys.size(); }
    const QCollatorSortKey &key(qsizetype at) const { return keys[size_t(keyAt[size_t(at)])]; }
};

// Negative, zero or positive as package `i` of `a` goes before, with or after package `j` of `b`.
int compareNames(const NameOrder &order, const SortedByName &a, qsizetype i, const SortedByName &b, qsizetype j)
{
    const bool plainA = a.isPlain(i);
    const bool plainB = b.isPlain(j);
    if (plainA && plainB) {
        const quint64 x = a.prefixes[size_t(i)];
        const quint64 y = b.prefixes[size_t(j)];
        if (x != y)
            return x < y ? -1 : 1;
        return order.comparePlain(a.packages[i].name, b.packages[j].name);
    }
    if (!plainA && !plainB && a.hasKey(i) && b.hasKey(j))
        return a.key(i).compare(b.key(j));
    return order.compare(a.packages[i].name, b.packages[j].name);
}

SortedByName sortedByName(QList<Package> packages)
{
    const NameOrder order;
    // The plain names sorted by the table, the others by collation keys (one per name instead of
    // a full collation per comparison); stable, so twins that differ in case keep their order.
    // The plain names are sorted side by side in one array by the weights of their first
    // characters, and only compared in full when those are alike.
    struct PlainName {
        quint64 prefix;
        qsizetype index;
    };
    std::vector<PlainName> plainNames;
    std::vector<qsizetype> other;
    plainNames.reserve(size_t(packages.size()));
    for (qsizetype i = 0; i < packages.size(); ++i) {
        if (order.isPlain(packages[i].name))
            plainNames.push_back({ order.prefix(packages[i].name), i });
        else
            other.push_back(i);
    }
    std::stable_sort(plainNames.begin(), plainNames.end(), [&](const PlainName &a, const PlainName &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return order.comparePlain(packages[a.index].name, packages[b.index].name) < 0;
    });
    std::vector<QCollatorSortKey> keys;
    std::vector<qsizetype> otherOrder(other.size());
    std::iota(otherOrder.begin(), otherOrder.end(), qsizetype(0));
    if (order.hasKeys()) {
        keys.reserve(other.size());
        for (const qsizetype index : other)
            keys.push_back(order.sortKey(packages[index].name));
        std::stable_sort(otherOrder.begin(), otherOrder.end(),
            [&keys](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    } else {
        std::stable_sort(otherOrder.begin(), otherOrder.end(), [&](qsizetype a, qsizetype b) {
            return order.compare(packages[other[size_t(a)]].name, packages[other[size_t(b)]].name) < 0;
        });
    }

    // The two runs merged; each other name finds its place among the plain ones by a binary
    // search, so the collator compares only a few names per other name. Equal names keep the
    // order they had in the list.
    const auto before = [&](const PlainName &plain, qsizetype index) {
        const int result = order.compare(packages[plain.index].name, packages[index].name);
        return result < 0 || (result == 0 && plain.index < index);
    };
    SortedByName sorted;
    sorted.packages.reserve(packages.size());
    sorted.keyAt.reserve(size_t(packages.size()));
    sorted.prefixes.reserve(size_t(packages.size()));
    sorted.keys.reserve(keys.size());
    auto next = plainNames.begin();
    const auto takePlainUpTo = [&](std::vector<PlainName>::iterator end) {
        for (; next != end; ++next) {
            sorted.packages.append(std::move(packages[next->index]));
            sorted.keyAt.push_back(-1);
            sorted.prefixes.push_back(next->prefix);
        }
    };
    for (const qsizetype at : otherOrder) {
        const qsizetype index = other[size_t(at)];
        takePlainUpTo(std::lower_bound(next, plainNames.end(), index, before));
        sorted.packages.append(std::move(packages[index]));
        sorted.keyAt.push_back(qsizetype(sorted.keys.size()));
        sorted.prefixes.push_back(0);
        if (!keys.empty())
            sorted.keys.push_back(std::move(keys[size_t(at)]));
    }
    takePlainUpTo(plainNames.end());
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

// The two sorted halves as one sorted catalog with its search keys. Stable: on equal keys the
// formula comes first, as when the casks follow the formulae.
QList<Package> mergeHalves(SortedByName formulae, SortedByName casks)
{
    const NameOrder order;
    QList<Package> &a = formulae.packages;
    QList<Package> &b = casks.packages;
    QList<Package> packages;
    packages.reserve(a.size() + b.size());
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (compareNames(order, casks, j, formulae, i) < 0)
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

// Work for the thread pool hands its exception back as a value: a QFuture would wrap anything
// but a QException, and the caller wants the original error.
struct Decoded {
    QList<Package> packages;
    std::exception_ptr error;
};

// Longer than any validator a real host sends; the cap keeps a damaged file from growing requests.
constexpr qsizetype maxValidatorLength = 1024;

// A validator goes back to the server only if it can stand in a header line as it is: a value
// from a tampered file must not add lines (headers) of its own.
QByteArray headerSafe(const QByteArray &value)
{
    if (value.size() > maxValidatorLength)
        return {};
    const bool printable
        = std::all_of(value.begin(), value.end(), [](char c) { return (c >= 0x20 && c < 0x7f) || c == '\t'; });
    return printable ? value : QByteArray();
}

Validators validatorsOf(const QNetworkReply &reply)
{
    return { headerSafe(reply.rawHeader("ETag")), headerSafe(reply.rawHeader("Last-Modified")) };
}

QString validatorsFileFor(const QString &cacheFile)
{
    return QFileInfo(cacheFile).path() + u"/catalog-validators.json"_s;
}

// Names the exact cache bytes the validators were stored with: a cache that was deleted,
// damaged or replaced since no longer matches, and its validators are not sent. A fast 64-bit
// hash is plenty to tell a damaged cache from ours, and it is checked before every refresh; a
// Qt that hashes differently costs one full download, never a wrong catalog.
QString fingerprint(const QByteArray &cacheBytes)
{
    const size_t hash = qHashBits(cacheBytes.constData(), size_t(cacheBytes.size()), 0);
    return QString::number(cacheBytes.size()) + u':' + QString::number(quint64(hash), 16);
}

QJsonObject toJson(const Validators &validators)
{
    QJsonObject object;
    if (!validators.etag.isEmpty())
        object.insert(u"etag"_s, QString::fromLatin1(validators.etag));
    if (!validators.lastModified.isEmpty())
        object.insert(u"lastModified"_s, QString::fromLatin1(validators.lastModified));
    return object;
}

Validators validatorsFrom(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    return { headerSafe(object.value(u"etag"_s).toString().toLatin1()),
        headerSafe(object.value(u"lastModified"_s).toString().toLatin1()) };
}

// Written after the cache it describes, so a cache written without its validators (a crash in
// between, a full disk) never meets validators of another cache.
void writeValidators(const QString &cacheFile, const QByteArray &cacheBytes, const StoredValidators &validators)
{
    const QString path = validatorsFileFor(cacheFile);
    try {
        if (validators.formula.isEmpty() && validators.cask.isEmpty()) {
            QFile::remove(path);
            return;
        }
        QJsonObject object;
        object.insert(u"cache"_s, fingerprint(cacheBytes));
        object.insert(u"formula"_s, toJson(validators.formula));
        object.insert(u"cask"_s, toJson(validators.cask));
        Files::writeAtomically(path, QJsonDocument(object).toJson(QJsonDocument::Compact));
    } catch (const std::exception &error) {
        // The previous file names the previous cache, so it cannot be mistaken for this one.
        qCWarning(lcBrew) << "catalog validators not written:" << errorText(error);
    }
}

// The stored validators, when the cache they were stored with is still there unchanged (and,
// with `decode`, still decodes: a 304 is only worth asking for with a catalog to keep).
std::optional<StoredValidators> storedValidatorsJob(const QString &cacheFile, bool decode)
{
    try {
        if (cacheFile.isEmpty())
            return std::nullopt;
        const QString path = validatorsFileFor(cacheFile);
        if (QFileInfo(path).size() > 64 * 1024)
            return std::nullopt;
        const std::optional<QByteArray> text = Files::read(path);
        if (!text)
            return std::nullopt;
        const QJsonObject object = QJsonDocument::fromJson(*text).object();
        const QString cacheID = object.value(u"cache"_s).toString();
        bool sized = false;
        const qint64 size = cacheID.section(u':', 0, 0).toLongLong(&sized);
        // The size first: a changed cache usually shows there without reading it.
        if (!sized || QFileInfo(cacheFile).size() != size)
            return std::nullopt;
        const std::optional<QByteArray> cache = Files::read(cacheFile);
        if (!cache || fingerprint(*cache) != cacheID)
            return std::nullopt;
        StoredValidators stored{ validatorsFrom(object.value(u"formula"_s)), validatorsFrom(object.value(u"cask"_s)),
            size, {} };
        if (stored.formula.isEmpty() && stored.cask.isEmpty())
            return std::nullopt;
        if (decode) {
            std::optional<std::pair<QList<Package>, QDateTime>> cached = cachedCatalogFrom(*cache, std::nullopt);
            if (!cached)
                return std::nullopt;
            stored.packages = std::move(cached->first);
        }
        return stored;
    } catch (...) {
        return std::nullopt;
    }
}

void writeCache(const QString &path, const QList<Package> &packages, const StoredValidators &validators)
{
    // A cache that cannot be written costs the next start a download, nothing more.
    try {
        Files::createDirectories(QFileInfo(path).path());
        const QByteArray bytes = PackageFormats::encodeCache(packages);
        Files::writeAtomically(path, bytes);
        writeValidators(path, bytes, validators);
    } catch (const std::exception &error) {
        qCWarning(lcBrew) << "catalog cache not written:" << errorText(error);
    }
}

// Both documents were downloaded and decoded (each on its own pool thread, while the other
// was still arriving or decoding): one sorted catalog, written to the cache.
Decoded completeCatalogJob(
    DecodedHalf formulae, DecodedHalf casks, const QString &cacheFile, const StoredValidators &validators)
{
    try {
        if (formulae.error)
            std::rethrow_exception(formulae.error);
        if (casks.error)
            std::rethrow_exception(casks.error);
        QList<Package> packages = mergeHalves(std::move(formulae.sorted), std::move(casks.sorted));
        if (!cacheFile.isEmpty())
            writeCache(cacheFile, packages, validators);
        return { std::move(packages), {} };
    } catch (...) {
        return { {}, std::current_exception() };
    }
}

QList<Package> packagesOfKind(const QList<Package> &packages, PackageKind kind)
{
    QList<Package> kept;
    for (const Package &package : packages)
        if (package.kind == kind)
            kept.append(package);
    return kept;
}

// The catalog when one document changed: the fresh half, decoded, with the other half from the
// cached catalog.
Decoded mergeCatalogJob(const QList<Package> &cached, DecodedHalf fresh, PackageKind freshKind,
    const QString &cacheFile, const StoredValidators &validators)
{
    try {
        if (fresh.error)
            std::rethrow_exception(fresh.error);
        const PackageKind otherKind = freshKind == PackageKind::formula ? PackageKind::cask : PackageKind::formula;
        SortedByName other = sortedByName(packagesOfKind(cached, otherKind));
        QList<Package> packages = freshKind == PackageKind::formula
            ? mergeHalves(std::move(fresh.sorted), std::move(other))
            : mergeHalves(std::move(other), std::move(fresh.sorted));
        if (!cacheFile.isEmpty())
            writeCache(cacheFile, packages, validators);
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
        std::optional<QList<Package>> packages = PackageFormats::decodeCache(file);
        if (!packages || packages->isEmpty())
            return std::nullopt;
        return std::pair{ std::move(*packages), Files::modificationTime(path).value_or(distantPast()) };
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

QString validatorsPath()
{
    const QString cache = cachePath();
    return cache.isEmpty() ? QString() : validatorsFileFor(cache);
}

QDateTime distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

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

    return mergeHalves(std::move(formulae.sorted), std::move(casks.sorted));
}

std::optional<std::pair<QList<Package>, QDateTime>> cachedCatalogFrom(
    const QByteArray &bytes, const std::optional<QDateTime> &modified)
{
    std::optional<QList<Package>> packages = PackageFormats::decodeCache(bytes);
    if (!packages || packages->isEmpty())
        return std::nullopt;
    return std::pair{ std::move(*packages), modified.value_or(distantPast()) };
}

namespace {

// One catalog document as the server answered: its body, or none when the server said the
// copy behind `sent` is still current; and the validators to keep for it.
struct Answer {
    std::optional<QByteArray> body;
    Validators validators;
};

Answer answerOf(QNetworkReply &reply, const Validators &sent)
{
    // 304 answers only a conditional request; to a plain one it is a broken answer.
    if (!sent.isEmpty() && httpStatus(reply) == 304) {
        // A 304 may name newer validators; what it leaves out stays as it was.
        const Validators fresh = validatorsOf(reply);
        return { std::nullopt,
            { fresh.etag.isEmpty() ? sent.etag : fresh.etag,
                fresh.lastModified.isEmpty() ? sent.lastModified : fresh.lastModified } };
    }
    QByteArray body = successfulBody(reply);
    return { std::move(body), validatorsOf(reply) };
}

// A cache confirmed as current gets today's date: the app dates the catalog by the cache file.
// False when the cache is gone or no longer the size the validators were stored with.
bool touchCache(const QString &cacheFile, qint64 expectedSize)
{
    QFile file(cacheFile);
    return file.open(QIODevice::ReadOnly) && file.size() == expectedSize
        && file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
}

// Asks for both documents, conditionally when `stored` is given, and puts the catalog together
// from what changed and what the cache (or `current`) holds.
QCoro::Task<CatalogRefresh> download(std::optional<StoredValidators> stored, QList<Package> current)
{
    const QUrl base = Platform::current().catalogApiBase();
    const QString cacheFile = cachePath();
    const StoredValidators sent = stored.value_or(StoredValidators{});
    // Both downloads run from here on; the casks arrive while the formulae are decoded.
    Reply formulaReply = get(endpoint(base, u"/api/formula.json"_s), sent.formula);
    Reply caskReply = get(endpoint(base, u"/api/cask.json"_s), sent.cask);

    // Each changed document is decoded on a pool thread as soon as it has arrived, so the two
    // decode side by side while a slow second download still runs.
    co_await formulaReply.get();
    Answer formula = answerOf(*formulaReply, sent.formula);
    formulaReply.reset();
    std::optional<QFuture<DecodedHalf>> formulaJob;
    if (formula.body)
        formulaJob = QtConcurrent::run(decodeHalf, &PackageFormats::decodeFormulae, std::move(*formula.body));

    co_await caskReply.get();
    Answer cask = answerOf(*caskReply, sent.cask);
    caskReply.reset();
    std::optional<QFuture<DecodedHalf>> caskJob;
    if (cask.body)
        caskJob = QtConcurrent::run(decodeHalf, &PackageFormats::decodeCasks, std::move(*cask.body));
    StoredValidators received{ formula.validators, cask.validators, sent.cacheSize, {} };

    std::optional<DecodedHalf> formulae;
    if (formulaJob)
        formulae = co_await *formulaJob;
    std::optional<DecodedHalf> casks;
    if (caskJob)
        casks = co_await *caskJob;

    if (formulae && casks) {
        QFuture<Decoded> catalogJob
            = QtConcurrent::run(completeCatalogJob, std::move(*formulae), std::move(*casks), cacheFile, received);
        Decoded catalog = co_await catalogJob;
        if (catalog.error)
            std::rethrow_exception(catalog.error);
        co_return CatalogRefresh{ std::move(catalog.packages), false };
    }
    // A document that did not decode fails the refresh before the cache is read.
    if (formulae && formulae->error)
        std::rethrow_exception(formulae->error);
    if (casks && casks->error)
        std::rethrow_exception(casks->error);

    // At least one document is unchanged, so the cached catalog holds that half.
    QList<Package> cached = std::move(current);
    if (cached.isEmpty()) {
        QFuture<CachedCatalog> readJob = QtConcurrent::run(readCacheJob, cacheFile);
        CachedCatalog read = co_await readJob;
        if (read)
            cached = std::move(read->first);
    }
    const bool unchanged = !formulae && !casks;
    if (cached.isEmpty() || (unchanged && !touchCache(cacheFile, sent.cacheSize))) {
        qCInfo(lcBrew) << "catalog cache gone while the server answered; downloading the catalog in full";
        co_return co_await download(std::nullopt, {});
    }
    if (unchanged)
        co_return CatalogRefresh{ std::move(cached), true };

    const PackageKind freshKind = formulae ? PackageKind::formula : PackageKind::cask;
    DecodedHalf fresh = formulae ? std::move(*formulae) : std::move(*casks);
    QFuture<Decoded> mergeJob
        = QtConcurrent::run(mergeCatalogJob, std::move(cached), std::move(fresh), freshKind, cacheFile, received);
    Decoded catalog = co_await mergeJob;
    if (catalog.error)
        std::rethrow_exception(catalog.error);
    co_return CatalogRefresh{ std::move(catalog.packages), false };
}

} // namespace

QCoro::Task<QList<Package>> fetchCatalog()
{
    CatalogRefresh fetched = co_await download(std::nullopt, {});
    co_return std::move(fetched.packages);
}

QCoro::Task<CatalogRefresh> refreshCatalog(QList<Package> current)
{
    const bool decode = current.isEmpty();
    QFuture<std::optional<StoredValidators>> check = QtConcurrent::run(storedValidatorsJob, cachePath(), decode);
    std::optional<StoredValidators> stored = co_await check;
    if (stored && decode)
        current = std::exchange(stored->packages, {});
    co_return co_await download(std::move(stored), std::move(current));
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
