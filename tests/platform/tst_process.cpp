#include "AsyncTest.h"
#include "Sandbox.h"
#include "platform/ChildEnvironment.h"
#include "platform/Process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using quillrig::test::runTask;
using quillrig::test::Sandbox;

namespace {

const auto toolPath = u"/usr/local/bin/tool"_s;

const QByteArray askpassBytes = "#!/bin/bash\n"
                                "/usr/bin/osascript -e 'display dialog \"Homebrew needs your password to continue.\" "
                                "default answer \"\" with hidden answer with title \"Quillrig\" buttons {\"Cancel\", "
                                "\"OK\"} default button \"OK\"' -e 'text returned of result'";

// Prints the variables a child cares about, one "NAME=value" line each ("unset" when absent).
const QByteArray printEnvironment
    = "for v in NONINTERACTIVE SUDO_ASKPASS MARK PLATFORM_ONLY PATH HOMEBREW_NO_AUTO_UPDATE "
      "HOMEBREW_NO_ENV_HINTS HOMEBREW_NO_COLOR; do\n"
      "  eval \"printf '%s=%s\\n' $v \\\"\\${$v-unset}\\\"\"\n"
      "done\n";

QHash<QString, QString> parseEnvironment(const QString &output)
{
    QHash<QString, QString> values;
    for (const QString &line : output.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(u'=');
        values.insert(line.first(equals), line.sliced(equals + 1));
    }
    return values;
}

struct Collected {
    QStringList chunks;
    QString text() const { return chunks.join(QString()); }
};

Process::OutputHandler collectInto(Collected &collected)
{
    return [&collected](const QString &chunk) { collected.chunks.append(chunk); };
}

QString askpassPath(const Sandbox &sandbox)
{
    return sandbox.temp() + "/quillrig-gui-askpass.sh"_L1;
}

// Where two long texts first differ, for a readable failure message.
QString firstDifference(const QString &actual, const QString &expected)
{
    qsizetype i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    return u"sizes %1 and %2, first difference at %3: got \"%4\""_s.arg(actual.size())
        .arg(expected.size())
        .arg(i)
        .arg(actual.mid(i, 40));
}

} // namespace

class TestProcess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void outputAndLiveText_data();
    void outputAndLiveText();
    void exitStatus_data();
    void exitStatus();
    void launchFailure_data();
    void launchFailure();
    void inputIsAtEndOfFile();
    void doesNotWaitForGrandchildren();
    void environmentOfChild();
    void homebrewEnvironment_data();
    void homebrewEnvironment();
    void askpassScriptWrittenOncePerRun();
    void askpassAbsentWhenTempDirUnusable_data();
    void askpassAbsentWhenTempDirUnusable();
    void throwingHandlerSurfacesAfterExit();
    void handlerThatWaitsOutTheExit();
    void largeInterleavedOutput();
};

void TestProcess::outputAndLiveText_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("live");

    QTest::newRow("standard error only") << QByteArray("printf 'oops\\n' >&2\n") << QString() << u"oops\n"_s;
    QTest::newRow("invalid byte") << QByteArray("printf 'a\\377b'\n") << u"a\uFFFDb"_s << u"a\uFFFDb"_s;
    QTest::newRow("character cut off at the end") << QByteArray("printf 'a\\303'\n") << u"a\uFFFD"_s << u"a\uFFFD"_s;
    QTest::newRow("character split between writes")
        << QByteArray("printf '\\303'; sleep 0.3; printf '\\251x'\n") << u"éx"_s << u"éx"_s;
    QTest::newRow("written just before exit")
        << QByteArray("head -c 300000 /dev/zero | tr '\\0' o; printf 'end'; exit 0\n")
        << QString(300000, u'o') + u"end"_s << QString(300000, u'o') + u"end"_s;
    QTest::newRow("stderr written just before exit")
        << QByteArray("head -c 300000 /dev/zero | tr '\\0' e >&2; exit 0\n") << QString() << QString(300000, u'e');
    QTest::newRow("silent") << QByteArray("exit 0\n") << QString() << QString();
}

