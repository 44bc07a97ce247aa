#include "ui/main/ServicesView.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Platform.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/EmptyStateView.h"
#include "ui/Fonts.h"
#include "ui/PaletteFollower.h"
#include "ui/Symbols.h"
#include "ui/main/PackageScreen.h"
#include "ui/main/ServicesTableModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

bool isActive(const QString &status)
{
    return status == u"started"_s || status == u"scheduled"_s;
}

QString yesNo(bool value)
{
    return value ? u"yes"_s : u"no"_s;
}

QString fieldRow(const QString &label, const QString &value)
{
    return u"<tr><td style='padding-right:10px;color:gray'>%1</td><td>%2</td></tr>"_s.arg(
        label.toHtmlEscaped(), value.toHtmlEscaped());
}

} // namespace

ServicesView::ServicesView(BrewStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(u"servicesScreen"_s);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeToolbar());
    layout->addWidget(Divider::horizontal(this));

    m_banner = new QLabel(this);
    m_banner->setObjectName(u"servicesRefreshError"_s);
    m_banner->setWordWrap(true);
    m_banner->setContentsMargins(12, 6, 12, 6);
    Colors::setTextColor(m_banner, Colors::red());
    m_banner->setVisible(false);
    layout->addWidget(m_banner);

    m_content = new QStackedWidget(this);
    m_content->setObjectName(u"servicesContent"_s);

    auto *splitter = new QSplitter(Qt::Horizontal, m_content);
    splitter->setChildrenCollapsible(false);
    m_listPage = splitter;
    m_model = new ServicesTableModel(this);
    m_table = new QTableView(splitter);
    // Tab leaves the table; the arrow keys move through it.
    m_table->setTabKeyNavigation(false);
    m_table->setObjectName(u"servicesTable"_s);
    m_table->setModel(m_model);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(PackageScreen::rowHeight(m_table));
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setHighlightSections(false);
    columns->setSectionsClickable(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSectionResizeMode(ServicesTableModel::nameColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(ServicesTableModel::statusColumn, QHeaderView::Interactive);
    columns->resizeSection(ServicesTableModel::statusColumn, 110);
    columns->setSectionResizeMode(ServicesTableModel::userColumn, QHeaderView::Interactive);
    columns->resizeSection(ServicesTableModel::userColumn, 90);
    columns->setSectionResizeMode(ServicesTableModel::exitCodeColumn, QHeaderView::Fixed);
    columns->resizeSection(ServicesTableModel::exitCodeColumn, 70);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ServicesView::refreshEnabled);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &ServicesView::refreshDetails);
    splitter->addWidget(m_table);
    splitter->addWidget(makeDetails());
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({ 480, 260 });
    m_content->addWidget(splitter);

    m_loading = new EmptyStateView(u"gearshape"_s, u"Reading services…"_s, m_content);
    m_loading->setObjectName(u"servicesLoading"_s);
    m_content->addWidget(m_loading);
    m_empty = new EmptyStateView(u"gearshape"_s, u"No background services"_s, m_content);
    m_empty->setObjectName(u"servicesEmptyState"_s);
    m_empty->setDescription(
        u"None of the installed formulae provides a service. Databases and servers such as PostgreSQL or Redis do."_s);
    m_content->addWidget(m_empty);
    m_error = new EmptyStateView(u"exclamationmark.triangle.fill"_s, u"Couldn't read the services"_s, m_content);
    m_error->setObjectName(u"servicesErrorState"_s);
    m_error->setActionText(u"Retry"_s);
    connect(m_error, &EmptyStateView::actionTriggered, this, [this] {
        if (m_store)
            Async::start(m_store->refreshServices(), "Reading the services");
    });
    m_content->addWidget(m_error);
    layout->addWidget(m_content, 1);

    if (m_store) {
        connect(m_store, &BrewStore::servicesChanged, this, &ServicesView::refreshList);
        connect(m_store, &BrewStore::servicesErrorChanged, this, &ServicesView::refreshList);
        connect(m_store, &BrewStore::isLoadingServicesChanged, this, &ServicesView::refreshList);
        connect(m_store, &BrewStore::isRunningChanged, this, &ServicesView::refreshEnabled);
        // Each visit reads the list again: services start and stop behind our back.
        Async::start(m_store->refreshServices(), "Reading the services");
    }
    refreshList();
}

ServicesView::~ServicesView() = default;

QToolButton *ServicesView::actionButton(
    const QString &text, const QString &symbol, const QString &objectName, const QString &toolTip, int action)
{
    auto *button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setText(text);
    button->setIcon(Symbols::icon(symbol));
    button->setToolTip(toolTip);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setIconSize(QSize(15, 15));
    if (action >= 0) {
        connect(button, &QToolButton::clicked, this, [this, action] {
            const QStringList names = selectedNames();
            if (m_store && !names.isEmpty())
                Async::start(m_store->controlServices(BrewStore::ServiceAction(action), names), "Controlling services");
        });
        m_actions.append(button);
    }
    return button;
}

