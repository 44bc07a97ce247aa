#include "AsyncTest.h"
#include "FakeBrew.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "SetupFakes.h"
#include "UsedMac.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "brew/PackageFormats.h"
#include "setup/engine/SetupStore.h"
#include "ui/ElidedLinkLabel.h"
#include "ui/main/AboutView.h"
#include "ui/main/BrewfileImportSheet.h"
#include "ui/main/CleanupSheet.h"
#include "ui/main/ErrorDetailsSheet.h"
#include "ui/main/HelpView.h"
#include "ui/main/InstallHomebrewView.h"
#include "ui/main/MainView.h"
#include "ui/main/UninstallSheet.h"
#include "ui/wizard/PlanSheet.h"
#include "ui/wizard/WizardView.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace quillrig::test;

namespace {

// A dark appearance as a desktop switches to it: every role the screens read.
QPalette darkPalette()
{
    const QColor text(0xec, 0xec, 0xec), window(0x1e, 0x1e, 0x1e), base(0x26, 0x26, 0x26);
    QPalette dark(text, QColor(0x33, 0x33, 0x33), QColor(0x4a, 0x4a, 0x4a), QColor(0x12, 0x12, 0x12),
        QColor(0x2a, 0x2a, 0x2a), text, Qt::white, base, window);
    dark.setColor(QPalette::AlternateBase, QColor(0x2c, 0x2c, 0x2c));
    dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    dark.setColor(QPalette::Highlight, QColor(0x0a, 0x5f, 0xd0));
    dark.setColor(QPalette::Link, QColor(0x4d, 0xa3, 0xff));
    return dark;
}

// Where a widget sits, by the object names from its window down, for failure messages.
QString pathOf(const QWidget *widget)
{
    QStringList names;
    for (const QWidget *each = widget; each; each = each->isWindow() ? nullptr : each->parentWidget()) {
        const QString name = each->objectName();
        names.prepend(name.isEmpty() ? u"("_s + QString::fromLatin1(each->metaObject()->className()) + u')' : name);
    }
    return names.join(u'/');
}

bool shown(const QWidget *widget)
{
    return widget->isVisible() && !widget->visibleRegion().isEmpty();
}

// The controls Tab has to reach: enabled, shown, taking focus by Tab, and not standing in for
// another widget.
QList<QWidget *> tabStops(QWidget *window)
{
    QList<QWidget *> stops;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->window() == window && shown(widget) && widget->isEnabled() && !widget->focusProxy()
            && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus)
            stops.append(widget);
    }
    return stops;
}

double luminance(const QColor &color)
{
    const auto channel = [](double value) {
        value /= 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.red()) + 0.7152 * channel(color.green()) + 0.0722 * channel(color.blue());
}

// The contrast ratio of a (possibly translucent) text colour over a background.
double contrast(QColor text, const QColor &background)
{
    const double alpha = text.alphaF();
    text = QColor::fromRgbF(float(text.redF() * alpha + background.redF() * (1 - alpha)),
        float(text.greenF() * alpha + background.greenF() * (1 - alpha)),
        float(text.blueF() * alpha + background.blueF() * (1 - alpha)));
    const double a = luminance(text) + 0.05;
    const double b = luminance(background) + 0.05;
    return std::max(a, b) / std::min(a, b);
}

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name).trimmed() : QString();
}

