#include "ui/main/MainView.h"

#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "setup/engine/SetupStore.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"
#include "ui/main/CatalogView.h"
#include "ui/main/ErrorDetailsSheet.h"
#include "ui/main/HomeView.h"
#include "ui/main/InstalledView.h"
#include "ui/main/LogPanel.h"
#include "ui/main/ServicesView.h"
#include "ui/main/StatusBar.h"
#include "ui/main/UpdatesView.h"
#include "ui/main/VexlerMark.h"
#include "ui/wizard/WizardView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int sectionRole = MainView::sectionRole;
constexpr int badgeRole = MainView::badgeRole;

// The maker's mark in the brand gradient, as the sidebar header shows it.
class MarkView : public QWidget {
public:
    explicit MarkView(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(22, 22);
        setAccessibleName(u"Quillrig"_s);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box(rect());
        painter.fillPath(VexlerMark::path(box), Colors::brandGradient(box));
    }
};

// Sidebar rows with an optional count badge at the trailing edge.
class BadgeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const int count = index.data(badgeRole).toInt();
        if (count <= 0)
            return;
        const QString text = QString::number(count);
        QFont font = option.font;
        font.setPointSizeF(font.pointSizeF() * 0.85);
        font.setWeight(QFont::DemiBold);
        const QFontMetrics metrics(font);
        const int height = metrics.height() + 2;
        const int width = std::max(height, metrics.horizontalAdvance(text) + 12);
        const QRect badge(option.rect.right() - 8 - width, option.rect.center().y() - height / 2, width, height);
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        const QColor text_color = option.palette.color(selected ? QPalette::HighlightedText : QPalette::WindowText);
        painter->setBrush(Colors::withOpacity(text_color, selected ? 0.25 : 0.12));
        painter->drawRoundedRect(badge, height / 2.0, height / 2.0);
        painter->setPen(text_color);
        painter->setFont(font);
        painter->drawText(badge, Qt::AlignCenter, text);
        painter->restore();
    }
};

QWidget *placeholder(const QString &title, const QString &objectName)
{
    auto *screen = new QWidget;
    screen->setObjectName(objectName);
    auto *layout = new QVBoxLayout(screen);
    auto *label = new QLabel(title, screen);
    label->setFont(Fonts::font(Fonts::Style::title2, QFont::Bold));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return screen;
}

QString titleOf(SidebarSection section)
{
    return MainView::sectionTitle(section);
}

} // namespace

QString MainView::sectionTitle(SidebarSection section)
{
    switch (section) {
    case SidebarSection::home:
        return u"Home"_s;
    case SidebarSection::catalog:
        return u"Packages"_s;
    case SidebarSection::installed:
        return u"Installed"_s;
    case SidebarSection::updates:
        return u"Updates"_s;
    case SidebarSection::services:
        return u"Services"_s;
    }
    return {};
}

namespace {

QString symbolOf(SidebarSection section)
{
    switch (section) {
    case SidebarSection::home:
        return /*symbol*/ u"house"_s;
    case SidebarSection::catalog:
        return /*symbol*/ u"square.grid.2x2"_s;
    case SidebarSection::installed:
        return /*symbol*/ u"shippingbox"_s;
    case SidebarSection::updates:
        return /*symbol*/ u"arrow.triangle.2.circlepath"_s;
    case SidebarSection::services:
        return /*symbol*/ u"gearshape"_s;
    }
    return {};
}

} // namespace

MainView::MainView(BrewStore *store, ActivityStore *activity, SetupStore *setup, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_activity(activity)
    , m_setup(setup)
{
    setObjectName(u"mainView"_s);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(u"mainSplitter"_s);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(makeSidebar());

    m_detail = new QWidget(splitter);
    m_detail->setObjectName(u"detail"_s);
    m_detailLayout = new QVBoxLayout(m_detail);
    m_detailLayout->setContentsMargins(0, 0, 0, 0);
    m_detailLayout->setSpacing(0);
    m_logDivider = Divider::horizontal(m_detail);
    m_logDivider->setObjectName(u"logDivider"_s);
    m_log = new LogPanel(store, m_detail);
    m_detailLayout->addWidget(m_logDivider);
    m_detailLayout->addWidget(m_log);
    splitter->addWidget(m_detail);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 190, 770 });
    outer->addWidget(splitter, 1);

    m_statusBar = new StatusBar(activity, this);
    outer->addWidget(m_statusBar);

    if (m_store) {
        connect(m_store, &BrewStore::outdatedChanged, this, &MainView::refreshBadge);
        connect(m_store, &BrewStore::installedPackagesChanged, this, &MainView::refreshBadge);
        connect(m_store, &BrewStore::isRunningChanged, this, &MainView::refreshLogPanel);
        connect(m_store, &BrewStore::logChanged, this, &MainView::refreshLogPanel);
    }
    if (m_activity)
        connect(m_activity, &ActivityStore::showingErrorChanged, this, &MainView::refreshErrorSheet);
    if (m_setup) {
        m_statesKnown = !m_setup->states().isEmpty();
        connect(m_setup, &SetupStore::statesChanged, this, [this] {
            // The first-run rule looks again whenever the states appear (or go).
            const bool known = !m_setup->states().isEmpty();
            if (known == m_statesKnown)
                return;
            m_statesKnown = known;
            runFirstRunRule();
        });
    }

    showScreen();
    syncSidebar();
    refreshBadge();
    refreshErrorSheet();
}

