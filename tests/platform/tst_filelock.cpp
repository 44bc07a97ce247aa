#include "Sandbox.h"
#include "platform/Error.h"
#include "platform/Files.h"

#include <QProcess>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;

class TestFileLock : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twoProcessesLoseNoEdit();
    void lockOfADeadProcessIsTakenOver();
    void nestedLockAndThrowingEdit();
};

void TestFileLock::twoProcessesLoseNoEdit()
{
    Sandbox sandbox;
    const QString path = sandbox.homePath(u".zshrc"_s);
    const int count = 100;
    QProcess first;
    QProcess second;
    first.start(u"" LOCK_EDITOR ""_s, { path, u"a"_s, QString::number(count) });
    second.start(u"" LOCK_EDITOR ""_s, { path, u"b"_s, QString::number(count) });
    QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);

    const QList<QByteArray> lines = Sandbox::readFile(path).trimmed().split('\n');
    QCOMPARE(lines.size(), 2 * count);
    for (const QByteArray &tag : { QByteArray("a"), QByteArray("b") }) {
        QList<QByteArray> own;
        for (const QByteArray &line : lines)
            if (line.startsWith(tag + ' '))
                own.append(line);
        QCOMPARE(own.size(), count);
        for (int n = 0; n < count; ++n)
            QCOMPARE(own[n], tag + ' ' + QByteArray::number(n)); // every edit, each in its order
    }
    QVERIFY(!QFile::exists(path + ".lock"_L1));
}

void TestFileLock::lockOfADeadProcessIsTakenOver()
{
    Sandbox sandbox;
    const QString path = sandbox.homePath(u".p10k.zsh"_s);
    QProcess holder;
    holder.start(u"" LOCK_EDITOR ""_s, { path, u"hold"_s, u"0"_s });
    QVERIFY(holder.waitForReadyRead(10000));
    QVERIFY(QFile::exists(path + ".lock"_L1));
    ::kill(pid_t(holder.processId()), SIGKILL);
    QVERIFY(holder.waitForFinished(10000));
    QVERIFY(QFile::exists(path + ".lock"_L1)); // left behind

    bool ran = false;
    Files::withLock(path, [&] { ran = true; });
    QVERIFY(ran);
    QVERIFY(!QFile::exists(path + ".lock"_L1));
}

void TestFileLock::nestedLockAndThrowingEdit()
{
    Sandbox sandbox;
    const QString path = sandbox.homePath(u"config.json"_s);
    int depth = 0;
    Files::withLock(path, [&] { Files::withLock(path, [&] { depth = 2; }); });
    QCOMPARE(depth, 2);
    // An edit that throws releases the lock: the next one runs at once.
    QVERIFY_THROWS_EXCEPTION(FileError, Files::withLock(path, [&] { throw FileError(path, u"full"_s); }));
    QVERIFY(!QFile::exists(path + ".lock"_L1));
    Files::withLock(path, [&] { depth = 3; });
    QCOMPARE(depth, 3);
}

QTEST_GUILESS_MAIN(TestFileLock)
#include "tst_filelock.moc"
