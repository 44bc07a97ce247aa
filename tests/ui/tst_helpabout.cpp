#include "Sandbox.h"
#include "Screenshot.h"
#include "ui/EmptyStateView.h"
#include "ui/ProjectLinks.h"
#include "ui/main/AboutView.h"
#include "ui/main/HelpView.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;
using quillrig::test::saveScreenshot;

class TestHelpAbout : public QObject {
    Q_OBJECT

private:
    static QStringList texts(QWidget *root, const QString &objectName)
    {
        QStringList result;
        for (QLabel *label : root->findChildren<QLabel *>(objectName))
            if (label->isVisibleTo(root))
                result.append(label->text());
        return result;
    }

private Q_SLOTS:
    void help_startsOnGettingStarted()
    {
        Sandbox sandbox;
        HelpView view;
        view.show();
        QVERIFY(view.selection());
        QCOMPARE(view.selection()->id, u"start"_s);
        auto *list = view.findChild<QListWidget *>(u"helpTopics"_s);
        QCOMPARE(list->count(), 8);
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(list->selectedItems().first()->text(), u"Getting started"_s);
        QCOMPARE(texts(&view, u"helpTitle"_s), QStringList{ u"Getting started"_s });
        QCOMPARE(texts(&view, u"helpHeading"_s), (QStringList{ u"What this app does"_s, u"Homebrew"_s, u"Sidebar"_s }));
        QCOMPARE(view.minimumSize(), QSize(760, 480));
        QCOMPARE(view.size(), QSize(860, 560));
        QCOMPARE(view.windowTitle(), u"Quillrig Help"_s);
        saveScreenshot(&view, u"help-getting-started"_s);
    }

    void help_choosingATopicShowsItsPage_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("headings");
        QTest::newRow("wizard") << 2 << u"Setup wizard"_s
                                << QStringList{ u"Components"_s, u"Steps"_s, u"Settings are remembered"_s,
                                       u"Safety"_s };
        QTest::newRow("troubleshooting") << 7 << u"Troubleshooting"_s
                                         << QStringList{ u"Errors"_s, u"Catalog does not load"_s, u"Password prompts"_s,
                                                u"Command-line version"_s };
    }

    void help_choosingATopicShowsItsPage()
    {
        QFETCH(int, row);
        QFETCH(QString, title);
        QFETCH(QStringList, headings);
        Sandbox sandbox;
        HelpView view;
        view.show();
        auto *list = view.findChild<QListWidget *>(u"helpTopics"_s);
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(view.selection());
        QCOMPARE(view.selection()->title, title);
        QCOMPARE(texts(&view, u"helpTitle"_s), QStringList{ title });
        QCOMPARE(texts(&view, u"helpHeading"_s), headings);
        saveScreenshot(&view, u"help-"_s + view.selection()->id);
    }

    void help_bodiesKeepAngleBracketsAndNameTheHosts()
    {
        Sandbox sandbox;
        sandbox.configure(
            [](Platform::Settings &settings) { settings.catalogApiBase = QUrl(u"https://catalog.example.org"_s); });
        HelpView view;
        const auto find = [&](const QString &id) {
            for (const HelpView::Topic &topic : HelpView::topics())
                if (topic.id == id)
                    return topic;
            return HelpView::Topic{};
        };
        view.setSelection(find(u"wizard"_s));
        // Shown as plain text: "<timestamp>" must not vanish as an unknown tag.
        QVERIFY(texts(&view, u"helpBody"_s).join(u'\n').contains(u"~/.zshrc.backup.<timestamp>"_s));
        view.setSelection(find(u"packages"_s));
        QVERIFY(texts(&view, u"helpBody"_s).first().contains(u"downloaded from catalog.example.org and cached"_s));
        view.setSelection(find(u"trouble"_s));
        QVERIFY(texts(&view, u"helpBody"_s).last().endsWith(ProjectLinks::cliRepository().toString()));
    }

    void help_deselectingShowsSelectATopic()
    {
        Sandbox sandbox;
        HelpView view;
        view.show();
        auto *list = view.findChild<QListWidget *>(u"helpTopics"_s);
        auto *stack = view.findChild<QStackedWidget *>();
        // Command-click on the selected row deselects it, as in any single-selection list.
        const QRect rect = list->visualItemRect(list->item(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rect.center());
        QVERIFY(!view.selection());
        auto *empty = view.findChild<EmptyStateView *>(u"helpEmpty"_s);
        QCOMPARE(stack->currentWidget(), empty);
        QCOMPARE(empty->title(), u"Select a topic"_s);
        saveScreenshot(&view, u"help-select-a-topic"_s);

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(view.selection()->id, u"home"_s);
        QVERIFY(stack->currentWidget() != empty);
    }

    void about_versionLine_data()
    {
        QTest::addColumn<QString>("shortVersion");
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both") << u"1.4.2"_s << u"87"_s << u"Version 1.4.2 (87)"_s;
        QTest::newRow("no build number") << u"1.4.2"_s << QString() << u"Version 1.4.2 (?)"_s;
        QTest::newRow("no short version") << QString() << u"87"_s << u"Version ? (87)"_s;
        QTest::newRow("neither") << QString() << u"  "_s << u"Version ? (?)"_s;
    }

    void about_versionLine()
    {
        QFETCH(QString, shortVersion);
        QFETCH(QString, build);
        QFETCH(QString, expected);
        Sandbox sandbox;
        sandbox.configure([&](Platform::Settings &settings) {
            settings.appShortVersion = shortVersion;
            settings.appBuildNumber = build;
        });
        AboutView view;
        QCOMPARE(view.findChild<QLabel *>(u"aboutVersion"_s)->text(), expected);
        if (qstrcmp(QTest::currentDataTag(), "no build number") == 0) {
            view.show();
            saveScreenshot(&view, u"about"_s);
        }
    }

    void about_linksGoThroughThePlatform()
    {
        Sandbox sandbox;
        AboutView view;
        view.show();
        QCOMPARE(view.width(), 400);
        // The application icon comes from the bundled SVG when the app has set none.
        const QPixmap icon = view.findChild<QLabel *>(u"aboutIcon"_s)->pixmap();
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.deviceIndependentSize().toSize(), QSize(96, 96));
        auto *qr = view.findChild<QToolButton *>(u"aboutSupportQR"_s);
        QVERIFY(!qr->icon().isNull());
        QCOMPARE(qr->toolTip(), ProjectLinks::donationTooltip());
        qr->click();
        QCOMPARE(sandbox.openedUrls, QList<QUrl>{ ProjectLinks::donationPage() });

        // The legal block shows the built-in file's lines, its comments left out.
        QStringList legal;
        for (QLabel *line : view.findChildren<QLabel *>(u"aboutMaker"_s))
            legal.append(line->text());
        QCOMPARE(legal, AboutView::legalLines());
        QVERIFY(!legal.isEmpty());
        for (const QString &line : std::as_const(legal))
            QVERIFY2(!line.startsWith(u'#') && line == line.trimmed(), qPrintable(line));

        auto *donation = view.findChild<QLabel *>(u"aboutDonationLink"_s);
        QCOMPARE(donation->text().contains(ProjectLinks::donationServiceName()), true);
        Q_EMIT donation->linkActivated(ProjectLinks::donationPage().toString());
        QCOMPARE(sandbox.openedUrls.size(), 2);
        QCOMPARE(sandbox.openedUrls.last(), ProjectLinks::donationPage());
    }
};

QTEST_MAIN(TestHelpAbout)
#include "tst_helpabout.moc"
