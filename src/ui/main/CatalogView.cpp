#include "ui/main/CatalogView.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Platform.h"
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/EmptyStateView.h"
#include "ui/Fonts.h"
#include "ui/ProminentButton.h"
#include "ui/RelativeTime.h"
#include "ui/Symbols.h"
#include "ui/main/CatalogCellDelegate.h"
#include "ui/main/CatalogTableModel.h"
#include "ui/main/CatalogTableView.h"
#include "ui/main/PackageInspector.h"
#include "ui/main/PackageScreen.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

CatalogView::CatalogView(BrewStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    // The main window finds its screens by these names.
    setObjectName(u"catalogScreen"_s);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeToolbar());
    auto *toolbarLine = Divider::horizontal(this);
    layout->addWidget(toolbarLine);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(u"catalogSplitter"_s);
    m_splitter->setChildrenCollapsible(false);

    auto *main = new QWidget(m_splitter);
    auto *mainLayout = new QVBoxLayout(main);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);
    m_content = new QStackedWidget(main);
    m_content->setObjectName(u"catalogContent"_s);

    m_downloading = new QWidget(m_content);
    m_downloading->setObjectName(u"catalogDownloading"_s);
    auto *downloading = new QVBoxLayout(m_downloading);
    downloading->addStretch(1);
    auto *spinner = new BusyIndicator(m_downloading, 28);
    spinner->setObjectName(u"catalogDownloadingSpinner"_s);
    downloading->addWidget(spinner, 0, Qt::AlignHCenter);
    auto *downloadingLabel = new QLabel(u"Downloading package catalog…"_s, m_downloading);
    downloadingLabel->setObjectName(u"catalogDownloadingLabel"_s);
    downloading->addWidget(downloadingLabel, 0, Qt::AlignHCenter);
    downloading->addStretch(1);
    m_content->addWidget(m_downloading);

    m_error = new EmptyStateView(u"wifi.exclamationmark"_s, u"Could not load catalog"_s, m_content);
    m_error->setObjectName(u"catalogError"_s);
    m_error->setActionText(u"Retry"_s);
    connect(m_error, &EmptyStateView::actionTriggered, this, [this] {
        if (m_store)
            Async::start(m_store->loadCatalog(), "Loading the catalog");
    });
    m_content->addWidget(m_error);

    m_tablePage = makeTablePage();
    m_content->addWidget(m_tablePage);
    mainLayout->addWidget(m_content, 1);
    auto *barLine = Divider::horizontal(main);
    mainLayout->addWidget(barLine);
    mainLayout->addWidget(makeBottomBar());
    m_splitter->addWidget(main);
    m_inspector = new PackageInspector(m_store, m_splitter, true);
    connect(m_inspector, &PackageInspector::closeRequested, this, [this] { setFocusedID(std::nullopt); });
    m_splitter->addWidget(m_inspector);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    layout->addWidget(m_splitter, 1);

    m_clock.setSingleShot(false);
    m_clock.setInterval(std::chrono::seconds(20));
    connect(&m_clock, &QTimer::timeout, this, &CatalogView::refreshDate);

    if (m_store) {
        connect(m_store, &BrewStore::dataRevisionChanged, this, [this] {
            recomputeRows(false);
            refreshSelection();
        });
        connect(m_store, &BrewStore::selectedIDsChanged, this, [this] {
            if (m_filter.status == StatusFilter::selected)
                recomputeRows(false);
            else
                m_model->refreshTicks();
            refreshSelection();
        });
        connect(m_store, &BrewStore::isRunningChanged, this, &CatalogView::refreshSelection);
        connect(m_store, &BrewStore::isLoadingCatalogChanged, this, &CatalogView::refreshLoading);
        connect(m_store, &BrewStore::catalogErrorChanged, this, &CatalogView::refreshContent);
        connect(m_store, &BrewStore::catalogChanged, this, &CatalogView::refreshContent);
        connect(m_store, &BrewStore::catalogDateChanged, this, &CatalogView::refreshDate);
    }

    recomputeRows(true);
    refreshLoading();
    refreshSelection();
    refreshDate();
    refreshInspector();
    refreshColors();
}

