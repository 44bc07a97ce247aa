#include "ui/main/HelpView.h"

#include "platform/Platform.h"
#include "ui/EmptyStateView.h"
#include "ui/Fonts.h"
#include "ui/PaletteFollower.h"
#include "ui/ProjectLinks.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

QList<HelpView::Topic> HelpView::topics()
{
    QString catalogHost = Platform::current().catalogApiBase().host();
    if (catalogHost.isEmpty())
        catalogHost = u"the Homebrew API"_s;
    return {
        { u"start"_s, u"Getting started"_s,
            /*symbol*/ u"play.circle"_s,
            {
                { u"What this app does"_s,
                    u"Quillrig prepares a Mac for development. It installs and updates tools through Homebrew and walks you through configuring the terminal, shell, macOS, Git and SSH."_s },
                { u"Homebrew"_s,
                    u"The app needs Homebrew. If it is missing, click Install Homebrew; the official installer opens in Terminal because it asks for your password. When you return to the app, it detects Homebrew automatically."_s },
                { u"Sidebar"_s,
                    u"Home shows the state of your setup and starts the wizard. Packages lets you browse and install Homebrew formulae and casks. Updates lists outdated packages."_s },
            } },
        { u"home"_s, u"Home and status"_s,
            /*symbol*/ u"house"_s,
            {
                { u"Progress ring"_s,
                    u"Shows how many setup components are complete. Each component reports its own state: done, partially done, missing or not applicable."_s },
                { u"Run setup wizard"_s,
                    u"Opens the wizard for everything. Use the buttons next to a single component to configure only that one. After everything is set up the button reads “Run wizard again”."_s },
                { u"Re-checking"_s,
                    u"Status is refreshed whenever you switch back to the app, so changes made in Terminal are picked up automatically."_s },
            } },
        { u"wizard"_s, u"Setup wizard"_s,
            /*symbol*/ u"wand.and.stars"_s,
            {
                { u"Components"_s,
                    u"Xcode Command Line Tools, Rosetta 2 (Apple Silicon), iTerm2 with a Nerd Font, Oh My Zsh, Powerlevel10k, aliases and environment variables, macOS defaults (Dock, Finder, keyboard), Git and an SSH key."_s },
                { u"Steps"_s,
                    u"Choose what to set up, adjust the settings of each chosen component, review, then Apply. Progress and the full log are shown while it runs; Cancel stops after the current step."_s },
                { u"Settings are remembered"_s,
                    u"Your choices are saved to ~/Library/Application Support/quillrig-gui/config.json. On first launch, aliases, variables and plugins already present in ~/.zshrc are taken over."_s },
                { u"Safety"_s,
                    u"~/.zshrc is backed up to ~/.zshrc.backup.<timestamp> before it is changed (can be turned off). The SSH key is created without a passphrase. Dock and Finder restart to apply their settings. macOS may ask for your password."_s },
            } },
        { u"terminal"_s, u"Terminal and prompt"_s,
            /*symbol*/ u"terminal"_s,
            {
                { u"Oh My Zsh plugins"_s,
                    u"The plugin list shows every plugin Oh My Zsh can see. Ticked plugins are enabled in ~/.zshrc, unticked ones are removed. Plugins that are not bundled (autosuggestions, syntax highlighting) are cloned for you."_s },
                { u"Powerlevel10k prompt"_s,
                    u"Pick a style: Lean, Classic, Rainbow or Pure. If you already have a ~/.p10k.zsh it is kept by default; choosing a preset replaces it and keeps the old file as a backup."_s },
                { u"Customize prompt"_s,
                    u"After a style has been applied, Customize prompt lets you change the time segment, the blank line between prompts, the transient prompt and the instant prompt. For colors, separators and icons, use “Run full p10k configure in Terminal”."_s },
                { u"Icons"_s,
                    u"Powerlevel10k icons need a Nerd Font. The iTerm2 step installs one and creates the iTerm2 profile “Quillrig (Nerd Font)”; set it as default in iTerm2 → Settings → Profiles."_s },
            } },
        { u"shell"_s, u"Shell and ~/.zshrc"_s,
            /*symbol*/ u"text.alignleft"_s,
            {
                { u"Managed blocks"_s,
                    u"Aliases, environment variables and extra lines are written between marker comments such as “# Custom aliases (managed by quillrig-cli)”. Only the text between the markers is replaced; everything else in your ~/.zshrc stays as it is."_s },
                { u"Shared with the CLI"_s,
                    u"The markers are the same as in the command-line version, so both tools can manage the same file."_s },
                { u"Applying changes"_s, u"Open a new terminal tab or run source ~/.zshrc."_s },
            } },
        { u"packages"_s, u"Packages"_s,
            /*symbol*/ u"square.grid.2x2"_s,
            {
                { u"Catalog"_s,
                    u"The full Homebrew catalog (formulae are command-line tools, casks are apps) is downloaded from "_s
                        + catalogHost + u" and cached on disk. Use Refresh catalog to download it again."_s },
                { u"Search and filter"_s,
                    u"Search by name or description. Filter by type (formula or cask) and by status (installed or not)."_s },
                { u"Install"_s,
                    u"Open a package for details, license, dependencies and notes, then Install. To install several at once, tick them (or Select all shown) and install the selection; the selection survives searching and switching tabs."_s },
            } },
        { u"updates"_s, u"Updates"_s,
            /*symbol*/ u"arrow.triangle.2.circlepath"_s,
            {
                { u"Check for updates"_s,
                    u"Refreshes the Homebrew index and lists outdated formulae and casks. The sidebar badge shows how many there are."_s },
                { u"Upgrade"_s,
                    u"Upgrade selected or Upgrade all. Update Homebrew updates Homebrew itself when a newer release exists."_s },
                { u"Self-updating apps"_s,
                    u"Some apps (for example Chrome or VS Code) update themselves. “Include self-updating apps” also lists and upgrades those (brew --greedy)."_s },
            } },
        { u"trouble"_s, u"Troubleshooting"_s,
            /*symbol*/ u"wrench.and.screwdriver"_s,
            {
                { u"Errors"_s,
                    u"When a task fails, the status bar at the bottom turns red; click it for the details and the log."_s },
                { u"Catalog does not load"_s,
                    u"Check your connection and press Retry. The last downloaded catalog is used while offline."_s },
                { u"Password prompts"_s,
                    u"Some casks need administrator rights. Without a terminal, the app shows a dialog asking for your password."_s },
                { u"Command-line version"_s,
                    u"The same setup is available as a command-line tool: "_s
                        + ProjectLinks::cliRepository().toString() },
            } },
    };
}

