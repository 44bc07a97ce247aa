#include "ui/main/PackageDetailView.h"

#include "brew/BrewStore.h"
#include "brew/CatalogService.h"
#include "platform/Async.h"
#include "platform/Platform.h"
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/Divider.h"
#include "ui/ElidedLinkLabel.h"
#include "ui/Fonts.h"
#include "ui/ProminentButton.h"
#include "ui/Symbols.h"
#include "ui/main/CatalogTableModel.h"
#include "ui/main/UninstallSheet.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *makeLabel(const QString &objectName, QWidget *parent, Fonts::Style style = Fonts::Style::body)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setFont(Fonts::font(style));
    return label;
}

// Text the user may want to copy; wraps within the inspector's width instead of widening it.
void makeSelectableWrapping(QLabel *label)
{
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    QSizePolicy policy = label->sizePolicy();
    policy.setHorizontalPolicy(QSizePolicy::Ignored);
    label->setSizePolicy(policy);
}

QLabel *makeBadge(const QString &objectName, const QString &text, QWidget *parent)
{
    QLabel *badge = makeLabel(objectName, parent, Fonts::Style::caption);
    badge->setFont(Fonts::font(Fonts::Style::caption, QFont::DemiBold));
    badge->setText(text);
    return badge;
}

void tintBadge(QLabel *badge, const QColor &color)
{
    badge->setStyleSheet(
        u"QLabel { background: %1; border-radius: 5px; padding: 2px 6px; }"_s.arg(Colors::css(color, 0.18)));
}

QLabel *makeHeading(const QString &objectName, const QString &text, QWidget *parent)
{
    QLabel *heading = makeLabel(objectName, parent, Fonts::Style::headline);
    heading->setText(text);
    return heading;
}

} // namespace

QString PackageDetailView::installCommand(const Package &package)
{
    return u"brew install --"_s + toString(package.kind) + u' ' + package.name;
}