void TestProcess::outputAndLiveText()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, output);
    QFETCH(QString, live);
    Sandbox sandbox;
    sandbox.addScript(toolPath, script);

    Collected collected;
    QR_AWAIT(result, Process::exec(sandbox.systemPath(toolPath), {}, std::nullopt, collectInto(collected)));
    QCOMPARE(result.status, 0);
    QCOMPARE(result.output, output);
    QCOMPARE(collected.text(), live);
    QVERIFY(!collected.chunks.contains(QString()));
}

void TestProcess::exitStatus_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<qint32>("status");
    QTest::addColumn<QString>("output");

    QTest::newRow("success") << QByteArray("printf ok\n") << 0 << u"ok"_s;
    QTest::newRow("failure keeps output") << QByteArray("printf partial; exit 1\n") << 1 << u"partial"_s;
    QTest::newRow("status 42") << QByteArray("exit 42\n") << 42 << QString();
    QTest::newRow("status 255") << QByteArray("exit 255\n") << 255 << QString();
    QTest::newRow("terminated") << QByteArray("printf before; kill -TERM $$\n") << 15 << u"before"_s;
    QTest::newRow("killed") << QByteArray("kill -KILL $$\n") << 9 << QString();
}

void TestProcess::exitStatus()
{
    QFETCH(QByteArray, script);
    QFETCH(qint32, status);
    QFETCH(QString, output);
    Sandbox sandbox;
    sandbox.addScript(toolPath, script);

    QR_AWAIT(result, Process::exec(sandbox.systemPath(toolPath), {}));
    QCOMPARE(result, (Process::Result{ status, output }));
}

void TestProcess::launchFailure_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << u"missing"_s;
    QTest::newRow("not executable") << u"plain file"_s;
    QTest::newRow("folder") << u"folder"_s;
}

void TestProcess::launchFailure()
{
    QFETCH(QString, kind);
    Sandbox sandbox;
    const QString path = sandbox.systemPath(toolPath);
    if (kind == "plain file"_L1)
        Sandbox::writeFile(path, "#!/bin/sh\necho hi\n");
    else if (kind == "folder"_L1)
        QDir().mkpath(path);

    Collected collected;
    QElapsedTimer timer;
    timer.start();
    const auto outcome = runTask(
        Process::exec(path, { u"--version"_s }, std::nullopt, collectInto(collected)), std::chrono::seconds(10));
    const qint64 elapsed = timer.elapsed();

    QVERIFY2(outcome.threw, qPrintable(outcome.failure));
    QVERIFY2(outcome.failure.contains(path), qPrintable(outcome.failure));
    QVERIFY2(elapsed < 1000, qPrintable(u"took %1 ms"_s.arg(elapsed)));
    QVERIFY(collected.chunks.isEmpty());
}

void TestProcess::inputIsAtEndOfFile()
{
    Sandbox sandbox;
    sandbox.addScript(toolPath, "if read line; then echo \"read:$line\"; else echo eof; fi\n");

    // A child waiting on an open input would run into the watchdog.
    const auto outcome = runTask(Process::exec(sandbox.systemPath(toolPath), {}), std::chrono::seconds(5));
    QVERIFY2(outcome.ok(), qPrintable(outcome.failure));
    QCOMPARE(outcome.value->output, u"eof\n"_s);
}

void TestProcess::doesNotWaitForGrandchildren()
{
    // Installers leave daemons behind that inherit the output pipes; the command itself is over
    // when its own process exits.
    Sandbox sandbox;
    sandbox.addScript(toolPath, "sleep 20 &\nprintf started\n");

    QElapsedTimer timer;
    timer.start();
    QR_AWAIT(result, Process::exec(sandbox.systemPath(toolPath), {}));
    QCOMPARE(result.output, u"started"_s);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(u"took %1 ms"_s.arg(timer.elapsed())));
}

