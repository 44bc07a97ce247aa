#include "ui/main/InstalledView.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Text.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/EmptyStateView.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/main/CleanupSheet.h"
#include "ui/main/InstalledTableModel.h"
#include "ui/main/PackageInspector.h"
#include "ui/main/PackageScreen.h"
#include "ui/main/UninstallSheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

InstalledView::InstalledView(BrewStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    // The main window finds its screens by these names.
    setObjectName(u"installedScreen"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeToolbar());
    layout->addWidget(Divider::horizontal(this));

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(u"installedSplitter"_s);
    m_splitter->setChildrenCollapsible(false);
    auto *main = new QWidget(m_splitter);
    auto *mainLayout = new QVBoxLayout(main);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    m_content = new QStackedWidget(main);
    m_content->setObjectName(u"installedContent"_s);
    m_model = new InstalledTableModel(this);
    m_table = new QTableView(m_content);
    // Tab leaves the table; the arrow keys move through it.
    m_table->setTabKeyNavigation(false);
    m_table->setObjectName(u"installedTable"_s);
    m_table->setModel(m_model);
    PackageScreen::setUpTable(m_table, true);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setMinimumSectionSize(24);
    columns->setSectionResizeMode(InstalledTableModel::pinColumn, QHeaderView::Fixed);
    columns->resizeSection(InstalledTableModel::pinColumn, 28);
    columns->setSectionResizeMode(InstalledTableModel::nameColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(InstalledTableModel::typeColumn, QHeaderView::Fixed);
    columns->resizeSection(InstalledTableModel::typeColumn, PackageScreen::textColumnWidth(m_table, u"Formula"_s));
    columns->resizeSection(InstalledTableModel::versionColumn, 100);
    columns->resizeSection(InstalledTableModel::reasonColumn, 100);
    columns->resizeSection(InstalledTableModel::statusColumn, 120);
    columns->resizeSection(InstalledTableModel::dateColumn, 90);
    connect(
        m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &InstalledView::tableSelectionChanged);
    m_content->addWidget(m_table);
    m_empty = new EmptyStateView(u"shippingbox"_s, u"No installed packages"_s, m_content);
    m_empty->setObjectName(u"installedEmptyState"_s);
    m_content->addWidget(m_empty);
    mainLayout->addWidget(m_content, 1);
    mainLayout->addWidget(Divider::horizontal(main));
    mainLayout->addWidget(makeBottomBar());
    m_splitter->addWidget(main);
    m_inspector = new PackageInspector(m_store, m_splitter, false);
    m_splitter->addWidget(m_inspector);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    layout->addWidget(m_splitter, 1);

    if (m_store) {
        connect(m_store, &BrewStore::installedPackagesChanged, this, &InstalledView::recomputeRows);
        connect(m_store, &BrewStore::catalogChanged, this, &InstalledView::recomputeRows);
        connect(m_store, &BrewStore::isRunningChanged, this, &InstalledView::refreshEnabled);
        connect(m_store, &BrewStore::brewVersionChanged, this, &InstalledView::refreshEnabled);
    }
    recomputeRows();
    refreshColors();
}

InstalledView::~InstalledView() = default;

QWidget *InstalledView::makeToolbar()
{
    // Two lines: the filters get their own, so the actions keep their whole text at any font size.
    auto *header = new QWidget(this);
    header->setObjectName(u"installedHeader"_s);
    auto *rows = new QVBoxLayout(header);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    QHBoxLayout *layout = nullptr;
    QWidget *toolbar = PackageScreen::toolbar(u"Installed"_s, u"installedToolbar"_s, header, layout);
    rows->addWidget(toolbar);
    auto *filters = new QWidget(header);
    filters->setObjectName(u"installedFilters"_s);
    auto *filterLayout = new QHBoxLayout(filters);
    filterLayout->setContentsMargins(12, 0, 12, 8);
    filterLayout->setSpacing(8);
    rows->addWidget(filters);
    filterLayout->addWidget(PackageScreen::kindPicker(m_filter.kind, filters, m_kindGroup));
    connect(m_kindGroup, &QButtonGroup::idClicked, this, [this](int id) {
        m_filter.kind = KindFilter(id);
        recomputeRows();
    });
    m_onRequest = new QCheckBox(u"Installed on request only"_s, filters);
    m_onRequest->setObjectName(u"onRequestOnlyToggle"_s);
    m_onRequest->setToolTip(u"Only what you asked for and nothing else needs (brew leaves), and all apps"_s);
    connect(m_onRequest, &QCheckBox::toggled, this, [this](bool on) {
        m_onRequestOnly = on;
        recomputeRows();
    });
    filterLayout->addWidget(m_onRequest);
    filterLayout->addStretch(1);
    layout->addStretch(1);

    m_search = PackageScreen::searchField(u"Search name or description"_s, toolbar);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_filter.query = text;
        recomputeRows();
    });
    layout->addWidget(m_search, 4);

    m_reinstall = PackageScreen::toolbarButton(u"Reinstall"_s, u"reinstallButton"_s, toolbar);
    connect(m_reinstall, &QToolButton::clicked, this, &InstalledView::reinstallSelected);
    layout->addWidget(m_reinstall);
    m_pin = PackageScreen::toolbarButton(u"Pin"_s, u"pinButton"_s, toolbar);
    connect(m_pin, &QToolButton::clicked, this, &InstalledView::togglePinSelected);
    layout->addWidget(m_pin);
    m_cleanup = PackageScreen::toolbarButton(u"Clean up…"_s, u"cleanupButton"_s, toolbar);
    m_cleanup->setToolTip(u"Remove old versions, old downloads and dependencies nothing needs"_s);
    connect(m_cleanup, &QToolButton::clicked, this, &InstalledView::openCleanup);
    layout->addWidget(m_cleanup);
    m_uninstall = new QPushButton(u"Uninstall…"_s, toolbar);
    m_uninstall->setObjectName(u"uninstallButton"_s);
    connect(m_uninstall, &QPushButton::clicked, this, [this] { confirmUninstall(selectedPackages()); });
    layout->addWidget(m_uninstall);
    return header;
}

