#include "FakeBrew.h"
#include "Sandbox.h"
#include "app/MyApp.h"
#include "brew/PackageFormats.h"

#include <QFile>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;
using quillrig::test::FakeBrew;
using quillrig::test::Sandbox;

namespace {

// The trace's lines as (key, value) pairs, in order.
QList<std::pair<QString, double>> traceOf(const QString &path)
{
    QList<std::pair<QString, double>> lines;
    const QByteArray text = Sandbox::readFile(path);
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 2)
            lines.append({ QString::fromUtf8(parts[0]), parts[1].toDouble() });
    }
    return lines;
}

QStringList keysOf(const QList<std::pair<QString, double>> &lines)
{
    QStringList keys;
    for (const auto &line : lines)
        keys.append(line.first);
    return keys;
}

} // namespace

class TestStartupTrace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void moments_data()
    {
        QTest::addColumn<bool>("traced");
        QTest::addColumn<bool>("withBrew");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("cached catalog") << true << true
                                        << QStringList{ u"main"_s, u"rss-before"_s, u"window"_s, u"searchable"_s,
                                               u"rss-after"_s };
        QTest::newRow("no Homebrew: no catalog") << true << false << QStringList{ u"main"_s, u"window"_s };
        QTest::newRow("not asked for") << false << true << QStringList{};
    }

    void moments()
    {
        QFETCH(bool, traced);
        QFETCH(bool, withBrew);
        QFETCH(QStringList, keys);
        Sandbox sandbox;
        std::optional<FakeBrew> fakeBrew;
        if (withBrew)
            fakeBrew.emplace(sandbox).setHomebrewVersion(u"4.4.2"_s);
        Sandbox::writeFile(sandbox.appSupport() + u"/quillrig-gui/catalog.json"_s,
            PackageFormats::encodeCache({ { PackageKind::formula, u"wget"_s, u"wget"_s, u"Internet file retriever"_s,
                {}, u"1.25.0"_s, false, u"wget wget internet file retriever"_s } }));
        const QString trace = sandbox.appSupport() + u"/trace.txt"_s;
        if (traced) {
            sandbox.configure(
                [&](Platform::Settings &settings) { settings.environment.insert(u"QUILLRIG_STARTUP_TRACE"_s, trace); });
        }

        MyApp app;
        app.start();
        if (keys.isEmpty()) {
            QTest::qWait(300);
            QVERIFY(!QFile::exists(trace));
            return;
        }
        QTRY_COMPARE(keysOf(traceOf(trace)).size(), keys.size());
        QTest::qWait(100); // nothing more follows
        const QList<std::pair<QString, double>> lines = traceOf(trace);
        // The first paint may come before or after a small catalog is in; the rest keeps its order.
        const QStringList found = keysOf(lines);
        QStringList sorted = found;
        sorted.sort();
        QStringList expected = keys;
        expected.sort();
        QCOMPARE(sorted, expected);
        QCOMPARE(found.first(), u"main"_s);
        if (keys.contains(u"searchable"_s)) {
            QVERIFY(found.indexOf(u"rss-before"_s) < found.indexOf(u"searchable"_s));
            QCOMPARE(found.indexOf(u"rss-after"_s), found.indexOf(u"searchable"_s) + 1);
        }
        for (const auto &[key, value] : lines) {
            // Resident memory is in kB: a Qt application never has less than a megabyte.
            QVERIFY2(key.startsWith(u"rss"_s) ? value > 1000 : value > 0, qPrintable(key));
        }
    }
};

QTEST_MAIN(TestStartupTrace)
#include "tst_startuptrace.moc"
