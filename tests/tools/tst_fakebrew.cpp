#include "FakeBrew.h"
#include "Sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using quillrig::test::FakeBrew;
using quillrig::test::Sandbox;
using Kind = FakeBrew::Kind;
using Package = FakeBrew::Package;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// The environment the application gives every brew it starts.
QProcessEnvironment appEnvironment(const Sandbox &sandbox)
{
    QProcessEnvironment environment = sandbox.settings().environment;
    for (const QString &key :
        { u"HOMEBREW_NO_AUTO_UPDATE"_s, u"HOMEBREW_NO_ENV_HINTS"_s, u"HOMEBREW_NO_COLOR"_s, u"NONINTERACTIVE"_s })
        environment.insert(key, u"1"_s);
    return environment;
}

void start(
    QProcess &process, const FakeBrew &brew, const QStringList &arguments, const QProcessEnvironment &environment)
{
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(brew.executable(), arguments);
}

Run run(const FakeBrew &brew, const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess process;
    start(process, brew, arguments, environment);
    if (!process.waitForFinished(60000))
        return {};
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError()) };
}

// A whole line, where "*" stands for any text (sizes, paths of the sandbox).
bool lineMatches(const QString &line, const QString &pattern)
{
    const QStringList parts = pattern.split(u'*');
    if (parts.size() == 1)
        return line == pattern;
    if (!line.startsWith(parts.first()) || !line.endsWith(parts.last()))
        return false;
    qsizetype at = parts.first().size();
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
        at = line.indexOf(parts.at(i), at);
        if (at < 0)
            return false;
        at += parts.at(i).size();
    }
    return at <= line.size() - parts.last().size();
}

// True when every expected line occurs as a whole line of `text`, in the given order.
bool hasLinesInOrder(const QString &text, const QStringList &expected, QString *missing)
{
    const QStringList lines = text.split(u'\n');
    qsizetype at = 0;
    for (const QString &pattern : expected) {
        while (at < lines.size() && !lineMatches(lines.at(at), pattern))
            ++at;
        if (at == lines.size()) {
            *missing = pattern;
            return false;
        }
        ++at;
    }
    return true;
}

QStringList outdatedIds(const FakeBrew &brew)
{
    QStringList ids;
    for (const QString &name : brew.outdated(Kind::formula))
        ids.append(u"formula:"_s + name);
    for (const QString &name : brew.outdated(Kind::cask))
        ids.append(u"cask:"_s + name);
    return ids;
}

} // namespace

class TestFakeBrew : public QObject {
    Q_OBJECT

    std::unique_ptr<Sandbox> m_sandbox;
    std::unique_ptr<FakeBrew> m_brew;

    Run brew(const QStringList &arguments) { return run(*m_brew, arguments, appEnvironment(*m_sandbox)); }