// Everything that is wrong with one window as shown: controls Tab never reaches, controls
// without an accessible name, labels and buttons too small for their text, text that does not
// stand out from the window.
QStringList problemsOf(QWidget *window, int &labelsLooked)
{
    QStringList problems;
    QApplication::setActiveWindow(window);
    window->activateWindow();
    QCoreApplication::processEvents();

    const QList<QWidget *> stops = tabStops(window);
    QSet<QWidget *> reached;
    QWidget *start = QApplication::focusWidget();
    for (int i = 0; i < 2 * stops.size() + 4; ++i) {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(target, Qt::Key_Tab);
        if (QWidget *focused = QApplication::focusWidget())
            reached.insert(focused);
        if (i > stops.size() && QApplication::focusWidget() == start)
            break;
    }
    for (QWidget *stop : stops) {
        // Tab visits one button of an exclusive group, the arrows the others.
        auto *button = qobject_cast<QAbstractButton *>(stop);
        QList<QAbstractButton *> group;
        if (button && button->group() && button->group()->exclusive())
            group = button->group()->buttons();
        const bool groupReached
            = std::any_of(group.cbegin(), group.cend(), [&](QAbstractButton *each) { return reached.contains(each); });
        if (!reached.contains(stop) && !groupReached)
            problems.append(u"not reached by Tab: "_s + pathOf(stop));
        // A plain scroll area only holds the controls that are named themselves.
        const bool container = stop->inherits("QScrollArea");
        if (!container && accessibleName(stop).isEmpty())
            problems.append(u"no accessible name: "_s + pathOf(stop));
    }

    const QColor background = window->palette().color(QPalette::Window);
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (!shown(label) || label->text().isEmpty() || label->property("elidesText").toBool())
            continue;
        ++labelsLooked;
        const QRect room = label->contentsRect();
        const bool fits = label->wordWrap()
            ? label->heightForWidth(label->width()) <= label->height() + 1
            : label->sizeHint().width() <= label->width() + 1 && label->sizeHint().height() <= label->height() + 1;
        if (!fits)
            problems.append(u"clipped text \"%1\": %2 (%3×%4 for %5×%6)"_s.arg(label->text().left(40), pathOf(label))
                                .arg(room.width())
                                .arg(room.height())
                                .arg(label->sizeHint().width())
                                .arg(label->sizeHint().height()));
        const double ratio = contrast(label->palette().color(label->foregroundRole()), background);
        if (ratio < 2.0)
            problems.append(u"text hardly readable (contrast %1): %2"_s.arg(ratio, 0, 'f', 2).arg(pathOf(label)));
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        // The clear button of a search field belongs to the field.
        if (!shown(button) || button->property("elidesText").toBool() || qobject_cast<QLineEdit *>(button->parent()))
            continue;
        if (button->sizeHint().width() > button->width() + 1 || button->sizeHint().height() > button->height() + 1)
            problems.append(u"clipped button: "_s + pathOf(button));
        if (accessibleName(button).isEmpty())
            problems.append(u"no accessible name: "_s + pathOf(button));
    }
    problems.removeDuplicates();
    return problems;
}

Package package(PackageKind kind, const QString &name, const QString &desc, const QString &homepage)
{
    return { kind, name, name, desc, homepage, u"1.2.3"_s, false, PackageFormats::searchKey(name, name, desc) };
}

QList<Package> catalog()
{
    return {
        package(PackageKind::cask, u"firefox"_s, u"Web browser"_s, u"https://www.mozilla.org/firefox/"_s),
        package(PackageKind::formula, u"jq"_s, u"Lightweight and flexible command-line JSON processor"_s,
            u"https://jqlang.github.io/jq/"_s),
        package(PackageKind::formula, u"node"_s, u"Platform built on V8 to build network applications"_s,
            u"https://nodejs.org/"_s),
        package(PackageKind::formula, u"wget"_s, u"Internet file retriever"_s,
            u"https://www.gnu.org/software/wget/manual/html_node/a-rather-long-address-to-shorten.html"_s),
    };
}

} // namespace

