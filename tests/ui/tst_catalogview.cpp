#include "AsyncTest.h"
#include "Sandbox.h"
#include "Screenshot.h"
#include "TestHttpServer.h"
#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "brew/PackageFormats.h"
#include "ui/BusyIndicator.h"
#include "ui/EmptyStateView.h"
#include "ui/main/CatalogTableModel.h"
#include "ui/main/CatalogView.h"
#include "ui/main/MainView.h"
#include "ui/main/PackageDetailView.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QBackingStore>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;
using quillrig::test::Sandbox;
using quillrig::test::saveScreenshot;
using quillrig::test::TestHttpServer;
using KindFilter = CatalogView::KindFilter;
using StatusFilter = CatalogView::StatusFilter;

namespace {

// The screen's parts, found by name as a user's tools would.
QTableView *tableOf(const QWidget &view)
{
    return view.findChild<QTableView *>(u"catalogTable"_s);
}

CatalogTableModel *modelOf(const QWidget &view)
{
    return qobject_cast<CatalogTableModel *>(tableOf(view)->model());
}

// The inspector's content; null while nothing is focused.
PackageDetailView *detailOf(const QWidget &view)
{
    return view.findChild<PackageDetailView *>(u"packageDetailView"_s);
}

const QString brewPath = u"/opt/homebrew/bin/brew"_s;

Package formula(const QString &name, const QString &desc, const QString &homepage = QString())
{
    return { PackageKind::formula, name, name, desc, homepage, u"1.2.3"_s, false,
        PackageFormats::searchKey(name, name, desc) };
}

Package cask(const QString &token, const QString &displayName, const QString &desc)
{
    return { PackageKind::cask, token, displayName, desc, u"https://example.com/"_s + token, u"4.5"_s, false,
        PackageFormats::searchKey(token, displayName, desc) };
}

// A small catalog in the store's order, with one name match that sorts after a description match.
QList<Package> smallCatalog()
{
    Package old = formula(u"youtube-dl"_s, u"Download videos from websites"_s, u"https://youtube-dl.org"_s);
    old.deprecated = true;
    return {
        cask(u"alacritty"_s, u"Alacritty"_s, u"GPU-accelerated terminal emulator"_s),
        cask(u"firefox"_s, u"Mozilla Firefox"_s, u"Web browser"_s),
        cask(u"iterm2"_s, u"iTerm2"_s, u"Terminal emulator as alternative to Apple's Terminal app"_s),
        formula(u"jq"_s, u"Lightweight and flexible command-line JSON processor"_s, u"https://jqlang.github.io/jq/"_s),
        formula(u"json-c"_s, u"JSON parser for C"_s, u"not a web address"_s),
        formula(u"terminal-notifier"_s, u"Send macOS User Notifications from the command-line"_s),
        formula(u"wget"_s, u"Internet file retriever"_s, u"https://www.gnu.org/software/wget/"_s),
        old,
    };
}

QList<Package> manyFormulae(int count, const QString &prefix)
{
    QList<Package> packages;
    for (int i = 0; i < count; ++i)
        packages.append(formula(prefix + u'-' + QString::number(i).rightJustified(4, u'0'), u"generated"_s));
    return packages;
}

// The stores over a scripted brew: `list` prints the files formulae.txt and casks.txt of the
// sandbox's temporary folder, `install` announces its packages and takes `installMs`.
struct Fixture {
    std::unique_ptr<Sandbox> sandbox = std::make_unique<Sandbox>();
    TestHttpServer server;
    std::unique_ptr<ActivityStore> activity;
    std::unique_ptr<BrewStore> store;

    explicit Fixture(const QList<Package> &catalog, const QByteArray &formulae = "jq\nwget\n",
        const QByteArray &casks = "iterm2\n", int installMs = 0,
        const QByteArray &outdated = R"({"formulae":[],"casks":[]})")
    {
        sandbox->configure([this](Platform::Settings &settings) {
            settings.catalogApiBase = server.baseUrl();
            settings.releaseApiBase = server.baseUrl();
        });
        const QString temp = sandbox->temp();
        Sandbox::writeFile(temp + u"/formulae.txt"_s, formulae);
        Sandbox::writeFile(temp + u"/casks.txt"_s, casks);
        Sandbox::writeFile(temp + u"/outdated.json"_s, outdated);
        const QByteArray sleep = installMs > 0 ? "sleep " + QByteArray::number(installMs / 1000.0) + "\n" : "";
        sandbox->addScript(brewPath,
            "T='" + temp.toUtf8()
                + "'\n"
                  "case \"$1\" in\n"
                  "  --version) echo 'Homebrew 4.4.2' ;;\n"
                  "  list) if [ \"$2\" = --formula ]; then cat \"$T/formulae.txt\"; else cat \"$T/casks.txt\"; fi ;;\n"
                  "  outdated) cat \"$T/outdated.json\" ;;\n"
                  "  upgrade) shift 2; echo \"==> Upgrading $*\" ;;\n"
                  "  install) shift 2; echo \"==> Installing $*\"\n"
                + sleep + "  ;;\nesac\nexit 0\n");
        activity = std::make_unique<ActivityStore>();
        store = std::make_unique<BrewStore>(activity.get());
        // Served catalogs stay unanswered (404), so the applied one is what the screen shows.
        store->applyCatalog(catalog, QDateTime::currentDateTime().addSecs(-5 * 60 - 10));
        const auto outcome = quillrig::test::runTask(store->refresh());
        if (!outcome.ok())
            qFatal("refresh failed: %s", qPrintable(outcome.failure));
    }
};

QStringList modelNames(const QAbstractItemModel *model)
{
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(model->index(row, CatalogTableModel::nameColumn).data().toString());
    return names;
}

template<typename T> T *child(QWidget &parent, const QString &name)
{
    T *widget = parent.findChild<T *>(name);
    if (!widget)
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    return widget;
}

void clickCell(QTableView *table, int row, int column)
{
    const QRect rect = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
}

// Collects what a widget repainted.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget *widget) { widget->installEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

// The largest difference of one colour channel between two images of the same size.
int largestDifference(const QImage &a, const QImage &b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    int largest = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            largest = std::max({ largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                std::abs(qBlue(p) - qBlue(q)) });
        }
    }
    return largest;
}

