#include "AsyncTest.h"
#include "Sandbox.h"
#include "SetupFakes.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "setup/engine/SetupStore.h"
#include "ui/BusyIndicator.h"
#include "ui/LiveLogView.h"
#include "ui/main/LogPanel.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;

namespace {

const QString brew = u"/opt/homebrew/bin/brew"_s;

Package formula(const QString &name)
{
    Package package;
    package.kind = PackageKind::formula;
    package.name = name;
    return package;
}

// `brew install <name>` runs the given shell snippet; everything else answers with nothing.
void installBrew(Sandbox &sandbox, const QByteArray &installBody)
{
    sandbox.addScript(brew, "if [ \"$1\" = install ]; then\n" + installBody + "\nfi\nexit 0\n");
}

LiveLogView *logText(LogPanel &panel)
{
    return panel.findChild<LiveLogView *>(u"logText"_s);
}

} // namespace

class TestLogPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayText_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain lines") << u"a\nb\n"_s << u"a\nb\n"_s;
        QTest::newRow("CRLF ends one line") << u"a\r\nb\r\n"_s << u"a\nb\n"_s;
        QTest::newRow("lone CR starts a line") << u"10%\r20%\r100%\n"_s << u"10%\n20%\n100%\n"_s;
        QTest::newRow("CR at the end") << u"a\r"_s << u"a\n"_s;
        QTest::newRow("unicode separators") << u"a\u2028b\u2029c"_s << u"a\nb\nc"_s;
        QTest::newRow("tabs and emoji kept") << u"\t🍺 done"_s << u"\t🍺 done"_s;
    }

    void displayText()
    {
        QFETCH(QString, raw);
        QFETCH(QString, shown);
        QCOMPARE(LiveLogView::displayText(raw), shown);
    }

    void header_followsTheRun()
    {
        Sandbox sandbox;
        installBrew(sandbox, "echo '==> Installing jq'; sleep 1");
        ActivityStore activity;
        BrewStore store(&activity);
        QR_AWAIT_VOID(store.refresh());
        LogPanel panel(&store);
        panel.show();
        auto *title = panel.findChild<QLabel *>(u"logTitle"_s);
        auto *spinner = panel.findChild<BusyIndicator *>(u"logSpinner"_s);
        auto *clear = panel.findChild<QPushButton *>(u"logClear"_s);
        QCOMPARE(panel.height(), 190);
        QCOMPARE(title->text(), u"Output"_s);
        QVERIFY(!spinner->isVisible());

        auto install = store.install({ formula(u"jq"_s) });
        QCOMPARE(title->text(), u"Installing 1 package"_s);
        QVERIFY(spinner->isVisible());
        QVERIFY(!clear->isEnabled());
        QR_AWAIT_VOID(std::move(install));
        QCOMPARE(title->text(), u"Output"_s);
        QVERIFY(!spinner->isVisible());
        QVERIFY(clear->isEnabled());
        QVERIFY(logText(panel)->shownText().startsWith(u"$ brew install --formula jq\n==> Installing jq\n"_s));

        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(store.log().isEmpty());
        QCOMPARE(logText(panel)->shownText(), QString());
    }

    // Far more output than the log keeps: the panel shows exactly what the store kept, however
    // the pipe cut the output into chunks and however often the log was cut back.
    void flood_showsExactlyTheKeptLog_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("numbered lines") << QByteArray("seq 1 120000");
        QTest::newRow("progress with carriage returns")
            << QByteArray("i=0; while [ $i -lt 8000 ]; do printf '#### %d%%\\r##### %d%%\\r\\n==> Installing p%d\\n' "
                          "$i $i $i; i=$((i+1)); done");
        QTest::newRow("one long line") << QByteArray("head -c 450000 /dev/zero | tr '\\0' x");
    }

    void flood_showsExactlyTheKeptLog()
    {
        QFETCH(QByteArray, body);
        Sandbox sandbox;
        installBrew(sandbox, body);
        ActivityStore activity;
        BrewStore store(&activity);
        QR_AWAIT_VOID(store.refresh());
        LogPanel panel(&store);
        panel.resize(700, 190);
        panel.show();
        int resets = 0;
        connect(&store, &BrewStore::logReset, this, [&] { ++resets; });
        QR_AWAIT_VOID(store.install({ formula(u"flood"_s) }));
        QVERIFY(resets > 0);
        QVERIFY(store.log().size() <= 200000);
        QCOMPARE(logText(panel)->shownText(), LiveLogView::displayText(store.log()));
        auto *bar = logText(panel)->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
    }

    // Both stores feed the same view: it follows the newest line until the user scrolls up, keeps
    // their place while output goes on, follows again from the end, and shows exactly the kept
    // log after a cut, even while scrolled up.
    void view_followsUnlessScrolledUp_data()
    {
        QTest::addColumn<bool>("setupStore");
        QTest::newRow("brew log") << false;
        QTest::newRow("setup run log") << true;
    }

    void view_followsUnlessScrolledUp()
    {
        QFETCH(bool, setupStore);
        Sandbox sandbox;
        installBrew(sandbox, "seq 1 400");
        ActivityStore activity;
        BrewStore brewStore(&activity);
        quillrig::test::SetupFakes fakes(sandbox);
        SetupStore setup(&activity);
        QR_AWAIT_VOID(brewStore.refresh());
        LiveLogView view;
        if (setupStore)
            view.setSource(&setup);
        else
            view.setSource(&brewStore);
        view.resize(400, 150);
        view.show();
        QScrollBar *bar = view.verticalScrollBar();
        const auto add = [&](int from, int to) {
            if (setupStore) {
                for (int i = from; i <= to; ++i)
                    setup.appendLog(QString::number(i) + u'\n');
            } else {
                QR_AWAIT_VOID(brewStore.install({ formula(u"jq"_s) }));
            }
        };
        const auto log = [&] { return setupStore ? setup.log() : brewStore.log(); };

        add(1, 400);
        view.flush();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        bar->setValue(3);
        add(401, 800);
        QCOMPARE(view.shownText(), LiveLogView::displayText(log()));
        QCOMPARE(bar->value(), 3);

        bar->setValue(bar->maximum());
        add(801, 1200);
        QCOMPARE(view.shownText(), LiveLogView::displayText(log()));
        QCOMPARE(bar->value(), bar->maximum());

        // A narrower view wraps into more lines; a following view stays at the end.
        view.resize(120, 150);
        QTRY_COMPARE(bar->value(), bar->maximum());

        bar->setValue(0);
        if (setupStore) {
            QString big;
            for (int i = 0; i < 30000; ++i)
                big += u"line "_s + QString::number(i) + u'\n';
            setup.appendLog(big);
        } else {
            for (int i = 0; i < 3; ++i)
                add(0, 0);
            brewStore.clearLog();
            add(0, 0);
        }
        QCOMPARE(view.shownText(), LiveLogView::displayText(log()));
    }
};

QTEST_MAIN(TestLogPanel)
#include "tst_logpanel.moc"
