#include "ui/main/BrewfileImportSheet.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Text.h"
#include "ui/BusyIndicator.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/PaletteFollower.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

BrewfileImportSheet::BrewfileImportSheet(BrewStore *store, QString path, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_path(std::move(path))
{
    setObjectName(u"brewfileImportSheet"_s);
    setWindowTitle(u"Import Brewfile"_s);
    setWindowModality(Qt::WindowModal);
    resize(560, 440);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(10);
    auto *title = new QLabel(u"Import Brewfile"_s, this);
    title->setFont(Fonts::font(Fonts::Style::title3, QFont::Bold));
    layout->addWidget(title);
    auto *file = new QLabel(m_path, this);
    file->setObjectName(u"brewfilePathLabel"_s);
    file->setFont(Fonts::monospaced(Fonts::Style::callout));
    file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    file->setWordWrap(true);
    layout->addWidget(file);

    auto *warning = new QLabel(
        u"A Brewfile is a small Ruby program. Homebrew runs it to read it, already when checking what is missing, "
        "so import only Brewfiles you trust. Quillrig itself never runs or changes the file."_s,
        this);
    warning->setObjectName(u"brewfileRubyWarning"_s);
    warning->setWordWrap(true);
    warning->setFont(Fonts::font(Fonts::Style::callout));
    PaletteFollower::follow(warning,
        [](const QPalette &palette) { return Colors::readableOn(Colors::orange(), palette.color(QPalette::Window)); });
    layout->addWidget(warning);

    auto *statusRow = new QHBoxLayout;
    m_busy = new BusyIndicator(this);
    m_busy->setVisible(false);
    statusRow->addWidget(m_busy);
    m_status = new QLabel(u"Check the Brewfile to see what this Mac is missing. Checking changes nothing."_s, this);
    m_status->setObjectName(u"brewfileCheckStatus"_s);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusRow->addWidget(m_status, 1);
    layout->addLayout(statusRow);

    m_missing = new QTreeWidget(this);
    m_missing->setTabKeyNavigation(false);
    m_missing->setObjectName(u"brewfileMissingTree"_s);
    m_missing->setHeaderHidden(true);
    m_missing->setColumnCount(2);
    m_missing->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_missing->setRootIsDecorated(true);
    m_missing->setVisible(false);
    layout->addWidget(m_missing, 1);
    layout->addStretch(0);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_close = new QPushButton(u"Close"_s, this);
    m_close->setObjectName(u"closeButton"_s);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(m_close);
    m_checkButton = new QPushButton(u"Check Brewfile"_s, this);
    m_checkButton->setObjectName(u"checkBrewfileButton"_s);
    m_checkButton->setDefault(true);
    connect(m_checkButton, &QPushButton::clicked, this, [this] { Async::start(runCheck(), "Checking a Brewfile"); });
    buttons->addWidget(m_checkButton);
    m_install = new QPushButton(u"Install missing"_s, this);
    m_install->setObjectName(u"installMissingButton"_s);
    m_install->setVisible(false);
    connect(m_install, &QPushButton::clicked, this, &BrewfileImportSheet::installMissing);
    buttons->addWidget(m_install);
    layout->addLayout(buttons);

    if (m_store)
        connect(m_store, &BrewStore::isRunningChanged, this, &BrewfileImportSheet::refreshEnabled);
    refreshEnabled();
}

BrewfileImportSheet::~BrewfileImportSheet() = default;

QString BrewfileImportSheet::groupTitle(const QString &kind)
{
    static const QHash<QString, QString> titles{
        { u"Tap"_s, u"Taps"_s },
        { u"Formula"_s, u"Formulae"_s },
        { u"Cask"_s, u"Casks"_s },
        { u"App"_s, u"Mac App Store apps"_s },
        { u"Service"_s, u"Services"_s },
    };
    return titles.value(kind, kind + u's');
}

QCoro::Task<> BrewfileImportSheet::runCheck()
{
    if (!m_store || m_checking)
        co_return;
    QPointer<BrewfileImportSheet> self(this);
    QPointer<BrewStore> store = m_store;
    m_checking = true;
    m_busy->setVisible(true);
    m_status->setText(u"Asking Homebrew what is missing…"_s);
    Colors::setTextColor(m_status, palette().color(QPalette::WindowText));
    refreshEnabled();
    const BrewfileCheck check = co_await store->checkBrewfile(m_path);
    if (!self)
        co_return;
    m_checking = false;
    m_check = check;
    m_busy->setVisible(false);
    showCheck();
}

void BrewfileImportSheet::showCheck()
{
    m_missing->clear();
    const BrewfileCheck &check = *m_check;
    switch (check.outcome) {
    case BrewfileCheck::Outcome::satisfied:
        m_status->setText(u"Nothing is missing: everything in this Brewfile is already on this Mac."_s);
        Colors::setTextColor(m_status, Colors::green());
        break;
    case BrewfileCheck::Outcome::missing: {
        m_status->setText(Text::counted(check.missing.size(), u"thing"_s, u"things"_s)
            + u" missing. “Install missing” runs brew bundle install on this Brewfile."_s);
        Colors::setTextColor(m_status, palette().color(QPalette::WindowText));
        QHash<QString, QTreeWidgetItem *> groups;
        for (const BrewfileItem &item : check.missing) {
            QTreeWidgetItem *&group = groups[item.kind];
            if (!group) {
                group = new QTreeWidgetItem(m_missing);
                group->setFirstColumnSpanned(true);
                QFont bold = group->font(0);
                bold.setBold(true);
                group->setFont(0, bold);
            }
            auto *row = new QTreeWidgetItem(group, { item.name, item.reason });
            row->setForeground(1, Colors::secondary(this));
            group->setText(0, groupTitle(item.kind) + u" ("_s + QString::number(group->childCount()) + u')');
        }
        m_missing->expandAll();
        break;
    }
    case BrewfileCheck::Outcome::failed:
        m_status->setText(u"Homebrew could not read this Brewfile:\n"_s + check.error);
        Colors::setTextColor(m_status, Colors::red());
        break;
    }
    m_missing->setVisible(check.outcome == BrewfileCheck::Outcome::missing);
    m_install->setVisible(check.outcome == BrewfileCheck::Outcome::missing);
    m_checkButton->setText(u"Check again"_s);
    m_checkButton->setDefault(check.outcome != BrewfileCheck::Outcome::missing);
    m_install->setDefault(check.outcome == BrewfileCheck::Outcome::missing);
    refreshEnabled();
}

void BrewfileImportSheet::refreshEnabled()
{
    const bool idle = m_store && !m_store->isRunning() && !m_checking;
    m_checkButton->setEnabled(idle);
    m_install->setEnabled(idle && m_check && m_check->outcome == BrewfileCheck::Outcome::missing);
}

void BrewfileImportSheet::installMissing()
{
    if (!m_store || !m_check || m_check->outcome != BrewfileCheck::Outcome::missing || m_store->isRunning())
        return;
    // The status bar and the log follow the installation from here.
    Async::start(m_store->installBrewfile(m_path, int(m_check->missing.size())), "Installing from a Brewfile");
    accept();
}
