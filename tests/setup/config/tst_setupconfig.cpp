#include "Sandbox.h"
#include "platform/Files.h"
#include "setup/config/SetupConfig.h"
#include "setup/config/Zshrc.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;

namespace {

using Pairs = QList<QStringList>; // key, value

Pairs pairs(const QList<KeyValue> &rows)
{
    Pairs result;
    for (const KeyValue &row : rows)
        result.append({ row.key, row.value });
    return result;
}

// Sets (or with an invalid replacement removes) the value at a path like "aliases/0/id".
QJsonValue edited(const QJsonValue &value, QStringList path, const QJsonValue &replacement)
{
    const QString head = path.takeFirst();
    if (value.isArray()) {
        QJsonArray array = value.toArray();
        const int index = head.toInt();
        array[index] = path.isEmpty() ? replacement : edited(array[index], path, replacement);
        return array;
    }
    QJsonObject object = value.toObject();
    if (path.isEmpty() && replacement.isUndefined())
        object.remove(head);
    else
        object[head] = path.isEmpty() ? replacement : edited(object[head], path, replacement);
    return object;
}

QStringList rejectedFiles(const Sandbox &sandbox)
{
    return QDir(sandbox.appSupport() + u"/quillrig-gui"_s).entryList({ u"config.json.rejected-*"_s }, QDir::Files);
}

const QString zshrcWithSettings = u"plugins=(git fzf) # mine\n"_s + Zshrc::aliasesBlock.start
    + u"\nalias gs='git status'\nalias say='it'\\''s'\n"_s + Zshrc::aliasesBlock.end + u"\n"_s
    + Zshrc::environmentBlock.start + u"\nexport PATH=\"$HOME/bin:$PATH\"\n"_s + Zshrc::environmentBlock.end + u"\n"_s;

} // namespace