void TestProcess::environmentOfChild()
{
    Sandbox sandbox;
    sandbox.configure([](Platform::Settings &settings) {
        settings.environment.insert(u"MARK"_s, u"platform"_s);
        settings.environment.insert(u"PLATFORM_ONLY"_s, u"yes"_s);
        settings.environment.insert(u"NONINTERACTIVE"_s, u"0"_s);
    });
    sandbox.addScript(toolPath, printEnvironment);

    QR_AWAIT(inherited, Process::exec(sandbox.systemPath(toolPath), {}));
    auto values = parseEnvironment(inherited.output);
    QCOMPARE(values.value(u"MARK"_s), u"platform"_s);
    QCOMPARE(values.value(u"NONINTERACTIVE"_s), u"1"_s);
    QCOMPARE(values.value(u"SUDO_ASKPASS"_s), askpassPath(sandbox));

    QProcessEnvironment given;
    given.insert(u"MARK"_s, u"given"_s);
    given.insert(u"NONINTERACTIVE"_s, u"no"_s);
    QR_AWAIT(explicitly, Process::exec(sandbox.systemPath(toolPath), {}, given));
    values = parseEnvironment(explicitly.output);
    QCOMPARE(values.value(u"MARK"_s), u"given"_s);
    QCOMPARE(values.value(u"NONINTERACTIVE"_s), u"1"_s);
    QCOMPARE(values.value(u"SUDO_ASKPASS"_s), askpassPath(sandbox));
    QCOMPARE(values.value(u"PLATFORM_ONLY"_s), u"unset"_s);
}

void TestProcess::homebrewEnvironment_data()
{
    QTest::addColumn<QString>("brewPath");
    QTest::addColumn<std::optional<QString>>("inheritedPath");
    QTest::addColumn<QString>("path");

    QTest::newRow("Apple silicon") << u"/opt/homebrew/bin/brew"_s << std::optional(u"/usr/bin:/bin"_s)
                                   << u"/opt/homebrew/bin:/usr/bin:/bin:/usr/sbin:/sbin:/usr/bin:/bin"_s;
    QTest::newRow("Intel") << u"/usr/local/bin/brew"_s << std::optional(u"/custom/bin"_s)
                           << u"/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin:/custom/bin"_s;
    QTest::newRow("no inherited PATH") << u"/opt/homebrew/bin/brew"_s << std::optional<QString>()
                                       << u"/opt/homebrew/bin:/usr/bin:/bin:/usr/sbin:/sbin:"_s;
}

void TestProcess::homebrewEnvironment()
{
    QFETCH(QString, brewPath);
    QFETCH(std::optional<QString>, inheritedPath);
    QFETCH(QString, path);
    Sandbox sandbox;
    sandbox.configure([&](Platform::Settings &settings) {
        settings.environment.remove(u"PATH"_s);
        if (inheritedPath)
            settings.environment.insert(u"PATH"_s, *inheritedPath);
        settings.environment.insert(u"MARK"_s, u"kept"_s);
    });

    const QProcessEnvironment environment = ChildEnvironment::homebrew(brewPath);
    QCOMPARE(environment.value(u"PATH"_s), path);
    QCOMPARE(environment.value(u"MARK"_s), u"kept"_s);
    for (const char *name : { "HOMEBREW_NO_AUTO_UPDATE", "HOMEBREW_NO_ENV_HINTS", "HOMEBREW_NO_COLOR" })
        QCOMPARE(environment.value(QLatin1StringView(name)), u"1"_s);
}

void TestProcess::askpassScriptWrittenOncePerRun()
{
    Sandbox sandbox;
    sandbox.addScript(toolPath, "exit 0\n");
    const QString script = askpassPath(sandbox);
    QVERIFY(!QFileInfo::exists(script));

    QR_AWAIT_VOID(Process::exec(sandbox.systemPath(toolPath), {}));
    QCOMPARE(Sandbox::readFile(script), askpassBytes);
    struct stat info { };
    QCOMPARE(::stat(QFile::encodeName(script).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0700));

    // Later commands of the same run reuse it as it stands.
    Sandbox::writeFile(script, "changed");
    QR_AWAIT_VOID(Process::exec(sandbox.systemPath(toolPath), {}));
    QCOMPARE(Sandbox::readFile(script), QByteArray("changed"));

    // A new run writes it afresh.
    sandbox.configure([](Platform::Settings &) {});
    QR_AWAIT_VOID(Process::exec(sandbox.systemPath(toolPath), {}));
    QCOMPARE(Sandbox::readFile(script), askpassBytes);
}

