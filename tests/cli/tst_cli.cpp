#include "FakeBrew.h"
#include "Sandbox.h"
#include "SetupFakes.h"
#include "cli/Cli.h"
#include "setup/config/SetupConfig.h"
#include "setup/engine/CancellationFlag.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <sstream>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome runCli(const QStringList &arguments, CancellationFlag *interrupt = nullptr)
{
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    CliStreams io{ in, out, err, false, false, false, interrupt };
    std::vector<std::string> args;
    for (const QString &argument : arguments)
        args.push_back(argument.toStdString());
    Outcome outcome;
    outcome.status = Cli::run(args, io);
    outcome.out = QString::fromStdString(out.str());
    outcome.err = QString::fromStdString(err.str());
    return outcome;
}

// Every path and byte under the sandbox's home and system root.
QByteArray fingerprint(const Sandbox &sandbox)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &top : { sandbox.home(), sandbox.root() }) {
        QStringList paths;
        QDirIterator it(
            top, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            paths.append(it.next());
        paths.sort();
        for (const QString &path : std::as_const(paths)) {
            hash.addData(path.toUtf8());
            QFile file(path);
            if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
                hash.addData(file.readAll());
        }
    }
    return hash.result();
}

QJsonObject json(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << "not JSON:" << text.left(400);
    return document.object();
}

