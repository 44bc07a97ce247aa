#include "ui/main/UpdatesView.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Text.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/EmptyStateView.h"
#include "ui/Fonts.h"
#include "ui/ProminentButton.h"
#include "ui/Symbols.h"
#include "ui/main/OutdatedTableModel.h"
#include "ui/main/PackageScreen.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// A row with an optional translucent tint over its background.
class TintedRow : public QWidget {
public:
    using QWidget::QWidget;

    void setTint(const QColor &tint)
    {
        if (m_tint == tint)
            return;
        m_tint = tint;
        update();
    }
    QColor tint() const { return m_tint; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!m_tint.isValid())
            return;
        QPainter painter(this);
        painter.fillRect(rect(), m_tint);
    }

private:
    QColor m_tint;
};

} // namespace

UpdatesView::UpdatesView(BrewStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    // The main window finds its screens by these names.
    setObjectName(u"updatesScreen"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeToolbar());
    layout->addWidget(Divider::horizontal(this));
    layout->addWidget(makeHomebrewRow());
    layout->addWidget(Divider::horizontal(this));

    m_content = new QStackedWidget(this);
    m_content->setObjectName(u"updatesContent"_s);
    m_model = new OutdatedTableModel(this);
    m_table = new QTableView(m_content);
    // Tab leaves the table; the arrow keys move through it.
    m_table->setTabKeyNavigation(false);
    m_table->setObjectName(u"outdatedTable"_s);
    m_table->setModel(m_model);
    PackageScreen::setUpTable(m_table, true);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setMinimumSectionSize(24);
    columns->setSectionResizeMode(OutdatedTableModel::pinColumn, QHeaderView::Fixed);
    columns->resizeSection(OutdatedTableModel::pinColumn, 28);
    columns->setSectionResizeMode(OutdatedTableModel::nameColumn, QHeaderView::Interactive);
    columns->resizeSection(OutdatedTableModel::nameColumn, 240);
    columns->setSectionResizeMode(OutdatedTableModel::typeColumn, QHeaderView::Fixed);
    columns->resizeSection(OutdatedTableModel::typeColumn, PackageScreen::textColumnWidth(m_table, u"Formula"_s));
    columns->setSectionResizeMode(OutdatedTableModel::installedColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(OutdatedTableModel::availableColumn, QHeaderView::Stretch);
    connect(
        m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &UpdatesView::tableSelectionChanged);
    m_content->addWidget(m_table);

    m_empty = new EmptyStateView(u"checkmark.seal"_s, u"Everything is up to date"_s, m_content);
    m_empty->setObjectName(u"updatesEmptyState"_s);
    m_empty->setDescription(u"Press “Check for updates” to refresh the Homebrew index."_s);
    m_content->addWidget(m_empty);
    layout->addWidget(m_content, 1);

    if (m_store) {
        connect(m_store, &BrewStore::outdatedChanged, this, &UpdatesView::refreshOutdated);
        connect(m_store, &BrewStore::brewVersionChanged, this, &UpdatesView::refreshHeader);
        connect(m_store, &BrewStore::latestBrewVersionChanged, this, &UpdatesView::refreshHeader);
        connect(m_store, &BrewStore::isRunningChanged, this, &UpdatesView::refreshEnabled);
        connect(m_store, &BrewStore::includeSelfUpdatingChanged, this, [this] {
            {
                const QSignalBlocker blocker(m_selfUpdating);
                m_selfUpdating->setChecked(m_store->includeSelfUpdating());
            }
            // The outdated list depends on the option; list it again while the user looks at it.
            Async::start(m_store->refreshInstalled(), "Listing outdated packages");
        });
    }

    refreshOutdated();
    refreshHeader();
    refreshColors();
}

UpdatesView::~UpdatesView() = default;

QWidget *UpdatesView::makeToolbar()
{
    QHBoxLayout *layout = nullptr;
    QWidget *toolbar = PackageScreen::toolbar(u"Updates"_s, u"updatesToolbar"_s, this, layout);
    layout->addStretch(1);

    m_check = PackageScreen::toolbarButton(u"Check for updates"_s, u"checkForUpdatesButton"_s, toolbar);
    connect(m_check, &QToolButton::clicked, this, [this] {
        if (m_store)
            Async::start(m_store->updateHomebrew(), "Checking for updates");
    });
    layout->addWidget(m_check);

    m_upgradeSelected = PackageScreen::toolbarButton(u"Upgrade selected"_s, u"upgradeSelectedButton"_s, toolbar);
    connect(m_upgradeSelected, &QToolButton::clicked, this, [this] {
        const QList<OutdatedPackage> packages = selectedOutdated();
        if (m_store && !packages.isEmpty())
            Async::start(m_store->upgrade(packages), "Upgrading packages");
    });
    layout->addWidget(m_upgradeSelected);

    m_pinnedNote = new QLabel(toolbar);
    m_pinnedNote->setObjectName(u"pinnedNote"_s);
    m_pinnedNote->setFont(Fonts::font(Fonts::Style::caption));
    m_pinnedNote->setToolTip(u"Pinned packages stay at their version until you unpin them"_s);
    layout->addWidget(m_pinnedNote);

    m_upgradeAll = new ProminentButton(u"arrow.up.circle.fill"_s, u"Upgrade all"_s, toolbar);
    m_upgradeAll->setObjectName(u"upgradeAllButton"_s);
    connect(m_upgradeAll, &QPushButton::clicked, this, [this] {
        if (m_store)
            Async::start(m_store->upgradeAll(), "Upgrading all packages");
    });
    layout->addWidget(m_upgradeAll);
    return toolbar;
}

QWidget *UpdatesView::makeHomebrewRow()
{
    auto *row = new TintedRow(this);
    m_homebrewRow = row;
    row->setObjectName(u"homebrewRow"_s);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);

    m_symbol = new QLabel(row);
    m_symbol->setObjectName(u"homebrewSymbol"_s);
    layout->addWidget(m_symbol);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_version = new QLabel(row);
    m_version->setObjectName(u"homebrewVersionLabel"_s);
    m_version->setFont(Fonts::font(Fonts::Style::headline));
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    texts->addWidget(m_version);
    m_status = new QLabel(row);
    m_status->setObjectName(u"homebrewStatusLabel"_s);
    m_status->setFont(Fonts::font(Fonts::Style::caption));
    texts->addWidget(m_status);
    layout->addLayout(texts);
    layout->addStretch(1);

    m_selfUpdating = new QCheckBox(u"Include self-updating apps"_s, row);
    m_selfUpdating->setObjectName(u"selfUpdatingToggle"_s);
    m_selfUpdating->setToolTip(
        u"Also upgrade casks that update themselves (brew --greedy), such as Chrome or VS Code"_s);
    m_selfUpdating->setChecked(m_store && m_store->includeSelfUpdating());
    connect(m_selfUpdating, &QCheckBox::toggled, this, [this](bool on) {
        if (m_store)
            m_store->setIncludeSelfUpdating(on);
    });
    layout->addWidget(m_selfUpdating);

    m_updateHomebrew = new QPushButton(u"Update Homebrew"_s, row);
    m_updateHomebrew->setObjectName(u"updateHomebrewButton"_s);
    connect(m_updateHomebrew, &QPushButton::clicked, this, [this] {
        if (m_store)
            Async::start(m_store->updateHomebrew(), "Updating Homebrew");
    });
    layout->addWidget(m_updateHomebrew);
    return row;
}