PackageDetailView::PackageDetailView(BrewStore *store, Package package, QWidget *parent)
    : QScrollArea(parent)
    , m_store(store)
    , m_package(std::move(package))
    , m_column(new QWidget)
{
    setObjectName(u"packageDetailView"_s);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    m_column->setObjectName(u"detailColumn"_s);
    auto *column = new QVBoxLayout(m_column);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(14);

    // Header
    auto *header = new QVBoxLayout;
    header->setSpacing(6);
    m_title = makeLabel(u"detailTitle"_s, m_column);
    m_title->setFont(Fonts::font(Fonts::Style::title2, QFont::Bold));
    m_title->setText(m_package.displayName);
    makeSelectableWrapping(m_title);
    header->addWidget(m_title);
    m_name = makeLabel(u"detailName"_s, m_column, Fonts::Style::callout);
    m_name->setText(m_package.name);
    m_name->setVisible(m_package.name != m_package.displayName);
    makeSelectableWrapping(m_name);
    header->addWidget(m_name);
    auto *badges = new QHBoxLayout;
    badges->setSpacing(6);
    m_kindBadge = makeBadge(u"badgeKind"_s,
        m_package.kind == PackageKind::cask ? u"Cask · macOS app"_s : u"Formula · CLI / library"_s, m_column);
    m_deprecatedBadge = makeBadge(u"badgeDeprecated"_s, u"Deprecated"_s, m_column);
    m_installedBadge = makeBadge(u"badgeInstalled"_s, u"Installed"_s, m_column);
    m_updateBadge = makeBadge(u"badgeUpdate"_s, QString(), m_column);
    for (QLabel *badge : { m_kindBadge, m_deprecatedBadge, m_installedBadge, m_updateBadge })
        badges->addWidget(badge);
    badges->addStretch(1);
    header->addLayout(badges);
    column->addLayout(header);

    // Description and actions
    auto *actions = new QVBoxLayout;
    actions->setSpacing(8);
    m_description = makeLabel(u"detailDescription"_s, m_column);
    m_description->setText(m_package.desc);
    m_description->setVisible(!m_package.desc.isEmpty());
    makeSelectableWrapping(m_description);
    actions->addWidget(m_description);
    m_installButton = new ProminentButton(u"arrow.down.circle.fill"_s, u"Install"_s, m_column);
    m_installButton->setObjectName(u"detailInstallButton"_s);
    connect(m_installButton, &QPushButton::clicked, this, [this] {
        if (m_store)
            Async::start(m_store->install({ m_package }), "Installing a package");
    });
    actions->addWidget(m_installButton, 0, Qt::AlignLeft);
    m_selectToggle = new QCheckBox(u"Add to bulk install selection"_s, m_column);
    m_selectToggle->setObjectName(u"detailSelectToggle"_s);
    connect(m_selectToggle, &QCheckBox::toggled, this, [this](bool on) {
        if (m_store)
            m_store->setSelected(m_package.id(), on);
    });
    actions->addWidget(m_selectToggle, 0, Qt::AlignLeft);
    m_upgradeButton = new ProminentButton(u"arrow.up.circle.fill"_s, QString(), m_column);
    m_upgradeButton->setObjectName(u"detailUpgradeButton"_s);
    connect(m_upgradeButton, &QPushButton::clicked, this, [this] {
        if (!m_store)
            return;
        if (const std::optional<OutdatedPackage> entry = outdatedEntry())
            Async::start(m_store->upgrade({ *entry }), "Upgrading a package");
    });
    actions->addWidget(m_upgradeButton, 0, Qt::AlignLeft);

    // What can be done with it once it is installed.
    m_installedActions = new QWidget(m_column);
    m_installedActions->setObjectName(u"detailInstalledActions"_s);
    auto *installedActions = new QHBoxLayout(m_installedActions);
    installedActions->setContentsMargins(0, 0, 0, 0);
    installedActions->setSpacing(6);
    m_reinstallButton = new QPushButton(u"Reinstall"_s, m_installedActions);
    m_reinstallButton->setObjectName(u"detailReinstallButton"_s);
    connect(m_reinstallButton, &QPushButton::clicked, this, [this] {
        if (m_store)
            Async::start(m_store->reinstall(installedEntry()), "Reinstalling a package");
    });
    m_pinButton = new QPushButton(m_installedActions);
    m_pinButton->setObjectName(u"detailPinButton"_s);
    connect(m_pinButton, &QPushButton::clicked, this, [this] {
        const InstalledPackage entry = installedEntry();
        if (m_store)
            Async::start(m_store->setPinned(entry, !entry.pinned), "Changing a pin");
    });
    m_uninstallButton = new QPushButton(u"Uninstall…"_s, m_installedActions);
    m_uninstallButton->setObjectName(u"detailUninstallButton"_s);
    connect(m_uninstallButton, &QPushButton::clicked, this,
        [this] { UninstallSheet::ask(m_store, { installedEntry() }, this); });
    for (QPushButton *button : { m_reinstallButton, m_pinButton, m_uninstallButton })
        installedActions->addWidget(button);
    installedActions->addStretch(1);
    actions->addWidget(m_installedActions);
    column->addLayout(actions);

    auto *divider = Divider::horizontal(m_column);
    divider->setObjectName(u"detailDivider"_s);
    column->addWidget(divider);

    // Facts
    m_facts = new QGridLayout;
    m_facts->setHorizontalSpacing(12);
    m_facts->setVerticalSpacing(6);
    m_facts->setColumnStretch(1, 1);
    m_version = addTextFact(u"Version"_s, u"Version"_s);
    valueLabel(m_version)->setText(m_package.version);
    m_installedVersion = addTextFact(u"Installed"_s, u"Installed"_s);

    // One line: a long address is shortened in the middle, never allowed to push the grid down.
    auto *homepage = new ElidedLinkLabel(m_column);
    homepage->setObjectName(u"factHomepage"_s);
    homepage->setFont(Fonts::font(Fonts::Style::callout));
    connect(homepage, &QLabel::linkActivated, this,
        [](const QString &link) { Platform::current().openUrl(QUrl(link, QUrl::StrictMode)); });
    m_homepage = addFact(u"Homepage"_s, u"Homepage"_s, homepage);

    auto *progress = new BusyIndicator(m_column, 12);
    progress->setObjectName(u"detailsProgress"_s);
    m_progress = addFact(u"Progress"_s, QString(), progress);

    m_license = addTextFact(u"License"_s, u"License"_s);
    m_tap = addTextFact(u"Tap"_s, u"Tap"_s);
    m_updates = addTextFact(u"Updates"_s, u"Updates"_s);
    valueLabel(m_updates)->setText(u"Updates itself"_s);
    m_installs = addTextFact(u"Installs"_s, u"Installs (30 days)"_s);
    m_aliases = addTextFact(u"Aliases"_s, u"Aliases"_s);
    column->addLayout(m_facts);

    if (const std::optional<QUrl> url = CatalogTableModel::homepageUrl(m_package.homepage)) {
        homepage->setLink(*url, m_package.homepage);
    }
    showFact(m_version, true);
    showFact(m_homepage, CatalogTableModel::homepageUrl(m_package.homepage).has_value());

    // Dependencies
    m_dependencies = new QWidget(m_column);
    m_dependencies->setObjectName(u"detailDependenciesBlock"_s);
    auto *dependencies = new QVBoxLayout(m_dependencies);
    dependencies->setContentsMargins(0, 0, 0, 0);
    dependencies->setSpacing(6);
    dependencies->addWidget(makeHeading(u"dependenciesHeading"_s, u"Dependencies"_s, m_dependencies));
    m_dependencyList = makeLabel(u"detailDependencies"_s, m_dependencies);
    makeSelectableWrapping(m_dependencyList);
    dependencies->addWidget(m_dependencyList);
    column->addWidget(m_dependencies);

    // Notes
    m_notes = new QWidget(m_column);
    m_notes->setObjectName(u"detailNotesBlock"_s);
    auto *notes = new QVBoxLayout(m_notes);
    notes->setContentsMargins(0, 0, 0, 0);
    notes->setSpacing(6);
    notes->addWidget(makeHeading(u"notesHeading"_s, u"Notes"_s, m_notes));
    m_notesText = new QLabel(m_notes);
    m_notesText->setObjectName(u"detailNotes"_s);
    m_notesText->setFont(Fonts::monospaced(Fonts::Style::caption));
    m_notesText->setTextFormat(Qt::PlainText);
    makeSelectableWrapping(m_notesText);
    notes->addWidget(m_notesText);
    column->addWidget(m_notes);

    // Install command
    column->addWidget(makeHeading(u"installCommandHeading"_s, u"Install command"_s, m_column));
    auto *commandRow = new QHBoxLayout;
    commandRow->setSpacing(6);
    m_command = new QLabel(installCommand(m_package), m_column);
    m_command->setObjectName(u"installCommand"_s);
    m_command->setFont(Fonts::monospaced(Fonts::Style::caption));
    m_command->setTextFormat(Qt::PlainText);
    makeSelectableWrapping(m_command);
    commandRow->addWidget(m_command, 1);
    m_copy = new QToolButton(m_column);
    m_copy->setObjectName(u"copyCommandButton"_s);
    m_copy->setAutoRaise(true);
    m_copy->setToolTip(u"Copy to clipboard"_s);
    m_copy->setAccessibleName(u"Copy to clipboard"_s);
    connect(m_copy, &QToolButton::clicked, this,
        [this] { Platform::current().setClipboardText(installCommand(m_package)); });
    commandRow->addWidget(m_copy);
    column->addLayout(commandRow);
    column->addStretch(1);

    setWidget(m_column);

    if (m_store) {
        for (auto signal : { &BrewStore::installedChanged, &BrewStore::outdatedChanged, &BrewStore::selectedIDsChanged,
                 &BrewStore::isRunningChanged, &BrewStore::installedPackagesChanged, &BrewStore::brewVersionChanged })
            connect(m_store, signal, this, &PackageDetailView::refresh);
    }
    refreshColors();
    refresh();
    refreshDetails();
    Async::start(loadDetails(), "Loading package details");
}