QWidget *InstalledView::makeBottomBar()
{
    QHBoxLayout *layout = nullptr;
    QWidget *bar = PackageScreen::bottomBar(u"installedBottomBar"_s, this, layout, m_rowCount, m_pill);
    m_clearSelection = PackageScreen::linkButton(u"Clear selection"_s, u"clearSelectionButton"_s, bar);
    connect(m_clearSelection, &QPushButton::clicked, this, [this] {
        m_selection.clear();
        syncTableSelection();
        refreshEnabled();
        refreshInspector();
    });
    layout->addWidget(m_clearSelection);
    layout->addStretch(1);
    return bar;
}

void InstalledView::recomputeRows()
{
    const QList<InstalledPackage> all = m_store ? m_store->installedPackages() : QList<InstalledPackage>();
    // The same search as the Packages screen: names that contain the text first, then the rest.
    // The catalog's entry carries the description; brew's own record of a tap package is the fallback.
    QList<Package> asPackages;
    asPackages.reserve(all.size());
    for (const InstalledPackage &package : all) {
        const Package *entry = m_store ? m_store->packagesByID().find(package.id()) : nullptr;
        asPackages.append(entry ? *entry : package.asPackage());
    }
    static const QSet<QString> none;
    const CatalogFilter::PackageState state{ none, none, none };
    const QSet<QString> leaves = m_store ? m_store->requestedLeaves() : QSet<QString>();
    QList<InstalledPackage> rows;
    for (qsizetype row : CatalogFilter::rows(asPackages, m_filter, state)) {
        const InstalledPackage &package = all.at(row);
        if (m_onRequestOnly && package.kind == PackageKind::formula && !leaves.contains(package.name))
            continue;
        rows.append(package);
    }
    m_model->setPackages(rows);
    syncTableSelection();

    m_content->setCurrentWidget(rows.isEmpty() ? static_cast<QWidget *>(m_empty) : m_table);
    if (all.isEmpty()) {
        m_empty->setTitle(u"No installed packages"_s);
        m_empty->setDescription(u"Packages you install from the Packages screen appear here."_s);
    } else {
        m_empty->setTitle(u"No matches"_s);
        m_empty->setDescription(u"No installed package matches the search and filters."_s);
    }
    m_rowCount->setText(Text::counted(rows.size(), u"package"_s, u"packages"_s));
    refreshEnabled();
    refreshInspector();
}

