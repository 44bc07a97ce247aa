#include "FakeBrew.h"
#include "Sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

// True when every expected line occurs as a whole line of `text`, in the given order.
bool hasLinesInOrder(const QString &text, const QStringList &expected, QString *missing)
{
    const QStringList lines = text.split(u'\n');
    qsizetype at = 0;
    for (const QString &line : expected) {
        at = lines.indexOf(line, at);
        if (at < 0) {
            *missing = line;
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