void TestProcess::askpassAbsentWhenTempDirUnusable_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<int>("mode");

    QTest::newRow("no temp dir") << u"none"_s << 0;
    QTest::newRow("missing") << u"missing"_s << 0;
    QTest::newRow("group-writable") << u"mode"_s << 0770;
    QTest::newRow("world-writable") << u"mode"_s << 0777;
    QTest::newRow("shared sticky like /tmp") << u"mode"_s << 01777;
    QTest::newRow("owned by another user") << u"owner"_s << 0;
    QTest::newRow("script path taken by a folder") << u"blocked"_s << 0;
}

void TestProcess::askpassAbsentWhenTempDirUnusable()
{
    QFETCH(QString, problem);
    QFETCH(int, mode);
    Sandbox sandbox;
    const QByteArray temp = QFile::encodeName(sandbox.temp());
    const auto restore = qScopeGuard([&] {
        ::chmod(temp.constData(), 0700);
        [[maybe_unused]] const int ignored = ::chown(temp.constData(), ::getuid(), ::getgid());
    });
    if (problem == "none"_L1) {
        sandbox.configure([](Platform::Settings &settings) { settings.tempDir.clear(); });
    } else if (problem == "missing"_L1) {
        sandbox.configure([&](Platform::Settings &settings) { settings.tempDir = sandbox.temp() + "/gone"_L1; });
    } else if (problem == "mode"_L1) {
        QCOMPARE(::chmod(temp.constData(), mode_t(mode)), 0);
    } else if (problem == "owner"_L1) {
        if (::chown(temp.constData(), 65534, 65534) != 0)
            QSKIP("handing a folder to another user needs root");
    } else {
        QVERIFY(QDir().mkpath(askpassPath(sandbox) + "/inside"_L1));
    }
    sandbox.addScript(toolPath, printEnvironment);

    QR_AWAIT(result, Process::exec(sandbox.systemPath(toolPath), {}));
    const auto values = parseEnvironment(result.output);
    QCOMPARE(values.value(u"SUDO_ASKPASS"_s), u"unset"_s);
    QCOMPARE(values.value(u"NONINTERACTIVE"_s), u"1"_s);
    QVERIFY(!QFileInfo(askpassPath(sandbox)).isFile());
}

void TestProcess::throwingHandlerSurfacesAfterExit()
{
    Sandbox sandbox;
    sandbox.addScript(toolPath, "printf one; sleep 0.2; printf two; sleep 0.2; printf three; exit 5\n");

    int calls = 0;
    const auto outcome = runTask(Process::exec(sandbox.systemPath(toolPath), {}, std::nullopt, [&](const QString &) {
        ++calls;
        throw std::runtime_error("handler broke");
    }));
    QVERIFY(outcome.threw);
    QCOMPARE(outcome.failure, u"handler broke"_s);
    QCOMPARE(calls, 1);
}

void TestProcess::handlerThatWaitsOutTheExit()
{
    // The child exits while the handler runs a nested event loop (as a modal dialog would).
    Sandbox sandbox;
    sandbox.addScript(toolPath, "printf first; sleep 0.1; printf second >&2; exit 3\n");

    Collected collected;
    int depth = 0;
    bool reentered = false;
    const auto outcome
        = runTask(Process::exec(sandbox.systemPath(toolPath), {}, std::nullopt, [&](const QString &chunk) {
              reentered = reentered || depth > 0;
              ++depth;
              collected.chunks.append(chunk);
              if (collected.chunks.size() == 1)
                  QTest::qWait(500);
              --depth;
          }));
    QVERIFY2(outcome.ok(), qPrintable(outcome.failure));
    QCOMPARE(*outcome.value, (Process::Result{ 3, u"first"_s }));
    QCOMPARE(collected.chunks, (QStringList{ u"first"_s, u"second"_s }));
    QVERIFY(!reentered);
}