QList<InstalledPackage> InstalledView::selectedPackages() const
{
    QList<InstalledPackage> packages;
    for (const InstalledPackage &package : m_model->packages())
        if (m_selection.contains(package.id()))
            packages.append(package);
    return packages;
}

void InstalledView::syncTableSelection()
{
    const QScopedValueRollback guard(m_syncingSelection, true);
    PackageScreen::selectRows(m_table, m_selection, InstalledTableModel::idRole);
}

void InstalledView::tableSelectionChanged()
{
    if (m_syncingSelection)
        return;
    PackageScreen::takeSelection(m_table, m_selection, InstalledTableModel::idRole);
    refreshEnabled();
    refreshInspector();
}

void InstalledView::refreshEnabled()
{
    const bool running = !m_store || m_store->isRunning();
    const QList<InstalledPackage> selected = selectedPackages();
    const bool single = selected.size() == 1;
    PackageScreen::setSelectionPill(m_pill, selected.size());
    m_clearSelection->setEnabled(!m_selection.isEmpty());
    m_uninstall->setEnabled(!running && !selected.isEmpty());
    m_cleanup->setEnabled(!running);

    m_reinstall->setEnabled(!running && single && !selected.first().pinned);
    m_reinstall->setToolTip(single && selected.first().pinned ? u"Unpin it first: Homebrew skips pinned packages"_s
                                                              : u"Download and install it again"_s);

    const bool pinned = single && selected.first().pinned;
    m_pin->setText(pinned ? u"Unpin"_s : u"Pin"_s);
    const bool caskWithoutPins
        = single && selected.first().kind == PackageKind::cask && m_store && !m_store->canPinCasks();
    m_pin->setEnabled(!running && single && !caskWithoutPins);
    if (caskWithoutPins)
        m_pin->setToolTip(u"Pinning apps needs Homebrew "_s + BrewStore::pinCasksMinimumVersion()
            + u" or later; this Mac has "_s + m_store->brewVersion().value_or(u"an older one"_s));
    else
        m_pin->setToolTip(pinned ? u"Let upgrades update it again"_s : u"Keep it at this version when upgrading"_s);
}

void InstalledView::refreshInspector()
{
    const QList<InstalledPackage> selected = selectedPackages();
    std::optional<Package> package;
    if (selected.size() == 1 && m_store) {
        // The catalog's entry knows more (the latest version, the homepage); a package of a tap
        // or one no longer offered is shown from what brew said about it.
        const Package *entry = m_store->packagesByID().find(selected.first().id());
        package = entry ? *entry : selected.first().asPackage();
    }
    m_inspector->present(package, package.has_value());
}

void InstalledView::confirmUninstall(const QList<InstalledPackage> &packages)
{
    UninstallSheet::ask(m_store, packages, this);
}

void InstalledView::openCleanup()
{
    CleanupSheet::ask(m_store, this);
}

void InstalledView::reinstallSelected()
{
    const QList<InstalledPackage> selected = selectedPackages();
    if (m_store && selected.size() == 1)
        Async::start(m_store->reinstall(selected.first()), "Reinstalling a package");
}

void InstalledView::togglePinSelected()
{
    const QList<InstalledPackage> selected = selectedPackages();
    if (m_store && selected.size() == 1)
        Async::start(m_store->setPinned(selected.first(), !selected.first().pinned), "Changing a pin");
}

void InstalledView::refreshColors()
{
    const QColor secondary = Colors::secondary(this);
    Colors::setTextColor(m_rowCount, secondary);
    m_reinstall->setIcon(Symbols::icon(u"arrow.clockwise"_s));
    m_pin->setIcon(Symbols::icon(u"pin.fill"_s));
    m_cleanup->setIcon(Symbols::icon(u"wand.and.stars"_s));
    m_uninstall->setIcon(Symbols::icon(u"trash"_s));
    PackageScreen::styleLinks(this, { m_clearSelection });
}