QWidget *ServicesView::makeToolbar()
{
    auto *toolbar = new QWidget(this);
    toolbar->setObjectName(u"servicesToolbar"_s);
    auto *outer = new QVBoxLayout(toolbar);
    outer->setContentsMargins(12, 8, 12, 6);
    outer->setSpacing(2);
    auto *layout = new QHBoxLayout;
    layout->setSpacing(6);
    auto *title = new QLabel(u"Services"_s, toolbar);
    title->setObjectName(u"screenTitle"_s);
    title->setFont(Fonts::font(Fonts::Style::title3, QFont::Bold));
    layout->addWidget(title);
    layout->addStretch(1);
    m_start = actionButton(u"Start"_s, u"play.circle"_s, u"startServiceButton"_s,
        u"Start now and again at every login (brew services start)"_s, int(BrewStore::ServiceAction::start));
    m_stop = actionButton(u"Stop"_s, u"minus.circle"_s, u"stopServiceButton"_s,
        u"Stop now and no longer start at login (brew services stop)"_s, int(BrewStore::ServiceAction::stop));
    m_restart = actionButton(u"Restart"_s, u"arrow.clockwise"_s, u"restartServiceButton"_s,
        u"Stop and start again; starts at every login (brew services restart)"_s,
        int(BrewStore::ServiceAction::restart));
    m_runOnce = actionButton(u"Run once"_s, u"circle"_s, u"runServiceOnceButton"_s,
        u"Start now without starting at login (brew services run)"_s, int(BrewStore::ServiceAction::runOnce));
    m_refresh = actionButton(u"Refresh"_s, u"arrow.triangle.2.circlepath"_s, u"refreshServicesButton"_s,
        u"Read the list of services again"_s, -1);
    connect(m_refresh, &QToolButton::clicked, this, [this] {
        if (m_store)
            Async::start(m_store->refreshServices(), "Reading the services");
    });
    for (QToolButton *button : { m_start, m_stop, m_restart, m_runOnce })
        layout->addWidget(button);
    layout->addSpacing(8);
    layout->addWidget(m_refresh);
    outer->addLayout(layout);
    auto *hint = new QLabel(
        u"Start and Restart also start the service at every login; Stop removes it from login; Run once starts it this time only."_s,
        toolbar);
    hint->setObjectName(u"servicesLoginHint"_s);
    hint->setWordWrap(true);
    hint->setFont(Fonts::font(Fonts::Style::caption));
    PaletteFollower::secondaryText(hint);
    outer->addWidget(hint);
    return toolbar;
}

QWidget *ServicesView::makeDetails()
{
    m_details = new QWidget(this);
    m_details->setObjectName(u"serviceDetails"_s);
    m_details->setMinimumWidth(220);
    auto *layout = new QVBoxLayout(m_details);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    m_detailTitle = new QLabel(m_details);
    m_detailTitle->setObjectName(u"serviceDetailTitle"_s);
    m_detailTitle->setFont(Fonts::font(Fonts::Style::headline));
    m_detailTitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_detailTitle);
    m_detailFields = new QLabel(m_details);
    m_detailFields->setObjectName(u"serviceDetailFields"_s);
    m_detailFields->setTextFormat(Qt::RichText);
    m_detailFields->setWordWrap(true);
    m_detailFields->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_detailFields->setFont(Fonts::font(Fonts::Style::callout));
    layout->addWidget(m_detailFields);
    m_readOnly = new QLabel(m_details);
    m_readOnly->setObjectName(u"serviceReadOnlyReason"_s);
    m_readOnly->setWordWrap(true);
    m_readOnly->setFont(Fonts::font(Fonts::Style::callout));
    PaletteFollower::follow(m_readOnly,
        [](const QPalette &palette) { return Colors::readableOn(Colors::orange(), palette.color(QPalette::Window)); });
    layout->addWidget(m_readOnly);
    auto *buttons = new QHBoxLayout;
    m_openLog = new QPushButton(u"Open log"_s, m_details);
    m_openLog->setObjectName(u"openServiceLogButton"_s);
    m_openErrorLog = new QPushButton(u"Open error log"_s, m_details);
    m_openErrorLog->setObjectName(u"openServiceErrorLogButton"_s);
    connect(m_openLog, &QPushButton::clicked, this, [this] {
        if (m_shownDetails && m_shownDetails->logPath)
            Platform::current().openFile(*m_shownDetails->logPath);
    });
    connect(m_openErrorLog, &QPushButton::clicked, this, [this] {
        if (m_shownDetails && m_shownDetails->errorLogPath)
            Platform::current().openFile(*m_shownDetails->errorLogPath);
    });
    buttons->addWidget(m_openLog);
    buttons->addWidget(m_openErrorLog);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return m_details;
}

QStringList ServicesView::selectedNames() const
{
    QStringList names;
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    for (const ServiceEntry &service : m_model->services())
        for (const QModelIndex &row : rows)
            if (row.data(ServicesTableModel::nameRole).toString() == service.name)
                names.append(service.name);
    return names;
}