    // A machine in use for a while: a leaf with its dependencies, one dependency nothing needs any
    // more, older kegs and downloads, services, a cask with zap data.
    void seedLifecycle(const QString &homebrewVersion)
    {
        m_brew->setHomebrewVersion(homebrewVersion)
            .change(Kind::formula, u"libunistring"_s,
                [](Package &package) {
                    package.installedVersions = { u"1.3"_s };
                    package.installedOnRequest = false;
                })
            .change(Kind::formula, u"libidn2"_s,
                [](Package &package) {
                    package.installedVersions = { u"2.3.8"_s };
                    package.installedOnRequest = false;
                })
            .change(Kind::formula, u"openssl@3"_s, [](Package &package) { package.installedOnRequest = false; })
            .change(Kind::formula, u"wget"_s,
                [](Package &package) {
                    package.installedVersions = { u"1.25.0"_s };
                    package.desc = u"Internet file retriever"_s;
                })
            .change(Kind::formula, u"tree"_s,
                [](Package &package) {
                    package.installedVersions = { u"2.1.0"_s, u"2.2.1"_s };
                })
            .addFormula({ .name = u"orphan"_s,
                .version = u"1.0"_s,
                .installedVersions = { u"1.0"_s },
                .installedOnRequest = false })
            .addFormula({ .name = u"ghost"_s, .version = u"0.9"_s })
            .addFormula({ .name = u"redis"_s, .version = u"8.0.2"_s, .installedVersions = { u"8.0.2"_s } })
            .addFormula({ .name = u"broken"_s, .version = u"1.0"_s, .installedVersions = { u"1.0"_s } })
            .addFormula({ .name = u"stubborn"_s, .version = u"1.0"_s, .installedVersions = { u"1.0"_s } })
            .addService({ .name = u"redis"_s })
            .addService({ .name = u"broken"_s, .crashExitCode = 78 })
            .addService({ .name = u"stubborn"_s, .bootstrapFails = true })
            .addService({ .name = u"ghost"_s })
            .change(Kind::cask, u"firefox"_s,
                [](Package &package) {
                    package.installedVersions = { u"138.0.4"_s };
                    package.app = u"Firefox.app"_s;
                    package.zap = { u"~/Library/Caches/Firefox"_s };
                })
            .addDownload(u"tree--2.1.0.arm64_sonoma.bottle.tar.gz"_s, 1600000, 200);
    }

private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<Sandbox>();
        m_brew = std::make_unique<FakeBrew>(*m_sandbox);
        m_brew->addFormula({ .name = u"libunistring"_s, .version = u"1.3"_s })
            .addFormula({ .name = u"libidn2"_s, .version = u"2.3.8"_s, .dependencies = { u"libunistring"_s } })
            .addFormula({ .name = u"openssl@3"_s, .version = u"3.5.0"_s, .installedVersions = { u"3.4.1"_s } })
            .addFormula({ .name = u"wget"_s, .version = u"1.25.0"_s, .dependencies = { u"libidn2"_s, u"openssl@3"_s } })
            .addFormula({ .name = u"tree"_s, .version = u"2.2.1"_s })
            .addFormula({ .name = u"git"_s, .version = u"2.49.0"_s, .installedVersions = { u"2.49.0"_s } })
            .addFormula(
                { .name = u"node"_s, .version = u"24.1.0"_s, .installedVersions = { u"23.11.0"_s }, .pinned = true })
            .addFormula(
                { .name = u"gone"_s, .version = u"1.0"_s, .installedVersions = { u"1.0"_s }, .inCatalog = false })
            .addCask({ .name = u"iterm2"_s,
                .version = u"3.5.14"_s,
                .installedVersions = { u"3.5.13"_s },
                .app = u"iTerm.app"_s,
                .autoUpdates = true })
            .addCask({ .name = u"rectangle"_s, .version = u"0.87"_s, .installedVersions = { u"0.86"_s } })
            .addCask({ .name = u"the-unarchiver"_s, .version = u"4.3.9"_s, .installedVersions = { u"4.3.9"_s } })
            .addCask({ .name = u"firefox"_s, .version = u"138.0.4"_s })
            .addCask({ .name = u"font-meslo-lg-nerd-font"_s,
                .version = u"3.4.0"_s,
                .fonts = { u"MesloLGSNerdFont-Regular.ttf"_s } });
    }
    void cleanup()
    {
        m_brew.reset();
        m_sandbox.reset();
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("failing"); // a formula scripted to fail first
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QStringList>("err");
        QTest::addColumn<QStringList>("formulaeAfter");
        QTest::addColumn<QStringList>("casksAfter");
        QTest::addColumn<QStringList>("outdatedAfter");

        const QStringList formulae{ u"git"_s, u"gone"_s, u"node"_s, u"openssl@3"_s };
        const QStringList casks{ u"iterm2"_s, u"rectangle"_s, u"the-unarchiver"_s };
        const QStringList outdated{ u"formula:node"_s, u"formula:openssl@3"_s, u"cask:iterm2"_s, u"cask:rectangle"_s };
        const auto plus = [](QStringList list, const QStringList &more) {
            list += more;
            list.sort();
            return list;
        };
        const auto minus = [](QStringList list, const QString &gone) {
            list.removeAll(gone);
            return list;
        };

        QTest::newRow("version") << QStringList{ u"--version"_s } << QString() << 0
                                 << QStringList{ u"Homebrew 5.1.9"_s } << QStringList() << formulae << casks
                                 << outdated;
        QTest::newRow("install with dependencies")
            << QStringList{ u"install"_s, u"--formula"_s, u"wget"_s } << QString() << 0
            << QStringList{ u"==> Installing dependencies for wget: libunistring and libidn2"_s,
                   u"==> Installing wget dependency: libunistring"_s,
                   u"==> Pouring libunistring--1.3.arm64_sonoma.bottle.tar.gz"_s,
                   u"==> Installing wget dependency: libidn2"_s, u"==> Installing wget"_s,
                   u"==> Pouring wget--1.25.0.arm64_sonoma.bottle.tar.gz"_s, u"==> Running `brew cleanup wget`..."_s }
            << QStringList{ u"==> Fetching downloads for: libunistring, libidn2 and wget"_s }
            << plus(formulae, { u"libidn2"_s, u"libunistring"_s, u"wget"_s }) << casks << outdated;
        QTest::newRow("install casks") << QStringList{ u"install"_s, u"--cask"_s, u"firefox"_s,
            u"font-meslo-lg-nerd-font"_s }
                                       << QString() << 0
                                       << QStringList{ u"==> Installing Cask firefox"_s,
                                              u"==> Moving App 'Firefox.app' to '/Applications/Firefox.app'"_s,
                                              u"🍺  firefox was successfully installed!"_s,
                                              u"==> Installing Cask font-meslo-lg-nerd-font"_s }
                                       << QStringList() << formulae
                                       << plus(casks, { u"firefox"_s, u"font-meslo-lg-nerd-font"_s }) << outdated;
        QTest::newRow("installed cask is skipped")
            << QStringList{ u"install"_s, u"--cask"_s, u"the-unarchiver"_s } << QString() << 0 << QStringList()
            << QStringList{ u"Warning: Not upgrading the-unarchiver, the latest version is already installed"_s }
            << formulae << casks << outdated;
        QTest::newRow("installing an outdated formula upgrades it")
            << QStringList{ u"install"_s, u"openssl@3"_s } << QString() << 0
            << QStringList{ u"==> Upgrading openssl@3"_s, u"  3.4.1 -> 3.5.0"_s }
            << QStringList{ u"Warning: openssl@3 3.4.1 is already installed but outdated (so it will be upgraded)."_s }
            << formulae << casks << minus(outdated, u"formula:openssl@3"_s);
        QTest::newRow("unknown formula") << QStringList{ u"install"_s, u"--formula"_s, u"tree"_s, u"nope"_s }
                                         << QString() << 1 << QStringList()
                                         << QStringList{ u"Error: No available formula with the name \"nope\"."_s }
                                         << formulae << casks << outdated;
        QTest::newRow("unknown cask")
            << QStringList{ u"install"_s, u"--cask"_s, u"nope"_s } << QString() << 1 << QStringList()
            << QStringList{ u"Error: Cask 'nope' is unavailable: No Cask with this name exists."_s } << formulae
            << casks << outdated;
        QTest::newRow("missing catalog entry")
            << QStringList{ u"install"_s, u"--formula"_s, u"gone"_s } << QString() << 1 << QStringList()
            << QStringList{ u"Error: No available formula with the name \"gone\"."_s } << formulae << casks << outdated;
        QTest::newRow("failure does not stop the others")
            << QStringList{ u"install"_s, u"--formula"_s, u"wget"_s, u"tree"_s } << u"wget"_s << 1
            << QStringList{ u"==> Installing wget"_s, u"==> Installing tree"_s }
            << QStringList{ u"Error: wget: An unexpected error occurred during the `brew link` step"_s }
            << plus(formulae, { u"libidn2"_s, u"libunistring"_s, u"tree"_s }) << casks << outdated;
        QTest::newRow("upgrade all") << QStringList{ u"upgrade"_s } << QString() << 0
                                     << QStringList{ u"==> Upgrading 1 outdated package:"_s,
                                            u"openssl@3 3.4.1 -> 3.5.0"_s, u"==> Upgrading openssl@3"_s,
                                            u"  3.4.1 -> 3.5.0"_s, u"==> Upgrading 1 outdated package:"_s,
                                            u"==> Upgrading rectangle"_s, u"🍺  rectangle was successfully upgraded!"_s }
                                     << QStringList{ u"Warning: Not upgrading 1 pinned package:"_s, u"node 23.11.0"_s }
                                     << formulae << casks << QStringList{ u"formula:node"_s, u"cask:iterm2"_s };
        QTest::newRow("upgrade all greedy")
            << QStringList{ u"upgrade"_s, u"--greedy"_s } << QString() << 0
            << QStringList{ u"==> Upgrading 2 outdated packages:"_s, u"iterm2 3.5.13 -> 3.5.14"_s,
                   u"rectangle 0.86 -> 0.87"_s, u"==> Moving App 'iTerm.app' to '/Applications/iTerm.app'"_s }
            << QStringList() << formulae << casks << QStringList{ u"formula:node"_s };
        QTest::newRow("upgrade named formula")
            << QStringList{ u"upgrade"_s, u"--formula"_s, u"openssl@3"_s } << QString() << 0
            << QStringList{ u"==> Upgrading openssl@3"_s } << QStringList() << formulae << casks
            << minus(outdated, u"formula:openssl@3"_s);
        QTest::newRow("named self-updating cask is upgraded")
            << QStringList{ u"upgrade"_s, u"--cask"_s, u"iterm2"_s } << QString() << 0
            << QStringList{ u"==> Upgrading iterm2"_s } << QStringList() << formulae << casks
            << minus(outdated, u"cask:iterm2"_s);
        QTest::newRow("failed upgrade keeps the old version")
            << QStringList{ u"upgrade"_s } << u"openssl@3"_s << 1
            << QStringList{ u"==> Upgrading openssl@3"_s, u"==> Upgrading rectangle"_s }
            << QStringList{ u"Error: openssl@3: An unexpected error occurred during the `brew link` step"_s }
            << formulae << casks << QStringList{ u"formula:node"_s, u"formula:openssl@3"_s, u"cask:iterm2"_s };
        QTest::newRow("pinned by name") << QStringList{ u"upgrade"_s, u"node"_s } << QString() << 1 << QStringList()
                                        << QStringList{ u"Error: Not upgrading 1 pinned package:"_s } << formulae
                                        << casks << outdated;
        QTest::newRow("upgrade of a formula not installed")
            << QStringList{ u"upgrade"_s, u"--formula"_s, u"wget"_s } << QString() << 1 << QStringList()
            << QStringList{ u"Error: wget not installed"_s } << formulae << casks << outdated;
        QTest::newRow("update") << QStringList{ u"update"_s } << QString() << 0
                                << QStringList{ u"Already up-to-date."_s } << QStringList() << formulae << casks
                                << outdated;
        QTest::newRow("invalid option") << QStringList{ u"install"_s, u"--frobnicate"_s, u"tree"_s } << QString() << 1
                                        << QStringList() << QStringList{ u"Error: invalid option: --frobnicate"_s }
                                        << formulae << casks << outdated;
        QTest::newRow("unknown command") << QStringList{ u"frob"_s } << QString() << 1 << QStringList()
                                         << QStringList{ u"Error: Unknown command: frob"_s } << formulae << casks
                                         << outdated;
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, failing);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QStringList, err);
        QFETCH(QStringList, formulaeAfter);
        QFETCH(QStringList, casksAfter);
        QFETCH(QStringList, outdatedAfter);

        if (!failing.isEmpty())
            m_brew->change(Kind::formula, failing, [](Package &package) { package.fails = true; });
        const Run result = brew(arguments);
        QString missing;
        QVERIFY2(hasLinesInOrder(result.out, out, &missing), qPrintable(missing + u"\n---\n"_s + result.out));
        QVERIFY2(hasLinesInOrder(result.err, err, &missing), qPrintable(missing + u"\n---\n"_s + result.err));
        QCOMPARE(result.exitCode, exitCode);
        // Read back through brew itself, as the application does.
        QCOMPARE(brew({ u"list"_s, u"--formula"_s, u"-1"_s }).out, formulaeAfter.join(u'\n') + u'\n');
        QCOMPARE(brew({ u"list"_s, u"--cask"_s, u"-1"_s }).out, casksAfter.join(u'\n') + u'\n');
        QCOMPARE(outdatedIds(*m_brew), outdatedAfter);
    }

    void outdatedJson_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("casks");
        QTest::newRow("plain") << QStringList{ u"outdated"_s, u"--json=v2"_s } << QStringList{ u"rectangle"_s };
        QTest::newRow("greedy") << QStringList{ u"outdated"_s, u"--json=v2"_s, u"--greedy"_s }
                                << QStringList{ u"iterm2"_s, u"rectangle"_s };
    }

    void outdatedJson()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, casks);

        const Run result = brew(arguments);
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.startsWith(u"{\n  \"formulae\": [\n    {\n      \"name\": \"node\",\n"_s),
            qPrintable(result.out));
        QJsonParseError error;
        const QJsonObject report = QJsonDocument::fromJson(result.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray formulae = report.value(u"formulae"_s).toArray();
        QCOMPARE(formulae.size(), 2);
        QCOMPARE(formulae.at(0).toObject(),
            (QJsonObject{ { u"name"_s, u"node"_s }, { u"installed_versions"_s, QJsonArray{ u"23.11.0"_s } },
                { u"current_version"_s, u"24.1.0"_s }, { u"pinned"_s, true }, { u"pinned_version"_s, u"23.11.0"_s } }));
        QCOMPARE(formulae.at(1).toObject().value(u"pinned_version"_s), QJsonValue(QJsonValue::Null));
        QStringList caskNames;
        for (const QJsonValue &cask : report.value(u"casks"_s).toArray()) {
            QVERIFY(cask.toObject().value(u"installed_versions"_s).isArray());
            caskNames.append(cask.toObject().value(u"name"_s).toString());
        }
        QCOMPARE(caskNames, casks);
    }

    void lifecycle_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QStringList>("err");
        QTest::addColumn<QStringList>("after"); // a command run afterwards…
        QTest::addColumn<QString>("afterOut"); // …and its whole output

        const QString v5 = u"5.1.9"_s;
        const QString v6 = u"6.0.18"_s;
        const QStringList listFormulae{ u"list"_s, u"--formula"_s, u"-1"_s };
        const QString allFormulae = u"broken\ngit\ngone\nlibidn2\nlibunistring\nnode\nopenssl@3\norphan\nredis\n"
                                    "stubborn\ntree\nwget\n"_s;
        const QStringList leaves{ u"leaves"_s };
        const QStringList pinned{ u"list"_s, u"--pinned"_s, u"--versions"_s };

        QTest::newRow("uninstall refused while needed")
            << v5 << QStringList{ u"uninstall"_s, u"openssl@3"_s } << 1 << QStringList()
            << QStringList{ u"Error: Refusing to uninstall /opt/homebrew/Cellar/openssl@3/3.4.1"_s,
                   u"because it is required by wget, which is currently installed."_s,
                   u"You can override this and force removal with:"_s,
                   u"  brew uninstall --ignore-dependencies openssl@3"_s }
            << listFormulae << allFormulae;
        QTest::newRow("uninstall autoremoves what nothing needs")
            << v5 << QStringList{ u"uninstall"_s, u"--formula"_s, u"wget"_s } << 0
            << QStringList{ u"Uninstalling /opt/homebrew/Cellar/wget/1.25.0... (* files, *MB)"_s,
                   u"==> Autoremoving 4 unneeded formulae:"_s, u"libidn2"_s, u"libunistring"_s, u"openssl@3"_s,
                   u"orphan"_s, u"Uninstalling /opt/homebrew/Cellar/libidn2/2.3.8... (*)"_s }
            << QStringList() << leaves << u"broken\ngit\ngone\nnode\nredis\nstubborn\ntree\n"_s;
        QTest::newRow("uninstall of a pinned formula is skipped")
            << v5 << QStringList{ u"uninstall"_s, u"node"_s } << 0 << QStringList()
            << QStringList{ u"Error: node is pinned. You must unpin it to uninstall."_s } << listFormulae
            << allFormulae;
        QTest::newRow("uninstall leaves older kegs")
            << v5 << QStringList{ u"uninstall"_s, u"tree"_s } << 0
            << QStringList{ u"Uninstalling /opt/homebrew/Cellar/tree/2.2.1... (*)"_s,
                   u"tree 2.1.0 is still installed."_s, u"To remove all versions, run:"_s,
                   u"  brew uninstall --force tree"_s }
            << QStringList() << QStringList{ u"list"_s, u"--versions"_s, u"--formula"_s }
            << u"broken 1.0\ngit 2.49.0\ngone 1.0\nlibidn2 2.3.8\nlibunistring 1.3\nnode 23.11.0\nopenssl@3 3.4.1\n"
               "redis 8.0.2\nstubborn 1.0\ntree 2.1.0\nwget 1.25.0\n"_s;
        QTest::newRow("zap a cask")
            << v5 << QStringList{ u"uninstall"_s, u"--cask"_s, u"--zap"_s, u"firefox"_s } << 0
            << QStringList{ u"==> Backing up App 'Firefox.app' to '/opt/homebrew/Caskroom/firefox/138.0.4/Firefox.app'"_s,
                   u"==> Removing App '/Applications/Firefox.app'"_s, u"==> Dispatching zap stanza"_s,
                   u"==> Trashing files:"_s, u"~/Library/Caches/Firefox"_s,
                   u"==> Removing all staged versions of Cask 'firefox'"_s }
            << QStringList() << QStringList{ u"list"_s, u"--cask"_s, u"-1"_s }
            << u"iterm2\nrectangle\nthe-unarchiver\n"_s;
        QTest::newRow("uninstall a cask without zap data")
            << v5 << QStringList{ u"uninstall"_s, u"--zap"_s, u"rectangle"_s } << 0
            << QStringList{ u"==> Removing all staged versions of Cask 'rectangle'"_s }
            << QStringList{ u"Warning: No zap stanza present for Cask 'rectangle'"_s }
            << QStringList{ u"list"_s, u"--cask"_s, u"-1"_s } << u"firefox\niterm2\nthe-unarchiver\n"_s;
        QTest::newRow("uninstall a cask not installed")
            << v5 << QStringList{ u"uninstall"_s, u"--cask"_s, u"font-meslo-lg-nerd-font"_s } << 1 << QStringList()
            << QStringList{ u"Error: Cask 'font-meslo-lg-nerd-font' is not installed."_s } << listFormulae
            << allFormulae;
        QTest::newRow("uninstall an unknown name changes nothing")
            << v5 << QStringList{ u"uninstall"_s, u"wget"_s, u"nope"_s } << 1 << QStringList()
            << QStringList{ u"Error: No available formula or cask with the name \"nope\"."_s } << listFormulae
            << allFormulae;
        QTest::newRow("reinstall asks first in 6.x")
            << v6 << QStringList{ u"reinstall"_s, u"git"_s } << 0
            << QStringList{ u"==> Would reinstall 1 formula:"_s, u"git"_s, u"==> Reinstalling git "_s,
                   u"==> Pouring git--2.49.0.arm64_sonoma.bottle.tar.gz"_s }
            << QStringList{ u"==> Fetching downloads for: git"_s, u"✔︎ Bottle git (2.49.0)"_s } << listFormulae
            << allFormulae;
        QTest::newRow("reinstall in 5.x")
            << v5 << QStringList{ u"reinstall"_s, u"--cask"_s, u"firefox"_s } << 0
            << QStringList{ u"==> Fetching downloads for: firefox"_s, u"==> Uninstalling Cask firefox"_s,
                   u"==> Purging files for version 138.0.4 of Cask firefox"_s, u"==> Installing Cask firefox"_s,
                   u"🍺  firefox was successfully installed!"_s }
            << QStringList{ u"✔︎ Cask firefox (138.0.4)"_s } << QStringList() << QString();
        QTest::newRow("reinstall of a pinned formula is skipped")
            << v5 << QStringList{ u"reinstall"_s, u"node"_s } << 0 << QStringList()
            << QStringList{ u"Error: node is pinned. You must unpin it to reinstall."_s } << pinned
            << u"node 23.11.0\n"_s;
        QTest::newRow("pin") << v5 << QStringList{ u"pin"_s, u"tree"_s } << 0 << QStringList() << QStringList()
                             << pinned << u"node 23.11.0\ntree 2.2.1\n"_s;
        QTest::newRow("pin not installed")
            << v5 << QStringList{ u"pin"_s, u"ghost"_s } << 1 << QStringList()
            << QStringList{ u"Error: ghost not installed"_s } << pinned << u"node 23.11.0\n"_s;
        QTest::newRow("unpin not installed")
            << v5 << QStringList{ u"unpin"_s, u"ghost"_s } << 0 << QStringList()
            << QStringList{ u"Error: ghost not installed"_s } << pinned << u"node 23.11.0\n"_s;
        QTest::newRow("unpin") << v5 << QStringList{ u"unpin"_s, u"node"_s, u"git"_s } << 0 << QStringList()
                               << QStringList{ u"Warning: git not pinned"_s } << pinned << QString();
        QTest::newRow("casks cannot be pinned before 5.1.12")
            << v5 << QStringList{ u"pin"_s, u"iterm2"_s } << 1 << QStringList()
            << QStringList{ u"Error: No available formula with the name \"iterm2\"."_s } << pinned
            << u"node 23.11.0\n"_s;
        QTest::newRow("pin a self-updating cask")
            << u"5.1.12"_s << QStringList{ u"pin"_s, u"--cask"_s, u"iterm2"_s } << 0 << QStringList()
            << QStringList{ u"Warning: iterm2 has `auto_updates true` and may update itself outside Homebrew despite "
                            "being pinned."_s }
            << pinned << u"iterm2 3.5.13\nnode 23.11.0\n"_s;
        QTest::newRow("uses, indirect ones too")
            << v5 << QStringList{ u"uses"_s, u"--installed"_s, u"libunistring"_s } << 0
            << QStringList{ u"libidn2"_s, u"wget"_s } << QStringList() << QStringList() << QString();
        QTest::newRow("uses needs --installed")
            << v5 << QStringList{ u"uses"_s, u"wget"_s } << 1 << QStringList()
            << QStringList{ u"Error: Invalid usage: `brew uses` needs `--installed`, `HOMEBREW_REQUIRE_TAP_TRUST=1` or "
                            "`HOMEBREW_NO_REQUIRE_TAP_TRUST=1` set!"_s }
            << QStringList() << QString();
        QTest::newRow("leaves on request")
            << v5 << QStringList{ u"leaves"_s, u"-r"_s } << 0
            << QStringList{ u"broken"_s, u"git"_s, u"gone"_s, u"node"_s, u"redis"_s, u"stubborn"_s, u"tree"_s,
                   u"wget"_s }
            << QStringList() << QStringList{ u"leaves"_s, u"--installed-as-dependency"_s } << u"orphan\n"_s;
        QTest::newRow("autoremove dry run") << v5 << QStringList{ u"autoremove"_s, u"--dry-run"_s } << 0
                                            << QStringList{ u"==> Would autoremove 1 unneeded formula:"_s, u"orphan"_s }
                                            << QStringList() << listFormulae << allFormulae;
        QTest::newRow("autoremove") << v5 << QStringList{ u"autoremove"_s } << 0
                                    << QStringList{ u"==> Autoremoving 1 unneeded formula:"_s, u"orphan"_s,
                                           u"Uninstalling /opt/homebrew/Cellar/orphan/1.0... (*)"_s }
                                    << QStringList() << QStringList{ u"autoremove"_s, u"-n"_s } << QString();
        QTest::newRow("cleanup dry run, decimal sizes")
            << v5 << QStringList{ u"cleanup"_s, u"-n"_s, u"tree"_s } << 0
            << QStringList{ u"Would remove: /opt/homebrew/Cellar/tree/2.1.0 (* files, *)"_s,
                   u"Would remove: */Library/Caches/Homebrew/tree--2.1.0.arm64_sonoma.bottle.tar.gz (1.6MB)"_s,
                   u"==> This operation would free approximately *B of disk space."_s }
            << QStringList() << QStringList{ u"list"_s, u"--versions"_s, u"--formula"_s }
            << u"broken 1.0\ngit 2.49.0\ngone 1.0\nlibidn2 2.3.8\nlibunistring 1.3\nnode 23.11.0\nopenssl@3 3.4.1\n"
               "orphan 1.0\nredis 8.0.2\nstubborn 1.0\ntree 2.1.0 2.2.1\nwget 1.25.0\n"_s;
        QTest::newRow("cleanup before 5.0 counts in binary units")
            << u"4.6.20"_s << QStringList{ u"cleanup"_s, u"-n"_s, u"tree"_s } << 0
            << QStringList{ u"Would remove: */tree--2.1.0.arm64_sonoma.bottle.tar.gz (1.5MB)"_s } << QStringList()
            << QStringList() << QString();
        QTest::newRow("cleanup") << v5 << QStringList{ u"cleanup"_s } << 0
                                 << QStringList{ u"Removing: /opt/homebrew/Cellar/tree/2.1.0... (*)"_s,
                                        u"Removing: */tree--2.1.0.arm64_sonoma.bottle.tar.gz... (1.6MB)"_s,
                                        u"==> Autoremoving 1 unneeded formula:"_s, u"orphan"_s,
                                        u"==> This operation has freed approximately *B of disk space."_s }
                                 << QStringList() << QStringList{ u"cleanup"_s, u"-n"_s } << QString();
        QTest::newRow("cleanup with a bad prune")
            << v5 << QStringList{ u"cleanup"_s, u"--prune=soon"_s } << 1 << QStringList()
            << QStringList{ u"Error: Invalid usage: `--prune` expects an integer or `all`."_s } << QStringList()
            << QString();
    }

    void lifecycle()
    {
        QFETCH(QString, version);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QStringList, err);
        QFETCH(QStringList, after);
        QFETCH(QString, afterOut);

        seedLifecycle(version);
        const Run result = brew(arguments);
        QString missing;
        QVERIFY2(hasLinesInOrder(result.out, out, &missing), qPrintable(missing + u"\n---\n"_s + result.out));
        QVERIFY2(hasLinesInOrder(result.err, err, &missing), qPrintable(missing + u"\n---\n"_s + result.err));
        QCOMPARE(result.exitCode, exitCode);
        if (!after.isEmpty())
            QCOMPARE(brew(after).out, afterOut);
    }

    void services_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("startedFirst"); // a service started before the command
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QStringList>("err");
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("statusAfter");
        QTest::addColumn<int>("exitCodeAfter"); // -1: none

        const QString started = u"==> Successfully started `redis` (label: homebrew.mxcl.redis)"_s;
        QTest::newRow("start") << QStringList{ u"services"_s, u"start"_s, u"redis"_s } << QString() << 0
                               << QStringList{ started } << QStringList() << u"redis"_s << u"started"_s << -1;
        QTest::newRow("start again")
            << QStringList{ u"services"_s, u"start"_s, u"redis"_s } << u"redis"_s << 0
            << QStringList{ u"Service `redis` already started, use `brew services restart redis` to restart."_s }
            << QStringList() << u"redis"_s << u"started"_s << -1;
        QTest::newRow("run") << QStringList{ u"services"_s, u"run"_s, u"redis"_s } << QString() << 0
                             << QStringList{ u"==> Successfully ran `redis` (label: homebrew.mxcl.redis)"_s }
                             << QStringList() << u"redis"_s << u"started"_s << -1;
        QTest::newRow("a crashing service ends in error")
            << QStringList{ u"services"_s, u"start"_s, u"broken"_s } << QString() << 0
            << QStringList{ u"==> Successfully started `broken` (label: homebrew.mxcl.broken)"_s } << QStringList()
            << u"broken"_s << u"error"_s << 78;
        QTest::newRow("launchctl refuses")
            << QStringList{ u"services"_s, u"start"_s, u"stubborn"_s } << QString() << 1 << QStringList()
            << QStringList{ u"Bootstrap failed: 5: Input/output error"_s,
                   u"Try re-running the command as root for richer errors."_s,
                   u"Error: Failure while executing; `/bin/launchctl bootstrap gui/* "
                   "*/Library/LaunchAgents/homebrew.mxcl.stubborn.plist` exited with 5."_s }
            << u"stubborn"_s << u"none"_s << -1;
        QTest::newRow("stop") << QStringList{ u"services"_s, u"stop"_s, u"redis"_s } << u"redis"_s << 0
                              << QStringList{ u"Stopping `redis`... (might take a while)"_s,
                                     u"==> Successfully stopped `redis` (label: homebrew.mxcl.redis)"_s }
                              << QStringList() << u"redis"_s << u"none"_s << -1;
        QTest::newRow("stop when not started")
            << QStringList{ u"services"_s, u"stop"_s, u"redis"_s } << QString() << 0 << QStringList()
            << QStringList{ u"Warning: Service `redis` is not started."_s } << u"redis"_s << u"none"_s << -1;
        QTest::newRow("restart") << QStringList{ u"services"_s, u"restart"_s, u"redis"_s } << u"redis"_s << 0
                                 << QStringList{ u"Stopping `redis`... (might take a while)"_s,
                                        u"==> Successfully stopped `redis` (label: homebrew.mxcl.redis)"_s, started }
                                 << QStringList() << u"redis"_s << u"started"_s << -1;
        QTest::newRow("start --all") << QStringList{ u"services"_s, u"start"_s, u"--all"_s } << u"redis"_s << 1
                                     << QStringList{ u"==> Successfully started `broken` *"_s } << QStringList()
                                     << u"broken"_s << u"error"_s << 78;
        QTest::newRow("not installed") << QStringList{ u"services"_s, u"start"_s, u"ghost"_s } << QString() << 1
                                       << QStringList() << QStringList{ u"Error: Formula `ghost` is not installed."_s }
                                       << u"ghost"_s << QString() << -1;
        QTest::newRow("no service")
            << QStringList{ u"services"_s, u"start"_s, u"git"_s } << QString() << 1 << QStringList()
            << QStringList{ u"Error: Invalid usage: Formula `git` has not implemented #plist, #service or provided a "
                            "locatable service file."_s }
            << u"redis"_s << u"none"_s << -1;
        QTest::newRow("no name")
            << QStringList{ u"services"_s, u"stop"_s } << u"redis"_s << 1 << QStringList()
            << QStringList{ u"Error: Invalid usage: Formula(e) missing, please provide a formula name or use `--all`."_s }
            << u"redis"_s << u"started"_s << -1;
    }

    void services()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, startedFirst);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        QFETCH(QStringList, err);
        QFETCH(QString, service);
        QFETCH(QString, statusAfter);
        QFETCH(int, exitCodeAfter);

        seedLifecycle(u"5.1.9"_s);
        if (!startedFirst.isEmpty())
            QCOMPARE(brew({ u"services"_s, u"start"_s, startedFirst }).exitCode, 0);
        const Run result = brew(arguments);
        QString missing;
        QVERIFY2(hasLinesInOrder(result.out, out, &missing), qPrintable(missing + u"\n---\n"_s + result.out));
        QVERIFY2(hasLinesInOrder(result.err, err, &missing), qPrintable(missing + u"\n---\n"_s + result.err));
        QCOMPARE(result.exitCode, exitCode);

        // What `services list --json` reports afterwards.
        const QJsonArray list
            = QJsonDocument::fromJson(brew({ u"services"_s, u"list"_s, u"--json"_s }).out.toUtf8()).array();
        QJsonObject entry;
        for (const QJsonValue &item : list)
            if (item.toObject().value(u"name"_s).toString() == service)
                entry = item.toObject();
        if (statusAfter.isEmpty()) {
            QVERIFY2(entry.isEmpty(), "only installed formulae have services to list");
            return;
        }
        QCOMPARE(entry.keys().size(), 5);
        QCOMPARE(entry.value(u"status"_s).toString(), statusAfter);
        QCOMPARE(entry.value(u"exit_code"_s).toInt(-1), exitCodeAfter);
        const bool atLogin = statusAfter != u"none"_s && !arguments.contains(u"run"_s);
        QCOMPARE(
            QFile::exists(m_sandbox->homePath(u"Library/LaunchAgents/homebrew.mxcl.%1.plist"_s.arg(service))), atLogin);
        QCOMPARE(entry.value(u"user"_s).isNull(), !atLogin);
    }

    void bundle_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("brewfile"); // empty: none
        QTest::addColumn<QStringList>("arguments"); // FILE stands for the Brewfile's path
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("installedAfter");

        const QString satisfied = u"tap \"homebrew/core\"\nbrew \"wget\" # the one\n\n# apps\ncask \"firefox\"\n"_s;
        const QString missing = u"tap \"hashicorp/tap\"\nbrew \"git\"\nbrew \"ghost\", restart_service: :changed\n"
                                "cask 'iterm2'\nmas \"Xcode\", id: 497799835\nvscode \"ms-python.python\"\n"_s;
        const QString unmet = u"brew bundle can't satisfy your Brewfile's dependencies.\n"_s;
        const QString satisfy = u"Satisfy missing dependencies with `brew bundle install`.\n"_s;
        const QStringList check{ u"bundle"_s, u"check"_s, u"--file=FILE"_s };
        const QStringList verbose{ u"bundle"_s, u"check"_s, u"--verbose"_s, u"--file"_s, u"FILE"_s };

        QTest::newRow("check satisfied") << u"6.0.18"_s << satisfied << check << 0
                                         << u"The Brewfile's dependencies are satisfied.\n"_s << QString()
                                         << QStringList();
        QTest::newRow("check in 5.1.9") << u"5.1.9"_s << missing << check << 1 << unmet + satisfy << QString()
                                        << QStringList();
        QTest::newRow("check in 6.x") << u"6.0.18"_s << missing << check << 1 << QString()
                                      << unmet + u"Run `brew bundle check --verbose` to list unmet dependencies.\n"_s
                + satisfy << QStringList();
        QTest::newRow("check verbose") << u"6.0.18"_s << missing << verbose << 1 << QString()
                                       << unmet
                + u"→ Tap hashicorp/tap needs to be tapped.\n→ VSCode Extension ms-python.python needs to be "
                  u"installed.\n"
                  "→ App Xcode needs to be installed or updated.\n→ Formula ghost needs to be installed or updated.\n"
                  "→ Service ghost needs to be started.\n"_s
                + satisfy << QStringList();
        QTest::newRow("install")
            << u"6.0.18"_s << missing << QStringList{ u"bundle"_s, u"install"_s, u"--file=FILE"_s } << 0
            << u"Fetching ghost\nTapping hashicorp/tap\nUsing git\nInstalling ghost\nUsing iterm2\nInstalling Xcode\n"
               "Installing ms-python.python\n`brew bundle` complete! 6 Brewfile dependencies now installed.\n"_s
            << QString() << QStringList{ u"ghost"_s };
        QTest::newRow("install with a failure")
            << u"6.0.18"_s << u"brew \"nope\"\nbrew \"ghost\"\n"_s << QStringList{ u"bundle"_s, u"--file"_s, u"FILE"_s }
            << 1
            << u"Fetching ghost\nInstalling nope\nError: No available formula with the name \"nope\".\n"
               "Installing ghost\n"_s
            << u"Installing nope has failed!\n`brew bundle` failed! 1 Brewfile dependency failed to install\n"_s
            << QStringList{ u"ghost"_s };
        QTest::newRow("malformed") << u"6.0.18"_s << u"brew \"wget\"\nformula \"git\"\n"_s << check << 1 << QString()
                                   << u"Error: Invalid Brewfile: unknown entry `formula` on line 2\n"_s
                                   << QStringList();
        QTest::newRow("unterminated name")
            << u"6.0.18"_s << u"cask \"firefox\n"_s << check << 1 << QString()
            << u"Error: Invalid Brewfile: `cask` needs a quoted name on line 1\n"_s << QStringList();
        QTest::newRow("missing") << u"6.0.18"_s << QString() << check << 1 << QString()
                                 << u"Error: No Brewfile found\n"_s << QStringList();
        QTest::newRow("dump describes in 6.x")
            << u"6.0.18"_s << QString() << QStringList{ u"bundle"_s, u"dump"_s, u"--file=-"_s } << 0
            << u"brew \"broken\"\nbrew \"git\"\nbrew \"gone\"\nbrew \"node\"\nbrew \"redis\", restart_service: "
               u":changed\n"
               "brew \"stubborn\"\nbrew \"tree\"\n# Internet file retriever\nbrew \"wget\"\n"
               "cask \"firefox\"\ncask \"iterm2\"\ncask \"rectangle\"\ncask \"the-unarchiver\"\n"_s
            << QString() << QStringList();
        QTest::newRow("dump to an existing file")
            << u"5.1.9"_s << satisfied << QStringList{ u"bundle"_s, u"dump"_s, u"--file=FILE"_s } << 1 << QString()
            << u"Error: FILE already exists\n"_s << QStringList();
    }

    void bundle()
    {
        QFETCH(QString, version);
        QFETCH(QString, brewfile);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, installedAfter);

        seedLifecycle(version);
        QCOMPARE(brew({ u"services"_s, u"start"_s, u"redis"_s }).exitCode, 0);
        // Spaces and quotes in the path travel as one argument.
        const QString path = m_sandbox->homePath(u"my files/Brew\"file"_s);
        if (!brewfile.isEmpty())
            Sandbox::writeFile(path, brewfile.toUtf8());
        for (QString &argument : arguments)
            argument.replace(u"FILE"_s, path);
        const Run result = brew(arguments);
        QCOMPARE(result.out, out);
        QCOMPARE(result.err, QString(err).replace(u"FILE"_s, path));
        QCOMPARE(result.exitCode, exitCode);
        for (const QString &name : installedAfter)
            QVERIFY2(m_brew->installed(Kind::formula).contains(name), qPrintable(name));
    }

    void bundleDumpRoundTrip()
    {
        seedLifecycle(u"5.1.9"_s);
        const QString path = m_sandbox->homePath(u"my files/Brew\"file"_s);
        Sandbox::writeFile(path, "old\n");
        QCOMPARE(brew({ u"bundle"_s, u"dump"_s, u"--force"_s, u"--describe"_s, u"--file="_s + path }).exitCode, 0);
        const QByteArray dumped = Sandbox::readFile(path);
        QVERIFY2(dumped.startsWith("brew \"broken\"\nbrew \"git\"\n")
                && dumped.contains("# Internet file retriever\nbrew \"wget\"\n"),
            dumped.constData());
        // What was dumped is what is installed, if not all of it at the newest version.
        const Run check = brew({ u"bundle"_s, u"check"_s, u"--no-upgrade"_s, u"--file="_s + path });
        QCOMPARE(check.out, u"The Brewfile's dependencies are satisfied.\n"_s);
    }

    void installedInfo_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("asDependencyKey");
        QTest::addColumn<bool>("caskPins");
        QTest::addColumn<bool>("appTarget");
        QTest::newRow("5.1.8") << u"5.1.8"_s << true << false << false;
        QTest::newRow("5.1.12") << u"5.1.12"_s << false << true << false;
        QTest::newRow("6.0.18") << u"6.0.18"_s << false << true << true;
    }

    void installedInfo()
    {
        QFETCH(QString, version);
        QFETCH(bool, asDependencyKey);
        QFETCH(bool, caskPins);
        QFETCH(bool, appTarget);

        seedLifecycle(version);
        const Run result = brew({ u"info"_s, u"--json=v2"_s, u"--installed"_s });
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.out.startsWith(u"{\n  \"formulae\": [\n    {\n      \"name\": \"broken\",\n"_s));
        const QJsonObject document = QJsonDocument::fromJson(result.out.toUtf8()).object();
        QHash<QString, QJsonObject> formulae;
        for (const QJsonValue &item : document.value(u"formulae"_s).toArray())
            formulae.insert(item.toObject().value(u"name"_s).toString(), item.toObject());
        QCOMPARE(formulae.size(), 12);
        const QJsonArray kegs = formulae.value(u"tree"_s).value(u"installed"_s).toArray();
        QCOMPARE(kegs.size(), 2);
        QCOMPARE(kegs.at(1).toObject().value(u"version"_s).toString(), u"2.2.1"_s);
        QVERIFY(
            kegs.at(0).toObject().value(u"time"_s).toInteger() < kegs.at(1).toObject().value(u"time"_s).toInteger());
        QCOMPARE(formulae.value(u"tree"_s).value(u"linked_keg"_s).toString(), u"2.2.1"_s);
        const QJsonObject libidn2 = formulae.value(u"libidn2"_s).value(u"installed"_s).toArray().at(0).toObject();
        QCOMPARE(libidn2.value(u"installed_on_request"_s).toBool(true), false);
        QCOMPARE(libidn2.contains(u"installed_as_dependency"_s), asDependencyKey);
        QStringList runtime;
        for (const QJsonValue &dependency : formulae.value(u"wget"_s)
                                                .value(u"installed"_s)
                                                .toArray()
                                                .at(0)
                                                .toObject()
                                                .value(u"runtime_dependencies"_s)
                                                .toArray())
            runtime.append(dependency.toObject().value(u"full_name"_s).toString());
        QCOMPARE(runtime, (QStringList{ u"libidn2"_s, u"openssl@3"_s, u"libunistring"_s }));
        QCOMPARE(formulae.value(u"node"_s).value(u"pinned"_s).toBool(), true);
        QCOMPARE(formulae.value(u"openssl@3"_s).value(u"outdated"_s).toBool(), true);

        const QJsonArray casks = document.value(u"casks"_s).toArray();
        QCOMPARE(casks.size(), 4);
        const QJsonObject firefox = casks.at(0).toObject();
        QCOMPARE(firefox.value(u"installed"_s).toString(), u"138.0.4"_s);
        QCOMPARE(firefox.contains(u"pinned_version"_s), caskPins);
        QCOMPARE(firefox.value(u"auto_updates"_s), QJsonValue(QJsonValue::Null));
        const QJsonArray artifacts = firefox.value(u"artifacts"_s).toArray();
        QCOMPARE(artifacts.at(0).toObject().contains(u"target"_s), appTarget);
        QCOMPARE(artifacts.at(1).toObject().value(u"zap"_s).toArray().at(0).toObject().value(u"trash"_s).toArray(),
            (QJsonArray{ u"~/Library/Caches/Firefox"_s }));
        QCOMPARE(casks.at(1).toObject().value(u"auto_updates"_s).toBool(), true);
    }

    void uninstallRemovesFilesOfTheMachine()
    {
        seedLifecycle(u"6.0.18"_s);
        const QString app = m_sandbox->systemPath(u"/Applications/Firefox.app/Contents/Info.plist"_s);
        const QString cache = m_sandbox->homePath(u"Library/Caches/Firefox/cache.db"_s);
        const QString elsewhere = m_sandbox->homePath(u"Library/Caches/Other/keep"_s);
        for (const QString &path : { app, cache, elsewhere })
            Sandbox::writeFile(path, "x");
        QCOMPARE(brew({ u"uninstall"_s, u"--zap"_s, u"firefox"_s }).exitCode, 0);
        QVERIFY(!QFile::exists(app));
        QVERIFY(!QFileInfo::exists(m_sandbox->homePath(u"Library/Caches/Firefox"_s)));
        QVERIFY(QFile::exists(elsewhere));
    }

    void caskArtifactsLandOnTheMachine()
    {
        QCOMPARE(brew({ u"install"_s, u"--cask"_s, u"firefox"_s, u"font-meslo-lg-nerd-font"_s }).exitCode, 0);
        QVERIFY(QFile::exists(m_sandbox->systemPath(u"/Applications/Firefox.app/Contents/Info.plist"_s)));
        QVERIFY(QFile::exists(m_sandbox->homePath(u"Library/Fonts/MesloLGSNerdFont-Regular.ttf"_s)));

        QCOMPARE(brew({ u"upgrade"_s, u"--cask"_s, u"iterm2"_s }).exitCode, 0);
        const QByteArray plist
            = Sandbox::readFile(m_sandbox->systemPath(u"/Applications/iTerm.app/Contents/Info.plist"_s));
        QVERIFY2(plist.contains("<string>3.5.14</string>"), plist.constData());
    }

    void updateSummaryAndScriptedCommandFailure()
    {
        m_brew->setPendingUpdate({ .homebrewVersion = u"5.2.0"_s, .newFormulae = { u"uv"_s } });
        const Run update = brew({ u"update"_s });
        QCOMPARE(update.exitCode, 0);
        QVERIFY2(update.out.startsWith(u"Updated Homebrew from 5.1.9 ("_s), qPrintable(update.out));
        QString missing;
        QVERIFY2(hasLinesInOrder(update.out,
                     { u"Updated 1 tap (homebrew/core)."_s, u"==> New Formulae"_s, u"uv"_s, u"==> Outdated Formulae"_s,
                         u"node"_s, u"openssl@3"_s, u"==> Outdated Casks"_s, u"rectangle"_s,
                         u"You have 2 outdated formulae and 1 outdated cask installed."_s },
                     &missing),
            qPrintable(missing));
        QCOMPARE(brew({ u"--version"_s }).out, u"Homebrew 5.2.0\n"_s);
        QCOMPARE(brew({ u"update"_s }).out, u"Already up-to-date.\n"_s);

        m_brew->failCommand(u"outdated"_s, u"Failed to load cask: rectangle"_s);
        const Run outdated = brew({ u"outdated"_s, u"--json=v2"_s });
        QCOMPARE(outdated.exitCode, 1);
        QCOMPARE(outdated.out, QString());
        QCOMPARE(outdated.err, u"Error: Failed to load cask: rectangle\n"_s);
    }

    void environmentHints_data()
    {
        QTest::addColumn<bool>("asTheAppRunsIt");
        QTest::newRow("app environment") << true;
        QTest::newRow("bare environment") << false;
    }

    void environmentHints()
    {
        QFETCH(bool, asTheAppRunsIt);
        const QProcessEnvironment environment
            = asTheAppRunsIt ? appEnvironment(*m_sandbox) : m_sandbox->settings().environment;
        const Run result = run(*m_brew, { u"install"_s, u"tree"_s }, environment);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out.contains(u"==> Auto-updating Homebrew..."_s), !asTheAppRunsIt);
        QCOMPARE(result.out.contains(u"Hide these hints with `HOMEBREW_NO_ENV_HINTS=1`"_s), !asTheAppRunsIt);

        const QList<FakeBrew::Invocation> invocations = m_brew->invocations();
        QCOMPARE(invocations.size(), 1);
        QCOMPARE(invocations.first().arguments, (QStringList{ u"install"_s, u"tree"_s }));
        QVERIFY(invocations.first().stdinIsNull);
        QCOMPARE(invocations.first().environment.value(u"NONINTERACTIVE"_s), asTheAppRunsIt ? u"1"_s : QString());
        QCOMPARE(m_sandbox->calls(m_brew->location()), (QList<QStringList>{ { u"install"_s, u"tree"_s } }));
    }

    void slowPackageStreamsItsOutput()
    {
        m_brew->change(Kind::formula, u"tree"_s, [](Package &package) { package.delayMs = 2000; });
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        start(process, *m_brew, { u"install"_s, u"tree"_s }, appEnvironment(*m_sandbox));
        QByteArray seen;
        while (!seen.contains("==> Installing tree\n") && process.waitForReadyRead(10000))
            seen += process.readAllStandardOutput();
        const qint64 headingAt = timer.elapsed();
        QVERIFY(seen.contains("==> Installing tree\n"));
        QVERIFY(process.waitForFinished(10000));
        const qint64 finishedAt = timer.elapsed();
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(finishedAt >= 2000);
        // The heading arrives while the package is still being installed, not with the rest at exit.
        QVERIFY2(headingAt + 1000 <= finishedAt, qPrintable(u"%1 ms, %2 ms"_s.arg(headingAt).arg(finishedAt)));
    }

    void floodHasHeadingsEveryFortyLines()
    {
        m_brew->change(Kind::formula, u"tree"_s, [](Package &package) { package.floodBytes = 2 * 1024 * 1024; });
        const Run result = brew({ u"install"_s, u"tree"_s });
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.out.size() >= 2 * 1024 * 1024);
        const QStringList lines = result.out.split(u'\n');
        const qsizetype first = lines.indexOf(u"==> Installing tree"_s) + 1;
        QVERIFY(first > 0);
        qsizetype run = 0;
        qsizetype headings = 0;
        for (qsizetype i = first; i < lines.size() && !lines.at(i).startsWith(u"🍺"_s); ++i) {
            run = lines.at(i).startsWith(u"==> "_s) ? 0 : run + 1;
            headings += lines.at(i).startsWith(u"==> "_s) ? 1 : 0;
            QVERIFY2(run < 40, qPrintable(u"no heading for 40 lines before line %1"_s.arg(i)));
        }
        QVERIFY(headings > 300);
        QCOMPARE(m_brew->installed(Kind::formula).contains(u"tree"_s), true);
    }

    void concurrentInstallsKeepEachOther()
    {
        for (const QString &name : { u"tree"_s, u"libunistring"_s })
            m_brew->change(Kind::formula, name, [](Package &package) { package.delayMs = 300; });
        QProcess first;
        QProcess second;
        start(first, *m_brew, { u"install"_s, u"tree"_s }, appEnvironment(*m_sandbox));
        start(second, *m_brew, { u"install"_s, u"libunistring"_s }, appEnvironment(*m_sandbox));
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        const QStringList installed = m_brew->installed(Kind::formula);
        QVERIFY(installed.contains(u"tree"_s) && installed.contains(u"libunistring"_s));
    }
};

QTEST_GUILESS_MAIN(TestFakeBrew)
#include "tst_fakebrew.moc"
