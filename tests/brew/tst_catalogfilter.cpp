#include "CatalogGenerator.h"
#include "brew/CatalogFilter.h"
#include "brew/CatalogService.h"
#include "brew/PackageFormats.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;
using CatalogFilter::KindFilter;
using CatalogFilter::StatusFilter;

Q_DECLARE_METATYPE(CatalogFilter::KindFilter)
Q_DECLARE_METATYPE(CatalogFilter::StatusFilter)

namespace {

Package make(PackageKind kind, const QString &name, const QString &displayName, const QString &desc)
{
    return { kind, name, displayName, desc, QString(), u"1.0"_s, false,
        PackageFormats::searchKey(name, displayName, desc) };
}

// In the store's order (by name); the descriptions are chosen so that searches cut across it.
QList<Package> catalog()
{
    return {
        make(PackageKind::cask, u"alacritty"_s, u"Alacritty"_s, u"GPU-accelerated terminal emulator"_s),
        make(PackageKind::formula, u"docker"_s, u"docker"_s, u"Pack, ship and run any application"_s),
        make(PackageKind::cask, u"docker"_s, u"Docker Desktop"_s, u"App to build and share containers"_s),
        make(PackageKind::cask, u"firefox"_s, u"Mozilla Firefox"_s, u"Web browser"_s),
        make(PackageKind::cask, u"iterm2"_s, u"iTerm2"_s, u"Terminal emulator as alternative to Apple's Terminal"_s),
        make(PackageKind::formula, u"jq"_s, u"jq"_s, u"Lightweight and flexible command-line JSON processor"_s),
        make(PackageKind::formula, u"json-c"_s, u"json-c"_s, u"JSON parser for C"_s),
        make(PackageKind::formula, u"terminal-notifier"_s, u"terminal-notifier"_s, u"Send macOS notifications"_s),
        make(PackageKind::formula, u"uni"_s, u"uni"_s, u"Query the ÜNÏCODE database"_s),
        make(PackageKind::formula, u"wget"_s, u"wget"_s, u"Internet file retriever"_s),
    };
}

const QSet<QString> installedFormulae{ u"jq"_s, u"wget"_s };
const QSet<QString> installedCasks{ u"iterm2"_s };
// An installed package may still be ticked; the "Selected" filter goes by the ids alone.
const QSet<QString> selectedIDs{ u"formula:json-c"_s, u"cask:docker"_s, u"formula:wget"_s, u"formula:gone"_s };

QStringList ids(const QList<Package> &packages, const QList<qsizetype> &rows)
{
    QStringList result;
    for (qsizetype row : rows)
        result.append(packages.at(row).id());
    return result;
}

// What the kind and status filters keep, one package at a time.
bool kept(const Package &package, const CatalogFilter::Filter &filter, const CatalogFilter::PackageState &state)
{
    if (filter.kind == KindFilter::formula && package.kind != PackageKind::formula)
        return false;
    if (filter.kind == KindFilter::cask && package.kind != PackageKind::cask)
        return false;
    if (filter.status == StatusFilter::installed && !state.isInstalled(package))
        return false;
    if (filter.status == StatusFilter::notInstalled && state.isInstalled(package))
        return false;
    return filter.status != StatusFilter::selected || state.selectedIDs.contains(package.id());
}

// The computation as first written down: one package at a time, lower-casing each name. The
// prepared index must always agree with it.
QList<qsizetype> reference(
    const QList<Package> &catalog, const CatalogFilter::Filter &filter, const CatalogFilter::PackageState &state)
{
    const QString q = PackageFormats::lowerCased(filter.query.trimmed());
    QList<qsizetype> a;
    QList<qsizetype> b;
    for (qsizetype i = 0; i < catalog.size(); ++i) {
        const Package &package = catalog.at(i);
        if (!kept(package, filter, state))
            continue;
        if (q.isEmpty())
            a.append(i);
        else if (package.searchKey.contains(q))
            (PackageFormats::lowerCased(package.name).contains(q) ? a : b).append(i);
    }
    return a + b;
}

// Rows the generator does not make: full lower-casing, characters beyond the basic plane, keys a
// hand-edited cache left unlowered or not starting with the name, punctuation-only names.
QList<Package> trickyRows()
{
    QList<Package> rows{
        make(PackageKind::formula, u"ΟΔΟΣ"_s, u"ΟΔΟΣ"_s, u"ΣΑΣ δρόμος"_s),
        make(PackageKind::cask, u"İstanbul"_s, u"İSTANBUL"_s, u"Şehir haritası"_s),
        make(PackageKind::formula, u"deseret"_s, u"\U00010400"_s, u"\U00010401\U00010402 text"_s),
        make(PackageKind::formula, u"c++"_s, u"c++"_s, u"-- ++ ..."_s),
        make(PackageKind::formula, u"node@18"_s, u"node@18"_s, u"JavaScript runtime (LTS)"_s),
        make(PackageKind::cask, u"Zz-Top"_s, u"ZZ"_s, u""_s),
        make(PackageKind::cask, u"straße"_s, u"STRASSE"_s, u"ÉÜß ts"_s),
    };
    rows[3].searchKey = u"Edited C++ KEY with Capitals"_s;
    rows[4].searchKey = u"js node@18"_s;
    return rows;
}

// Names and descriptions from a small vocabulary, so searches hit often and in every part of a
// key; some keys do not start with the name, as a hand-edited cache may have it.
QList<Package> generatedCatalog(QRandomGenerator &random, int count)
{
    const QStringList words{ u"json"_s, u"git"_s, u"lib"_s, u"Terminal"_s, u"font"_s, u"jq"_s, u"a"_s, u"ssl"_s,
        u"Straße"_s, u"émulateur"_s, u"py"_s, u"python"_s, u"x"_s, u"gitlab-runner"_s, u"ab"_s, u"ba"_s };
    auto pick = [&] { return words.at(random.bounded(int(words.size()))); };
    QList<Package> packages;
    for (int i = 0; i < count; ++i) {
        const PackageKind kind = random.bounded(2) ? PackageKind::cask : PackageKind::formula;
        const QString name = pick() + u'-' + pick().toLower() + QString::number(i % 7);
        const QString displayName = random.bounded(3) ? name : pick() + u' ' + pick();
        QString desc;
        for (int w = random.bounded(5); w > 0; --w)
            desc += pick() + u' ';
        Package package = make(kind, name, displayName, desc.trimmed());
        if (random.bounded(20) == 0)
            package.searchKey = u"edited "_s + package.searchKey;
        if (random.bounded(25) == 0)
            package.name = package.name.toUpper();
        packages.append(package);
    }
    return packages;
}

} // namespace

class TestCatalogFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rows_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<KindFilter>("kind");
        QTest::addColumn<StatusFilter>("status");
        QTest::addColumn<QStringList>("expected");
        const auto all = KindFilter::all;
        const auto any = StatusFilter::all;
        const QStringList everything = ids(catalog(), { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 });

        QTest::newRow("no search") << QString() << all << any << everything;
        QTest::newRow("spaces only") << u"   \t "_s << all << any << everything;
        QTest::newRow("name matches before description matches")
            << u"json"_s << all << any << QStringList{ u"formula:json-c"_s, u"formula:jq"_s };
        QTest::newRow("trimmed and lower-cased")
            << u"  TERMINAL\n"_s << all << any
            << QStringList{ u"formula:terminal-notifier"_s, u"cask:alacritty"_s, u"cask:iterm2"_s };
        QTest::newRow("display name only counts as description")
            << u"mozilla"_s << all << any << QStringList{ u"cask:firefox"_s };
        QTest::newRow("match across the parts of the key is not a name match")
            << u"jq light"_s << all << any << QStringList{ u"formula:jq"_s };
        QTest::newRow("non-ASCII lower-casing") << u"ünïcode"_s << all << any << QStringList{ u"formula:uni"_s };
        QTest::newRow("nothing found") << u"zzz"_s << all << any << QStringList();
        QTest::newRow("casks") << u"terminal"_s << KindFilter::cask << any
                               << QStringList{ u"cask:alacritty"_s, u"cask:iterm2"_s };
        QTest::newRow("formulae") << u"terminal"_s << KindFilter::formula << any
                                  << QStringList{ u"formula:terminal-notifier"_s };
        QTest::newRow("installed") << QString() << all << StatusFilter::installed
                                   << QStringList{ u"cask:iterm2"_s, u"formula:jq"_s, u"formula:wget"_s };
        QTest::newRow("not installed") << QString() << all << StatusFilter::notInstalled
                                       << QStringList{ u"cask:alacritty"_s, u"formula:docker"_s, u"cask:docker"_s,
                                              u"cask:firefox"_s, u"formula:json-c"_s, u"formula:terminal-notifier"_s,
                                              u"formula:uni"_s };
        QTest::newRow("selected, by id not by name")
            << QString() << all << StatusFilter::selected
            << QStringList{ u"cask:docker"_s, u"formula:json-c"_s, u"formula:wget"_s };
        QTest::newRow("all three filters")
            << u"docker"_s << KindFilter::cask << StatusFilter::selected << QStringList{ u"cask:docker"_s };
        QTest::newRow("installed formulae matching") << u"e"_s << KindFilter::formula << StatusFilter::installed
                                                     << QStringList{ u"formula:wget"_s, u"formula:jq"_s };
    }

    void rows()
    {
        QFETCH(QString, query);
        QFETCH(KindFilter, kind);
        QFETCH(StatusFilter, status);
        QFETCH(QStringList, expected);
        const QList<Package> packages = catalog();
        const CatalogFilter::PackageState state{ installedFormulae, installedCasks, selectedIDs };
        QCOMPARE(ids(packages, CatalogFilter::rows(packages, { query, kind, status }, state)), expected);
    }

    void rows_nameMatchUsesTheLowerCasedName()
    {
        // A cached catalog may carry a name with capitals; the name test lower-cases it.
        QList<Package> packages{
            make(PackageKind::cask, u"zed"_s, u"Zed"_s, u"Editor from the makers of Atom"_s),
            make(PackageKind::cask, u"Atom-Legacy"_s, u"Atom"_s, u"Old editor"_s),
        };
        const QSet<QString> none;
        const CatalogFilter::PackageState state{ none, none, none };
        QCOMPARE(ids(packages, CatalogFilter::rows(packages, { u"atom"_s }, state)),
            (QStringList{ u"cask:Atom-Legacy"_s, u"cask:zed"_s }));
    }

    void index_agreesWithThePlainComputation_data()
    {
        QTest::addColumn<bool>("oneBlock");
        QTest::newRow("keys of their own") << false;
        // As decoded catalogs have them: the index searches the keys' own block.
        QTest::newRow("keys in one block") << true;
    }

    void index_agreesWithThePlainComputation()
    {
        QFETCH(bool, oneBlock);
        QRandomGenerator random(20240601);
        QList<Package> packages = generatedCatalog(random, 3000);
        if (oneBlock)
            PackageFormats::assignSearchKeys(packages);
        QSet<QString> formulae;
        QSet<QString> casks;
        QSet<QString> selected;
        for (qsizetype i = 0; i < packages.size(); i += 3)
            (packages.at(i).kind == PackageKind::formula ? formulae : casks).insert(packages.at(i).name);
        for (qsizetype i = 0; i < packages.size(); i += 5)
            selected.insert(packages.at(i).id());
        const CatalogFilter::PackageState state{ formulae, casks, selected };
        const CatalogFilter::Index index(packages);
        QVERIFY(index.isFor(packages));

        QStringList queries{ QString(), u" "_s, u"j"_s, u"js"_s, u"json"_s, u"json-"_s, u"n-j"_s, u"gitlab"_s,
            u"gitlab-r"_s, u"gitlab-runner"_s, u"gitlab-runner-a"_s, u"strasse"_s, u"straße"_s, u"ÉMUL"_s, u"edited"_s,
            u"x x"_s, u"ab"_s, u"aba"_s, u"0 "_s, u"6"_s, u"zz"_s, u"a\u0000b"_s };
        // The last key's own end, and text that spans two keys in the joined block.
        queries << packages.last().searchKey.right(3) << packages.at(10).searchKey.right(2) + packages.at(11).name;
        // Erased again, as after typing: the index answers from the searches it remembers, and
        // forgets the oldest of them on the way.
        for (qsizetype i = queries.size() - 1; i >= 0; --i)
            queries.append(queries.at(i));
        for (const QString &query : std::as_const(queries)) {
            for (KindFilter kind : CatalogFilter::allKindFilters()) {
                for (StatusFilter status : CatalogFilter::allStatusFilters()) {
                    const CatalogFilter::Filter filter{ query, kind, status };
                    QCOMPARE(index.rows(filter, state), reference(packages, filter, state));
                }
            }
        }
    }

    // The index answers as a scan of every key would, for every kind of search: each character
    // alone, pairs of common and uncommon characters, pieces of real keys and whole searches typed
    // and erased again, over a catalog the size of the real one.
    void index_agreesWithAScanOfARealSizedCatalog_data()
    {
        QTest::addColumn<bool>("withTrickyRows");
        QTest::newRow("decoded, keys in one block") << false;
        QTest::newRow("with hand-made rows, keys of their own") << true;
    }

    void index_agreesWithAScanOfARealSizedCatalog()
    {
        QFETCH(bool, withTrickyRows);
        const CatalogGenerator::Catalog generated = CatalogGenerator::generate();
        QList<Package> packages = CatalogService::decodeCatalog(generated.formulaJson, generated.caskJson);
        if (withTrickyRows) {
            const QList<Package> tricky = trickyRows();
            for (qsizetype i = 0; i < tricky.size(); ++i)
                packages.insert(i * 300, tricky.at(i));
        }
        QSet<QString> formulae;
        QSet<QString> casks;
        QSet<QString> selected;
        for (qsizetype i = 0; i < packages.size(); i += 3)
            (packages.at(i).kind == PackageKind::formula ? formulae : casks).insert(packages.at(i).name);
        for (qsizetype i = 1; i < packages.size(); i += 5)
            selected.insert(packages.at(i).id());
        const CatalogFilter::Index index(packages);

        QStringList queries;
        const QString alphabet = u"aeinorst0- .+@(ΣσςüéßİI\U00010428"_s;
        for (const QChar c : alphabet)
            queries.append(QString(c));
        for (const QString &first : { u"a"_s, u"e"_s, u"t"_s, u" "_s, u"-"_s, u"ü"_s, u"ß"_s, u"σ"_s }) {
            for (const QString &second : { u"a"_s, u"e"_s, u"r"_s, u" "_s, u"+"_s, u"é"_s, u"ς"_s, u"s"_s })
                queries.append(first + second);
        }
        QRandomGenerator random(99);
        for (int i = 0; i < 120; ++i) {
            const QString &key = packages.at(random.bounded(int(packages.size()))).searchKey;
            const int length = 3 + random.bounded(6);
            queries.append(key.mid(random.bounded(int(std::max<qsizetype>(1, key.size() - length))), length));
        }
        for (const QString &typed : { u"python"_s, u"terminal emulator"_s, u"İstanbul"_s, u"ΟΔΟΣ"_s, u"c++"_s }) {
            for (qsizetype i = 1; i <= typed.size(); ++i)
                queries.append(typed.left(i));
            for (qsizetype i = typed.size() - 1; i >= 1; --i)
                queries.append(typed.left(i));
        }

        // The status filters follow the sets as they change: installed in place, ticked anew.
        for (int round = 0; round < 2; ++round) {
            if (round == 1) {
                formulae.insert(packages.at(1).name);
                casks.clear();
                selected = { packages.at(0).id(), packages.at(2).id() };
            }
            const CatalogFilter::PackageState state{ formulae, casks, selected };
            for (const QString &query : std::as_const(queries)) {
                // Filtering the scan's rows afterwards keeps their order.
                const QList<qsizetype> found = reference(packages, { query }, state);
                for (KindFilter kind : CatalogFilter::allKindFilters()) {
                    for (StatusFilter status : CatalogFilter::allStatusFilters()) {
                        const CatalogFilter::Filter filter{ query, kind, status };
                        QList<qsizetype> expected;
                        for (const qsizetype row : found) {
                            if (kept(packages.at(row), filter, state))
                                expected.append(row);
                        }
                        // Compared element by element: QList's own compare hands an empty list's
                        // null data to memcmp, which the sanitizer rejects.
                        const QList<qsizetype> rows = index.rows(filter, state);
                        if (!std::equal(rows.cbegin(), rows.cend(), expected.cbegin(), expected.cend()))
                            QFAIL(qPrintable(u"differs from a scan for \""_s + query + u"\", "_s
                                + CatalogFilter::toString(kind) + u", "_s + CatalogFilter::toString(status)));
                    }
                }
            }
        }
    }

    void index_ofNothing()
    {
        const QSet<QString> none;
        for (const CatalogFilter::Index &index : { CatalogFilter::Index(), CatalogFilter::Index(QList<Package>()) }) {
            for (const QString &query : { QString(), u"a"_s, u"ab"_s, u"abc"_s, u"ü"_s })
                QVERIFY(
                    index.rows({ query, KindFilter::all, StatusFilter::installed }, { none, none, none }).isEmpty());
        }
    }

    // Keys use the full lower-case mapping: a capital sigma that ends a word becomes ς, and a
    // search typed in capitals finds the same packages.
    void fullLowerCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("final sigma") << u"ΟΔΟΣ ΚΑΙ"_s << u"οδος και"_s;
        QTest::newRow("sigma inside a word") << u"ΣΑΣ"_s << u"σας"_s;
        QTest::newRow("sigma alone") << u"Σ"_s << u"σ"_s;
        QTest::newRow("final before punctuation and a mark") << u"ΤΕΛΟΣ.\u0301 x"_s << u"τελος.\u0301 x"_s;
        QTest::newRow("not final before a mark and a letter") << u"ΑΣ\u0301Α"_s << u"ασ\u0301α"_s;
        QTest::newRow("other scripts as before") << u"Straße ÜNÏCODE"_s << u"straße ünïcode"_s;
        QTest::newRow("one letter becomes two") << u"İSTANBUL"_s << u"i\u0307stanbul"_s;
        QTest::newRow("beyond the basic plane") << u"\U00010400 DESERET"_s << u"\U00010428 deseret"_s;
        QTest::newRow("a NUL of its own") << u"A\u0000B"_s << u"a\u0000b"_s;
    }

    void fullLowerCase()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(PackageFormats::lowerCased(text), expected);
        // Keys made together, in one block, come out as if each were made alone.
        QList<Package> together{ make(PackageKind::formula, u"ΑΣ"_s, u"ΑΣ"_s, text),
            make(PackageKind::cask, u"Σ"_s, text, u"ΟΔΟΣ"_s), make(PackageKind::formula, u"z"_s, u"z"_s, text) };
        PackageFormats::assignSearchKeys(together);
        for (const Package &package : std::as_const(together))
            QCOMPARE(package.searchKey, PackageFormats::searchKey(package.name, package.displayName, package.desc));
        const QList<Package> packages{ make(PackageKind::formula, u"pkg"_s, u"pkg"_s, text) };
        const QSet<QString> none;
        QCOMPARE(
            CatalogFilter::rows(packages, { text, KindFilter::all, StatusFilter::all }, { none, none, none }).size(),
            1);
    }

    void labels()
    {
        QStringList kinds;
        for (KindFilter kind : CatalogFilter::allKindFilters())
            kinds.append(CatalogFilter::toString(kind));
        QCOMPARE(kinds, (QStringList{ u"All"_s, u"Formulae"_s, u"Casks"_s }));
        QStringList statuses;
        for (StatusFilter status : CatalogFilter::allStatusFilters())
            statuses.append(CatalogFilter::toString(status));
        QCOMPARE(statuses, (QStringList{ u"Any status"_s, u"Installed"_s, u"Not installed"_s, u"Selected"_s }));
    }
};

QTEST_GUILESS_MAIN(TestCatalogFilter)
#include "tst_catalogfilter.moc"
