#include "brew/PackageFormats.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;
using PackageFormats::DecodingError;

namespace {

// Entries shaped like the upstream documents, with their whole key set.
QByteArray fixtureBytes(const char *file)
{
    // The folder comes from the build, not from __FILE__: a compiler cache may rewrite that path.
    QFile data(QStringLiteral(QUILLRIG_TEST_DATA_DIR "/") + QLatin1StringView(file));
    return data.open(QIODevice::ReadOnly) ? data.readAll() : QByteArray();
}

QJsonObject fixture(const char *file)
{
    return QJsonDocument::fromJson(fixtureBytes(file)).object();
}

QJsonObject objectOf(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

QByteArray arrayOf(const QList<QJsonObject> &objects)
{
    QJsonArray array;
    for (const QJsonObject &object : objects)
        array.append(object);
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

// Sets (or with an undefined value, removes) "key" or "outer.inner".
QJsonObject mutated(QJsonObject object, const QString &path, const QJsonValue &value)
{
    const QStringList keys = path.split(u'.');
    if (keys.size() == 2) {
        QJsonObject inner = object.value(keys[0]).toObject();
        inner = mutated(inner, keys[1], value);
        object.insert(keys[0], inner);
        return object;
    }
    if (value.isUndefined())
        object.remove(path);
    else
        object.insert(path, value);
    return object;
}

QString field(const Package &package, const QString &name)
{
    if (name == "displayName"_L1)
        return package.displayName;
    if (name == "desc"_L1)
        return package.desc;
    if (name == "homepage"_L1)
        return package.homepage;
    if (name == "version"_L1)
        return package.version;
    if (name == "deprecated"_L1)
        return package.deprecated ? u"true"_s : u"false"_s;
    if (name == "searchKey"_L1)
        return package.searchKey;
    return u"?"_s;
}

const QJsonValue removed = QJsonValue(QJsonValue::Undefined);

} // namespace

class TestPackageFormats : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *file :
            { "formula-wget.json", "cask-firefox.json", "cask-quicklook-tools.json", "cask-teamspace.json" })
            QVERIFY2(!fixture(file).isEmpty(), file);
    }

    void idsAndKinds()
    {
        const Package formula{ PackageKind::formula, u"x"_s, u"x"_s, {}, {}, {}, false, u"x x "_s };
        Package cask = formula;
        cask.kind = PackageKind::cask;
        QCOMPARE(formula.id(), u"formula:x"_s);
        QCOMPARE(cask.id(), u"cask:x"_s);
        QVERIFY(formula != cask);
        QCOMPARE(QSet<Package>({ formula, cask, formula }).size(), 2);
        const OutdatedPackage outdated{ PackageKind::cask, u"x"_s, u"1.0"_s, u"1.1"_s };
        QCOMPARE(outdated.id(), cask.id());
        for (PackageKind kind : allPackageKinds())
            QCOMPARE(packageKindFromString(toString(kind)), std::optional(kind));
        QCOMPARE(packageKindFromString(u"keg"), std::nullopt);
    }

    void realEntries()
    {
        const QList<Package> formulae = PackageFormats::decodeFormulae(arrayOf({ fixture("formula-wget.json") }));
        QCOMPARE(formulae,
            QList<Package>({ { PackageKind::formula, u"wget"_s, u"wget"_s, u"Internet file retriever"_s,
                u"https://www.gnu.org/software/wget/"_s, u"1.24.5"_s, false,
                u"wget wget internet file retriever"_s } }));

        const QList<Package> casks = PackageFormats::decodeCasks(arrayOf(
            { fixture("cask-firefox.json"), fixture("cask-quicklook-tools.json"), fixture("cask-teamspace.json") }));
        QCOMPARE(casks,
            QList<Package>({
                { PackageKind::cask, u"firefox"_s, u"Mozilla Firefox"_s, u"Web browser"_s,
                    u"https://www.mozilla.org/firefox/"_s, u"126.0"_s, false,
                    u"firefox mozilla firefox web browser"_s },
                { PackageKind::cask, u"quicklook-tools"_s, u"quicklook-tools"_s, QString(),
                    u"https://example.org/qlt"_s, u"latest"_s, true, u"quicklook-tools quicklook-tools "_s },
                { PackageKind::cask, u"teamspace"_s, u"TeamSpace"_s, u"Remote access and support"_s,
                    u"https://teamspace.example/"_s, u"3.6.0,67351"_s, true,
                    u"teamspace teamspace remote access and support"_s },
            }));
    }

    void formulaKeys_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("field"); // empty: the document must fail
        QTest::addColumn<QString>("expected");

        QTest::newRow("no versions") << u"versions"_s << removed << u"version"_s << QString();
        QTest::newRow("null versions") << u"versions"_s << QJsonValue() << u"version"_s << QString();
        QTest::newRow("null stable") << u"versions.stable"_s << QJsonValue() << u"version"_s << QString();
        QTest::newRow("no desc") << u"desc"_s << removed << u"desc"_s << QString();
        QTest::newRow("null homepage") << u"homepage"_s << QJsonValue() << u"homepage"_s << QString();
        QTest::newRow("disabled") << u"disabled"_s << QJsonValue(true) << u"deprecated"_s << u"true"_s;
        QTest::newRow("deprecated") << u"deprecated"_s << QJsonValue(true) << u"deprecated"_s << u"true"_s;
        QTest::newRow("null deprecated") << u"deprecated"_s << QJsonValue() << u"deprecated"_s << u"false"_s;
        QTest::newRow("full lower-casing")
            << u"desc"_s << QJsonValue(u"ÜBER Straße ΣΟΦΙΑ"_s) << u"searchKey"_s << u"wget wget über straße σοφια"_s;
        QTest::newRow("unread key of any type") << u"pinned"_s << QJsonValue(u"yes"_s) << u"version"_s << u"1.24.5"_s;

        QTest::newRow("no name") << u"name"_s << removed << QString() << QString();
        QTest::newRow("null name") << u"name"_s << QJsonValue() << QString() << QString();
        QTest::newRow("numeric name") << u"name"_s << QJsonValue(7) << QString() << QString();
        QTest::newRow("numeric desc") << u"desc"_s << QJsonValue(42) << QString() << QString();
        QTest::newRow("list homepage") << u"homepage"_s << QJsonValue(QJsonArray()) << QString() << QString();
        QTest::newRow("text versions") << u"versions"_s << QJsonValue(u"1.0"_s) << QString() << QString();
        QTest::newRow("numeric stable") << u"versions.stable"_s << QJsonValue(1.5) << QString() << QString();
        QTest::newRow("text deprecated") << u"deprecated"_s << QJsonValue(u"true"_s) << QString() << QString();
        QTest::newRow("numeric disabled") << u"disabled"_s << QJsonValue(1) << QString() << QString();
    }

    // The changed entry sits between two good ones: one bad entry fails the whole document.
    void formulaKeys()
    {
        QFETCH(QString, path);
        QFETCH(QJsonValue, value);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        const QJsonObject good = fixture("formula-wget.json");
        const QByteArray document
            = arrayOf({ good, mutated(good, path, value), mutated(good, u"name"_s, QJsonValue(u"curl"_s)) });
        if (field.isEmpty()) {
            try {
                PackageFormats::decodeFormulae(document);
                QFAIL("decoded");
            } catch (const DecodingError &error) {
                QVERIFY2(error.description().contains(path.section(u'.', -1)), qPrintable(error.description()));
            }
            return;
        }
        const QList<Package> packages = PackageFormats::decodeFormulae(document);
        QCOMPARE(packages.size(), 3);
        QCOMPARE(::field(packages[1], field), expected);
    }

    void caskKeys_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty name list") << u"name"_s << QJsonValue(QJsonArray()) << u"displayName"_s << u"firefox"_s;
        QTest::newRow("no name list") << u"name"_s << removed << u"displayName"_s << u"firefox"_s;
        QTest::newRow("non-ASCII name") << u"name"_s << QJsonValue(QJsonArray{ u"Übersicht"_s }) << u"searchKey"_s
                                        << u"firefox übersicht web browser"_s;
        QTest::newRow("null desc") << u"desc"_s << QJsonValue() << u"desc"_s << QString();
        QTest::newRow("no version") << u"version"_s << removed << u"version"_s << QString();
        QTest::newRow("disabled only") << u"disabled"_s << QJsonValue(true) << u"deprecated"_s << u"true"_s;

        QTest::newRow("no token") << u"token"_s << removed << QString() << QString();
        QTest::newRow("name is text") << u"name"_s << QJsonValue(u"Firefox"_s) << QString() << QString();
        QTest::newRow("name holds a number")
            << u"name"_s << QJsonValue(QJsonArray{ u"Firefox"_s, 3 }) << QString() << QString();
        QTest::newRow("numeric version") << u"version"_s << QJsonValue(126) << QString() << QString();
        QTest::newRow("text deprecated") << u"deprecated"_s << QJsonValue(u"no"_s) << QString() << QString();
    }

    void caskKeys()
    {
        QFETCH(QString, path);
        QFETCH(QJsonValue, value);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        const QByteArray document
            = arrayOf({ fixture("cask-quicklook-tools.json"), mutated(fixture("cask-firefox.json"), path, value) });
        if (field.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(DecodingError, PackageFormats::decodeCasks(document));
            return;
        }
        const QList<Package> packages = PackageFormats::decodeCasks(document);
        QCOMPARE(packages.size(), 2);
        QCOMPARE(::field(packages[1], field), expected);
    }

    void documents_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("count"); // -1: fails

        QTest::newRow("empty list") << QByteArray("[]") << 0;
        QTest::newRow("minimal entry") << QByteArray(R"([{"name":"a"}])") << 1;
        QTest::newRow("not JSON") << QByteArray("<html>502</html>") << -1;
        QTest::newRow("empty body") << QByteArray() << -1;
        QTest::newRow("object, not list") << QByteArray(R"({"name":"a"})") << -1;
        QTest::newRow("entry not an object") << QByteArray(R"([{"name":"a"}, "b"])") << -1;
        const QByteArray wget = fixtureBytes("formula-wget.json");
        QTest::newRow("cut off") << "[" + wget.left(wget.size() / 2) << -1;
        QTest::newRow("trailing garbage") << QByteArray(R"([{"name":"a"}] x)") << -1;
        QTest::newRow("broken value in a read key") << QByteArray(R"([{"name":"a","desc":tru}])") << -1;
        QTest::newRow("unclosed list in an unread key") << QByteArray(R"([{"name":"a","bottle":[1,2}])") << -1;
        QTest::newRow("invalid UTF-8") << QByteArray("[{\"name\":\"a\xff\"}]") << -1;
        QTest::newRow("escaped key") << QByteArray(R"([{"n\u0061me":"a"}])") << 1;
        QTest::newRow("escaped quote in another key") << QByteArray("[{\"na\\\"me\":1,\"name\":\"a\"}]") << 1;
        QTest::newRow("escaped look-alike key") << QByteArray(R"([{"n\u0061mes":"a"}])") << -1;
        QTest::newRow("nested unread values")
            << QByteArray("[{\"b\":{\"a\":[{\"b\":[]}],\"c\":{}},\"name\":\"a\",\"x\":[]}]") << 1;
        QTest::newRow("brackets inside an unread string")
            << QByteArray("[{\"name\":\"a\",\"caveats\":\"]}[{\\\"}\"}]") << 1;
        QTest::newRow("spaces around colons") << QByteArray("[ {\"name\" :\"a\", \"desc\"\t: null } ]") << 1;
        QTest::newRow("colon after a value") << QByteArray("[{\"name\":\"a\",\"desc\":\"b\": }}]") << -1;
        QTest::newRow("colon and stray bracket after a value")
            << QByteArray("[{\"name\":\"a\",\"homepage\":\"h\": null]}]") << -1;
        QTest::newRow("missing colon") << QByteArray("[{\"name\" \"a\"}]") << -1;
        QTest::newRow("key without value") << QByteArray("[{\"name\":\"a\",\"desc\":}]") << -1;
        QTest::newRow("unread key without value") << QByteArray("[{\"name\":\"a\",\"tap\":}]") << -1;
        QTest::newRow("entries without comma") << QByteArray("[{\"name\":\"a\"} {\"name\":\"b\"}]") << -1;
        QTest::newRow("trailing comma") << QByteArray("[{\"name\":\"a\"},]") << -1;
        QTest::newRow("list not closed") << QByteArray("[{\"name\":\"a\"}") << -1;
        QTest::newRow("null run on") << QByteArray("[{\"name\":\"a\",\"desc\":nullx}]") << -1;
    }

    // Escapes in a read string are resolved; a broken one fails the document.
    void escapes_data()
    {
        QTest::addColumn<QByteArray>("desc"); // as written in the document
        QTest::addColumn<QString>("decoded"); // null: fails

        QTest::newRow("short escapes") << QByteArray("\"a\\\"b\\\\c\\/d\\te\\nf\"") << u"a\"b\\c/d\te\nf"_s;
        QTest::newRow("BMP character") << QByteArray("\"caf\\u00e9 \\u20AC\"") << u"café €"_s;
        QTest::newRow("surrogate pair") << QByteArray("\"\\ud83d\\ude00!\"") << u"\U0001F600!"_s;
        QTest::newRow("NUL") << QByteArray("\"a\\u0000b\"") << QString(u"a\0b"_s);
        QTest::newRow("lone high surrogate") << QByteArray("\"\\ud83d x\"") << QString();
        QTest::newRow("lone low surrogate") << QByteArray("\"\\ude00\"") << QString();
        QTest::newRow("short hex") << QByteArray("\"\\u00e\"") << QString();
        QTest::newRow("unknown escape") << QByteArray("\"\\x41\"") << QString();
    }

    void escapes()
    {
        QFETCH(QByteArray, desc);
        QFETCH(QString, decoded);
        const QByteArray json = "[{\"name\":\"a\",\"desc\":" + desc + "}]";
        if (decoded.isNull()) {
            QVERIFY_THROWS_EXCEPTION(DecodingError, PackageFormats::decodeFormulae(json));
            return;
        }
        const QList<Package> packages = PackageFormats::decodeFormulae(json);
        QCOMPARE(packages.size(), 1);
        QCOMPARE(packages[0].desc, decoded);
    }

    void documents()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, count);
        if (count < 0) {
            QVERIFY_THROWS_EXCEPTION(DecodingError, PackageFormats::decodeFormulae(json));
            return;
        }
        QCOMPARE(PackageFormats::decodeFormulae(json).size(), count);
    }

    // The decoders parse in place when the buffer has room behind the text; whatever that room
    // holds must never leak into the result.
    void spareRoomIsNotRead_data()
    {
        QTest::addColumn<char>("filler");
        for (char filler : { '"', '[', '{', '\\', ',', 'x' })
            QTest::addRow("%c", filler) << filler;
    }

    void spareRoomIsNotRead()
    {
        QFETCH(char, filler);
        const QByteArray document = arrayOf({ fixture("formula-wget.json") });
        const QList<Package> expected
            = PackageFormats::decodeFormulae(QByteArray::fromRawData(document.constData(), document.size()));
        QCOMPARE(expected.size(), 1);

        QByteArray roomy = document + QByteArray(PackageFormats::readAheadBytes * 2, filler);
        roomy.resize(document.size());
        QCOMPARE(PackageFormats::decodeFormulae(roomy), expected);
        const QByteArray cut
            = document.left(document.size() - 1) + QByteArray(PackageFormats::readAheadBytes * 2, filler);
        QByteArray shortened = cut;
        shortened.resize(document.size() - 1);
        QVERIFY_THROWS_EXCEPTION(DecodingError, PackageFormats::decodeFormulae(shortened));

        QBuffer device;
        device.setData(document);
        QVERIFY(device.open(QIODevice::ReadOnly));
        QCOMPARE(PackageFormats::decodeFormulae(PackageFormats::readPadded(device)), expected);
    }

    // A catalog-sized list gets its keys written in two halves side by side: each key is the one
    // searchKey() gives, back to back unless a key holds a NUL of its own.
    void searchKeysOfACatalog_data()
    {
        QTest::addColumn<qsizetype>("odd"); // the package with an odd description, -1: none
        QTest::addColumn<QString>("desc");
        QTest::addColumn<bool>("backToBack");
        QTest::newRow("plain") << qsizetype(-1) << QString() << true;
        QTest::newRow("final sigma in the first half") << qsizetype(10) << u"ΣΟΦΟΣ"_s << true;
        QTest::newRow("dotted capital I in the second half") << qsizetype(4000) << u"İstanbul"_s << true;
        QTest::newRow("NUL in the second half") << qsizetype(4001) << u"a\0b"_s << false;
    }

    void searchKeysOfACatalog()
    {
        QFETCH(qsizetype, odd);
        QFETCH(QString, desc);
        QFETCH(bool, backToBack);
        QList<Package> packages;
        for (int i = 0; i < 5000; ++i) {
            const QString name = u"Pkg%1"_s.arg(i);
            packages.append(
                { PackageKind::formula, name, u"Über %1"_s.arg(i), u"Tool NUMBER %1"_s.arg(i), {}, {}, false, {} });
        }
        if (odd >= 0)
            packages[odd].desc = desc;
        PackageFormats::assignSearchKeys(packages);
        for (qsizetype i = 0; i < packages.size(); ++i) {
            const Package &package = packages[i];
            QCOMPARE(package.searchKey, PackageFormats::searchKey(package.name, package.displayName, package.desc));
        }
        const QString &middle = packages[2499].searchKey;
        QCOMPARE(packages[2500].searchKey.constData() == middle.constData() + middle.size() + 1, backToBack);
    }

    // Decoded strings share blocks of memory; each must still behave as a value of its own.
    void decodedStringsAreValues()
    {
        QList<Package> packages = PackageFormats::decodeCasks(R"([
            {"token":"a","name":["Alpha"],"desc":"First","homepage":"h1","version":"latest"},
            {"token":"b","name":["Beta"],"desc":"Second","homepage":"h2","version":"latest"}])");
        QCOMPARE(packages.size(), 2);
        for (const Package &package : std::as_const(packages)) {
            for (const QString &text : { package.name, package.displayName, package.desc, package.homepage,
                     package.version, package.searchKey })
                QCOMPARE(text.utf16()[text.size()], u'\0');
        }
        const QString firstKey = packages[0].searchKey;
        QString name = packages[0].name;
        name.append(u"-changed"_s);
        packages[0].desc.replace(0, 5, u"Changed"_s);
        packages[1].version.chop(2);
        QCOMPARE(packages[0].name, u"a"_s);
        QCOMPARE(packages[0].displayName, u"Alpha"_s);
        QCOMPARE(packages[0].desc, u"Changed"_s);
        QCOMPARE(packages[0].version, u"latest"_s);
        QCOMPARE(packages[1].desc, u"Second"_s);
        QCOMPARE(packages[1].version, u"late"_s);
        QCOMPARE(packages[1].searchKey, u"b beta second"_s);
        const Package kept = packages[1];
        packages.clear();
        QCOMPARE(kept.homepage, u"h2"_s);
        QCOMPARE(firstKey, u"a alpha first"_s);
        QCOMPARE(name, u"a-changed"_s);

        // A present but empty string stays present: empty, not null.
        const QList<Package> empty = PackageFormats::decodeFormulae(R"([{"name":"","desc":""}])");
        QCOMPARE(empty.size(), 1);
        QVERIFY(!empty[0].name.isNull() && empty[0].name.isEmpty());
        QVERIFY(!empty[0].desc.isNull());
    }

    // The one-pass lower-casing must give what QString::toLower() gives, character by character;
    // only the capital sigma depends on its neighbours.
    void lowerCaseMatchesQt()
    {
        for (char32_t c = 1; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c) || c == 0x03A3)
                continue;
            const QString text{ QChar(char16_t(c)) };
            if (PackageFormats::lowerCased(text) != text.toLower())
                QFAIL(qPrintable(u"U+%1"_s.arg(uint(c), 4, 16, QChar(u'0'))));
        }
        QCOMPARE(PackageFormats::lowerCased(u"\U00010400x\u0130"_s), u"\U00010428xi\u0307"_s);
    }

    void outdatedReport_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::addColumn<QList<OutdatedPackage>>("expected");

        const auto formula = [](const char *name, const char *installed, const char *current) {
            return OutdatedPackage{ PackageKind::formula, QString::fromUtf8(name), QString::fromUtf8(installed),
                QString::fromUtf8(current) };
        };
        const auto cask = [](const char *name, const char *installed, const char *current) {
            return OutdatedPackage{ PackageKind::cask, QString::fromUtf8(name), QString::fromUtf8(installed),
                QString::fromUtf8(current) };
        };

        QTest::newRow("as brew prints it")
            << QByteArray(R"({"formulae":[
                 {"name":"wget","installed_versions":["1.21.3"],"current_version":"1.24.5","pinned":false,"pinned_version":null},
                 {"name":"python@3.12","installed_versions":["3.12.1","3.12.2"],"current_version":"3.12.3","pinned":false,"pinned_version":null}],
               "casks":[{"name":"iterm2","installed_versions":"3.4.19","current_version":"3.5.0"},
                 {"name":"zoom","installed_versions":["5.17.0"],"current_version":"6.0.2.33403"}]})")
            << true
            << QList<OutdatedPackage>{ formula("wget", "1.21.3", "1.24.5"),
                   formula("python@3.12", "3.12.1, 3.12.2", "3.12.3"), cask("iterm2", "3.4.19", "3.5.0"),
                   cask("zoom", "5.17.0", "6.0.2.33403") };
        QTest::newRow("versions missing or odd")
            << QByteArray(R"({"formulae":[{"name":"a"},{"name":"b","installed_versions":7,"current_version":2},
               {"name":"c","installed_versions":["1",2]}],"casks":[]})")
            << true << QList<OutdatedPackage>{ formula("a", "", ""), formula("b", "", ""), formula("c", "", "") };
        QTest::newRow("nothing outdated")
            << QByteArray(R"({"formulae":[],"casks":[]})") << true << QList<OutdatedPackage>();
        QTest::newRow("no casks") << QByteArray(R"({"formulae":[{"name":"a"}]})") << false << QList<OutdatedPackage>();
        QTest::newRow("null formulae") << QByteArray(R"({"formulae":null,"casks":[]})") << false
                                       << QList<OutdatedPackage>();
        QTest::newRow("item without name")
            << QByteArray(R"({"formulae":[{"name":"a"},{"current_version":"1"}],"casks":[]})") << false
            << QList<OutdatedPackage>();
        QTest::newRow("error text instead of JSON")
            << QByteArray("Error: No such keg") << false << QList<OutdatedPackage>();
    }

    void outdatedReport()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QFETCH(QList<OutdatedPackage>, expected);
        const std::optional<QList<OutdatedPackage>> report = PackageFormats::decodeOutdatedReport(json);
        QCOMPARE(report.has_value(), decodes);
        if (decodes)
            QCOMPARE(*report, expected);
    }

    void realDetails()
    {
        QJsonObject formula = fixture("formula-wget.json");
        formula.insert(
            u"analytics"_s, objectOf(R"({"install":{"30d":{"wget":81600,"wget --HEAD":5},"90d":{"wget":250000},
                "365d":{"wget":990000}},"install_on_request":{"30d":{"wget":80000}},
                "build_error":{"30d":{"wget":3}}})"));
        formula.insert(u"aliases"_s, QJsonArray{ u"gnu-wget"_s });
        std::optional<PackageDetails> details
            = PackageFormats::decodeDetails(QJsonDocument(formula).toJson(QJsonDocument::Compact));
        QVERIFY(details);
        QCOMPARE(*details,
            (PackageDetails{ u"GPL-3.0-or-later"_s, u"homebrew/core"_s, { u"libidn2"_s, u"openssl@3"_s }, std::nullopt,
                std::nullopt, 81605, { u"gnu-wget"_s } }));

        QJsonObject cask = fixture("cask-firefox.json");
        cask.insert(u"caveats"_s, u"\n  Firefox updates itself.\n"_s);
        cask.insert(u"depends_on"_s, objectOf(R"({"macos":{">=":["10.15"]},"formula":["gnupg"]})"));
        cask.insert(u"analytics"_s, objectOf(R"({"install":{"30d":{"firefox":12345}}})"));
        details = PackageFormats::decodeDetails(QJsonDocument(cask).toJson(QJsonDocument::Compact));
        QVERIFY(details);
        QCOMPARE(*details,
            (PackageDetails{
                std::nullopt, u"homebrew/cask"_s, { u"gnupg"_s }, u"Firefox updates itself."_s, true, 12345, {} }));
    }

    void detailKeys_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<std::optional<PackageDetails>>("expected");

        const PackageDetails none;
        const auto with = [](auto change) {
            PackageDetails details;
            change(details);
            return std::optional<PackageDetails>(details);
        };
        QTest::newRow("empty object") << QByteArray("{}") << std::optional(none);
        QTest::newRow("installs summed") << QByteArray(R"({"analytics":{"install":{"30d":{"a":100,"a --HEAD":5}}}})")
                                         << with([](PackageDetails &d) { d.installs30d = 105; });
        QTest::newRow("no installs recorded") << QByteArray(R"({"analytics":{"install":{"30d":{}}}})")
                                              << with([](PackageDetails &d) { d.installs30d = 0; });
        QTest::newRow("null analytics and auto_updates")
            << QByteArray(R"({"analytics":null,"auto_updates":null})") << std::optional(none);
        QTest::newRow("count as text") << QByteArray(R"({"analytics":{"install":{"30d":{"a":"100"}}}})")
                                       << std::optional(none);
        QTest::newRow("fractional count")
            << QByteArray(R"({"analytics":{"install":{"30d":{"a":1.5}}}})") << std::optional(none);
        QTest::newRow("depends_on without formula")
            << QByteArray(R"({"depends_on":{"macos":{">=":["12"]}}})") << std::optional(none);
        QTest::newRow("dependencies win over depends_on")
            << QByteArray(R"({"dependencies":["a"],"depends_on":{"formula":["b"]}})")
            << with([](PackageDetails &d) { d.dependencies = { u"a"_s }; });
        QTest::newRow("blank caveats") << QByteArray(R"({"caveats":" \n\t\n"})")
                                       << with([](PackageDetails &d) { d.caveats = QString(); });
        QTest::newRow("odd types are dropped one by one")
            << QByteArray(R"({"license":{"any_of":["MIT"]},"tap":"homebrew/core","caveats":3,
                 "auto_updates":"yes","aliases":["a",1],"dependencies":"a"})")
            << with([](PackageDetails &d) { d.tap = u"homebrew/core"_s; });
        QTest::newRow("list, not object") << QByteArray("[]") << std::optional<PackageDetails>();
        QTest::newRow("not JSON") << QByteArray("<h1>Not Found</h1>") << std::optional<PackageDetails>();
    }

    void detailKeys()
    {
        QFETCH(QByteArray, json);
        QFETCH(std::optional<PackageDetails>, expected);
        QCOMPARE(PackageFormats::decodeDetails(json), expected);
    }

    void cacheRoundTrip()
    {
        const QList<Package> packages{
            { PackageKind::formula, u"a\"b\\c"_s, u"a\"b\\c"_s, u"tab\there, line\nfeed, \u0001 and \u001f"_s,
                u"https://example.org/x?y=1&z=2"_s, u"1.0_1"_s, false, u"a\"b\\c a\"b\\c tab"_s },
            { PackageKind::cask, u"übersicht"_s, u"Übersicht 🐉"_s, QString(), QString(), u"latest"_s, true,
                u"übersicht übersicht 🐉 "_s },
            { PackageKind::cask, u"b"_s, u"B"_s, u"d"_s, u"h"_s, u"latest"_s, false, u"b b d"_s },
        };
        const std::optional<QList<Package>> decoded
            = PackageFormats::decodeCache(PackageFormats::encodeCache(packages));
        QCOMPARE(decoded, std::optional(packages));
        // The search index scans the keys in place when they lie back to back, each behind a NUL.
        for (qsizetype i = 0; i + 1 < decoded->size(); ++i) {
            const QString &key = decoded->at(i).searchKey;
            QCOMPARE(decoded->at(i + 1).searchKey.constData(), key.constData() + key.size() + 1);
        }
        QCOMPARE(decoded->at(0).name.constData()[decoded->at(0).name.size()], QChar(0));
        QCOMPARE(PackageFormats::decodeCache(PackageFormats::encodeCache({})), std::optional(QList<Package>()));
    }

    void cacheDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = PackageFormats::encodeCache(
            { { PackageKind::cask, u"a"_s, u"A"_s, u"d"_s, u"h"_s, u"1"_s, false, u"a a d"_s } });
        QVERIFY(PackageFormats::decodeCache(good));
        const auto patched = [&good](qsizetype at, QByteArrayView bytes) {
            return QByteArray(good).replace(at, bytes.size(), bytes.toByteArray());
        };
        // The header is 16 bytes; the record's strings start at 20 with a 4-byte start and length each.
        QTest::newRow("earlier JSON cache")
            << QByteArray(R"([{"kind":"formula","name":"a","displayName":"a","desc":"","homepage":"","version":"",)"
                          R"("deprecated":false,"searchKey":"a a "}])");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("other version") << patched(5, "\x02");
        QTest::newRow("cut short") << good.chopped(1);
        QTest::newRow("bytes after the end") << good + '\0';
        QTest::newRow("more packages than the file holds") << patched(8, "\xff\xff\xff\x0f");
        QTest::newRow("text longer than the file") << patched(12, "\xff\xff\xff\xff");
        QTest::newRow("unknown kind") << patched(16, "\x02");
        QTest::newRow("deprecated neither 0 nor 1") << patched(17, "\x07");
        QTest::newRow("reserved bytes set") << patched(18, "\x01");
        QTest::newRow("name beyond the text") << patched(20, QByteArray("\xf0\xff\xff\xff", 4));
        QTest::newRow("name length wraps around") << patched(24, QByteArray("\xff\xff\xff\xff", 4));
        QTest::newRow("name not ended by a NUL") << patched(24, QByteArray("\x02\0\0\0", 4));
    }

    void cacheDamage()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(PackageFormats::decodeCache(bytes), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestPackageFormats)
#include "tst_packageformats.moc"