std::optional<ServiceEntry> ServicesView::focused() const
{
    const QModelIndex current = m_table->selectionModel()->currentIndex();
    if (!current.isValid())
        return std::nullopt;
    return m_model->services().value(current.row());
}

void ServicesView::refreshList()
{
    if (!m_store)
        return;
    const QString focusedName = focused() ? focused()->name : QString();
    m_model->setServices(m_store->services());
    const std::optional<QString> error = m_store->servicesError();
    if (!m_store->servicesKnown()) {
        if (error) {
            m_error->setDescription(*error);
            m_content->setCurrentWidget(m_error);
        } else {
            m_content->setCurrentWidget(m_loading);
        }
        m_banner->setVisible(false);
    } else {
        // A failed refresh keeps the last list on screen and says why above it.
        m_banner->setText(error ? u"Couldn't refresh the services: "_s + *error : QString());
        m_banner->setVisible(error.has_value());
        m_content->setCurrentWidget(m_store->services().isEmpty() ? static_cast<QWidget *>(m_empty) : m_listPage);
    }
    if (!m_table->selectionModel()->currentIndex().isValid() && m_model->rowCount() > 0 && focusedName.isEmpty())
        m_table->selectionModel()->setCurrentIndex(
            m_model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    refreshEnabled();
    refreshDetails();
}

void ServicesView::refreshEnabled()
{
    const bool idle = m_store && !m_store->isRunning();
    bool anyStartable = false;
    bool anyLoaded = false;
    bool anyControllable = false;
    const QStringList names = selectedNames();
    for (const ServiceEntry &service : m_model->services()) {
        if (!names.contains(service.name) || service.isOwnedByRoot())
            continue;
        anyControllable = true;
        anyStartable = anyStartable || !isActive(service.status);
        anyLoaded = anyLoaded || service.status != u"none"_s;
    }
    m_start->setEnabled(idle && anyStartable);
    m_runOnce->setEnabled(idle && anyStartable);
    m_stop->setEnabled(idle && anyLoaded);
    m_restart->setEnabled(idle && anyControllable);
    m_refresh->setEnabled(m_store && !m_store->isLoadingServices());
}

void ServicesView::refreshDetails()
{
    const std::optional<ServiceEntry> entry = focused();
    m_details->setVisible(entry.has_value());
    if (!entry) {
        m_detailsFor.clear();
        return;
    }
    // The list's data at once; brew's details as soon as they arrive.
    const bool sameService = m_detailsFor == entry->name;
    showDetails(*entry, sameService ? m_shownDetails : std::nullopt);
    m_detailsFor = entry->name;
    if (m_store)
        Async::start(loadDetails(entry->name), "Reading a service's details");
}

QCoro::Task<> ServicesView::loadDetails(QString name)
{
    QPointer<ServicesView> self(this);
    QPointer<BrewStore> store = m_store;
    const std::optional<ServiceDetails> details = co_await store->serviceDetails(name);
    if (!self || self->m_detailsFor != name)
        co_return;
    if (const std::optional<ServiceEntry> entry = self->focused(); entry && entry->name == name)
        self->showDetails(*entry, details);
}

void ServicesView::showDetails(const ServiceEntry &entry, const std::optional<ServiceDetails> &details)
{
    m_shownDetails = details;
    m_detailTitle->setText(entry.name);
    QString rows;
    rows += fieldRow(u"Status"_s, entry.status);
    if (entry.exitCode && *entry.exitCode != 0)
        rows += fieldRow(u"Exit code"_s, QString::number(*entry.exitCode));
    if (details) {
        rows += fieldRow(u"Running"_s, yesNo(details->running));
        rows += fieldRow(u"Loaded"_s, yesNo(details->loaded));
        rows += fieldRow(u"Starts at login"_s, yesNo(details->registered));
        if (details->pid)
            rows += fieldRow(u"PID"_s, QString::number(*details->pid));
        if (!details->serviceName.isEmpty())
            rows += fieldRow(u"Label"_s, details->serviceName);
    }
    if (entry.user)
        rows += fieldRow(u"User"_s, *entry.user);
    rows += fieldRow(u"File"_s, details && !details->file.isEmpty() ? details->file : entry.file);
    if (details && details->logPath)
        rows += fieldRow(u"Log"_s, *details->logPath);
    if (details && details->errorLogPath && details->errorLogPath != details->logPath)
        rows += fieldRow(u"Error log"_s, *details->errorLogPath);
    m_detailFields->setText(u"<table>"_s + rows + u"</table>"_s);

    m_readOnly->setVisible(entry.isOwnedByRoot());
    if (entry.isOwnedByRoot())
        m_readOnly->setText(
            u"Started by root (with sudo), so only an administrator can change it. In Terminal: sudo brew services stop %1"_s
                .arg(entry.name));
    m_openLog->setEnabled(details && details->logPath);
    m_openErrorLog->setEnabled(details && details->errorLogPath);
}