CatalogView::~CatalogView() = default;

QWidget *CatalogView::makeToolbar()
{
    QHBoxLayout *layout = nullptr;
    QWidget *toolbar = PackageScreen::toolbar(u"Packages"_s, u"catalogToolbar"_s, this, layout);
    layout->addSpacing(8);
    layout->addWidget(PackageScreen::kindPicker(m_filter.kind, toolbar, m_kindGroup));
    connect(m_kindGroup, &QButtonGroup::idClicked, this, [this](int id) { setKind(KindFilter(id)); });

    m_statusPicker = new QComboBox(toolbar);
    m_statusPicker->setObjectName(u"statusPicker"_s);
    m_statusPicker->setAccessibleName(u"Status"_s);
    for (StatusFilter status : CatalogFilter::allStatusFilters())
        m_statusPicker->addItem(CatalogFilter::toString(status), int(status));
    connect(m_statusPicker, &QComboBox::activated, this,
        [this](int index) { setStatus(StatusFilter(m_statusPicker->itemData(index).toInt())); });
    layout->addWidget(m_statusPicker);

    m_refresh = new QToolButton(toolbar);
    m_refresh->setObjectName(u"refreshCatalogButton"_s);
    m_refresh->setText(u"Refresh catalog"_s);
    m_refresh->setAccessibleName(u"Refresh catalog"_s);
    m_refresh->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_refresh->setAutoRaise(true);
    m_refresh->setToolTip(u"Download the latest package list from "_s + Platform::current().catalogApiBase().host());
    connect(m_refresh, &QToolButton::clicked, this, [this] {
        if (m_store)
            Async::start(m_store->loadCatalog(), "Loading the catalog");
    });
    layout->addWidget(m_refresh);
    // Spare room goes mostly to the search field, up to its maximum width.
    layout->addStretch(1);

    m_search = PackageScreen::searchField(u"Search name or description"_s, toolbar);
    connect(m_search, &QLineEdit::textChanged, this, &CatalogView::setQuery);
    layout->addWidget(m_search, 4);

    m_install = new ProminentButton(u"arrow.down.circle.fill"_s, u"Install"_s, toolbar);
    m_install->setObjectName(u"installButton"_s);
    connect(m_install, &QPushButton::clicked, this, &CatalogView::installSelected);
    layout->addWidget(m_install);
    return toolbar;
}

