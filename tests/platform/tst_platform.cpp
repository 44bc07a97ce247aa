#include "Sandbox.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;

class TestPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void machineTempDirIsPrivate()
    {
        const QString temp = Platform::Settings::forThisMachine().tempDir;
        QVERIFY(!temp.isEmpty());
        const QFileInfo info(temp);
        QVERIFY(info.isDir());
        QCOMPARE(info.ownerId(), uint(getuid()));
        // No one but the user may enter or list it.
        QCOMPARE(info.permissions()
                & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                    | QFileDevice::WriteOther | QFileDevice::ExeOther),
            QFileDevice::Permissions());
    }

    void sandboxReRootsSystemPathsAndRestores()
    {
        const QString realHome = Platform::current().homeDir();
        {
            Sandbox sandbox;
            QCOMPARE(Platform::current().systemPath(u"/usr/bin/defaults"_s), sandbox.root() + "/usr/bin/defaults"_L1);
            QCOMPARE(Platform::current().homePath(u".zshrc"_s), sandbox.home() + "/.zshrc"_L1);
            QCOMPARE(Platform::current().environment().value(u"HOME"_s), sandbox.home());
        }
        QCOMPARE(Platform::current().homeDir(), realHome);
        QCOMPARE(Platform::current().systemPath(u"/usr/bin/defaults"_s), u"/usr/bin/defaults"_s);
    }

    void eachInstalledPlatformIsANewRun()
    {
        Sandbox sandbox;
        const quint64 first = Platform::current().instanceId();
        sandbox.configure([](Platform::Settings &s) { s.systemVersion = u"15.0.0"_s; });
        QVERIFY(Platform::current().instanceId() != first);
        QCOMPARE(Platform::current().systemVersion(), u"15.0.0"_s);
    }

    void boolDefaults_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("expected"); // -1 absent, 0 false, 1 true
        QTest::newRow("missing") << QByteArray() << -1;
        QTest::newRow("true") << QByteArray("flag=true\n") << 1;
        QTest::newRow("false") << QByteArray("flag=false\n") << 0;
        QTest::newRow("number is not a bool") << QByteArray("flag=1\n") << -1;
        QTest::newRow("text is not a bool") << QByteArray("flag=yes\n") << -1;
    }

    void boolDefaults()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, expected);
        Sandbox sandbox;
        if (!stored.isEmpty())
            Sandbox::writeFile(sandbox.settings().userDefaultsFile, "[General]\n" + stored);
        const std::optional<bool> value = Platform::current().boolDefault(u"flag"_s);
        QCOMPARE(value.has_value() ? int(*value) : -1, expected);
    }

    void boolDefaultRoundTrip()
    {
        Sandbox sandbox;
        Platform::current().setBoolDefault(u"hasSeenWizard"_s, false);
        QCOMPARE(Platform::current().boolDefault(u"hasSeenWizard"_s), std::optional<bool>(false));
        Platform::current().setBoolDefault(u"hasSeenWizard"_s, true);
        QCOMPARE(Platform::current().boolDefault(u"hasSeenWizard"_s), std::optional<bool>(true));
    }

    void hooksAreRecordedBySandbox()
    {
        Sandbox sandbox;
        Platform::current().openUrl(QUrl(u"https://example.org/x"_s));
        Platform::current().openFile(u"/tmp/a.command"_s);
        Platform::current().setClipboardText(u"brew install --formula git"_s);
        QCOMPARE(sandbox.openedUrls, QList<QUrl>{ QUrl(u"https://example.org/x"_s) });
        QCOMPARE(sandbox.openedFiles, QStringList{ u"/tmp/a.command"_s });
        QCOMPARE(sandbox.clipboard, QStringList{ u"brew install --formula git"_s });
    }

    void strictUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << QByteArray("plugins=(git)\n") << true;
        QTest::newRow("umlaut") << QByteArray("# Grüße\n") << true;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("latin-1 byte") << QByteArray("# Gr\xfc\xdf"
                                                    "e\n")
                                      << false;
        QTest::newRow("cut-off sequence") << QByteArray("a\xe2\x82") << false;
    }

    void strictUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(Files::decodeUtf8(bytes).has_value(), valid);
    }

    void byteOrderMarkSurvivesARoundTrip()
    {
        const QByteArray bytes("\xef\xbb\xbf# zshrc\n");
        const std::optional<QString> text = Files::decodeUtf8(bytes);
        QVERIFY(text);
        QCOMPARE(text->toUtf8(), bytes);
    }

    void tailNeverSplitsACharacter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << u"abcdef"_s << 3 << u"def"_s;
        QTest::newRow("longer than text") << u"ab"_s << 5 << u"ab"_s;
        QTest::newRow("cut through an emoji") << u"x🍺yz"_s << 3 << u"yz"_s;
        QTest::newRow("whole emoji") << u"x🍺yz"_s << 4 << u"🍺yz"_s;
    }

    void tailNeverSplitsACharacter()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(QString, expected);
        QCOMPARE(Text::tail(text, count), expected);
    }

    void atomicWriteReplacesAndKeepsNoTemporaries()
    {
        Sandbox sandbox;
        const QString path = sandbox.homePath(u"file.txt"_s);
        Files::writeAtomically(path, "first");
        Files::writeAtomically(path, "second");
        QCOMPARE(Sandbox::readFile(path), QByteArray("second"));
        QCOMPARE(Files::entryNames(sandbox.home()).filter(u"file"_s), QStringList{ u"file.txt"_s });
    }

    void atomicWriteIntoMissingFolderThrows()
    {
        Sandbox sandbox;
        QVERIFY_THROWS_EXCEPTION(FileError, Files::writeAtomically(sandbox.homePath(u"no/such/file"_s), "x"));
    }

    void copyNeverReplaces()
    {
        Sandbox sandbox;
        const QString a = sandbox.homePath(u"a"_s);
        const QString b = sandbox.homePath(u"b"_s);
        Sandbox::writeFile(a, "A");
        Sandbox::writeFile(b, "B");
        QVERIFY_THROWS_EXCEPTION(FileError, Files::copy(a, b));
        QCOMPARE(Sandbox::readFile(b), QByteArray("B"));
    }

    void createDirectoriesWithPermissions()
    {
        Sandbox sandbox;
        const QString path = sandbox.homePath(u".ssh/keys"_s);
        Files::createDirectories(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        for (const QString &folder : { sandbox.homePath(u".ssh"_s), path })
            QCOMPARE(QFileInfo(folder).permissions() & 0x7077,
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void subdirectoriesSkipHiddenAndFiles()
    {
        Sandbox sandbox;
        const QString base = sandbox.homePath(u"plugins"_s);
        for (const char *name : { "zeta", "alpha", ".hidden" })
            QDir().mkpath(base + u'/' + QLatin1StringView(name));
        Sandbox::writeFile(base + "/file"_L1, "x");
        QCOMPARE(Files::subdirectoryNames(base), (QStringList{ u"alpha"_s, u"zeta"_s }));
        QCOMPARE(Files::subdirectoryNames(base + "/missing"_L1), QStringList());
    }

    void fakeToolCallsRunningTogetherStayWhole()
    {
        Sandbox sandbox;
        sandbox.addTool(u"/opt/homebrew/bin/brew"_s, {});
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < 24; ++i) {
            auto process = std::make_unique<QProcess>();
            process->start(sandbox.systemPath(u"/opt/homebrew/bin/brew"_s),
                { u"list"_s, u"--formula"_s, QString::number(i), u"-1"_s });
            processes.push_back(std::move(process));
        }
        for (auto &process : processes)
            QVERIFY(process->waitForFinished());
        const auto calls = sandbox.calls(u"/opt/homebrew/bin/brew"_s);
        QCOMPARE(calls.size(), 24);
        for (const QStringList &call : calls) {
            QCOMPARE(call.size(), 4);
            QCOMPARE(call[0], u"list"_s);
            QCOMPARE(call[3], u"-1"_s);
        }
    }

    void fakeToolRecordsArgumentsAndAnswers()
    {
        Sandbox sandbox;
        sandbox.addTool(u"/usr/bin/defaults"_s, { .stdoutText = "1\n", .stderrText = "warn\n", .exitCode = 3 });
        QProcess process;
        process.start(sandbox.systemPath(u"/usr/bin/defaults"_s), { u"read"_s, u"com.apple.dock"_s, u"a b"_s, u""_s });
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 3);
        QCOMPARE(process.readAllStandardOutput(), QByteArray("1\n"));
        QCOMPARE(process.readAllStandardError(), QByteArray("warn\n"));
        const auto calls = sandbox.calls(u"/usr/bin/defaults"_s);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0], (QStringList{ u"read"_s, u"com.apple.dock"_s, u"a b"_s, u""_s }));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
