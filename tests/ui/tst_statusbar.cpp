#include "Sandbox.h"
#include "Screenshot.h"
#include "brew/ActivityStore.h"
#include "ui/SymbolLabel.h"
#include "ui/main/ErrorDetailsSheet.h"
#include "ui/main/StatusBar.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;
using quillrig::test::saveScreenshot;

using Phase = ActivityStore::Phase;
using CatalogState = ActivityStore::CatalogState;
using Level = StatusBar::Level;

Q_DECLARE_METATYPE(ActivityStore::Phase)
Q_DECLARE_METATYPE(ActivityStore::CatalogState)
Q_DECLARE_METATYPE(StatusBar::Level)

namespace {

struct BarCase {
    Phase phase;
    CatalogState catalog;
};

void apply(ActivityStore &activity, const Phase &phase, const CatalogState &catalog)
{
    activity.setCatalog(catalog);
    if (phase.kind == Phase::Kind::running)
        activity.begin(u"Installing 2 packages"_s, u"Installing wget"_s, 0.5);
    else if (phase.kind == Phase::Kind::success)
        activity.succeed(phase.message);
    else
        activity.setPhase(phase);
}

} // namespace

class TestStatusBar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cases_data()
    {
        QTest::addColumn<Phase>("phase");
        QTest::addColumn<CatalogState>("catalog");
        QTest::addColumn<Level>("level");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<bool>("taskRow");
        const QDateTime fiveMinutesAgo = QDateTime::currentDateTime().addSecs(-5 * 60 - 10);

        QTest::newRow("success") << Phase::success(u"Installed 2 packages"_s) << CatalogState::failed(u"offline"_s)
                                 << Level::ok << u"Installed 2 packages"_s << u"checkmark.circle.fill"_s << false;
        QTest::newRow("failure") << Phase::failure(u"Installing 2 packages failed"_s, u"$ brew install"_s)
                                 << CatalogState::updated(fiveMinutesAgo) << Level::error
                                 << u"Installing 2 packages failed"_s << u"xmark.octagon.fill"_s << false;
        QTest::newRow("running hides the catalog") << Phase::running() << CatalogState::loading() << Level::busy
                                                   << u"Installing 2 packages"_s << QString() << true;
        QTest::newRow("catalog updated") << Phase::idle() << CatalogState::updated(fiveMinutesAgo) << Level::ok
                                         << u"Package store is up to date · updated 5 minutes ago"_s
                                         << u"checkmark.circle.fill"_s << false;
        QTest::newRow("catalog failed") << Phase::idle() << CatalogState::failed(u"offline"_s) << Level::error
                                        << u"Couldn't update the package catalog — using the saved one"_s
                                        << u"exclamationmark.triangle.fill"_s << false;
        QTest::newRow("catalog loading") << Phase::idle() << CatalogState::loading() << Level::busy
                                         << u"Updating package catalog…"_s << QString() << true;
        QTest::newRow("ready") << Phase::idle() << CatalogState::idle() << Level::neutral << u"Ready"_s << QString()
                               << false;
    }

    void cases()
    {
        QFETCH(Phase, phase);
        QFETCH(CatalogState, catalog);
        QFETCH(Level, level);
        QFETCH(QString, text);
        QFETCH(QString, symbol);
        QFETCH(bool, taskRow);
        Sandbox sandbox;
        ActivityStore activity;
        StatusBar bar(&activity);
        bar.resize(900, 31);
        bar.show();
        apply(activity, phase, catalog);

        QCOMPARE(bar.level(), level);
        QCOMPARE(StatusBar::levelOf(activity), level);
        QCOMPARE(bar.text(), text);
        QCOMPARE(bar.findChild<QWidget *>(u"statusTask"_s)->isVisible(), taskRow);
        auto *message = bar.findChild<SymbolLabel *>(u"statusMessage"_s);
        QCOMPARE(message->isVisible(), !taskRow);
        if (!taskRow)
            QCOMPARE(message->symbol(), symbol);
        QCOMPARE(bar.toolTip(), level == Level::error ? u"Click to see the error"_s : QString());
        QCOMPARE(bar.findChild<QWidget *>(u"statusDetailsHint"_s)->isVisible(), level == Level::error);
        QCOMPARE(bar.findChild<QToolButton *>(u"statusClose"_s)->isVisible(), phase.kind == Phase::Kind::success);
        if (taskRow) {
            auto *progress = bar.findChild<QProgressBar *>(u"statusTaskProgress"_s);
            auto *detail = bar.findChild<QLabel *>(u"statusTaskDetail"_s);
            if (phase.kind == Phase::Kind::running) {
                QCOMPARE(progress->maximum(), 1000);
                QCOMPARE(progress->value(), 500);
                QCOMPARE(detail->text(), u"Installing wget"_s);
                QVERIFY(detail->isVisible());
            } else {
                QCOMPARE(progress->maximum(), 0); // indeterminate
                QVERIFY(!detail->isVisible());
            }
        }
        // The tint: green over the bar at ok, red at error, none otherwise.
        const QColor sample = bar.grab().toImage().pixelColor(bar.width() - 3, bar.height() - 3);
        const QColor window = bar.palette().color(QPalette::Window);
        if (level == Level::ok)
            QVERIFY(sample.green() > sample.red());
        else if (level == Level::error)
            QVERIFY(sample.red() > sample.green());
        else
            QCOMPARE(sample.rgb(), window.rgb());
        saveScreenshot(&bar, u"statusbar-"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    }

    void click_opensTheErrorOnlyAtLevelError_data() { cases_data(); }

    void click_opensTheErrorOnlyAtLevelError()
    {
        QFETCH(Phase, phase);
        QFETCH(CatalogState, catalog);
        QFETCH(Level, level);
        Sandbox sandbox;
        ActivityStore activity;
        StatusBar bar(&activity);
        bar.resize(900, 31);
        bar.show();
        apply(activity, phase, catalog);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(200, 15));
        QCOMPARE(activity.showingError(), level == Level::error);
    }

    void keyboard_opensTheDetails_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    // Tab reaches "Show details", and the key opens the error as a click would.
    void keyboard_opensTheDetails()
    {
        QFETCH(int, key);
        Sandbox sandbox;
        ActivityStore activity;
        QWidget window;
        auto *before = new QPushButton(u"Before"_s, &window);
        before->setObjectName(u"before"_s);
        auto *bar = new StatusBar(&activity, &window);
        bar->setGeometry(0, 40, 900, 40);
        window.resize(900, 80);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        activity.setPhase(Phase::failure(u"Installing 1 package failed"_s, u"$ brew install wget"_s));
        before->setFocus();
        QTest::keyClick(before, Qt::Key_Tab);
        auto *details = bar->findChild<QPushButton *>(u"statusDetailsHint"_s);
        QCOMPARE(QApplication::focusWidget(), details);
        QCOMPARE(details->text(), u"Show details"_s);
        QTest::keyClick(details, Qt::Key(key));
        QTRY_VERIFY(activity.showingError());
    }

    void closeButton_dismissesTheSuccess()
    {
        Sandbox sandbox;
        ActivityStore activity;
        StatusBar bar(&activity);
        bar.show();
        activity.succeed(u"Homebrew updated"_s);
        QTest::mouseClick(bar.findChild<QToolButton *>(u"statusClose"_s), Qt::LeftButton);
        QCOMPARE(activity.phase(), Phase::idle());
        QCOMPARE(bar.text(), u"Ready"_s);
        QVERIFY(!activity.showingError());
    }

    void updatedDuration_staysCurrent()
    {
        Sandbox sandbox;
        ActivityStore activity;
        StatusBar bar(&activity);
        bar.show();
        activity.setCatalog(CatalogState::updated(QDateTime::currentDateTime().addMSecs(-58'600)));
        QCOMPARE(bar.text(), u"Package store is up to date · updated 58 seconds ago"_s);
        QTRY_COMPARE_WITH_TIMEOUT(bar.text(), u"Package store is up to date · updated 1 minute ago"_s, 4000);
    }

    void sheet_showsTheCurrentError_data()
    {
        QTest::addColumn<Phase>("phase");
        QTest::addColumn<CatalogState>("catalog");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("canRetry");
        QTest::newRow("failed run") << Phase::failure(u"Installing 1 package failed"_s, u"$ brew install wget\nError"_s)
                                    << CatalogState::idle() << u"Installing 1 package failed"_s
                                    << u"$ brew install wget\nError"_s << false;
        QTest::newRow("failed catalog") << Phase::idle() << CatalogState::failed(u"The host is unreachable"_s)
                                        << u"Couldn't update the package catalog"_s << u"The host is unreachable"_s
                                        << true;
        QTest::newRow("no error") << Phase::running() << CatalogState::failed(u"offline"_s) << u"Error"_s << QString()
                                  << false;
    }

    void sheet_showsTheCurrentError()
    {
        QFETCH(Phase, phase);
        QFETCH(CatalogState, catalog);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(bool, canRetry);
        Sandbox sandbox;
        ActivityStore activity;
        activity.setCatalogRetry([] {});
        apply(activity, phase, catalog);
        ErrorDetailsSheet sheet(&activity);
        sheet.show();
        QCOMPARE(sheet.size(), QSize(640, 420));
        QCOMPARE(sheet.findChild<SymbolLabel *>(u"errorTitle"_s)->text(), title);
        QCOMPARE(sheet.findChild<QPlainTextEdit *>(u"errorMessage"_s)->toPlainText(), message);
        QCOMPARE(sheet.findChild<QPushButton *>(u"errorTryAgain"_s)->isVisible(), canRetry);
        QVERIFY(sheet.findChild<QPushButton *>(u"errorClose"_s)->isDefault());

        QTest::mouseClick(sheet.findChild<QPushButton *>(u"errorCopy"_s), Qt::LeftButton);
        QCOMPARE(sandbox.clipboard, QStringList{ message });
        saveScreenshot(&sheet, u"error-sheet-"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    }

    void sheet_tryAgainDismissesClosesThenRetries()
    {
        Sandbox sandbox;
        ActivityStore activity;
        int retries = 0;
        bool dismissedFirst = false;
        activity.setCatalogRetry([&] {
            ++retries;
            dismissedFirst = activity.catalog() == CatalogState::idle();
        });
        activity.setCatalog(CatalogState::failed(u"offline"_s));
        activity.setShowingError(true);
        ErrorDetailsSheet sheet(&activity);
        sheet.show();
        QTest::mouseClick(sheet.findChild<QPushButton *>(u"errorTryAgain"_s), Qt::LeftButton);
        QCOMPARE(retries, 1);
        QVERIFY(dismissedFirst);
        QVERIFY(!sheet.isVisible());
        QVERIFY(!activity.showingError());
    }

    void sheet_dismissAndClose_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("errorRemains");
        QTest::newRow("dismiss error") << u"errorDismiss"_s << false;
        QTest::newRow("close") << u"errorClose"_s << true;
    }

    void sheet_dismissAndClose()
    {
        QFETCH(QString, button);
        QFETCH(bool, errorRemains);
        Sandbox sandbox;
        ActivityStore activity;
        activity.setPhase(Phase::failure(u"Upgrading all packages failed"_s, u"boom"_s));
        ErrorDetailsSheet sheet(&activity);
        sheet.show();
        QTest::mouseClick(sheet.findChild<QPushButton *>(button), Qt::LeftButton);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(activity.currentError().has_value(), errorRemains);
    }

    void sheet_returnPressesClose()
    {
        Sandbox sandbox;
        ActivityStore activity;
        activity.setPhase(Phase::failure(u"Updating Homebrew failed"_s, u"boom"_s));
        ErrorDetailsSheet sheet(&activity);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QTest::keyClick(&sheet, Qt::Key_Return);
        QVERIFY(!sheet.isVisible());
        QVERIFY(activity.currentError().has_value());
    }
};

QTEST_MAIN(TestStatusBar)
#include "tst_statusbar.moc"