PackageDetailView::Fact PackageDetailView::addFact(const QString &key, const QString &title, QWidget *value)
{
    auto *label = makeLabel(u"fact"_s + key + u"Label"_s, m_column, Fonts::Style::callout);
    label->setText(title);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    const int row = m_facts->rowCount();
    m_facts->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignTop);
    m_facts->addWidget(value, row, 1, Qt::AlignTop);
    const Fact fact{ label, value };
    showFact(fact, false);
    return fact;
}

PackageDetailView::Fact PackageDetailView::addTextFact(const QString &key, const QString &title)
{
    QLabel *value = makeLabel(u"fact"_s + key, m_column, Fonts::Style::callout);
    value->setTextFormat(Qt::PlainText);
    makeSelectableWrapping(value);
    return addFact(key, title, value);
}

QLabel *PackageDetailView::valueLabel(const Fact &fact)
{
    return static_cast<QLabel *>(fact.value);
}

void PackageDetailView::showFact(const Fact &fact, bool shown)
{
    if (fact.label)
        fact.label->setVisible(shown);
    if (fact.value)
        fact.value->setVisible(shown);
}

std::optional<OutdatedPackage> PackageDetailView::outdatedEntry() const
{
    if (!m_store)
        return std::nullopt;
    const QString id = m_package.id();
    for (const OutdatedPackage &entry : m_store->outdated())
        if (entry.id() == id)
            return entry;
    return std::nullopt;
}

QCoro::Task<> PackageDetailView::loadDetails()
{
    QPointer<PackageDetailView> self(this);
    m_details.reset();
    m_loadingDetails = true;
    refreshDetails();
    std::optional<PackageDetails> details;
    try {
        details = co_await CatalogService::fetchDetails(m_package);
    } catch (...) {
        // A failed fetch shows the catalog facts alone; nothing to tell the user here.
    }
    if (!self)
        co_return;
    m_details = std::move(details);
    m_loadingDetails = false;
    refreshDetails();
    Q_EMIT detailsFinished();
}