QWidget *CatalogView::makeTablePage()
{
    auto *page = new QWidget(m_content);
    page->setObjectName(u"catalogTablePage"_s);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_model = new CatalogTableModel(m_store, this);
    m_table = new CatalogTableView(page);
    // Tab leaves the table; the arrow keys move through it.
    m_table->setTabKeyNavigation(false);
    m_table->setObjectName(u"catalogTable"_s);
    m_table->setAccessibleName(u"Packages"_s);
    m_table->setModel(m_model);
    PackageScreen::setUpTable(m_table, false);
    m_table->setStripedRows(true);
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A scroll bar that came and went as a search found more or fewer rows than fit would change
    // the table's width, refit the columns and repaint every row twice while the user types.
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // It moves on almost every keystroke; filled by itself it does not make every widget behind
    // it repaint that strip too.
    m_table->verticalScrollBar()->setAutoFillBackground(true);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setMinimumSectionSize(28);
    columns->setSectionResizeMode(CatalogTableModel::tickColumn, QHeaderView::Fixed);
    columns->resizeSection(CatalogTableModel::tickColumn, 28);
    // Name and version follow the table's width between their minimum and ideal sizes (see
    // fitColumns()); the description takes the rest.
    columns->setSectionResizeMode(CatalogTableModel::nameColumn, QHeaderView::Fixed);
    columns->resizeSection(CatalogTableModel::nameColumn, 220);
    columns->setSectionResizeMode(CatalogTableModel::typeColumn, QHeaderView::Fixed);
    columns->resizeSection(CatalogTableModel::typeColumn, PackageScreen::textColumnWidth(m_table, u"Formula"_s));
    columns->setSectionResizeMode(CatalogTableModel::versionColumn, QHeaderView::Fixed);
    columns->resizeSection(CatalogTableModel::versionColumn, 90);
    columns->setSectionResizeMode(CatalogTableModel::descriptionColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(CatalogTableModel::homepageColumn, QHeaderView::Fixed);
    columns->resizeSection(CatalogTableModel::homepageColumn, 28);
    m_table->setItemDelegate(new CatalogCellDelegate(m_table));

    connect(
        m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CatalogView::tableSelectionChanged);
    // On press: the press may open the inspector, which narrows the table and moves the link
    // column away from under the pointer before the release.
    connect(m_table, &QTableView::pressed, this, [this](const QModelIndex &index) {
        if (index.column() != CatalogTableModel::homepageColumn || QApplication::mouseButtons() != Qt::LeftButton)
            return;
        const QUrl url = index.data(CatalogTableModel::homepageRole).toUrl();
        if (url.isValid())
            Platform::current().openUrl(url);
    });
    m_table->viewport()->installEventFilter(this);
    m_table->installEventFilter(this);
    layout->addWidget(m_table);
    return page;
}

bool CatalogView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    if (watched == m_table && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        // Space ticks the focused row, whichever of its cells has the keyboard.
        const QModelIndex current = m_table->currentIndex();
        if (current.isValid()) {
            const QModelIndex tick = m_model->index(current.row(), CatalogTableModel::tickColumn);
            if (tick.flags() & Qt::ItemIsUserCheckable) {
                const bool ticked = tick.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
                m_model->setData(tick, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CatalogView::fitColumns()
{
    // A narrow table (small window, inspector open) gives up name and version width first, down
    // to their minimums, so the description keeps some room.
    const int flexible = m_table->viewport()->width() - 28 - 60 - 28;
    QHeaderView *columns = m_table->horizontalHeader();
    columns->resizeSection(CatalogTableModel::nameColumn, std::clamp(flexible * 2 / 5, 150, 220));
    columns->resizeSection(CatalogTableModel::versionColumn, std::clamp(flexible / 6, 60, 90));
}

QWidget *CatalogView::makeBottomBar()
{
    QHBoxLayout *layout = nullptr;
    QWidget *bar = PackageScreen::bottomBar(u"catalogBottomBar"_s, this, layout, m_rowCount, m_pill);
    fixRowCountSize();

    m_selectAll = PackageScreen::linkButton(u"Select all shown"_s, u"selectAllShownButton"_s, bar);
    m_selectAll->setToolTip(u"Ticks all shown packages that are not installed yet (up to 500)"_s);
    connect(m_selectAll, &QPushButton::clicked, this, &CatalogView::selectAllShown);
    layout->addWidget(m_selectAll);

    m_clearSelection = PackageScreen::linkButton(u"Clear selection"_s, u"clearSelectionButton"_s, bar);
    connect(m_clearSelection, &QPushButton::clicked, this, [this] {
        if (m_store)
            m_store->setSelectedIDs({});
    });
    layout->addWidget(m_clearSelection);

    m_loading = new BusyIndicator(bar, 12);
    m_loading->setObjectName(u"catalogLoadingIndicator"_s);
    layout->addWidget(m_loading);
    layout->addStretch(1);

    m_updated = new QLabel(bar);
    m_updated->setObjectName(u"catalogUpdatedLabel"_s);
    m_updated->setFont(Fonts::font(Fonts::Style::caption));
    layout->addWidget(m_updated);
    return bar;
}

void CatalogView::setQuery(const QString &query)
{
    if (m_filter.query == query)
        return;
    m_filter.query = query;
    if (m_search->text() != query) {
        const QSignalBlocker blocker(m_search);
        m_search->setText(query);
    }
    recomputeRows(true);
}

void CatalogView::setKind(KindFilter kind)
{
    if (QAbstractButton *button = m_kindGroup->button(int(kind)); button && !button->isChecked())
        button->setChecked(true);
    if (m_filter.kind == kind)
        return;
    m_filter.kind = kind;
    recomputeRows(true);
}

void CatalogView::setStatus(StatusFilter status)
{
    m_statusPicker->setCurrentIndex(m_statusPicker->findData(int(status)));
    if (m_filter.status == status)
        return;
    m_filter.status = status;
    recomputeRows(true);
}

void CatalogView::recomputeRows(bool fromFilter)
{
    static const QSet<QString> none;
    const QList<Package> catalog = m_store ? m_store->catalog() : QList<Package>();
    if (!m_index.isFor(catalog))
        m_index = CatalogFilter::Index(catalog);
    const CatalogFilter::PackageState state{
        m_store ? m_store->installedFormulae() : none,
        m_store ? m_store->installedCasks() : none,
        m_store ? m_store->selectedIDs() : none,
    };
    m_rows = m_index.rows(m_filter, state);
    {
        // Rows removed under the selection must not read as the user choosing nothing; the
        // selection follows the focused package again just below.
        const QScopedValueRollback guard(m_syncingSelection, true);
        if (fromFilter)
            m_table->scrollToTop();
        m_model->setRows(m_index.catalog(), m_rows);
        // A place in another list means nothing: the keyboard starts again from the top, or
        // from the focused package below.
        m_table->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    syncTableSelection();
    refreshRowCounts();
    refreshContent();
    Q_EMIT rowsChanged();
}

void CatalogView::refreshContent()
{
    const bool empty = !m_store || m_store->catalog().isEmpty();
    if (empty && m_store && m_store->isLoadingCatalog())
        m_content->setCurrentWidget(m_downloading);
    else if (empty && m_store && m_store->catalogError()) {
        m_error->setDescription(*m_store->catalogError());
        m_content->setCurrentWidget(m_error);
    } else
        m_content->setCurrentWidget(m_tablePage);
}

void CatalogView::refreshRowCounts()
{
    const qsizetype count = m_rows.size();
    m_rowCount->setText(count == 1 ? u"1 package"_s : QString::number(count) + u" packages"_s);

    // Only whether the list is empty or over the limit matters: stop counting past it. The index
    // keeps one flag per package, so no name is looked up on a keystroke.
    static const QSet<QString> none;
    const QList<quint8> &installed = m_index.installedRows({ m_store ? m_store->installedFormulae() : none,
        m_store ? m_store->installedCasks() : none, m_store ? m_store->selectedIDs() : none });
    qsizetype notInstalled = 0;
    for (qsizetype row : std::as_const(m_rows)) {
        if (row >= installed.size() || !installed.at(row))
            ++notInstalled;
        if (notInstalled > selectAllLimit)
            break;
    }
    m_selectAll->setEnabled(notInstalled > 0 && notInstalled <= selectAllLimit);
}

QList<Package> CatalogView::selectedNotInstalled() const
{
    QList<Package> packages;
    if (!m_store)
        return packages;
    const PackageIndex &byID = m_store->packagesByID();
    for (const QString &id : m_store->selectedIDs()) {
        const Package *package = byID.find(id);
        if (package && !m_store->isInstalled(*package))
            packages.append(*package);
    }
    return packages;
}

QList<Package> CatalogView::shownNotInstalled() const
{
    QList<Package> packages;
    for (qsizetype row : m_rows) {
        const Package &package = m_index.catalog().at(row);
        if (!m_store || !m_store->isInstalled(package))
            packages.append(package);
    }
    return packages;
}

void CatalogView::refreshSelection()
{
    const qsizetype count = selectedNotInstalled().size();
    m_install->setText(count == 0 ? u"Install"_s : u"Install "_s + QString::number(count));
    m_install->setEnabled(count > 0 && m_store && !m_store->isRunning());
    PackageScreen::setSelectionPill(m_pill, count);
    m_clearSelection->setEnabled(m_store && !m_store->selectedIDs().isEmpty());
    // Installed rows can change under the ticks (after a run): the counts follow.
    refreshRowCounts();
}

void CatalogView::refreshLoading()
{
    const bool loading = m_store && m_store->isLoadingCatalog();
    m_loading->setVisible(loading);
    m_refresh->setEnabled(!loading);
    refreshContent();
}

void CatalogView::refreshDate()
{
    const std::optional<QDateTime> date = m_store ? m_store->catalogDate() : std::nullopt;
    m_updated->setVisible(date.has_value());
    if (date) {
        m_updated->setText(u"Catalog updated "_s + RelativeTime::named(*date, QDateTime::currentDateTime()));
        if (!m_clock.isActive())
            m_clock.start();
    } else {
        m_clock.stop();
    }
}

void CatalogView::setFocusedID(const std::optional<QString> &id)
{
    if (m_focusedID == id)
        return;
    m_focusedID = id;
    syncTableSelection();
    refreshInspector();
    Q_EMIT focusedIDChanged();
}

std::optional<Package> CatalogView::focusedPackage() const
{
    if (!m_focusedID || !m_store)
        return std::nullopt;
    const Package *package = m_store->packagesByID().find(*m_focusedID);
    if (!package)
        return std::nullopt;
    return *package;
}

void CatalogView::syncTableSelection()
{
    const int row = m_focusedID ? m_model->rowOf(*m_focusedID) : -1;
    const QScopedValueRollback guard(m_syncingSelection, true);
    QItemSelectionModel *selection = m_table->selectionModel();
    if (row < 0) {
        selection->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(row, CatalogTableModel::nameColumn);
    selection->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows | QItemSelectionModel::NoUpdate);
    selection->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CatalogView::tableSelectionChanged()
{
    if (m_syncingSelection)
        return;
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    if (selected.isEmpty())
        setFocusedID(std::nullopt);
    else
        setFocusedID(m_model->packageAt(selected.first().row()).id());
}

void CatalogView::refreshInspector()
{
    const std::optional<Package> package = focusedPackage();
    m_inspector->present(package, m_focusedID.has_value());
}

void CatalogView::installSelected()
{
    const QList<Package> packages = selectedNotInstalled();
    if (m_store && !packages.isEmpty())
        Async::start(m_store->install(packages), "Installing packages");
}

void CatalogView::selectAllShown()
{
    if (!m_store)
        return;
    const QList<Package> shown = shownNotInstalled();
    if (shown.isEmpty() || shown.size() > selectAllLimit)
        return;
    QSet<QString> ids = m_store->selectedIDs();
    for (const Package &package : shown)
        ids.insert(package.id());
    m_store->setSelectedIDs(ids);
}

void CatalogView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshColors();
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fixRowCountSize();
}

void CatalogView::fixRowCountSize()
{
    // Room for any count, and a fixed size: a label whose size can change asks every layout up to
    // the window to run again each time its text changes, which is on every keystroke.
    const QFontMetrics metrics = m_rowCount->fontMetrics();
    const QMargins margins = m_rowCount->contentsMargins();
    m_rowCount->setFixedSize(
        metrics.horizontalAdvance(u"00000 packages"_s) + margins.left() + margins.right() + 2 * m_rowCount->margin(),
        metrics.height() + margins.top() + margins.bottom() + 2 * m_rowCount->margin());
}

void CatalogView::refreshColors()
{
    const QColor secondary = Colors::secondary(this);
    Colors::setTextColor(m_rowCount, secondary);
    Colors::setTextColor(m_updated, secondary);
    m_refresh->setIcon(Symbols::icon(u"arrow.clockwise"_s));
    PackageScreen::styleLinks(this, { m_selectAll, m_clearSelection });
    refreshSelection();
}
