#include "AsyncTest.h"
#include "Sandbox.h"
#include "brew/BrewService.h"

#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;

// How brew is started; how any child is started is tests/platform/tst_process.
class TestBrewService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runBrewRunsWithHomebrewEnvironment();
};

void TestBrewService::runBrewRunsWithHomebrewEnvironment()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) { settings.environment.insert(u"PATH"_s, u"/usr/bin:/bin"_s); });
    const QString brew = sandbox.systemPath(u"/opt/homebrew/bin/brew"_s);
    sandbox.addScript(u"/opt/homebrew/bin/brew"_s,
        "for v in PATH HOMEBREW_NO_AUTO_UPDATE HOMEBREW_NO_ENV_HINTS HOMEBREW_NO_COLOR NONINTERACTIVE SUDO_ASKPASS; "
        "do\n"
        "  eval \"printf '%s=%s\\n' $v \\\"\\${$v-unset}\\\"\"\n"
        "done\n"
        "echo 'progress' >&2\n");

    QString live;
    const Process::OutputHandler onOutput = [&live](const QString &chunk) { live += chunk; };
    const QStringList arguments{ u"install"_s, u"--formula"_s, u"wget"_s };
    QR_AWAIT(result, BrewService::runBrew(arguments, brew, onOutput));

    const QStringList expected{
        "PATH="_L1 + QFileInfo(brew).path() + ":/usr/bin:/bin:/usr/sbin:/sbin:/usr/bin:/bin"_L1,
        u"HOMEBREW_NO_AUTO_UPDATE=1"_s,
        u"HOMEBREW_NO_ENV_HINTS=1"_s,
        u"HOMEBREW_NO_COLOR=1"_s,
        u"NONINTERACTIVE=1"_s,
        "SUDO_ASKPASS="_L1 + sandbox.temp() + "/quillrig-gui-askpass.sh"_L1,
    };
    QCOMPARE(result.output.split(u'\n', Qt::SkipEmptyParts), expected);
    QCOMPARE(sandbox.calls(u"/opt/homebrew/bin/brew"_s), QList<QStringList>{ arguments });
    QVERIFY(live.contains(u"progress\n"_s));
}

QTEST_GUILESS_MAIN(TestBrewService)
#include "tst_brewservice.moc"