HelpView::HelpView(QWidget *parent)
    : QWidget(parent)
    , m_topics(topics())
    , m_list(new QListWidget(this))
    , m_detail(new QStackedWidget(this))
    , m_page(new QScrollArea(this))
    , m_empty(new EmptyStateView(u"questionmark.circle"_s, u"Select a topic"_s, this))
{
    setObjectName(u"helpView"_s);
    setWindowTitle(u"Quillrig Help"_s);
    setMinimumSize(760, 480);
    resize(860, 560);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    m_list->setObjectName(u"helpTopics"_s);
    m_list->setMinimumWidth(190);
    m_list->setMaximumWidth(260);
    m_list->setIconSize(QSize(16, 16));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    for (const Topic &topic : std::as_const(m_topics)) {
        auto *item = new QListWidgetItem(Symbols::icon(topic.icon), topic.title, m_list);
        item->setData(Qt::UserRole, topic.id);
        item->setSizeHint(QSize(0, 28));
    }
    splitter->addWidget(m_list);

    m_page->setObjectName(u"helpPage"_s);
    m_page->setWidgetResizable(true);
    m_page->setFrameShape(QFrame::NoFrame);
    m_page->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_empty->setObjectName(u"helpEmpty"_s);
    m_detail->addWidget(m_page);
    m_detail->addWidget(m_empty);
    splitter->addWidget(m_detail);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 210, 650 });

    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> selected = m_list->selectedItems();
        if (selected.isEmpty()) {
            setSelection(std::nullopt);
            return;
        }
        const QString id = selected.first()->data(Qt::UserRole).toString();
        for (const Topic &topic : std::as_const(m_topics))
            if (topic.id == id)
                setSelection(topic);
    });

    setSelection(m_topics.first());
}

void HelpView::setSelection(const std::optional<Topic> &topic)
{
    if (m_selection == topic)
        return;
    m_selection = topic;
    syncList();
    showSelection();
    Q_EMIT selectionChanged();
}

void HelpView::syncList()
{
    const QSignalBlocker blocker(m_list);
    m_list->clearSelection();
    if (!m_selection)
        return;
    for (int row = 0; row < m_list->count(); ++row)
        if (m_list->item(row)->data(Qt::UserRole).toString() == m_selection->id) {
            m_list->setCurrentRow(row);
            m_list->item(row)->setSelected(true);
        }
}

void HelpView::showSelection()
{
    if (!m_selection) {
        m_detail->setCurrentWidget(m_empty);
        return;
    }
    auto *content = new QWidget;
    content->setObjectName(u"helpContent"_s);
    auto *outer = new QHBoxLayout(content);
    outer->setContentsMargins(24, 24, 24, 24);
    auto *column = new QVBoxLayout;
    column->setSpacing(18);
    outer->addLayout(column, 1);
    outer->addStretch(0);

    auto selectable = [](QLabel *label) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setMaximumWidth(640);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    auto *title = selectable(new QLabel(m_selection->title, content));
    title->setObjectName(u"helpTitle"_s);
    title->setFont(Fonts::font(Fonts::Style::largeTitle, QFont::Bold));
    column->addWidget(title);

    for (const Section &section : std::as_const(m_selection->sections)) {
        auto *block = new QVBoxLayout;
        block->setSpacing(4);
        auto *heading = selectable(new QLabel(section.heading, content));
        heading->setObjectName(u"helpHeading"_s);
        heading->setFont(Fonts::font(Fonts::Style::headline));
        auto *body = selectable(new QLabel(section.body, content));
        body->setObjectName(u"helpBody"_s);
        PaletteFollower::secondaryText(body);
        block->addWidget(heading);
        block->addWidget(body);
        column->addLayout(block);
    }
    column->addStretch(1);

    m_page->setWidget(content); // deletes the previous page
    m_detail->setCurrentWidget(m_page);
}