class TestSetupConfig : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Built once: the default rows keep their ids for the life of the process, all distinct.
    void defaultsAreBuiltOnce()
    {
        const SetupConfig &config = SetupConfig::defaults();
        QCOMPARE(&config, &SetupConfig::defaults());
        QSet<QUuid> ids;
        for (const auto *list : { &config.aliases, &config.environment, &config.gitAliases, &config.gitSettings }) {
            for (const KeyValue &row : *list)
                ids.insert(row.id);
        }
        QCOMPARE(ids.size(), 12 + 4 + 7 + 4);
        QVERIFY(!ids.contains(QUuid()));
        QVERIFY(SetupConfig::p10kStyles().last().description.startsWith(u"Minimalist, inspired by"_s));
        QCOMPARE(SetupConfig::pluginSources().value(u"zsh-syntax-highlighting"_s).path(),
            u"/zsh-users/zsh-syntax-highlighting"_s);
    }

    void jsonRoundTrip()
    {
        SetupConfig config = SetupConfig::defaults();
        config.p10kStyle.clear();
        config.finder.viewStyle.clear();
        config.zshrcExtras = u"setopt no_beep\nexport A=\"é 日\""_s;
        config.dock.tileSize = -3;
        config.aliases.append(KeyValue::make(QString(), u"it's \"quoted\" \\"_s));
        const QByteArray json = config.toJson();
        QVERIFY(!json.contains('\n'));
        const QRegularExpression id(u"\"id\":\"([^\"]*)\""_s);
        int ids = 0;
        for (auto it = id.globalMatch(QString::fromUtf8(json)); it.hasNext(); ++ids)
            QVERIFY(QRegularExpression(u"^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s)
                        .match(it.next().captured(1))
                        .hasMatch());
        QCOMPARE(ids, 13 + 4 + 7 + 4);
        QCOMPARE(SetupConfig::fromJson(json), std::optional(config));
    }

    void strictDecoding_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("replacement"); // JSON text; empty: remove the key
        QTest::addColumn<bool>("accepted");
        QTest::newRow("top-level key missing") << u"gitSettings"_s << QString() << false;
        QTest::newRow("nested key missing") << u"dock/showRecents"_s << QString() << false;
        QTest::newRow("finder key missing") << u"finder/viewStyle"_s << QString() << false;
        QTest::newRow("row without id") << u"aliases/0/id"_s << QString() << false;
        QTest::newRow("row without value") << u"environment/2/value"_s << QString() << false;
        QTest::newRow("bool as text") << u"backupDotfiles"_s << u"\"true\""_s << false;
        QTest::newRow("bool as number") << u"dock/autohide"_s << u"1"_s << false;
        QTest::newRow("fractional integer") << u"dock/tileSize"_s << u"48.5"_s << false;
        QTest::newRow("integer as text") << u"keyboard/keyRepeat"_s << u"\"2\""_s << false;
        QTest::newRow("null text") << u"gitName"_s << u"null"_s << false;
        QTest::newRow("number in plugins") << u"plugins"_s << u"[\"git\",1]"_s << false;
        QTest::newRow("id not a UUID") << u"gitAliases/1/id"_s << u"\"42\""_s << false;
        QTest::newRow("row not an object") << u"aliases/0"_s << u"[]"_s << false;
        QTest::newRow("nested object as array") << u"finder"_s << u"[]"_s << false;
        QTest::newRow("unknown top-level key") << u"theme"_s << u"\"x\""_s << true;
        QTest::newRow("unknown nested key") << u"keyboard/fnState"_s << u"true"_s << true;
        QTest::newRow("unknown row key") << u"aliases/3/note"_s << u"\"x\""_s << true;
        QTest::newRow("lower-case id") << u"aliases/0/id"_s << u"\"0f8fad5b-d9cb-469f-a165-70867728950e\""_s << true;
    }

    void strictDecoding()
    {
        QFETCH(QString, path);
        QFETCH(QString, replacement);
        QFETCH(bool, accepted);
        const QJsonObject original = QJsonDocument::fromJson(SetupConfig::defaults().toJson()).object();
        const QJsonValue value = replacement.isEmpty()
            ? QJsonValue(QJsonValue::Undefined)
            : QJsonDocument::fromJson(u"[%1]"_s.arg(replacement).toUtf8()).array().first();
        const QJsonObject changed = edited(original, path.split(u'/'), value).toObject();
        QVERIFY(changed != original);
        QCOMPARE(SetupConfig::fromJson(QJsonDocument(changed).toJson()).has_value(), accepted);
    }

    void notADocument()
    {
        for (const QByteArray &json :
            { QByteArray(), QByteArray("[]"), QByteArray("{\"plugins\":"), QByteArray("\xff") })
            QVERIFY(!SetupConfig::fromJson(json));
    }

    void loadWithoutUsableFileTakesOver()
    {
        Sandbox sandbox;
        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), zshrcWithSettings.toUtf8());
        const SetupConfig first = SetupConfig::load();
        QCOMPARE(first.plugins, (QStringList{ u"git"_s, u"fzf"_s }));
        QCOMPARE(pairs(first.aliases), (Pairs{ { u"gs"_s, u"git status"_s }, { u"say"_s, u"it's"_s } }));
        QCOMPARE(pairs(first.environment), (Pairs{ { u"PATH"_s, u"$HOME/bin:$PATH"_s } }));
        QCOMPARE(first.gitAliases, SetupConfig::defaults().gitAliases);
        QVERIFY(!QFile::exists(SetupConfig::fileURL()));

        // Still no file: the next start takes over again, with fresh row ids.
        const SetupConfig second = SetupConfig::load();
        QCOMPARE(pairs(second.aliases), pairs(first.aliases));
        QVERIFY(second.aliases[0].id != first.aliases[0].id);

        // A stored document that lacks one nested key counts as no document at all.
        QJsonObject stored = QJsonDocument::fromJson(SetupConfig::defaults().toJson()).object();
        stored = edited(stored, { u"dock"_s, u"showRecents"_s }, QJsonValue::Undefined).toObject();
        Sandbox::writeFile(SetupConfig::fileURL(), QJsonDocument(stored).toJson());
        QCOMPARE(SetupConfig::load().plugins, first.plugins);
    }

    void saveAndLoad()
    {
        Sandbox sandbox;
        SetupConfig config = SetupConfig::defaults();
        config.gitName = u"Zoë"_s;
        QJsonObject withExtra = QJsonDocument::fromJson(config.toJson()).object();
        withExtra[u"futureKey"_s] = 1;
        Sandbox::writeFile(SetupConfig::fileURL(), QJsonDocument(withExtra).toJson());
        const SetupConfig loaded = SetupConfig::load();
        QCOMPARE(loaded, config);
        loaded.save();
        QVERIFY(!Sandbox::readFile(SetupConfig::fileURL()).contains("futureKey"));
        QCOMPARE(SetupConfig::load(), config);
        QVERIFY(rejectedFiles(sandbox).isEmpty());
    }

    // The first save after a rejected config.json keeps the rejected file beside it.
    void saveKeepsARejectedFile()
    {
        Sandbox sandbox;
        const QByteArray broken = SetupConfig::defaults().toJson().replace("\"sshComment\":\"\",", "");
        Sandbox::writeFile(SetupConfig::fileURL(), broken);
        const SetupConfig config = SetupConfig::load();
        QCOMPARE(Sandbox::readFile(SetupConfig::fileURL()), broken);
        config.save();
        QCOMPARE(SetupConfig::load(), config);
        const QStringList rejected = rejectedFiles(sandbox);
        QCOMPARE(rejected.size(), 1);
        QVERIFY(QRegularExpression(u"^config\\.json\\.rejected-\\d{8}_\\d{6}$"_s).match(rejected[0]).hasMatch());
        QCOMPARE(Sandbox::readFile(sandbox.appSupport() + u"/quillrig-gui/"_s + rejected[0]), broken);
        config.save();
        QCOMPARE(rejectedFiles(sandbox).size(), 1);

        // A second rejection within the same second gets a name of its own.
        Sandbox::writeFile(SetupConfig::fileURL(), "{");
        config.save();
        Sandbox::writeFile(SetupConfig::fileURL(), "[");
        config.save();
        QCOMPARE(rejectedFiles(sandbox).size(), 3);
    }

    // A rejected file that cannot be set aside is neither replaced nor lost, and save says why.
    void rejectedFileThatCannotMoveIsKept()
    {
        Sandbox sandbox;
        Sandbox::writeFile(SetupConfig::fileURL(), "{");
        Files::setWriteFault([](const QString &path) {
            return path.contains(u".rejected-"_s) ? std::optional(u"Permission denied"_s) : std::nullopt;
        });
        const auto off = qScopeGuard([] { Files::setWriteFault({}); });
        const std::optional<QString> problem = SetupConfig::defaults().save();
        QVERIFY(problem);
        QVERIFY2(problem->startsWith(SetupConfig::fileURL() + u": "_s) && problem->contains(u"Permission denied"_s),
            qPrintable(*problem));
        QCOMPARE(Sandbox::readFile(SetupConfig::fileURL()), QByteArray("{"));
        QVERIFY(rejectedFiles(sandbox).isEmpty());
        Files::setWriteFault({});
        QCOMPARE(SetupConfig::defaults().save(), std::nullopt);
        QCOMPARE(rejectedFiles(sandbox).size(), 1);
    }

    void saveFailsSilently()
    {
        Sandbox sandbox;
        Sandbox::writeFile(sandbox.appSupport() + u"/quillrig-gui"_s, "a file where the folder belongs");
        SetupConfig::defaults().save();
        QCOMPARE(SetupConfig::load().plugins, SetupConfig::defaults().plugins);
    }

    void takeover_data()
    {
        QTest::addColumn<QString>("zshrc");
        QTest::addColumn<QStringList>("plugins");
        QTest::addColumn<Pairs>("aliases");
        const QStringList defaultPlugins = SetupConfig::defaults().plugins;
        const Pairs defaultAliases = pairs(SetupConfig::defaults().aliases);
        const QString &start = Zshrc::aliasesBlock.start;
        const QString &end = Zshrc::aliasesBlock.end;
        QTest::newRow("aliases outside the block are ignored") << u"alias x='y'\nplugins=(\n  git\n  git # twice\n)\n"_s
                                                               << QStringList{ u"git"_s, u"git"_s } << defaultAliases;
        QTest::newRow("block of comments keeps the defaults")
            << start + u"\n# nothing here\nexport A=1\n"_s + end << defaultPlugins << defaultAliases;
        QTest::newRow("empty plugin list keeps the defaults") << u"plugins=()\n"_s << defaultPlugins << defaultAliases;
        QTest::newRow("block without end marker is absent")
            << start + u"\nalias a='b'\n"_s << defaultPlugins << defaultAliases;
        QTest::newRow("CRLF block") << start + u"\r\nalias a='b'\r\n"_s + end + u"\r\n"_s << defaultPlugins
                                    << Pairs{ { u"a"_s, u"b"_s } };
        QTest::newRow("not UTF-8") << QString() << defaultPlugins << defaultAliases;
    }

    void takeover()
    {
        QFETCH(QString, zshrc);
        QFETCH(QStringList, plugins);
        QFETCH(Pairs, aliases);
        Sandbox sandbox;
        Sandbox::writeFile(
            sandbox.homePath(u".zshrc"_s), zshrc.isEmpty() ? QByteArray("plugins=(caf\xE9)\n") : zshrc.toUtf8());
        const SetupConfig config = SetupConfig::takeOverFromZshrc();
        QCOMPARE(config.plugins, plugins);
        QCOMPARE(pairs(config.aliases), aliases);
        QCOMPARE(config.environment, SetupConfig::defaults().environment);
        QCOMPARE(config.p10kStyle, u"classic"_s);
    }

    // Block lines we could not write back as rows stay, as extra lines after the extras already
    // there, instead of vanishing at the next apply.
    void takeoverKeepsRefusedLines()
    {
        Sandbox sandbox;
        const QString text = Zshrc::aliasesBlock.start + u"\nalias -g G='| grep'\nalias 'a b'=c\n"_s
            + Zshrc::aliasesBlock.end + u'\n' + Zshrc::environmentBlock.start + u"\nexport -x A=1\n"_s
            + Zshrc::environmentBlock.end + u'\n' + Zshrc::extrasBlock.start + u"\nsetopt x\n"_s
            + Zshrc::extrasBlock.end + u'\n';
        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), text.toUtf8());
        const SetupConfig config = SetupConfig::takeOverFromZshrc();
        QCOMPARE(pairs(config.aliases), (Pairs{ { u"-g G"_s, u"| grep"_s } }));
        QCOMPARE(config.environment, SetupConfig::defaults().environment);
        QCOMPARE(config.zshrcExtras, u"setopt x\nalias 'a b'=c\nexport -x A=1"_s);
    }

    void defaultsEntries_data()
    {
        QTest::addColumn<SetupConfig>("config");
        QTest::addColumn<QStringList>("entries"); // "domain key kind value"
        const SetupConfig defaults = SetupConfig::defaults();
        const QStringList standard{ u"com.apple.dock autohide bool true"_s, u"com.apple.dock autohide-delay float 0"_s,
            u"com.apple.dock tilesize int 48"_s, u"com.apple.dock magnification bool false"_s,
            u"com.apple.dock minimize-to-application bool true"_s, u"com.apple.dock show-recents bool false"_s,
            u"com.apple.finder AppleShowAllFiles bool true"_s, u"NSGlobalDomain AppleShowAllExtensions bool true"_s,
            u"com.apple.finder ShowPathbar bool true"_s, u"com.apple.finder ShowStatusBar bool true"_s,
            u"com.apple.finder FXPreferredViewStyle string Nlsv"_s, u"NSGlobalDomain KeyRepeat int 2"_s,
            u"NSGlobalDomain InitialKeyRepeat int 15"_s,
            u"NSGlobalDomain NSAutomaticQuoteSubstitutionEnabled bool false"_s,
            u"NSGlobalDomain NSAutomaticDashSubstitutionEnabled bool false"_s };
        QTest::newRow("defaults") << defaults << standard;

        SetupConfig changed = defaults;
        changed.finder.viewStyle.clear();
        QStringList expected = standard;
        expected.removeAt(10);
        QTest::newRow("view style left unchanged") << changed << expected;
        changed.finder.viewStyle = u"tiles"_s;
        QTest::newRow("unknown view style") << changed << expected;

        changed = defaults;
        changed.finder.viewStyle = u"gallery"_s;
        changed.dock.autohideDelay = 1;
        changed.dock.tileSize = 128;
        changed.keyboard.disableSmartQuotes = false;
        changed.keyboard.initialKeyRepeat = -1;
        expected = standard;
        expected[1] = u"com.apple.dock autohide-delay float 1"_s;
        expected[2] = u"com.apple.dock tilesize int 128"_s;
        expected[10] = u"com.apple.finder FXPreferredViewStyle string glyv"_s;
        expected[12] = u"NSGlobalDomain InitialKeyRepeat int -1"_s;
        expected[13] = u"NSGlobalDomain NSAutomaticQuoteSubstitutionEnabled bool true"_s;
        QTest::newRow("changed values") << changed << expected;
    }

    void defaultsEntries()
    {
        QFETCH(SetupConfig, config);
        QFETCH(QStringList, entries);
        QStringList found;
        for (const DefaultsEntry &entry : config.defaultsEntries())
            found.append(
                QStringList{ entry.domain, entry.key, DefaultsEntry::toString(entry.kind), entry.value }.join(u' '));
        QCOMPARE(found, entries);
        for (const DefaultsEntry::Kind kind : DefaultsEntry::allKinds())
            QCOMPARE(DefaultsEntry::kindFromString(DefaultsEntry::toString(kind)), kind);
    }
};

QTEST_GUILESS_MAIN(TestSetupConfig)
#include "tst_setupconfig.moc"
