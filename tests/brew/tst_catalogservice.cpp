#include "AsyncTest.h"
#include "CatalogGenerator.h"
#include "Sandbox.h"
#include "TestHttpServer.h"
#include "brew/CatalogService.h"
#include "brew/PackageFormats.h"
#include "platform/Files.h"

#include <QCollator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using quillrig::test::runTask;
using quillrig::test::Sandbox;
using quillrig::test::TestHttpServer;

namespace {

// (moc takes "//" inside a raw string for a comment, so these documents carry no URLs.)
const QByteArray formulaDocument = R"json([
  {"name":"zsh","full_name":"zsh","tap":"homebrew/core","desc":"UNIX shell (command interpreter)",
   "versions":{"stable":"5.9","head":"HEAD","bottle":true},
   "revision":0,"deprecated":false,"disabled":false,"caveats":null},
  {"name":"Apple","desc":"Fruit","versions":{"stable":"1"},"deprecated":false},
  {"name":"éclair","desc":"Pastry","versions":{"stable":null}},
  {"name":"eclair","desc":"Plain pastry","versions":{"stable":"2"},"disabled":true}
])json";

const QByteArray caskDocument = R"json([
  {"token":"apple","name":["Apple App"],"desc":null,"version":"latest",
   "auto_updates":true,"deprecated":false,"disabled":false},
  {"token":"banana","name":[],"desc":"Yellow","version":"3.6.0,67351",
   "auto_updates":null}
])json";

QStringList idsOf(const QList<Package> &packages)
{
    QStringList ids;
    for (const Package &package : packages)
        ids.append(package.id());
    return ids;
}

} // namespace

class TestCatalogService : public QObject {
    Q_OBJECT

    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<TestHttpServer> m_server;

    QString cacheFile() const { return m_sandbox->appSupport() + "/quillrig-gui/catalog.json"_L1; }

private Q_SLOTS:
    void initTestCase()
    {
        // Sorting follows the user's locale; pin one so accents order the same everywhere.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        m_server = std::make_unique<TestHttpServer>();
        m_sandbox->configure([this](Platform::Settings &s) {
            s.catalogApiBase = m_server->baseUrl();
            s.releaseApiBase = m_server->baseUrl();
        });
        m_server->setRoute(u"/api/formula.json"_s, { 200, formulaDocument, 0 });
        m_server->setRoute(u"/api/cask.json"_s, { 200, caskDocument, 0 });
    }

    void cleanup()
    {
        m_server.reset();
        m_sandbox.reset();
    }

    void fetchSortsMergesAndCaches()
    {
        QCOMPARE(CatalogService::cachePath(), cacheFile());
        QR_AWAIT(packages, CatalogService::fetchCatalog());
        // Case only never separates two names; accents come after the plain letter.
        QCOMPARE(idsOf(packages),
            QStringList({ u"formula:Apple"_s, u"cask:apple"_s, u"cask:banana"_s, u"formula:eclair"_s,
                u"formula:éclair"_s, u"formula:zsh"_s }));
        QCOMPARE(packages[1].displayName, u"Apple App"_s);
        QCOMPARE(packages[2].displayName, u"banana"_s);
        QVERIFY(packages[3].deprecated);
        QCOMPARE(packages[4].version, QString());
        QCOMPARE(packages[5].searchKey, u"zsh zsh unix shell (command interpreter)"_s);

        QCOMPARE(PackageFormats::decodeCache(Sandbox::readFile(cacheFile())), std::optional(packages));
        QR_AWAIT(cached, CatalogService::loadCachedCatalog());
        QVERIFY(cached.has_value());
        QCOMPARE(cached->first, packages);
        QCOMPARE(cached->second, QFileInfo(cacheFile()).lastModified());
    }