MainView::~MainView()
{
    // The sheets are separate windows; they must not outlive the view whose stores they read.
    delete m_errorSheet;
    delete m_wizardSheet;
}

QWidget *MainView::makeHomeView()
{
    if (!m_setup)
        return placeholder(u"Home"_s, u"homeScreen"_s);
    auto *home = new HomeView(m_store, m_setup);
    connect(home, &HomeView::openWizard, this, &MainView::openWizard);
    connect(home, &HomeView::openUpdates, this, &MainView::openUpdates);
    return home;
}

QWidget *MainView::makeCatalogView()
{
    return new CatalogView(m_store);
}

QWidget *MainView::makeInstalledView()
{
    return new InstalledView(m_store);
}

QWidget *MainView::makeUpdatesView()
{
    return new UpdatesView(m_store);
}

QWidget *MainView::makeServicesView()
{
    return new ServicesView(m_store);
}

QWidget *MainView::makeSidebar()
{
    auto *sidebar = new QWidget;
    sidebar->setObjectName(u"sidebar"_s);
    sidebar->setMinimumWidth(170);
    sidebar->setMaximumWidth(240);
    // One surface for the header and the list below it.
    sidebar->setBackgroundRole(QPalette::Base);
    sidebar->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *header = new QWidget(sidebar);
    header->setObjectName(u"sidebarHeader"_s);
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(14, 10, 14, 10);
    headerLayout->setSpacing(8);
    headerLayout->addWidget(new MarkView(header));
    auto *name = new QLabel(u"Quillrig"_s, header);
    name->setObjectName(u"sidebarTitle"_s);
    name->setFont(Fonts::font(Fonts::Style::headline));
    headerLayout->addWidget(name);
    headerLayout->addStretch(1);
    layout->addWidget(header);

    m_sidebarList = new QListWidget(sidebar);
    m_sidebarList->setObjectName(u"sidebarList"_s);
    m_sidebarList->setFrameShape(QFrame::NoFrame);
    m_sidebarList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_sidebarList->setIconSize(QSize(16, 16));
    m_sidebarList->setItemDelegate(new BadgeDelegate(m_sidebarList));
    for (SidebarSection section : allSidebarSections()) {
        auto *item = new QListWidgetItem(Symbols::icon(symbolOf(section)), titleOf(section), m_sidebarList);
        item->setData(sectionRole, int(section));
    }
    m_sidebarList->setAccessibleName(u"Sections"_s);
    connect(m_sidebarList, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> selected = m_sidebarList->selectedItems();
        if (selected.isEmpty())
            setSection(std::nullopt);
        else
            setSection(SidebarSection(selected.first()->data(sectionRole).toInt()));
    });
    layout->addWidget(m_sidebarList, 1);
    applyMetrics();
    return sidebar;
}

void MainView::applyMetrics()
{
    // Rows grow with the text size instead of clipping it.
    const int rowHeight = std::max(28, fontMetrics().height() + 12);
    for (int row = 0; row < m_sidebarList->count(); ++row)
        m_sidebarList->item(row)->setSizeHint(QSize(0, rowHeight));
}

void MainView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_sidebarList)
        applyMetrics();
}

bool MainView::focusSearch()
{
    auto *search = m_screen ? m_screen->findChild<QLineEdit *>(u"searchField"_s) : nullptr;
    if (!search || !search->isVisible())
        return false;
    search->setFocus(Qt::ShortcutFocusReason);
    search->selectAll();
    return true;
}

void MainView::setSection(std::optional<SidebarSection> section)
{
    if (m_section == section)
        return;
    m_section = section;
    syncSidebar();
    showScreen();
    Q_EMIT sectionChanged();
}