class TestWalk : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_palette = QApplication::palette();
        m_font = QApplication::font();
    }

    void cleanup()
    {
        QApplication::setPalette(m_palette);
        QApplication::setFont(m_font);
    }

    void everyScreen_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<qreal>("scale");
        QTest::newRow("light") << false << 1.0;
        QTest::newRow("dark") << true << 1.0;
        QTest::newRow("light, large text") << false << 1.5;
        QTest::newRow("dark, large text") << true << 1.5;
    }

    // Every window, sheet and wizard page: reachable by Tab, named for screen readers, nothing
    // clipped, text readable; the appearance switches while the screens are up.
    void everyScreen()
    {
        QFETCH(bool, dark);
        QFETCH(qreal, scale);
        QFont font = m_font;
        font.setPointSizeF(m_font.pointSizeF() * scale);
        QApplication::setFont(font);
        const QString suffix = (dark ? u"-dark"_s : u"-light"_s) + (scale > 1 ? u"-large"_s : QString());
        // Large dark shots are the ones people look over; the others would only repeat them.
        const bool shoot = dark && scale > 1;

        Sandbox sandbox;
        SetupFakes fakes(sandbox);
        fakes.installAll();
        FakeBrew brew(sandbox); // in place of the fakes' own brew
        addUsedMac(brew, u"4.4.2"_s);
        ActivityStore activity;
        BrewStore store(&activity);
        SetupStore setup(&activity);
        setup.setHasSeenWizard(true);
        QR_AWAIT_VOID(store.refresh());
        QR_AWAIT_VOID(setup.refresh());
        store.applyCatalog(catalog(), QDateTime::currentDateTime());

        QStringList problems;
        int labelsLooked = 0;
        const auto look = [&](QWidget *window, const QString &name) {
            for (const QString &problem : problemsOf(window, labelsLooked))
                problems.append(name + u": "_s + problem);
            if (shoot)
                saveScreenshot(window, u"walk-"_s + name + suffix);
        };

        MainView main(&store, &activity, &setup);
        main.setObjectName(u"mainView"_s);
        main.resize(1100, 720);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        // Switched after the screens are built: colours taken once would stay light.
        QApplication::setPalette(dark ? darkPalette() : m_palette);
        for (const SidebarSection section : allSidebarSections()) {
            main.setSection(section);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
            look(&main, MainView::sectionTitle(section).toLower());
        }

        activity.setPhase(ActivityStore::Phase::failure(u"Installing 1 package failed"_s, u"$ brew install jq"_s));
        main.setSection(SidebarSection::home);
        ErrorDetailsSheet error(&activity);
        error.show();
        look(&error, u"error-details"_s);
        CleanupSheet cleanup(&store);
        cleanup.show();
        QTest::qWait(50);
        look(&cleanup, u"cleanup"_s);

        UninstallSheet uninstall(&store, store.installedPackages().mid(0, 2));
        uninstall.show();
        look(&uninstall, u"uninstall"_s);
        const QString brewfile = sandbox.temp() + u"/Brewfile"_s;
        Sandbox::writeFile(brewfile, "brew \"wget\"\nbrew \"jq\"\ncask \"firefox\"\n");
        BrewfileImportSheet import(&store, brewfile);
        import.show();
        QTest::qWait(50);
        look(&import, u"brewfile-import"_s);
        PlanSheet plan({ SetupComponent::shell, SetupComponent::git }, setup.config(), store.brewPath());
        plan.show();
        look(&plan, u"plan"_s);

        HelpView help;
        help.resize(860, 560);
        help.show();
        look(&help, u"help"_s);
        AboutView about;
        about.show();
        look(&about, u"about"_s);
        InstallHomebrewView install(&store);
        install.resize(960, 600);
        install.show();
        look(&install, u"install-homebrew"_s);

        WizardView wizard(&store, &setup, WizardRequest::make());
        wizard.show();
        QTRY_VERIFY(wizard.detectionsFinished());
        auto *next = wizard.findChild<QPushButton *>(u"nextButton"_s);
        for (int page = 0; page < wizard.pages().size(); ++page) {
            look(&wizard, u"wizard-"_s + WizardPages::title(wizard.currentPage()).toLower().replace(u' ', u'-'));
            if (next->isVisible())
                next->click();
        }
        wizard.close();

        WizardView run(&store, &setup, WizardRequest::make(SetupComponent::rosetta));
        run.show();
        run.findChild<QPushButton *>(u"applyButton"_s)->click();
        QVERIFY(run.started());
        look(&run, u"wizard-run"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!setup.isApplying(), 30000);

        for (const QString &problem : std::as_const(problems))
            qWarning().noquote() << problem;
        QVERIFY2(problems.isEmpty(), "see the warnings above");
        QVERIFY2(labelsLooked > 100, qPrintable(QString::number(labelsLooked)));
    }

    void homepage_elidesInTheMiddle_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("room for all") << 2000;
        QTest::newRow("narrow") << 160;
    }

    void homepage_elidesInTheMiddle()
    {
        QFETCH(int, width);
        const QString address = u"https://www.gnu.org/software/wget/manual/html_node/a-rather-long-address.html"_s;
        ElidedLinkLabel label;
        label.setLink(QUrl(address), address);
        label.show();
        label.resize(width, label.sizeHint().height());
        const QString shown = label.shownText();
        QCOMPARE(label.toolTip(), address);
        QCOMPARE(label.accessibleName(), address);
        QVERIFY(label.fontMetrics().horizontalAdvance(shown) <= label.contentsRect().width());
        QVERIFY(label.text().contains(u"href=\""_s + address + u'"'));
        if (label.sizeHint().width() <= width) {
            QCOMPARE(shown, address);
        } else {
            QVERIFY2(shown.startsWith(u"https://"_s) && shown.endsWith(u".html"_s) && shown.contains(u'…'),
                qPrintable(shown));
        }
    }

private:
    QPalette m_palette;
    QFont m_font;
};

QTEST_MAIN(TestWalk)
#include "tst_walk.moc"