    void sortByName_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("case-only twins stay together, in their order") << QStringList{ u"b"_s, u"A"_s, u"B"_s, u"a"_s,
            u"Ab"_s } << QStringList{ u"A"_s, u"a"_s, u"Ab"_s, u"b"_s, u"B"_s };
        QTest::newRow("not code point order") << QStringList{ u"Zebra"_s, u"éclair"_s, u"eclair"_s, u"apple"_s }
                                              << QStringList{ u"apple"_s, u"eclair"_s, u"éclair"_s, u"Zebra"_s };
    }

    void sortByName()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        QList<Package> packages;
        for (const QString &name : names)
            packages.append({ PackageKind::formula, name, name, {}, {}, {}, false, name });
        CatalogService::sortByName(packages);
        QStringList result;
        for (const Package &package : std::as_const(packages))
            result.append(package.name);
        QCOMPARE(result, sorted);
    }

    // Exactly the collator's stable order, in locales where plain names skip the collator and in
    // one whose collation joins letters ("aa" after "z" in Danish), over the synthetic catalog's
    // names and names made to trip a character-by-character order.
    void sortByNameIsTheCollatorsOrder_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("Danish") << QLocale(QLocale::Danish, QLocale::Denmark);
    }

    void sortByNameIsTheCollatorsOrder()
    {
        QFETCH(QLocale, locale);
        const QLocale previous;
        QLocale::setDefault(locale);
        const auto restore = qScopeGuard([&] { QLocale::setDefault(previous); });

        QStringList names{ u"a"_s, u"A"_s, u"a-b"_s, u"a_b"_s, u"a@b"_s, u"a+b"_s, u"a.b"_s, u"ab"_s, u"a b"_s, u"a1"_s,
            u"a10"_s, u"a2"_s, u"a-1"_s, u"A_1"_s, u"a@1"_s, u"python@3.12"_s, u"python@3.9"_s, u"python3"_s,
            u"python-3"_s, u"Python"_s, u"c++"_s, u"c--"_s, u"c"_s, u"C#"_s, u"aa"_s, u"zz"_s, u"Aa"_s, u"z"_s, u"~z"_s,
            u"[a]"_s, u"{a}"_s, u"a\\b"_s, u"a/b"_s, u"a`b"_s, u"a|b"_s, u"1a"_s, u"_a"_s, u"-a"_s, u"@a"_s, u".a"_s,
            u"café"_s, u"cafe"_s, u"CAFÉ"_s, u"cafe-x"_s, u"caf\u00ADe"_s, u"a\tb"_s, u""_s };
        const CatalogGenerator::Catalog catalog = CatalogGenerator::generate({ 1500, 1500, 7 });
        for (const QByteArray *json : { &catalog.formulaJson, &catalog.caskJson }) {
            for (const QJsonValue entry : QJsonDocument::fromJson(*json).array()) {
                const QJsonObject object = entry.toObject();
                names.append(object.value(object.contains("token"_L1) ? "token"_L1 : "name"_L1).toString());
            }
        }
        QCOMPARE_GT(names.size(), 3000);

        QList<Package> packages;
        for (const QString &name : std::as_const(names))
            packages.append({ PackageKind::formula, name, name, {}, {}, {}, false, {} });
        CatalogService::sortByName(packages);
        QStringList sorted;
        for (const Package &package : std::as_const(packages))
            sorted.append(package.name);

        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::stable_sort(
            names.begin(), names.end(), [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
        QCOMPARE(sorted, names);
    }

    // Both documents at once: the same list as decoding one after the other and sorting.
    void decodeCatalog_data()
    {
        QTest::addColumn<QByteArray>("formulae");
        QTest::addColumn<QByteArray>("casks");
        QTest::addColumn<QString>("error"); // empty: decodes
        QTest::newRow("both") << formulaDocument << caskDocument << QString();
        QTest::newRow("no casks") << formulaDocument << QByteArray("[]") << QString();
        QTest::newRow("no formulae") << QByteArray("[]") << caskDocument << QString();
        QTest::newRow("broken formulae") << QByteArray(R"([{"desc":"x"}])") << caskDocument << u"formulae"_s;
        QTest::newRow("broken casks") << formulaDocument << QByteArray("[1]") << u"casks"_s;
    }

    void decodeCatalog()
    {
        QFETCH(QByteArray, formulae);
        QFETCH(QByteArray, casks);
        QFETCH(QString, error);
        if (!error.isEmpty()) {
            try {
                CatalogService::decodeCatalog(formulae, casks);
                QFAIL("decoded");
            } catch (const PackageFormats::DecodingError &failure) {
                QVERIFY2(failure.description().contains(error), qPrintable(failure.description()));
            }
            return;
        }
        QList<Package> expected = PackageFormats::decodeFormulae(formulae);
        expected.append(PackageFormats::decodeCasks(casks));
        CatalogService::sortByName(expected);
        QCOMPARE(CatalogService::decodeCatalog(formulae, casks), expected);
    }

    void failuresLeaveTheCacheAlone_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error");

        QTest::newRow("formulae 500") << u"/api/formula.json"_s << 500 << QByteArray("oops")
                                      << u"Server responded with HTTP 500"_s;
        QTest::newRow("casks 503") << u"/api/cask.json"_s << 503 << QByteArray() << u"Server responded with HTTP 503"_s;
        QTest::newRow("casks 404") << u"/api/cask.json"_s << 404 << QByteArray() << u"Server responded with HTTP 404"_s;
        QTest::newRow("a formula without name")
            << u"/api/formula.json"_s << 200 << QByteArray(R"([{"name":"a"},{"desc":"no name"}])")
            << u"The list of formulae from the server could not be read: entry 2 has no \"name\"."_s;
        QTest::newRow("casks not JSON") << u"/api/cask.json"_s << 200 << QByteArray("<html>")
                                        << u"The list of casks from the server could not be read"_s;
    }

    void failuresLeaveTheCacheAlone()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        const QByteArray previous = PackageFormats::encodeCache(
            { { PackageKind::cask, u"old"_s, u"old"_s, {}, {}, {}, false, u"old old "_s } });
        Sandbox::writeFile(cacheFile(), previous);
        m_server->setRoute(path, { status, body, 0 });

        const auto outcome = runTask(CatalogService::fetchCatalog());
        QVERIFY(outcome.threw);
        QVERIFY2(outcome.failure.startsWith(error), qPrintable(outcome.failure));
        QCOMPARE(Sandbox::readFile(cacheFile()), previous);
    }

    // The casks are asked for while the formulae are still on their way.
    void bothHalvesDownloadAtOnce()
    {
        m_server->setRoute(u"/api/formula.json"_s, { 500, {}, 400 });
        const auto outcome = runTask(CatalogService::fetchCatalog());
        QVERIFY(outcome.threw);
        QVERIFY(m_server->requests().contains(u"/api/cask.json"_s));
    }

    void unreachableServer()
    {
        m_sandbox->configure([](Platform::Settings &s) { s.catalogApiBase = QUrl(u"http://127.0.0.1:9"_s); });
        const auto outcome = runTask(CatalogService::fetchCatalog());
        QVERIFY(outcome.threw);
        QVERIFY(!outcome.failure.isEmpty());
        QVERIFY(!QFile::exists(cacheFile()));
    }

    // A server that accepts and never answers ends each request within the stall time-out with
    // a reason; the same request succeeds once the server answers again.
    void stalledRequestsEndAndRetry_data()
    {
        QTest::addColumn<QString>("request");
        QTest::newRow("formulae") << u"catalog formula"_s;
        QTest::newRow("casks") << u"catalog cask"_s;
        QTest::newRow("details") << u"details"_s;
        QTest::newRow("release") << u"release"_s;
    }

    void stalledRequestsEndAndRetry()
    {
        QFETCH(QString, request);
        m_sandbox->configure([](Platform::Settings &s) { s.networkStall = std::chrono::milliseconds(200); });
        const QString path = request == "catalog formula"_L1 ? u"/api/formula.json"_s
            : request == "catalog cask"_L1                   ? u"/api/cask.json"_s
            : request == "details"_L1                        ? u"/api/formula/wget.json"_s
                                                             : u"/repos/Homebrew/brew/releases/latest"_s;
        const QByteArray answer = request == "details"_L1 ? QByteArray(R"({"name":"wget","license":"MIT"})")
            : request == "release"_L1                     ? QByteArray(R"({"tag_name":"4.4.2"})")
            : path.contains("formula"_L1)                 ? formulaDocument
                                                          : caskDocument;
        const Package wget{ PackageKind::formula, u"wget"_s, u"wget"_s, {}, {}, {}, false, u"wget"_s };
        // Whether the request delivered its result, and the reason when it did not.
        auto attempt = [&]() -> std::pair<bool, QString> {
            if (request == "details"_L1) {
                auto details = runTask(CatalogService::fetchDetails(wget));
                return { details.value && details.value->has_value(), {} };
            }
            if (request == "release"_L1) {
                auto tag = runTask(CatalogService::fetchLatestBrewVersion());
                return { tag.value && tag.value->has_value(), {} };
            }
            auto catalog = runTask(CatalogService::fetchCatalog());
            return { !catalog.threw, catalog.failure };
        };

        m_server->setRoute(path, { 200, {}, 0, 0, 0, true });
        QElapsedTimer clock;
        clock.start();
        const auto [stalledOK, reason] = attempt();
        QVERIFY(!stalledOK);
        QVERIFY2(clock.elapsed() < 5000, "the stall time-out did not end the request");
        if (request.startsWith("catalog"_L1))
            QVERIFY2(reason.contains("stopped responding"_L1), qPrintable(reason));

        m_server->setRoute(path, { 200, answer, 0 });
        QVERIFY(attempt().first);
    }

    // A body that arrives slowly but steadily, taking longer than the stall time-out, completes.
    void tricklingDownloadCompletes()
    {
        m_sandbox->configure([](Platform::Settings &s) { s.networkStall = std::chrono::milliseconds(200); });
        m_server->setRoute(u"/api/formula.json"_s, { 200, formulaDocument, 0, 60, 10 });
        const auto outcome = runTask(CatalogService::fetchCatalog());
        QVERIFY2(!outcome.threw, qPrintable(outcome.failure));
        QCOMPARE(outcome.value->size(), 6);
    }

    void unwritableCacheIsNoFailure()
    {
        // A file where the folder should be: neither the folder nor the cache can be made.
        Sandbox::writeFile(m_sandbox->appSupport() + "/quillrig-gui"_L1, "x");
        QR_AWAIT(packages, CatalogService::fetchCatalog());
        QCOMPARE(packages.size(), 6);
        QR_AWAIT(cached, CatalogService::loadCachedCatalog());
        QVERIFY(!cached.has_value());
    }

    // A disk fault while the cache is replaced keeps the previous cache byte for byte; the fresh
    // catalog is still delivered.
    void cacheWriteFaultKeepsThePreviousCache()
    {
        QR_AWAIT(first, CatalogService::fetchCatalog());
        QVERIFY(!first.isEmpty());
        const QByteArray previous = Sandbox::readFile(cacheFile());
        QVERIFY(!previous.isEmpty());
        Files::setWriteFault([](const QString &) { return std::optional(u"No space left on device"_s); });
        const auto off = qScopeGuard([] { Files::setWriteFault({}); });
        m_server->setRoute(u"/api/cask.json"_s, { 200, "[]", 0 });
        QR_AWAIT(second, CatalogService::fetchCatalog());
        QCOMPARE(second.size(), 4);
        QCOMPARE(Sandbox::readFile(cacheFile()), previous);
    }

    // A refresh after a full download asks for each document only if it changed since, and puts
    // together the same catalog a full download of the server's documents now gives.
    void conditionalRefresh_data()
    {
        QTest::addColumn<QByteArray>("formulaEtag"); // served at the refresh
        QTest::addColumn<QByteArray>("caskEtag");
        QTest::addColumn<bool>("honour");
        QTest::addColumn<bool>("passCurrent");
        QTest::addColumn<bool>("unchanged");
        QTest::addColumn<qint64>("bodyBytes"); // -1: some

        QTest::newRow("nothing changed") << QByteArray("\"f1\"") << QByteArray("\"c1\"") << true << true << true
                                         << qint64(0);
        QTest::newRow("nothing changed, cache read back")
            << QByteArray("\"f1\"") << QByteArray("\"c1\"") << true << false << true << qint64(0);
        QTest::newRow("both changed") << QByteArray("\"f2\"") << QByteArray("\"c2\"") << true << true << false
                                      << qint64(-1);
        QTest::newRow("casks changed") << QByteArray("\"f1\"") << QByteArray("\"c2\"") << true << true << false
                                       << qint64(-1);
        QTest::newRow("formulae changed, cache read back")
            << QByteArray("\"f2\"") << QByteArray("\"c1\"") << true << false << false << qint64(-1);
        QTest::newRow("server ignores validators")
            << QByteArray("\"f1\"") << QByteArray("\"c1\"") << false << true << false << qint64(-1);
    }

    void conditionalRefresh()
    {
        QFETCH(QByteArray, formulaEtag);
        QFETCH(QByteArray, caskEtag);
        QFETCH(bool, honour);
        QFETCH(bool, passCurrent);
        QFETCH(bool, unchanged);
        QFETCH(qint64, bodyBytes);
        // The second formula document drops "zsh"; the second cask document renames "banana".
        const QByteArray formulae2 = QByteArray(formulaDocument).replace("\"zsh\"", "\"zsh2\"");
        const QByteArray casks2 = QByteArray(caskDocument).replace("\"banana\"", "\"cherry\"");
        m_server->setRoute(u"/api/formula.json"_s, { 200, formulaDocument, 0, 0, 0, false, "\"f1\"" });
        m_server->setRoute(u"/api/cask.json"_s, { 200, caskDocument, 0, 0, 0, false, "\"c1\"" });
        QR_AWAIT(first, CatalogService::fetchCatalog());
        const QDateTime longAgo = QDateTime::currentDateTime().addDays(-3);
        {
            QFile file(cacheFile());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
        }

        m_server->setRoute(u"/api/formula.json"_s,
            { 200, formulaEtag == "\"f1\"" ? formulaDocument : formulae2, 0, 0, 0, false, formulaEtag, {}, honour });
        m_server->setRoute(u"/api/cask.json"_s,
            { 200, caskEtag == "\"c1\"" ? caskDocument : casks2, 0, 0, 0, false, caskEtag, {}, honour });
        const qint64 sentBefore = m_server->bodyBytesSent();
        QR_AWAIT(refreshed, CatalogService::refreshCatalog(passCurrent ? first : QList<Package>()));
        QCOMPARE(refreshed.unchanged, unchanged);
        if (bodyBytes >= 0)
            QCOMPARE(m_server->bodyBytesSent() - sentBefore, bodyBytes);
        else
            QVERIFY(m_server->bodyBytesSent() > sentBefore);
        const auto &received = m_server->received();
        QCOMPARE(received.size(), 4);
        for (const auto &request : received.mid(2)) {
            const QByteArray stored = request.path.contains("formula"_L1) ? "\"f1\"" : "\"c1\"";
            QCOMPARE(request.headers.value("if-none-match"), stored);
        }
        // The cache is dated by its file: a confirmed cache is as new as a downloaded one.
        QVERIFY(QFileInfo(cacheFile()).lastModified() > longAgo.addSecs(60));

        const auto cached = PackageFormats::decodeCache(Sandbox::readFile(cacheFile()));
        QR_AWAIT(full, CatalogService::fetchCatalog());
        QCOMPARE(idsOf(refreshed.packages), idsOf(full));
        QCOMPARE(cached, std::optional(full));
        // Whatever was stored, the next refresh of an unchanged server transfers nothing.
        QR_AWAIT(again, CatalogService::refreshCatalog());
        QCOMPARE(again.unchanged, honour);
    }

    // Validators belong to one cache: with that cache gone, damaged or replaced they are not sent,
    // and a cache that disappears while the server answers 304 is downloaded again in full.
    void validatorsNeedTheirCache_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("cache deleted") << u"delete"_s;
        QTest::newRow("cache replaced") << u"replace"_s;
        QTest::newRow("cache damaged") << u"damage"_s;
        QTest::newRow("header injected into the validators file") << u"inject"_s;
        QTest::newRow("cache without a package") << u"empty"_s;
        QTest::newRow("cache deleted during the answer") << u"vanish"_s;
        QTest::newRow("cache deleted during the answer, catalog in memory") << u"vanish with current"_s;
    }

    void validatorsNeedTheirCache()
    {
        QFETCH(QString, change);
        const bool empty = change == "empty"_L1;
        m_server->setRoute(u"/api/formula.json"_s, { 200, empty ? "[]" : formulaDocument, 0, 0, 0, false, "\"f1\"" });
        m_server->setRoute(u"/api/cask.json"_s, { 200, empty ? "[]" : caskDocument, 0, 0, 0, false, "\"c1\"" });
        QR_AWAIT(first, CatalogService::fetchCatalog());
        QVERIFY(QFile::exists(CatalogService::validatorsPath()));

        QList<Package> current;
        if (change == "delete"_L1) {
            QVERIFY(QFile::remove(cacheFile()));
        } else if (change == "replace"_L1) {
            Sandbox::writeFile(cacheFile(), PackageFormats::encodeCache(first.mid(1)));
        } else if (change == "damage"_L1) {
            QByteArray bytes = Sandbox::readFile(cacheFile());
            bytes[bytes.size() / 2] = 'X';
            Sandbox::writeFile(cacheFile(), bytes);
        } else if (change == "inject"_L1) {
            const QByteArray text = Sandbox::readFile(CatalogService::validatorsPath());
            Sandbox::writeFile(
                CatalogService::validatorsPath(), QByteArray(text).replace("\\\"f1\\\"", "\\\"f1\\\"\\r\\nX-Evil: 1"));
            m_server->setRoute(u"/api/cask.json"_s, { 200, caskDocument });
        } else if (!empty) {
            // The answers wait; the cache goes meanwhile.
            if (change.endsWith("current"_L1))
                current = first;
            m_server->setRoute(u"/api/formula.json"_s, { 200, formulaDocument, 300, 0, 0, false, "\"f1\"" });
            QTimer::singleShot(100, this, [this] { QFile::remove(cacheFile()); });
        }

        QR_AWAIT(refreshed, CatalogService::refreshCatalog(current));
        QVERIFY(!refreshed.unchanged);
        QCOMPARE(refreshed.packages, first);
        for (const auto &request : m_server->received().mid(change.startsWith("vanish"_L1) ? 4 : 2)) {
            // Only the tampered value is dropped; the casks' own validator stays good.
            if (change != "inject"_L1 || request.path.contains("formula"_L1))
                QVERIFY2(!request.headers.contains("if-none-match"), qPrintable(request.path));
            QVERIFY(!request.headers.contains("x-evil"));
        }
        QCOMPARE(PackageFormats::decodeCache(Sandbox::readFile(cacheFile())), std::optional(first));
    }

    // Qt asks for gzip and unpacks it; a host that sends the body as it is works the same.
    void compressedAndPlainBodies_data()
    {
        QTest::addColumn<bool>("gzip");
        QTest::newRow("gzip") << true;
        QTest::newRow("identity") << false;
    }

    void compressedAndPlainBodies()
    {
        QFETCH(bool, gzip);
        QByteArrayList entries;
        for (int i = 0; i < 500; ++i)
            entries.append("{\"name\":\"tool" + QByteArray::number(i)
                + "\",\"desc\":\"A tool that does one thing well\",\"versions\":{\"stable\":\"1.0\"}}");
        const QByteArray formulae = '[' + entries.join(',') + ']';
        m_server->setRoute(u"/api/formula.json"_s, { 200, formulae, 0, 0, 0, false, {}, {}, true, gzip });
        m_server->setRoute(u"/api/cask.json"_s, { 200, caskDocument, 0, 0, 0, false, {}, {}, true, gzip });
        QR_AWAIT(packages, CatalogService::fetchCatalog());
        QCOMPARE(packages.size(), 502);
        QVERIFY(m_server->received().first().headers.value("accept-encoding").contains("gzip"));
        QCOMPARE(m_server->gzipAnswers(), gzip ? 2 : 0);
        const qint64 raw = formulae.size() + caskDocument.size();
        QCOMPARE(m_server->bodyBytesSent() < raw / 2, gzip);
    }

    void cacheFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("count"); // -1: no cache

        const QByteArray one
            = PackageFormats::encodeCache({ { PackageKind::formula, u"a"_s, u"a"_s, {}, {}, {}, false, u"a a "_s } });
        QTest::newRow("empty list") << PackageFormats::encodeCache({}) << -1;
        QTest::newRow("garbage") << QByteArray("{\"kind\":") << -1;
        QTest::newRow("cut short") << one.chopped(2) << -1;
        QTest::newRow("earlier JSON cache") << QByteArray(
            R"([{"kind":"formula","name":"a","displayName":"a","desc":"","homepage":"","version":"",
                 "deprecated":false,"searchKey":"a a "}])")
                                            << -1;
        QTest::newRow("one package") << one << 1;
    }

    void cacheFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, count);
        Sandbox::writeFile(cacheFile(), contents);
        const QDateTime written(QDate(2024, 3, 1), QTime(12, 30), Qt::UTC);
        {
            QFile file(cacheFile());
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
        }
        QR_AWAIT(cached, CatalogService::loadCachedCatalog());
        QCOMPARE(cached.has_value(), count >= 0);
        if (cached) {
            QCOMPARE(cached->first.size(), count);
            QCOMPARE(cached->second, written);
        }
    }

    void missingCache()
    {
        QR_AWAIT(cached, CatalogService::loadCachedCatalog());
        QVERIFY(!cached.has_value());
    }

    void undatedCacheIsFromTheDistantPast()
    {
        const QByteArray bytes
            = PackageFormats::encodeCache({ { PackageKind::formula, u"a"_s, u"a"_s, {}, {}, {}, false, u"a a "_s } });
        const auto cached = CatalogService::cachedCatalogFrom(bytes, std::nullopt);
        QVERIFY(cached);
        QCOMPARE(cached->second, CatalogService::distantPast());
        QVERIFY(CatalogService::distantPast().isValid());
        QVERIFY(CatalogService::distantPast() < QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC));
    }

    void details_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("found");

        const QByteArray body = R"({"license":"MIT","tap":"homebrew/core","dependencies":["a"]})";
        QTest::newRow("formula") << int(PackageKind::formula) << u"wget"_s << u"/api/formula/wget.json"_s << 200 << body
                                 << true;
        QTest::newRow("cask") << int(PackageKind::cask) << u"firefox"_s << u"/api/cask/firefox.json"_s << 200 << body
                              << true;
        QTest::newRow("space in the name")
            << int(PackageKind::formula) << u"my tool"_s << u"/api/formula/my%20tool.json"_s << 200 << body << true;
        QTest::newRow("at sign and non-ASCII") << int(PackageKind::formula) << u"python@3.12é"_s
                                               << u"/api/formula/python@3.12%C3%A9.json"_s << 200 << body << true;
        QTest::newRow("404") << int(PackageKind::formula) << u"wget"_s << u"/api/formula/wget.json"_s << 404 << body
                             << false;
        QTest::newRow("203 is not 200") << int(PackageKind::formula) << u"wget"_s << u"/api/formula/wget.json"_s << 203
                                        << body << false;
        QTest::newRow("body is a list") << int(PackageKind::formula) << u"wget"_s << u"/api/formula/wget.json"_s << 200
                                        << QByteArray("[]") << false;
    }

    void details()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, found);
        m_server->setRoute(path, { status, body, 0 });
        const Package package{ PackageKind(kind), name, name, {}, {}, {}, false, name };
        QR_AWAIT(details, CatalogService::fetchDetails(package));
        QCOMPARE(m_server->requests(), QStringList{ path });
        QCOMPARE(details.has_value(), found);
        if (found)
            QCOMPARE(details->license, std::optional(u"MIT"_s));
    }

    void latestRelease_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<std::optional<QString>>("expected");

        QTest::newRow("tag") << 200 << QByteArray(R"({"tag_name":"4.4.2","name":"4.4.2","draft":false})")
                             << std::optional(u"4.4.2"_s);
        QTest::newRow("tag kept as published")
            << 200 << QByteArray(R"({"tag_name":"v4.4.2"})") << std::optional(u"v4.4.2"_s);
        QTest::newRow("no tag") << 200 << QByteArray(R"({"name":"4.4.2"})") << std::optional<QString>();
        QTest::newRow("numeric tag") << 200 << QByteArray(R"({"tag_name":4})") << std::optional<QString>();
        QTest::newRow("rate limited") << 403 << QByteArray(R"({"tag_name":"4.4.2"})") << std::optional<QString>();
    }

    void latestRelease()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(std::optional<QString>, expected);
        m_server->setRoute(u"/repos/Homebrew/brew/releases/latest"_s, { status, body, 0 });
        QR_AWAIT(tag, CatalogService::fetchLatestBrewVersion());
        QCOMPARE(tag, expected);
    }
};

QTEST_GUILESS_MAIN(TestCatalogService)
#include "tst_catalogservice.moc"