QList<OutdatedPackage> UpdatesView::selectedOutdated() const
{
    QList<OutdatedPackage> packages;
    if (!m_store)
        return packages;
    for (const OutdatedPackage &package : m_store->outdated())
        if (m_selection.contains(package.id()))
            packages.append(package);
    return packages;
}

void UpdatesView::refreshOutdated()
{
    const QList<OutdatedPackage> outdated = m_store ? m_store->outdated() : QList<OutdatedPackage>();
    m_model->setPackages(outdated);
    syncTableSelection();
    m_content->setCurrentWidget(outdated.isEmpty() ? static_cast<QWidget *>(m_empty) : m_table);
    refreshEnabled();
}

void UpdatesView::syncTableSelection()
{
    const QScopedValueRollback guard(m_syncingSelection, true);
    PackageScreen::selectRows(m_table, m_selection, OutdatedTableModel::idRole);
}

void UpdatesView::tableSelectionChanged()
{
    if (m_syncingSelection)
        return;
    PackageScreen::takeSelection(m_table, m_selection, OutdatedTableModel::idRole);
    refreshEnabled();
}

void UpdatesView::refreshHeader()
{
    const bool updateAvailable = m_store && m_store->brewUpdateAvailable();
    const std::optional<QString> latest = m_store ? m_store->latestBrewVersion() : std::nullopt;
    m_version->setText(u"Homebrew "_s + (m_store ? m_store->brewVersion().value_or(QString()) : QString()));
    if (updateAvailable && latest) {
        m_status->setText(u"Version "_s + *latest + u" is available"_s);
        Colors::setTextColor(m_status, Colors::readableOn(Colors::orange(), palette().color(QPalette::Window)));
    } else {
        m_status->setText(u"Homebrew is up to date"_s);
        Colors::setTextColor(m_status, Colors::secondary(this));
    }
    Colors::setTextColor(m_pinnedNote, Colors::secondary(this));
    static_cast<TintedRow *>(m_homebrewRow)
        ->setTint(updateAvailable ? Colors::withOpacity(Colors::orange(), 0.12) : QColor());
    m_updateHomebrew->setVisible(updateAvailable);
    refreshEnabled();
}

void UpdatesView::refreshEnabled()
{
    const bool running = !m_store || m_store->isRunning();
    const bool anyOutdated = m_store && !m_store->outdated().isEmpty();
    m_check->setEnabled(!running);
    m_upgradeSelected->setEnabled(!running && !selectedOutdated().isEmpty());
    m_upgradeAll->setEnabled(!running && anyOutdated);
    m_selfUpdating->setEnabled(!running);
    m_updateHomebrew->setEnabled(!running);
    // `brew upgrade` leaves pinned packages alone: say so before the user counts on it.
    const int pinned = m_store ? m_store->pinnedOutdatedCount() : 0;
    m_pinnedNote->setVisible(pinned > 0);
    m_pinnedNote->setText(u"Leaves out "_s + Text::counted(pinned, u"pinned package"_s, u"pinned packages"_s));
}

void UpdatesView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshColors();
}

void UpdatesView::refreshColors()
{
    const QColor secondary = Colors::secondary(this);
    m_symbol->setPixmap(Symbols::pixmap(u"shippingbox.fill"_s, 22, secondary, devicePixelRatioF()));
    m_check->setIcon(Symbols::icon(u"arrow.clockwise"_s));
    m_upgradeSelected->setIcon(Symbols::icon(u"arrow.up.circle"_s));
    refreshHeader();
}