void PackageDetailView::refresh()
{
    const bool installed = m_store && m_store->isInstalled(m_package);
    const std::optional<OutdatedPackage> entry = outdatedEntry();
    const bool running = m_store && m_store->isRunning();

    m_deprecatedBadge->setVisible(m_package.deprecated);
    m_installedBadge->setVisible(installed);
    m_updateBadge->setVisible(entry.has_value());
    if (entry)
        m_updateBadge->setText(u"Update "_s + entry->current);

    m_installButton->setVisible(!installed);
    m_installButton->setEnabled(!running);
    m_selectToggle->setVisible(!installed);
    {
        const QSignalBlocker blocker(m_selectToggle);
        m_selectToggle->setChecked(m_store && m_store->selectedIDs().contains(m_package.id()));
    }
    m_upgradeButton->setVisible(installed && entry.has_value());
    m_upgradeButton->setEnabled(!running);
    if (entry)
        m_upgradeButton->setText(u"Upgrade to "_s + entry->current);

    if (entry)
        valueLabel(m_installedVersion)->setText(entry->installed);
    showFact(m_installedVersion, entry.has_value());

    const InstalledPackage package = installedEntry();
    m_installedActions->setVisible(installed);
    m_reinstallButton->setEnabled(!running && !package.pinned);
    m_reinstallButton->setToolTip(
        package.pinned ? u"Unpin it first: Homebrew skips pinned packages"_s : u"Download and install it again"_s);
    m_pinButton->setText(package.pinned ? u"Unpin"_s : u"Pin"_s);
    const bool caskWithoutPins = package.kind == PackageKind::cask && !(m_store && m_store->canPinCasks());
    m_pinButton->setEnabled(!running && !caskWithoutPins);
    m_pinButton->setToolTip(caskWithoutPins
            ? u"Pinning apps needs Homebrew "_s + BrewStore::pinCasksMinimumVersion() + u" or later"_s
            : (package.pinned ? u"Let upgrades update it again"_s : u"Keep it at this version when upgrading"_s));
    m_uninstallButton->setEnabled(!running);
}

InstalledPackage PackageDetailView::installedEntry() const
{
    if (m_store)
        if (std::optional<InstalledPackage> known = m_store->installedPackage(m_package.id()))
            return *known;
    // Before brew has described it: what the catalog knows is enough to name it.
    InstalledPackage package;
    package.kind = m_package.kind;
    package.name = m_package.name;
    package.displayName = m_package.displayName;
    package.version = m_package.version;
    return package;
}

void PackageDetailView::refreshDetails()
{
    showFact(m_progress, m_loadingDetails);
    const PackageDetails details = m_details.value_or(PackageDetails());
    const bool loaded = m_details.has_value();

    auto setFact = [this](const Fact &fact, const std::optional<QString> &text) {
        if (text)
            valueLabel(fact)->setText(*text);
        showFact(fact, text.has_value());
    };
    setFact(m_license, loaded ? details.license : std::nullopt);
    setFact(m_tap, loaded ? details.tap : std::nullopt);
    showFact(m_updates, loaded && details.autoUpdates.value_or(false));
    setFact(m_installs,
        loaded && details.installs30d ? std::optional<QString>(QLocale().toString(*details.installs30d))
                                      : std::nullopt);
    setFact(m_aliases,
        loaded && !details.aliases.isEmpty() ? std::optional<QString>(details.aliases.join(u", "_s)) : std::nullopt);

    m_dependencyList->setText(details.dependencies.join(u", "_s));
    m_dependencies->setVisible(loaded && !details.dependencies.isEmpty());
    m_notesText->setText(details.caveats.value_or(QString()));
    m_notes->setVisible(loaded && details.caveats && !details.caveats->isEmpty());
}

void PackageDetailView::changeEvent(QEvent *event)
{
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshColors();
}

void PackageDetailView::refreshColors()
{
    const QColor secondary = Colors::secondary(this);
    Colors::setTextColor(m_name, secondary);
    for (const Fact *fact : { &m_version, &m_installedVersion, &m_homepage, &m_progress, &m_license, &m_tap, &m_updates,
             &m_installs, &m_aliases })
        Colors::setTextColor(fact->label, secondary);
    tintBadge(m_kindBadge, secondary);
    tintBadge(m_deprecatedBadge, Colors::orange());
    tintBadge(m_installedBadge, Colors::green());
    tintBadge(m_updateBadge, Colors::blue());
    // The quaternary fill: the text colour, barely there.
    m_notesText->setStyleSheet(u"QLabel { background: %1; border-radius: 6px; padding: 8px; }"_s.arg(
        Colors::css(palette().color(QPalette::WindowText), 0.07)));
    m_copy->setIcon(Symbols::icon(u"doc.on.doc"_s, secondary));
}