// What the window shows of `widget` now (its backing store), and what a full repaint would show.
std::pair<QImage, QImage> shownAndRepainted(QWidget *widget)
{
    QPaintDevice *device = widget->window()->backingStore()->paintDevice();
    if (device->devType() != QInternal::Image)
        qFatal("the backing store is not an image");
    const QRect area(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
    const QImage shown = static_cast<QImage *>(device)->copy(area).convertToFormat(QImage::Format_RGB32);
    const QImage repainted = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return { shown, repainted };
}

} // namespace

class TestCatalogView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void screen_showsTheTableWithItsColumns()
    {
        Fixture fixture(smallCatalog());
        fixture.store->setSelectedIDs({ u"formula:json-c"_s, u"cask:firefox"_s });
        CatalogView view(fixture.store.get());
        QAbstractItemModelTester tester(modelOf(view), QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.resize(1000, 520);
        view.show();

        QCOMPARE(view.objectName(), u"catalogScreen"_s);
        QCOMPARE(
            child<QStackedWidget>(view, u"catalogContent"_s)->currentWidget()->objectName(), u"catalogTablePage"_s);
        QCOMPARE(child<QLineEdit>(view, u"searchField"_s)->placeholderText(), u"Search name or description"_s);
        auto *refresh = child<QToolButton>(view, u"refreshCatalogButton"_s);
        QCOMPARE(refresh->text(), u"Refresh catalog"_s);
        QCOMPARE(refresh->toolTip(), u"Download the latest package list from 127.0.0.1"_s);
        QVERIFY(refresh->isEnabled());

        const QAbstractItemModel *model = modelOf(view);
        QCOMPARE(model->columnCount(), 6);
        QStringList headers;
        for (int column = 0; column < model->columnCount(); ++column)
            headers.append(model->headerData(column, Qt::Horizontal).toString());
        QCOMPARE(headers, (QStringList{ QString(), u"Name"_s, u"Type"_s, u"Version"_s, u"Description"_s, QString() }));
        QCOMPARE(tableOf(view)->horizontalHeader()->sectionSize(CatalogTableModel::tickColumn), 28);
        // The type column fits "Formula" in the table's font, whatever its size.
        QVERIFY(tableOf(view)->horizontalHeader()->sectionSize(CatalogTableModel::typeColumn)
            > tableOf(view)->fontMetrics().horizontalAdvance(u"Formula"_s));
        QCOMPARE(tableOf(view)->horizontalHeader()->sectionSize(CatalogTableModel::homepageColumn), 28);

        QCOMPARE(modelNames(model).size(), 8);
        auto cell
            = [&](int row, int column, int role = Qt::DisplayRole) { return model->index(row, column).data(role); };
        // Row 0 alacritty: a cask, not installed, not ticked.
        QCOMPARE(cell(0, CatalogTableModel::typeColumn).toString(), u"Cask"_s);
        QCOMPARE(cell(0, CatalogTableModel::tickColumn, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
        QCOMPARE(cell(0, CatalogTableModel::tickColumn, Qt::AccessibleTextRole).toString(), u"Select alacritty"_s);
        QCOMPARE(cell(0, CatalogTableModel::descriptionColumn, Qt::ToolTipRole).toString(),
            u"GPU-accelerated terminal emulator"_s);
        // Row 1 firefox: ticked.
        QCOMPARE(cell(1, CatalogTableModel::tickColumn, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
        // Row 3 jq: installed, so a mark instead of a tick box.
        QVERIFY(!cell(3, CatalogTableModel::tickColumn, Qt::CheckStateRole).isValid());
        QVERIFY(!cell(3, CatalogTableModel::tickColumn, Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(cell(3, CatalogTableModel::tickColumn, Qt::ToolTipRole).toString(), u"Already installed"_s);
        QCOMPARE(
            cell(3, CatalogTableModel::homepageColumn, Qt::ToolTipRole).toString(), u"https://jqlang.github.io/jq/"_s);
        // Row 4 json-c: its homepage is no address, so no link.
        QVERIFY(!cell(4, CatalogTableModel::homepageColumn, Qt::DecorationRole).isValid());
        QVERIFY(!cell(5, CatalogTableModel::homepageColumn, Qt::DecorationRole).isValid());
        QVERIFY(cell(7, CatalogTableModel::nameColumn, CatalogTableModel::deprecatedRole).toBool());
        QVERIFY(!cell(6, CatalogTableModel::nameColumn, CatalogTableModel::deprecatedRole).toBool());

        QCOMPARE(child<QLabel>(view, u"rowCountLabel"_s)->text(), u"8 packages"_s);
        QCOMPARE(child<QLabel>(view, u"selectionPill"_s)->text(), u"2 selected"_s);
        QCOMPARE(child<QPushButton>(view, u"installButton"_s)->text(), u"Install 2"_s);
        QCOMPARE(child<QLabel>(view, u"catalogUpdatedLabel"_s)->text(), u"Catalog updated 5 minutes ago"_s);
        QVERIFY(!child<BusyIndicator>(view, u"catalogLoadingIndicator"_s)->isVisible());
        QVERIFY(!child<QWidget>(view, u"inspector"_s)->isVisible());
        saveScreenshot(&view, u"catalog-table"_s);

        // The link column opens the homepage.
        clickCell(tableOf(view), 3, CatalogTableModel::homepageColumn);
        QCOMPARE(fixture.sandbox->openedUrls, QList<QUrl>{ QUrl(u"https://jqlang.github.io/jq/"_s) });
    }

    void search_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("names");
        const QStringList all{ u"alacritty"_s, u"firefox"_s, u"iterm2"_s, u"jq"_s, u"json-c"_s, u"terminal-notifier"_s,
            u"wget"_s, u"youtube-dl"_s };
        QTest::newRow("spaces behave like no search") << u"   "_s << all;
        QTest::newRow("name matches first") << u"json"_s << QStringList{ u"json-c"_s, u"jq"_s };
        QTest::newRow("nothing") << u"qqq"_s << QStringList();
    }

    void search()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, names);
        Fixture fixture(smallCatalog());
        CatalogView view(fixture.store.get());
        QAbstractItemModelTester tester(modelOf(view), QAbstractItemModelTester::FailureReportingMode::QtTest);
        view.resize(1000, 520);
        view.show();
        QTest::keyClicks(child<QLineEdit>(view, u"searchField"_s), typed);
        QCOMPARE(view.query(), typed);
        QCOMPARE(modelNames(modelOf(view)), names);
        QCOMPARE(child<QLabel>(view, u"rowCountLabel"_s)->text(),
            names.size() == 1 ? u"1 package"_s : QString::number(names.size()) + u" packages"_s);
        if (QTest::currentDataTag() == QByteArrayLiteral("name matches first"))
            saveScreenshot(&view, u"catalog-search"_s);
    }

    // Each keystroke repaints only the rows that changed; what stays on screen must still be what
    // a full repaint draws.
    void search_repaintsOnlyChangedRows_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("scrolledTo");
        QTest::addColumn<bool>("firstRowRepainted");
        QTest::newRow("narrower, same first rows") << u"alpha-00"_s << u"alpha-000"_s << 0 << false;
        QTest::newRow("narrower, nothing left") << u"alpha-00"_s << u"alpha-00x"_s << 0 << true;
        QTest::newRow("wider, same first rows") << u"alpha-000"_s << u"alpha-00"_s << 0 << false;
        QTest::newRow("other rows") << u"alpha"_s << u"beta"_s << 0 << true;
        QTest::newRow("from no search") << QString() << u"beta-01"_s << 0 << true;
        QTest::newRow("scrolled down") << u"a"_s << u"al"_s << 40 << true;
    }

    void search_repaintsOnlyChangedRows()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, scrolledTo);
        QFETCH(bool, firstRowRepainted);
        Fixture fixture(manyFormulae(150, u"alpha"_s) + manyFormulae(150, u"beta"_s));
        fixture.store->setSelectedIDs({ u"formula:alpha-0003"_s, u"formula:beta-0011"_s });
        CatalogView view(fixture.store.get());
        view.resize(900, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTableView *table = tableOf(view);
        view.setQuery(before);
        table->scrollTo(table->model()->index(scrolledTo, 0), QAbstractItemView::PositionAtTop);
        QTest::qWait(20);

        PaintRecorder recorder(table->viewport());
        auto *search = child<QLineEdit>(view, u"searchField"_s);
        search->setFocus();
        search->setText(after);
        QTest::qWait(20);
        QCOMPARE(view.query(), after);
        QCOMPARE(recorder.painted.intersects(QRect(0, 0, table->viewport()->width(), 10)), firstRowRepainted);
        const auto [shown, repainted] = shownAndRepainted(table->viewport());
        QCOMPARE(shown, repainted);
        const auto [scrollShown, scrollRepainted] = shownAndRepainted(table->verticalScrollBar());
        QCOMPARE(scrollShown, scrollRepainted);
    }

    // The search field's panel is drawn once per look and copied; it must look as the style draws it.
    void searchField_panelAsTheStyleDrawsIt_data()
    {
        QTest::addColumn<QString>("look");
        QTest::newRow("idle") << u"idle"_s;
        QTest::newRow("focused") << u"focused"_s;
        QTest::newRow("disabled") << u"disabled"_s;
        QTest::newRow("dark") << u"dark"_s;
    }

    void searchField_panelAsTheStyleDrawsIt()
    {
        QFETCH(QString, look);
        Fixture fixture(smallCatalog());
        CatalogView view(fixture.store.get());
        view.resize(1000, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto *search = child<QLineEdit>(view, u"searchField"_s);
        QTest::keyClicks(search, u"js"_s);
        // The idle look is in the cache first: another look must not reuse it.
        (void)search->grab();
        if (look == u"focused"_s) {
            QApplication::setActiveWindow(&view);
            search->setFocus();
            QTRY_VERIFY(search->hasFocus());
        } else if (look == u"disabled"_s) {
            search->setEnabled(false);
        } else if (look == u"dark"_s) {
            QPalette dark = search->palette();
            dark.setColor(QPalette::Base, QColor(30, 30, 30));
            dark.setColor(QPalette::Window, QColor(45, 45, 45));
            dark.setColor(QPalette::Text, Qt::white);
            search->setPalette(dark);
        }
        const QImage cached = search->grab().toImage();
        QStyle *own = search->style();
        search->setStyle(QApplication::style());
        const QImage plain = search->grab().toImage();
        search->setStyle(own);
        // Antialiased edges drawn onto transparency and then copied may round one step apart.
        QCOMPARE(cached.size(), plain.size());
        QVERIFY2(largestDifference(cached, plain) <= 2, qPrintable(QString::number(largestDifference(cached, plain))));
    }

    void filters_data()
    {
        QTest::addColumn<QString>("kindButton");
        QTest::addColumn<int>("statusIndex");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("casks") << u"kindCasks"_s << 0 << QStringList{ u"alacritty"_s, u"firefox"_s, u"iterm2"_s };
        QTest::newRow("installed formulae") << u"kindFormulae"_s << 1 << QStringList{ u"jq"_s, u"wget"_s };
        QTest::newRow("selected") << u"kindAll"_s << 3 << QStringList{ u"firefox"_s, u"wget"_s };
    }

    void filters()
    {
        QFETCH(QString, kindButton);
        QFETCH(int, statusIndex);
        QFETCH(QStringList, names);
        Fixture fixture(smallCatalog());
        fixture.store->setSelectedIDs({ u"cask:firefox"_s, u"formula:wget"_s });
        CatalogView view(fixture.store.get());
        view.show();
        auto *status = child<QComboBox>(view, u"statusPicker"_s);
        QStringList labels;
        for (int i = 0; i < status->count(); ++i)
            labels.append(status->itemText(i));
        QCOMPARE(labels, (QStringList{ u"Any status"_s, u"Installed"_s, u"Not installed"_s, u"Selected"_s }));
        QCOMPARE(child<QToolButton>(view, u"kindAll"_s)->text(), u"All"_s);
        QCOMPARE(child<QToolButton>(view, u"kindFormulae"_s)->text(), u"Formulae"_s);
        QCOMPARE(child<QToolButton>(view, u"kindCasks"_s)->text(), u"Casks"_s);

        QTest::mouseClick(child<QToolButton>(view, kindButton), Qt::LeftButton);
        status->setCurrentIndex(statusIndex);
        Q_EMIT status->activated(statusIndex);
        QCOMPARE(modelNames(modelOf(view)), names);
    }

    void selectedStatus_untickingRemovesTheRowAtOnce()
    {
        Fixture fixture(smallCatalog());
        fixture.store->setSelectedIDs({ u"cask:alacritty"_s, u"formula:json-c"_s });
        CatalogView view(fixture.store.get());
        view.resize(1000, 400);
        view.show();
        view.setStatus(StatusFilter::selected);
        QCOMPARE(modelNames(modelOf(view)), (QStringList{ u"alacritty"_s, u"json-c"_s }));
        saveScreenshot(&view, u"catalog-selected-filter"_s);

        clickCell(tableOf(view), 0, CatalogTableModel::tickColumn);
        QCOMPARE(fixture.store->selectedIDs(), QSet<QString>{ u"formula:json-c"_s });
        QCOMPARE(modelNames(modelOf(view)), QStringList{ u"json-c"_s });
        QCOMPARE(child<QLabel>(view, u"selectionPill"_s)->text(), u"1 selected"_s);

        // Space ticks the focused row from the keyboard.
        tableOf(view)->setFocus();
        view.setFocusedID(u"formula:json-c"_s);
        QTest::keyClick(tableOf(view), Qt::Key_Space);
        QVERIFY(fixture.store->selectedIDs().isEmpty());
        QCOMPARE(modelOf(view)->rowCount(), 0);

        // Ticking from another filter only repaints.
        view.setStatus(StatusFilter::all);
        QSignalSpy recomputed(&view, &CatalogView::rowsChanged);
        clickCell(tableOf(view), 0, CatalogTableModel::tickColumn);
        QCOMPARE(fixture.store->selectedIDs(), QSet<QString>{ u"cask:alacritty"_s });
        QCOMPARE(recomputed.count(), 0);
        QCOMPARE(modelOf(view)->index(0, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    }

    void rows_recomputedOnlyWhenAnInputChanges()
    {
        Fixture fixture(smallCatalog());
        CatalogView view(fixture.store.get());
        view.resize(1000, 400);
        view.show();
        QSignalSpy recomputed(&view, &CatalogView::rowsChanged);
        tableOf(view)->viewport()->repaint();
        view.setQuery(QString());
        view.setKind(KindFilter::all);
        view.setStatus(StatusFilter::all);
        fixture.store->setSelected(u"formula:json-c"_s, true);
        QCOMPARE(recomputed.count(), 0);

        view.setQuery(u"j"_s);
        view.setKind(KindFilter::formula);
        view.setStatus(StatusFilter::notInstalled);
        QCOMPARE(recomputed.count(), 3);
        QCOMPARE(modelNames(modelOf(view)), QStringList{ u"json-c"_s });

        // A new revision of the store's data (here: jq uninstalled) is a new input.
        Sandbox::writeFile(fixture.sandbox->temp() + u"/formulae.txt"_s, "wget\n");
        QR_AWAIT_VOID(fixture.store->refreshInstalled());
        QCOMPARE(recomputed.count(), 4);
        QCOMPARE(modelNames(modelOf(view)), (QStringList{ u"jq"_s, u"json-c"_s }));
    }

    void selectAllShown_data()
    {
        QTest::addColumn<int>("notInstalled");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("none") << 0 << false;
        QTest::newRow("500") << 500 << true;
        QTest::newRow("501") << 501 << false;
    }

    void selectAllShown()
    {
        QFETCH(int, notInstalled);
        QFETCH(bool, enabled);
        // Installed packages are shown too but never count towards the limit.
        QList<Package> catalog = manyFormulae(notInstalled, u"lib"_s);
        catalog += manyFormulae(3, u"tool"_s);
        Fixture fixture(catalog, "tool-0000\ntool-0001\ntool-0002\n", "");
        fixture.store->setSelectedIDs({ u"formula:elsewhere"_s });
        CatalogView view(fixture.store.get());
        view.show();
        QCOMPARE(modelOf(view)->rowCount(), notInstalled + 3);
        auto *button = child<QPushButton>(view, u"selectAllShownButton"_s);
        QCOMPARE(button->text(), u"Select all shown"_s);
        QCOMPARE(button->toolTip(), u"Ticks all shown packages that are not installed yet (up to 500)"_s);
        QCOMPARE(button->isEnabled(), enabled);
        if (!enabled)
            return;
        QTest::mouseClick(button, Qt::LeftButton);
        // A union: what was ticked before stays.
        QCOMPARE(fixture.store->selectedIDs().size(), notInstalled + 1);
        QVERIFY(fixture.store->selectedIDs().contains(u"formula:elsewhere"_s));
        QVERIFY(!fixture.store->selectedIDs().contains(u"formula:tool-0000"_s));
        QCOMPARE(child<QPushButton>(view, u"installButton"_s)->text(), u"Install 500"_s);

        // Narrowing the rows under the limit enables it again for the shown part only.
        view.setQuery(u"lib-000"_s);
        QVERIFY(button->isEnabled());
    }

    void installedRows_areNeverTickedNorCounted()
    {
        Fixture fixture(smallCatalog());
        // Ticked before they were installed; the screen must not count them.
        fixture.store->setSelectedIDs({ u"formula:jq"_s, u"cask:iterm2"_s, u"formula:json-c"_s });
        CatalogView view(fixture.store.get());
        view.resize(1000, 400);
        view.show();
        QCOMPARE(child<QPushButton>(view, u"installButton"_s)->text(), u"Install 1"_s);
        QCOMPARE(child<QLabel>(view, u"selectionPill"_s)->text(), u"1 selected"_s);
        QCOMPARE(view.selectedNotInstalled().size(), 1);
        const QModelIndex jq = modelOf(view)->index(3, CatalogTableModel::tickColumn);
        QCOMPARE(jq.data(CatalogTableModel::idRole).toString(), u"formula:jq"_s);
        QVERIFY(!(jq.flags() & Qt::ItemIsUserCheckable));
        QVERIFY(!jq.data(Qt::CheckStateRole).isValid());
        QVERIFY(!modelOf(view)->setData(jq, Qt::Unchecked, Qt::CheckStateRole));
        clickCell(tableOf(view), 3, CatalogTableModel::tickColumn);
        QVERIFY(fixture.store->selectedIDs().contains(u"formula:jq"_s));

        // Clear selection empties the store's set and disables itself and the install button.
        auto *clear = child<QPushButton>(view, u"clearSelectionButton"_s);
        QVERIFY(clear->isEnabled());
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(fixture.store->selectedIDs().isEmpty());
        QVERIFY(!clear->isEnabled());
        QCOMPARE(child<QPushButton>(view, u"installButton"_s)->text(), u"Install"_s);
        QVERIFY(!child<QPushButton>(view, u"installButton"_s)->isEnabled());
        QCOMPARE(child<QLabel>(view, u"selectionPill"_s)->text(), u"0 selected"_s);
    }

    void install_runsTheTickedPackagesAndWaitsForTheRun()
    {
        Fixture fixture(smallCatalog(), "jq\nwget\n", "iterm2\n", 800);
        fixture.store->setSelectedIDs({ u"formula:json-c"_s, u"cask:firefox"_s });
        CatalogView view(fixture.store.get());
        view.show();
        auto *install = child<QPushButton>(view, u"installButton"_s);
        QCOMPARE(install->text(), u"Install 2"_s);
        QVERIFY(install->isEnabled());
        QTest::mouseClick(install, Qt::LeftButton);
        QTRY_VERIFY(fixture.store->isRunning());
        QVERIFY(!install->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        const QList<QStringList> calls = fixture.sandbox->calls(brewPath);
        QVERIFY(calls.contains(QStringList{ u"install"_s, u"--formula"_s, u"json-c"_s }));
        QVERIFY(calls.contains(QStringList{ u"install"_s, u"--cask"_s, u"firefox"_s }));
    }

    void content_followsTheCatalogState()
    {
        Fixture fixture({});
        // The first download is under way and nothing is cached: the whole area waits.
        fixture.server.setRoute(u"/api/formula.json"_s, { 200, "[]", 1500 });
        fixture.server.setRoute(u"/api/cask.json"_s, { 500, "oops", 1500 });
        CatalogView view(fixture.store.get());
        view.resize(900, 400);
        view.show();
        auto *content = child<QStackedWidget>(view, u"catalogContent"_s);
        // The earlier download failed with a 404: an empty catalog shows the failure with Retry.
        QCOMPARE(content->currentWidget()->objectName(), u"catalogError"_s);
        auto *error = child<EmptyStateView>(view, u"catalogError"_s);
        QCOMPARE(error->title(), u"Could not load catalog"_s);
        QCOMPARE(error->description(), *fixture.store->catalogError());
        QVERIFY(!error->description().isEmpty());
        QCOMPARE(error->actionButton()->text(), u"Retry"_s);
        saveScreenshot(&view, u"catalog-error"_s);

        QTest::mouseClick(error->actionButton(), Qt::LeftButton);
        QTRY_VERIFY(fixture.store->isLoadingCatalog());
        QCOMPARE(content->currentWidget()->objectName(), u"catalogDownloading"_s);
        QCOMPARE(child<QLabel>(view, u"catalogDownloadingLabel"_s)->text(), u"Downloading package catalog…"_s);
        QVERIFY(!child<QToolButton>(view, u"refreshCatalogButton"_s)->isEnabled());
        saveScreenshot(&view, u"catalog-downloading"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isLoadingCatalog(), 10000);
        QCOMPARE(content->currentWidget()->objectName(), u"catalogError"_s);
    }

    void loading_keepsTheCachedCatalogOnScreen()
    {
        Fixture fixture(smallCatalog());
        QByteArray formulae = R"([{"name":"fresh","desc":"Just downloaded","versions":{"stable":"2.0"}}])";
        fixture.server.setRoute(u"/api/formula.json"_s, { 200, formulae, 1200 });
        fixture.server.setRoute(u"/api/cask.json"_s, { 200, "[]", 0 });
        CatalogView view(fixture.store.get());
        view.resize(1000, 420);
        view.show();
        QTest::mouseClick(child<QToolButton>(view, u"refreshCatalogButton"_s), Qt::LeftButton);
        QTRY_VERIFY(fixture.store->isLoadingCatalog());
        QCOMPARE(
            child<QStackedWidget>(view, u"catalogContent"_s)->currentWidget()->objectName(), u"catalogTablePage"_s);
        QVERIFY(child<BusyIndicator>(view, u"catalogLoadingIndicator"_s)->isVisible());
        QCOMPARE(modelOf(view)->rowCount(), 8);
        saveScreenshot(&view, u"catalog-loading-with-cache"_s);

        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isLoadingCatalog(), 10000);
        QVERIFY(!child<BusyIndicator>(view, u"catalogLoadingIndicator"_s)->isVisible());
        QCOMPARE(modelNames(modelOf(view)), QStringList{ u"fresh"_s });
        QCOMPARE(child<QLabel>(view, u"catalogUpdatedLabel"_s)->text(), u"Catalog updated just now"_s);
    }

    void inspector_showsTheFocusedPackage()
    {
        Fixture fixture(smallCatalog());
        fixture.server.setRoute(u"/api/formula/jq.json"_s,
            { 200, R"({"license":"MIT","dependencies":["oniguruma"],"analytics":{"install":{"30d":{"jq":1234567}}}})",
                0 });
        CatalogView view(fixture.store.get());
        view.resize(1100, 560);
        view.show();
        QCOMPARE(detailOf(view), nullptr);

        clickCell(tableOf(view), 3, CatalogTableModel::nameColumn);
        QCOMPARE(view.focusedID(), u"formula:jq"_s);
        auto *inspector = child<QWidget>(view, u"inspector"_s);
        QVERIFY(inspector->isVisible());
        QVERIFY(inspector->width() >= 260 && inspector->width() <= 480);
        PackageDetailView *detail = detailOf(view);
        QVERIFY(detail);
        QCOMPARE(detail->package().name, u"jq"_s);
        QTRY_VERIFY(!detail->loadingDetails());
        QCOMPARE(child<QLabel>(*detail, u"factLicense"_s)->text(), u"MIT"_s);
        saveScreenshot(&view, u"catalog-inspector"_s);

        // The focus survives a search that still shows the row.
        view.setQuery(u"j"_s);
        QCOMPARE(view.focusedID(), u"formula:jq"_s);
        QCOMPARE(detailOf(view), detail);
        QCOMPARE(tableOf(view)->selectionModel()->selectedRows().value(0).row(), modelOf(view)->rowOf(u"formula:jq"_s));

        clickCell(tableOf(view), modelOf(view)->rowOf(u"formula:json-c"_s), CatalogTableModel::nameColumn);
        QCOMPARE(view.focusedID(), u"formula:json-c"_s);
        QVERIFY(detailOf(view) != detail);
        QCOMPARE(detailOf(view)->package().name, u"json-c"_s);

        QTest::mouseClick(child<QToolButton>(view, u"inspectorClose"_s), Qt::LeftButton);
        QCOMPARE(view.focusedID(), std::nullopt);
        QVERIFY(!inspector->isVisible());
        QVERIFY(tableOf(view)->selectionModel()->selectedRows().isEmpty());
    }

    void mainWindow_smallestSizeKeepsTheToolbarWhole()
    {
        Fixture fixture(smallCatalog());
        fixture.store->setSelectedIDs({ u"formula:json-c"_s });
        MainView main(fixture.store.get(), fixture.activity.get(), nullptr);
        main.resize(960, 600);
        main.show();
        main.setSection(SidebarSection::catalog);
        auto *view = qobject_cast<CatalogView *>(main.currentScreen());
        QVERIFY(view);
        QTRY_VERIFY(view->isVisible());
        view->setFocusedID(u"formula:jq"_s);
        QTRY_VERIFY(!detailOf(*view)->loadingDetails());
        QApplication::processEvents();
        // Everything in the toolbar stays on screen and the search prompt is readable.
        auto *install = child<QPushButton>(*view, u"installButton"_s);
        QVERIFY(install->mapTo(view, QPoint(install->width(), 0)).x() <= view->width());
        auto *search = child<QLineEdit>(*view, u"searchField"_s);
        QVERIFY(search->width() >= 150);
        QVERIFY(tableOf(*view)->width() > 300);
        saveScreenshot(&main, u"catalog-main-window"_s);
    }

    void detail_headerAndActions_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("nameShown");
        QTest::addColumn<QStringList>("badges");
        QTest::addColumn<bool>("canInstall");
        QTest::addColumn<QString>("upgrade");
        QTest::addColumn<QString>("installedVersion");
        QTest::newRow("not installed, name equals display name")
            << u"formula:json-c"_s << false << QStringList{ u"Formula · CLI / library"_s } << true << QString()
            << QString();
        QTest::newRow("installed and outdated")
            << u"formula:wget"_s << false
            << QStringList{ u"Formula · CLI / library"_s, u"Installed"_s, u"Update 1.25.0"_s } << false
            << u"Upgrade to 1.25.0"_s << u"1.24.5, 1.24.6"_s;
        QTest::newRow("installed cask, up to date")
            << u"cask:iterm2"_s << true << QStringList{ u"Cask · macOS app"_s, u"Installed"_s } << false << QString()
            << QString();
        QTest::newRow("deprecated") << u"formula:youtube-dl"_s << false
                                    << QStringList{ u"Formula · CLI / library"_s, u"Deprecated"_s } << true << QString()
                                    << QString();
    }

    void detail_headerAndActions()
    {
        QFETCH(QString, id);
        QFETCH(bool, nameShown);
        QFETCH(QStringList, badges);
        QFETCH(bool, canInstall);
        QFETCH(QString, upgrade);
        QFETCH(QString, installedVersion);
        Fixture fixture(smallCatalog(), "jq\nwget\n", "iterm2\n", 0,
            R"({"formulae":[{"name":"wget","installed_versions":["1.24.5","1.24.6"],"current_version":"1.25.0"}],
                "casks":[]})");
        const Package package = fixture.store->packagesByID().value(id);
        PackageDetailView detail(fixture.store.get(), package);
        detail.resize(320, 560);
        detail.show();
        QTRY_VERIFY(!detail.loadingDetails());

        QCOMPARE(child<QLabel>(detail, u"detailTitle"_s)->text(), package.displayName);
        QCOMPARE(child<QLabel>(detail, u"detailName"_s)->isVisible(), nameShown);
        QStringList shown;
        for (const QString &name : { u"badgeKind"_s, u"badgeDeprecated"_s, u"badgeInstalled"_s, u"badgeUpdate"_s }) {
            auto *badge = child<QLabel>(detail, name);
            if (badge->isVisible())
                shown.append(badge->text());
        }
        QCOMPARE(shown, badges);
        QCOMPARE(child<QLabel>(detail, u"detailDescription"_s)->text(), package.desc);
        auto *install = child<QPushButton>(detail, u"detailInstallButton"_s);
        QCOMPARE(install->isVisible(), canInstall);
        QCOMPARE(child<QCheckBox>(detail, u"detailSelectToggle"_s)->isVisible(), canInstall);
        auto *upgradeButton = child<QPushButton>(detail, u"detailUpgradeButton"_s);
        QCOMPARE(upgradeButton->isVisible(), !upgrade.isEmpty());
        if (!upgrade.isEmpty())
            QCOMPARE(upgradeButton->text(), upgrade);
        QCOMPARE(child<QLabel>(detail, u"factVersion"_s)->text(), package.version);
        QCOMPARE(child<QLabel>(detail, u"factInstalled"_s)->isVisible(), !installedVersion.isEmpty());
        if (!installedVersion.isEmpty())
            QCOMPARE(child<QLabel>(detail, u"factInstalled"_s)->text(), installedVersion);
        saveScreenshot(&detail, u"detail-"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    }

    void detail_actionsRunTheStore()
    {
        Fixture fixture(smallCatalog(), "jq\nwget\n", "iterm2\n", 300,
            R"({"formulae":[{"name":"wget","installed_versions":["1.24.5"],"current_version":"1.25.0"}],"casks":[]})");
        PackageDetailView detail(fixture.store.get(), fixture.store->packagesByID().value(u"formula:json-c"_s));
        detail.show();
        auto *toggle = child<QCheckBox>(detail, u"detailSelectToggle"_s);
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(fixture.store->selectedIDs(), QSet<QString>{ u"formula:json-c"_s });
        fixture.store->setSelectedIDs({});
        QVERIFY(!toggle->isChecked());

        auto *install = child<QPushButton>(detail, u"detailInstallButton"_s);
        QTest::mouseClick(install, Qt::LeftButton);
        QTRY_VERIFY(fixture.store->isRunning());
        QVERIFY(!install->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.store->isRunning(), 10000);
        QVERIFY(install->isEnabled());
        QVERIFY(fixture.sandbox->calls(brewPath).contains(QStringList{ u"install"_s, u"--formula"_s, u"json-c"_s }));

        PackageDetailView outdated(fixture.store.get(), fixture.store->packagesByID().value(u"formula:wget"_s));
        outdated.show();
        QTest::mouseClick(child<QPushButton>(outdated, u"detailUpgradeButton"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            fixture.sandbox->calls(brewPath).contains(QStringList{ u"upgrade"_s, u"--formula"_s, u"wget"_s }), 10000);
    }

    void detail_facts_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("json");
        // Value of every shown fact by its name; the rest must be hidden.
        QTest::addColumn<QVariantMap>("facts");
        QTest::addColumn<QString>("dependencies");
        QTest::addColumn<QString>("notes");

        QTest::newRow("formula with everything")
            << u"formula:jq"_s << 200
            << QByteArray(R"({"license":"MIT","tap":"homebrew/core","dependencies":["oniguruma","libyaml"],
                "caveats":"\n  Add jq to your PATH.\n\n","aliases":["jq@1","jqlang"],
                "analytics":{"install":{"30d":{"jq":1234500,"jq --HEAD":67}}}})")
            << QVariantMap{ { u"Version"_s, u"1.2.3"_s }, { u"Homepage"_s, u"https://jqlang.github.io/jq/"_s },
                   { u"License"_s, u"MIT"_s }, { u"Tap"_s, u"homebrew/core"_s }, { u"Installs"_s, u"1,234,567"_s },
                   { u"Aliases"_s, u"jq@1, jqlang"_s } }
            << u"oniguruma, libyaml"_s << u"Add jq to your PATH."_s;
        QTest::newRow("cask that updates itself")
            << u"cask:firefox"_s << 200
            << QByteArray(R"({"tap":"homebrew/cask","auto_updates":true,"depends_on":{"macos":">= :catalina"},
                "caveats":"   ","analytics":null})")
            << QVariantMap{ { u"Version"_s, u"4.5"_s }, { u"Homepage"_s, u"https://example.com/firefox"_s },
                   { u"Tap"_s, u"homebrew/cask"_s }, { u"Updates"_s, u"Updates itself"_s } }
            << QString() << QString();
        QTest::newRow("auto updates false")
            << u"cask:firefox"_s << 200 << QByteArray(R"({"auto_updates":false,"depends_on":{"formula":["jq"]}})")
            << QVariantMap{ { u"Version"_s, u"4.5"_s }, { u"Homepage"_s, u"https://example.com/firefox"_s } } << u"jq"_s
            << QString();
        QTest::newRow("failed fetch, homepage no address")
            << u"formula:json-c"_s << 500 << QByteArray("{}") << QVariantMap{ { u"Version"_s, u"1.2.3"_s } }
            << QString() << QString();
        QTest::newRow("no homepage") << u"formula:terminal-notifier"_s << 404 << QByteArray()
                                     << QVariantMap{ { u"Version"_s, u"1.2.3"_s } } << QString() << QString();
    }

    void detail_facts()
    {
        QFETCH(QString, id);
        QFETCH(int, status);
        QFETCH(QByteArray, json);
        QFETCH(QVariantMap, facts);
        QFETCH(QString, dependencies);
        QFETCH(QString, notes);
        Fixture fixture(smallCatalog());
        const Package package = fixture.store->packagesByID().value(id);
        fixture.server.setRoute(
            u"/api/"_s + toString(package.kind) + u'/' + package.name + u".json"_s, { status, json, 300 });
        PackageDetailView detail(fixture.store.get(), package);
        detail.resize(340, 640);
        detail.show();
        QVERIFY(detail.loadingDetails());
        QVERIFY(child<QWidget>(detail, u"detailsProgress"_s)->isVisible());
        QVERIFY(!child<QWidget>(detail, u"factLicense"_s)->isVisible());
        QSignalSpy finished(&detail, &PackageDetailView::detailsFinished);
        QVERIFY(finished.wait(10000));
        QVERIFY(!child<QWidget>(detail, u"detailsProgress"_s)->isVisible());
        QCOMPARE(detail.details().has_value(), status == 200);

        const QStringList all{ u"Version"_s, u"Installed"_s, u"Homepage"_s, u"License"_s, u"Tap"_s, u"Updates"_s,
            u"Installs"_s, u"Aliases"_s };
        for (const QString &name : all) {
            auto *value = child<QLabel>(detail, u"fact"_s + name);
            auto *label = child<QLabel>(detail, u"fact"_s + name + u"Label"_s);
            QVERIFY2(value->isVisible() == facts.contains(name), qPrintable(name));
            QCOMPARE(label->isVisible(), facts.contains(name));
            if (facts.contains(name) && name != u"Homepage"_s)
                QCOMPARE(value->text(), facts.value(name).toString());
        }
        QCOMPARE(child<QLabel>(detail, u"factInstallsLabel"_s)->text(), u"Installs (30 days)"_s);
        if (facts.contains(u"Homepage"_s))
            QCOMPARE(child<QLabel>(detail, u"factHomepage"_s)->toolTip(), facts.value(u"Homepage"_s).toString());
        QCOMPARE(child<QWidget>(detail, u"detailDependenciesBlock"_s)->isVisible(), !dependencies.isEmpty());
        QCOMPARE(child<QLabel>(detail, u"detailDependencies"_s)->text(), dependencies);
        QCOMPARE(child<QWidget>(detail, u"detailNotesBlock"_s)->isVisible(), !notes.isEmpty());
        if (!notes.isEmpty())
            QCOMPARE(child<QLabel>(detail, u"detailNotes"_s)->text(), notes);
        saveScreenshot(&detail, u"detail-facts-"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    }

    void detail_homepageLinkOpensTheAddress()
    {
        Fixture fixture(smallCatalog());
        PackageDetailView detail(fixture.store.get(), fixture.store->packagesByID().value(u"formula:wget"_s));
        detail.resize(320, 500);
        detail.show();
        auto *link = child<QLabel>(detail, u"factHomepage"_s);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(8, link->fontMetrics().height() / 2));
        QCOMPARE(fixture.sandbox->openedUrls, QList<QUrl>{ QUrl(u"https://www.gnu.org/software/wget/"_s) });
    }

    void detail_copyButtonCopiesTheInstallCommand_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("command");
        QTest::newRow("formula") << u"formula:jq"_s << u"brew install --formula jq"_s;
        QTest::newRow("cask") << u"cask:firefox"_s << u"brew install --cask firefox"_s;
    }

    void detail_copyButtonCopiesTheInstallCommand()
    {
        QFETCH(QString, id);
        QFETCH(QString, command);
        Fixture fixture(smallCatalog());
        PackageDetailView detail(fixture.store.get(), fixture.store->packagesByID().value(id));
        detail.show();
        QCOMPARE(child<QLabel>(detail, u"installCommand"_s)->text(), command);
        auto *copy = child<QToolButton>(detail, u"copyCommandButton"_s);
        QCOMPARE(copy->toolTip(), u"Copy to clipboard"_s);
        QTest::mouseClick(copy, Qt::LeftButton);
        QCOMPARE(fixture.sandbox->clipboard, QStringList{ command });
    }

    void detail_lateAnswerForAnotherPackageIsIgnored()
    {
        Fixture fixture(smallCatalog());
        fixture.server.setRoute(u"/api/formula/jq.json"_s, { 200, R"({"license":"from jq"})", 700 });
        fixture.server.setRoute(u"/api/formula/wget.json"_s, { 200, R"({"license":"from wget"})", 0 });
        CatalogView view(fixture.store.get());
        view.resize(1100, 500);
        view.show();
        view.setFocusedID(u"formula:jq"_s);
        QPointer<PackageDetailView> first = detailOf(view);
        QVERIFY(first);
        QVERIFY(first->loadingDetails());
        view.setFocusedID(u"formula:wget"_s);
        PackageDetailView *second = detailOf(view);
        QCOMPARE(second->package().name, u"wget"_s);
        QTRY_VERIFY(!second->loadingDetails());
        QTRY_VERIFY(first.isNull());
        // Past the first answer: it found no view to land in.
        QTRY_COMPARE(fixture.server.requests().count(u"/api/formula/jq.json"_s), 1);
        QTest::qWait(900);
        QCOMPARE(detailOf(view), second);
        QCOMPARE(second->details()->license, u"from wget"_s);
        QCOMPARE(child<QLabel>(*second, u"factLicense"_s)->text(), u"from wget"_s);
    }
};

QTEST_MAIN(TestCatalogView)
#include "tst_catalogview.moc"