void MainView::syncSidebar()
{
    const QSignalBlocker blocker(m_sidebarList);
    m_sidebarList->clearSelection();
    for (int row = 0; row < m_sidebarList->count(); ++row) {
        QListWidgetItem *item = m_sidebarList->item(row);
        if (m_section && item->data(sectionRole).toInt() == int(*m_section)) {
            m_sidebarList->setCurrentItem(item);
            item->setSelected(true);
        }
    }
}

void MainView::showScreen()
{
    QWidget *next = nullptr;
    switch (m_section.value_or(SidebarSection::home)) {
    case SidebarSection::home:
        next = makeHomeView();
        break;
    case SidebarSection::catalog:
        next = makeCatalogView();
        break;
    case SidebarSection::installed:
        next = makeInstalledView();
        break;
    case SidebarSection::updates:
        next = makeUpdatesView();
        break;
    case SidebarSection::services:
        next = makeServicesView();
        break;
    }
    if (m_screen) {
        m_detailLayout->removeWidget(m_screen);
        m_screen->hide();
        m_screen->deleteLater();
    }
    m_screen = next;
    m_detailLayout->insertWidget(0, m_screen, 1);
    // A layout shows a new child only at the next turn of the event loop; show it now, so a
    // shortcut can put the focus into it at once.
    m_screen->show();
    refreshLogPanel();
}

void MainView::refreshBadge()
{
    const int outdated = m_store ? int(m_store->outdated().size()) : 0;
    const int installed = m_store ? int(m_store->installedPackages().size()) : 0;
    for (int row = 0; row < m_sidebarList->count(); ++row) {
        QListWidgetItem *item = m_sidebarList->item(row);
        if (item->data(sectionRole).toInt() == int(SidebarSection::updates))
            item->setData(badgeRole, outdated);
        if (item->data(sectionRole).toInt() == int(SidebarSection::installed))
            item->setData(badgeRole, installed);
        // The badge is painted; a screen reader hears the count with the row's name.
        const int count = item->data(badgeRole).toInt();
        item->setData(
            Qt::AccessibleTextRole, count > 0 ? item->text() + u", "_s + QString::number(count) : item->text());
    }
}

void MainView::refreshLogPanel()
{
    // Never under Home (also when nothing is selected, which shows Home); elsewhere while a run
    // is going on, even before it printed anything, or while there is output to read.
    const bool onHome = m_section.value_or(SidebarSection::home) == SidebarSection::home;
    const bool visible = !onHome && m_store && (m_store->isRunning() || !m_store->log().isEmpty());
    m_logDivider->setVisible(visible);
    m_log->setVisible(visible);
}

void MainView::refreshErrorSheet()
{
    const bool showing = m_activity && m_activity->showingError();
    if (showing && !m_errorSheet) {
        m_errorSheet = new ErrorDetailsSheet(m_activity, window());
        m_errorSheet->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_errorSheet, &QDialog::finished, this, [this] {
            if (m_activity)
                m_activity->setShowingError(false);
        });
        m_errorSheet->open();
    } else if (!showing && m_errorSheet) {
        m_errorSheet->close();
    }
}

void MainView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    runFirstRunRule();
}

void MainView::runFirstRunRule()
{
    // Opens the wizard by itself once, on a Mac that is not set up yet, as soon as the first
    // check has told what is there.
    if (!m_setup || m_setup->states().isEmpty() || m_setup->hasSeenWizard() || !isVisible())
        return;
    int complete = 0;
    for (const SetupComponent component : allSetupComponents()) {
        if (m_setup->state(component).isInPlace())
            ++complete;
    }
    if (complete == int(allSetupComponents().size()))
        return;
    m_setup->setHasSeenWizard(true);
    setWizard(WizardRequest::make());
}

void MainView::openWizard(std::optional<SetupComponent> only)
{
    setWizard(WizardRequest::make(only));
}

void MainView::setWizard(const WizardRequest &request)
{
    if (!m_setup)
        return;
    // A sheet whose run is still going stays; the new request waits for the user to close it.
    if (m_wizardSheet && m_setup->isApplying())
        return;
    if (m_wizardSheet)
        m_wizardSheet->close();
    m_wizard = request;
    auto *sheet = new WizardView(m_store, m_setup, request, window());
    m_wizardSheet = sheet;
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this, sheet] {
        if (m_wizardSheet == sheet) {
            m_wizardSheet = nullptr;
            m_wizard.reset();
        }
        // Closing by any means, Cancel included, checks the components again.
        if (m_setup)
            Async::start(m_setup->refresh(), "Checking the components");
    });
    sheet->open();
}

WizardView *MainView::wizardSheet() const
{
    return m_wizardSheet;
}