const QByteArray ohMyZshStyleZshrc = "export ZSH=\"$HOME/.oh-my-zsh\"\n"
                                     "ZSH_THEME=\"robbyrussell\"\n"
                                     "plugins=(git)\n"
                                     "source $ZSH/oh-my-zsh.sh\n"
                                     "# my own alias\n"
                                     "alias g=git\n";

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Uninstall goes through the brew store: a name that is not installed stops it before
    // anything is removed, and zap is passed on only when asked for.
    void brewUninstall()
    {
        Sandbox sandbox;
        FakeBrew brew(sandbox);
        brew.addFormula({ .name = u"wget"_s, .version = u"1.25.0"_s, .installedVersions = { u"1.25.0"_s } })
            .addCask({ .name = u"firefox"_s,
                .version = u"138.0.4"_s,
                .installedVersions = { u"138.0.4"_s },
                .app = u"Firefox.app"_s,
                .zap = { u"~/Library/Caches/Firefox"_s } });
        const auto uninstalls = [&brew] {
            int count = 0;
            for (const auto &invocation : brew.invocations())
                count += invocation.arguments.value(0) == u"uninstall"_s;
            return count;
        };

        const Outcome missing = runCli({ u"brew"_s, u"uninstall"_s, u"wget"_s, u"nosuch"_s });
        QCOMPARE(missing.status, 1);
        QVERIFY(missing.err.contains(u"nosuch"_s));
        QCOMPARE(uninstalls(), 0);

        const Outcome removed = runCli({ u"brew"_s, u"uninstall"_s, u"--zap"_s, u"wget"_s, u"firefox"_s });
        QCOMPARE(removed.status, 0);
        QVERIFY(brew.installed(FakeBrew::Kind::formula).isEmpty());
        QVERIFY(brew.installed(FakeBrew::Kind::cask).isEmpty());
        bool zapped = false;
        for (const auto &invocation : brew.invocations())
            zapped |= invocation.arguments.contains(u"--zap"_s);
        QVERIFY(zapped);
    }

    // The plan of all nine components names exactly the commands apply then runs, changes
    // nothing itself, and shows nothing left to do once apply has run.
    void planMatchesApply()
    {
        Sandbox sandbox;
        SetupFakes fakes(sandbox);
        fakes.installAll();
        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), ohMyZshStyleZshrc);
        // Two backups of ~/.zshrc within one second collide; the run takes them in a second.
        SetupConfig config = SetupConfig::defaults();
        config.backupDotfiles = false;
        const QString configFile = sandbox.temp() + u"/config.json"_s;
        Sandbox::writeFile(configFile, config.toJson());

        const QByteArray before = fingerprint(sandbox);
        const Outcome plan = runCli({ u"plan"_s, u"--json"_s, u"--config"_s, configFile });
        QCOMPARE(plan.status, 0);
        QCOMPARE(fingerprint(sandbox), before);
        QStringList planned;
        const QJsonArray components = json(plan.out).value(u"components"_s).toArray();
        QCOMPARE(components.size(), 9);
        for (const QJsonValue &component : components) {
            QVERIFY2(component[u"failure"_s].isNull(), qPrintable(component[u"failure"_s].toString()));
            for (const QJsonValue &command : component[u"commands"_s].toArray())
                planned.append(command.toString());
        }

        const Outcome apply = runCli({ u"apply"_s, u"--yes"_s, u"--config"_s, configFile });
        if (apply.status != 0)
            qWarning().noquote() << apply.out.right(1500) << apply.err;
        QCOMPARE(apply.status, 0);
        QStringList ran;
        for (const QString &line : apply.out.split(u'\n')) {
            if (line.startsWith(u"$ "_s))
                ran.append(line.mid(2));
        }
        QCOMPARE(ran, planned);

        const Outcome again = runCli({ u"plan"_s, u"--json"_s, u"--config"_s, configFile });
        const QJsonObject replanned = json(again.out);
        for (const QJsonValue &component : replanned.value(u"components"_s).toArray()) {
            QVERIFY2(component[u"files"_s].toArray().isEmpty(), qPrintable(component[u"component"_s].toString()));
            QVERIFY2(!component[u"changes"_s].toBool(), qPrintable(component[u"component"_s].toString()));
        }
        const Outcome second = runCli({ u"apply"_s, u"--yes"_s, u"--json"_s, u"--config"_s, configFile });
        QCOMPARE(second.status, 0);
        QCOMPARE(json(second.out).value(u"changed"_s).toBool(), false);
    }

    // On a file the user wrote, only the owned lines change, a second run changes no byte, and
    // --json says so in the documented shape.
    void applyShellTwice()
    {
        Sandbox sandbox;
        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), ohMyZshStyleZshrc);
        const Outcome first = runCli({ u"apply"_s, u"shell"_s, u"--yes"_s, u"--json"_s });
        QCOMPARE(first.status, 0);
        const QJsonObject report = json(first.out);
        QCOMPARE(report.value(u"changed"_s).toBool(), true);
        QCOMPARE(report.value(u"failed"_s).toBool(), false);
        const QJsonObject shell = report.value(u"components"_s).toArray().first().toObject();
        QCOMPARE(shell.value(u"component"_s).toString(), u"shell"_s);
        QCOMPARE(shell.value(u"result"_s).toString(), u"succeeded"_s);
        QVERIFY(shell.value(u"error"_s).isNull());
        QCOMPARE(shell.value(u"changed"_s).toBool(), true);
        const QByteArray written = Sandbox::readFile(sandbox.homePath(u".zshrc"_s));
        QVERIFY(written.startsWith(ohMyZshStyleZshrc));

        QTest::qWait(1100); // the backup's name has a one-second stamp
        const Outcome second = runCli({ u"apply"_s, u"shell"_s, u"--yes"_s, u"--json"_s });
        QCOMPARE(second.status, 0);
        QCOMPARE(json(second.out).value(u"changed"_s).toBool(), false);
        QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), written);
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("configText");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown component")
            << QStringList{ u"plan"_s, u"shel"_s } << QByteArray() << 2 << u"valid: clt, rosetta, iterm2"_s;
        QTest::newRow("config not JSON") << QStringList{ u"plan"_s, u"--config"_s, u"CONFIG"_s }
                                         << QByteArray("{\n  \"plugins\": [\"git\",\n}") << 2 << u"line 3, column"_s;
        QTest::newRow("config key missing") << QStringList{ u"config"_s, u"import"_s, u"CONFIG"_s }
                                            << QByteArray("{\"plugins\": []}") << 2 << u"p10kStyle: missing"_s;
        QTest::newRow("apply without --yes or terminal")
            << QStringList{ u"apply"_s, u"shell"_s } << QByteArray() << 2 << u"--yes"_s;
        QTest::newRow("unknown option") << QStringList{ u"status"_s, u"--jsn"_s } << QByteArray() << 2
                                        << u"quillrig-cli --help"_s;
    }
    void badInput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, configText);
        Sandbox sandbox;
        const QString configFile = sandbox.temp() + u"/config.json"_s;
        Sandbox::writeFile(configFile, configText);
        arguments.replaceInStrings(u"CONFIG"_s, configFile);
        const QByteArray before = fingerprint(sandbox);
        const Outcome outcome = runCli(arguments);
        QTEST(outcome.status, "status");
        QVERIFY2(
            outcome.err.contains(QTest::currentDataTag() == QByteArray("unknown option") ? u"--help"_s : QString()),
            qPrintable(outcome.err));
        QFETCH(QString, message);
        QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
        QVERIFY(outcome.out.isEmpty());
        QCOMPARE(fingerprint(sandbox), before);
    }

    // A ~/.zshrc that is not text fails the component with the reason and keeps every byte.
    void unreadableZshrc()
    {
        Sandbox sandbox;
        const QByteArray binary("alias a=b\n\xff\xfe not utf-8\n");
        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), binary);
        const Outcome outcome = runCli({ u"apply"_s, u"shell"_s, u"--yes"_s, u"--json"_s });
        QCOMPARE(outcome.status, 1);
        const QJsonObject shell = json(outcome.out).value(u"components"_s).toArray().first().toObject();
        QCOMPARE(shell.value(u"result"_s).toString(), u"failed"_s);
        QVERIFY(shell.value(u"error"_s).toString().contains(u".zshrc"_s));
        QCOMPARE(shell.value(u"changed"_s).toBool(), false);
        QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), binary);
    }

    // Ctrl+C while waiting for the Command Line Tools ends the run at once with 130.
    void interruptDuringCommandLineToolsWait()
    {
        Sandbox sandbox;
        SetupFakes fakes(sandbox);
        fakes.installXcodeSelect(-1);
        sandbox.configure(
            [](Platform::Settings &settings) { settings.commandLineToolsPoll = std::chrono::seconds(5); });
        CancellationFlag interrupt;
        QElapsedTimer timer;
        QTimer::singleShot(300, &interrupt, [&] {
            timer.start();
            interrupt.cancel();
        });
        const Outcome outcome = runCli({ u"apply"_s, u"clt"_s, u"git"_s, u"--yes"_s }, &interrupt);
        QCOMPARE(outcome.status, 130);
        QVERIFY(timer.elapsed() < 1000);
        QVERIFY(outcome.out.contains(u"✗ Cancelled"_s));
    }

    // The executable itself, with HOME in a sandbox.
    void executable()
    {
        Sandbox sandbox;
        Sandbox::writeFile(sandbox.homePath(u".zshrc"_s), ohMyZshStyleZshrc);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, sandbox.home());
        environment.insert(u"XDG_DATA_HOME"_s, sandbox.appSupport());
        const auto run = [&environment](const QStringList &arguments) {
            QProcess process;
            process.setProcessEnvironment(environment);
            process.setStandardInputFile(QProcess::nullDevice());
            process.start(QStringLiteral(QUILLRIG_CLI_PATH), arguments);
            process.waitForFinished(30000);
            return std::pair{ process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()) };
        };
        const auto [planStatus, planText] = run({ u"plan"_s, u"shell"_s, u"--json"_s });
        QCOMPARE(planStatus, 0);
        const QJsonObject shell = json(planText).value(u"components"_s).toArray().first().toObject();
        QVERIFY(shell.value(u"files"_s)
                    .toArray()
                    .first()[u"diff"_s]
                    .toString()
                    .contains(u"+# Custom aliases (managed by quillrig-cli)"_s));
        QCOMPARE(run({ u"apply"_s, u"shell"_s }).first, 2);
        QCOMPARE(Sandbox::readFile(sandbox.homePath(u".zshrc"_s)), ohMyZshStyleZshrc);
        QCOMPARE(run({ u"--version"_s }).first, 0);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