void TestProcess::largeInterleavedOutput()
{
    // Numbered lines on both streams, in blocks that alternate between them. The streams use
    // disjoint characters (stderr spells its numbers with a–j and pads with two-byte "é"), so
    // every live chunk can be told apart, and characters cut between reads show up as U+FFFD.
    constexpr int lines = 250000; // 100 bytes a line: 25 MB per stream
    Sandbox sandbox;
    sandbox.addScript(toolPath,
        "exec awk -v lines=" + QByteArray::number(lines)
            + " 'BEGIN {\n"
              "  dots = \"\"; for (k = 0; k < 90; k++) dots = dots \".\"\n"
              "  accents = \"\"; for (k = 0; k < 45; k++) accents = accents \"é\"\n"
              "  for (i = 0; i < lines; i += 100) {\n"
              "    out = \"\"; err = \"\"\n"
              "    for (j = i; j < i + 100 && j < lines; j++) {\n"
              "      n = sprintf(\"%09d\", j); out = out n dots \"\\n\"\n"
              "      s = \"\"; for (p = 1; p <= 9; p++) s = s substr(\"abcdefghij\", substr(n, p, 1) + 1, 1)\n"
              "      err = err s accents \"|\"\n"
              "    }\n"
              "    printf \"%s\", out; fflush()\n"
              "    printf \"%s\", err > \"/dev/stderr\"; fflush(\"/dev/stderr\")\n"
              "  }\n"
              "}'\n");

    QString expectedOut;
    QString expectedErr;
    expectedOut.reserve(lines * 100);
    expectedErr.reserve(lines * 55);
    const QString dots(90, u'.');
    const QString accents(45, u'é');
    for (int i = 0; i < lines; ++i) {
        const QString number = u"%1"_s.arg(i, 9, 10, QChar(u'0'));
        expectedOut += number + dots + u'\n';
        QString letters = number;
        for (QChar &c : letters)
            c = QChar(u'a' + (c.unicode() - u'0'));
        expectedErr += letters + accents + u'|';
    }

    QString liveOut;
    QString liveErr;
    liveOut.reserve(expectedOut.size());
    liveErr.reserve(expectedErr.size());
    qsizetype chunks = 0;
    int depth = 0;
    bool reentered = false;
    bool wrongThread = false;
    const auto onOutput = [&](const QString &chunk) {
        reentered = reentered || depth > 0;
        wrongThread = wrongThread || QThread::currentThread() != thread();
        ++depth;
        const QChar first = chunk.front();
        (first.isDigit() || first == u'.' || first == u'\n' ? liveOut : liveErr) += chunk;
        // A handler that lets the event loop run must still not be entered twice.
        if (++chunks % 64 == 0)
            QCoreApplication::processEvents();
        --depth;
    };

    QElapsedTimer timer;
    timer.start();
    const auto outcome
        = runTask(Process::exec(sandbox.systemPath(toolPath), {}, std::nullopt, onOutput), std::chrono::seconds(90));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(outcome.ok(), qPrintable(outcome.failure));
    qInfo("50 MB in %lld chunks took %lld ms", qlonglong(chunks), elapsed);

    QCOMPARE(outcome.value->status, 0);
    QVERIFY(!reentered);
    QVERIFY(!wrongThread);
    QVERIFY2(outcome.value->output == expectedOut, qPrintable(firstDifference(outcome.value->output, expectedOut)));
    QVERIFY2(liveOut == expectedOut, qPrintable(firstDifference(liveOut, expectedOut)));
    QVERIFY2(liveErr == expectedErr, qPrintable(firstDifference(liveErr, expectedErr)));
}

QTEST_GUILESS_MAIN(TestProcess)
#include "tst_process.moc"
